// Runs the built tessel program's model commands and checks what it prints
// and the files it writes.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mdl/Mdl.h"

#include "tessel/tests/RunTessel.h"

namespace fs = std::filesystem;

namespace {

// Runs tessel where no file may grow past `kilobytes` (the system refuses
// the write; the signal that would kill the program is ignored, as a full
// disk would not send one).
TRun RunTesselLimited(const std::string& args, int kilobytes) {
  const std::string line = "trap '' XFSZ; ulimit -f " + std::to_string(kilobytes) + "; exec '" + TESSEL_EXE + "' " + args;
  std::string quoted;
  for (char c : line) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  const fs::path err = fs::temp_directory_path() / ("tessel_cli_limited_" + std::to_string(::getpid()));
  TRun r;
  FILE* p = popen(("sh -c '" + quoted + "' 2>'" + err.string() + "'").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.Out.append(buf, n);
  const int status = pclose(p);
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream e(err);
  r.Err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
  fs::remove(err);
  return r;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

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

TEST_F(TesselCliTest, WritesTheSystemRefusesFailCleanlyAndNameTheFile) {
  if (!fs::exists(Model("sg_knight.mdl"))) GTEST_SKIP() << "no real models in " TESSEL_DATA_DIR;
  const std::string model = "'" + Model("sg_knight.mdl") + "'";
  const fs::path keep = Dir / "keep.mdl";
  std::ofstream(keep) << "keep me";
  fs::permissions(keep, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const struct {
    std::string args;
    fs::path target;
  } cases[] = {
      {"save " + model + " -o '" + keep.string() + "'", keep},
      {"save " + model + " -o '" + (Dir / "plain.mdl").string() + "' --no-extension", Dir / "plain.mdl"},
      {"export-skin " + model + " 0 '" + (Dir / "skin.bmp").string() + "'", Dir / "skin.bmp"},
      {"export-frame " + model + " 0 '" + (Dir / "frame.cad").string() + "'", Dir / "frame.cad"},
      {"export-scenes " + model + " '" + (Dir / "list.frs").string() + "' --all", Dir / "list0.DXF"},
      {"export-frame " + model + " 0 '" + (Dir / "frame.dxf").string() + "'", Dir / "frame.dxf"},
      {"export-skin " + model + " 0 '" + (Dir / "skin.pcx").string() + "'", Dir / "skin.pcx"},
      {"export-skin " + model + " 1 '" + (Dir / "skin.png").string() + "'", Dir / "skin.png"},
      {"export-frame " + model + " 0 '" + (Dir / "frame.obj").string() + "'", Dir / "frame.obj"},
      {"render " + model + " -o '" + (Dir / "shot.png").string() + "'", Dir / "shot.png"},
      {"render " + model + " --sheet -o '" + (Dir / "sheet.png").string() + "'", Dir / "sheet.png"},
      {"thumbnail " + model + " '" + (Dir / "thumb.png").string() + "' 256", Dir / "thumb.png"},
  };
  for (const auto& c : cases) {
    const TRun r = RunTesselLimited(c.args, 4);
    EXPECT_EQ(r.Status, 1) << c.args << "\n" << r.Err;  // an error, not a crash
    EXPECT_NE(r.Err.find("Cannot write to file \"" + c.target.string() + "\". File too large"), std::string::npos)
        << c.args << "\n" << r.Err;
    // Nothing partial under any name: only the file that was there before.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(Dir)) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"keep.mdl"}) << c.args;
  }
  EXPECT_EQ(ReadAll(keep), "keep me");
  EXPECT_EQ(fs::status(keep).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(TesselCliTest, SavingThroughALinkKeepsTheLinkAndThePermissions) {
  if (!fs::exists(Model("oq_v_axe.mdl"))) GTEST_SKIP() << "no real models in " TESSEL_DATA_DIR;
  fs::create_directories(Dir / "models");
  const fs::path real = Dir / "models" / "axe.mdl", link = Dir / "axe.mdl";
  std::ofstream(real) << "old";
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("models/axe.mdl", link);
  const TRun r = RunTessel("save '" + Model("oq_v_axe.mdl") + "' -o '" + link.string() + "'");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), fs::path("models/axe.mdl"));
  EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  TMDL m;
  m.LoadFromFile(real.string());
  EXPECT_EQ(m.Vertices->Count(), 252);
}
