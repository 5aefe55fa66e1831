// Runs the built tessel program's model commands and checks what it prints
// and the files it writes.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "mdl/Mdl.h"

#include "tessel/tests/RunTessel.h"

namespace fs = std::filesystem;

namespace {


std::string Model(const char* name) { return std::string(TESSEL_DATA_DIR) + "/quake/models/" + name; }

class TesselCliTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tessel_cli_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  fs::path Dir;
};

}  // namespace

TEST_F(TesselCliTest, HelpAndVersion) {
  TRun r = RunTessel("--help");
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("info"), std::string::npos);
  EXPECT_NE(r.Out.find("--no-extension"), std::string::npos);
  r = RunTessel("--version");
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out.rfind("tessel ", 0), 0u);
}

TEST_F(TesselCliTest, InfoDescribesARealModel) {
  if (!fs::exists(Model("oq_v_axe.mdl"))) GTEST_SKIP() << "no real models in " TESSEL_DATA_DIR;
  TRun r = RunTessel("info '" + Model("oq_v_axe.mdl") + "'");
  ASSERT_EQ(r.Status, 0) << r.Err;
  for (const char* s : {"version: 6", "extension: no", "skin size: 200 x 200", "vertices: 252", "triangles: 329",
                        "frame entries: 9", "frames: 34", "skin 0 \"skin0\" 200 x 200", "object 0 \"root\" parent -1, 0 vertices",
                        "(group, "})
    EXPECT_NE(r.Out.find(s), std::string::npos) << s << "\n" << r.Out;
}

TEST_F(TesselCliTest, SaveWithAndWithoutTheExtension) {
  if (!fs::exists(Model("sg_knight.mdl"))) GTEST_SKIP() << "no real models in " TESSEL_DATA_DIR;
  const std::string ext = (Dir / "ext.mdl").string(), plain = (Dir / "plain.mdl").string();
  TRun r = RunTessel("save '" + Model("sg_knight.mdl") + "' -o '" + ext + "'");
  ASSERT_EQ(r.Status, 0) << r.Err;
  r = RunTessel("save '" + Model("sg_knight.mdl") + "' -o '" + plain + "' --no-extension");
  ASSERT_EQ(r.Status, 0) << r.Err;
  TRun info = RunTessel("info '" + ext + "'");
  EXPECT_NE(info.Out.find("extension: yes"), std::string::npos);
  EXPECT_NE(info.Out.find("skins: 4"), std::string::npos);
  info = RunTessel("info '" + plain + "'");
  EXPECT_NE(info.Out.find("extension: no"), std::string::npos);
  TMDL a, b;
  a.LoadFromFile(ext);
  b.LoadFromFile(plain);
  EXPECT_EQ(a.Frames->Count(), b.Frames->Count());
  EXPECT_GT(fs::file_size(ext), fs::file_size(plain));
}

TEST_F(TesselCliTest, ErrorsGoToStandardErrorWithAFailingStatus) {
  const fs::path bad = Dir / "bad.mdl";
  std::ofstream(bad) << "not a model at all";
  TRun r = RunTessel("info '" + bad.string() + "'");
  EXPECT_NE(r.Status, 0);
  EXPECT_NE(r.Err.find("Invalid file format"), std::string::npos) << r.Err;
  EXPECT_TRUE(r.Out.empty());
  r = RunTessel("info '" + (Dir / "missing.mdl").string() + "'");
  EXPECT_NE(r.Status, 0);
  EXPECT_FALSE(r.Err.empty());
  r = RunTessel("save '" + bad.string() + "'");  // no -o
  EXPECT_NE(r.Status, 0);
  EXPECT_NE(r.Err.find("usage"), std::string::npos);
  r = RunTessel("info");
  EXPECT_NE(r.Status, 0);
  // A failed save leaves the target as it was.
  const fs::path target = Dir / "keep.mdl";
  std::ofstream(target) << "keep me";
  r = RunTessel("save '" + bad.string() + "' -o '" + target.string() + "'");
  EXPECT_NE(r.Status, 0);
  std::ifstream in(target);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "keep me");
}
