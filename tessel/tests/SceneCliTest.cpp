// Runs the built tessel program's scene list commands: scenes written as a
// frame list with geometry files beside it, and read back into a model.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "mdl/Mdl.h"
#include "mdl/tests/ModelBuilders.h"
#include "tessel/tests/RunTessel.h"

namespace fs = std::filesystem;

namespace {

class SceneCliTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tessel_scli_" + std::to_string(::getpid()));
    fs::create_directories(Dir / "set");
    // Scenes "stand" (1 frame) and "walk" (3 frames), two boxes.
    TMDL m;
    m.Clear();
    m.Header->SkinWidth = 8;
    m.Header->SkinHeight = 4;
    m.Skins->InsertSkin(0);
    testmodel::AddScene(m, "stand", 1);
    testmodel::AddScene(m, "walk", 3);
    testmodel::AddBox(m, 0, 0, 0, 1, 0.5f);
    testmodel::AddBox(m, 10, 0, 0, 2, -0.25f);
    m.Objects->Reconstruct();
    m.SaveToFile(P("boxes.mdl"), true);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string P(const std::string& name) const { return (Dir / name).string(); }
  std::string Q(const std::string& name) const { return "'" + P(name) + "'"; }
  std::string Read(const std::string& name) const {
    std::ifstream in(P(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::path Dir;
};

}  // namespace

TEST_F(SceneCliTest, AllScenesGoOutAndComeBackIntoTheModel) {
  TRun r = RunTessel("export-scenes " + Q("boxes.mdl") + " " + Q("set/list.frs"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("exported 2 scenes (4 frames)"), std::string::npos) << r.Out;
  EXPECT_EQ(Read("set/list.frs"),
            "[Scenes]\r\ncount=2\r\n0=stand\r\n1=walk\r\n[stand]\r\ncount=1\r\n0=list0.DXF\r\n"
            "[walk]\r\ncount=3\r\n0=list1.DXF\r\n1=list2.DXF\r\n2=list3.DXF\r\n");
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(fs::exists(Dir / "set" / ("list" + std::to_string(k) + ".DXF"))) << k;

  r = RunTessel("import-scenes " + Q("boxes.mdl") + " " + Q("set/list.frs") + " -o " + Q("out.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("imported 2 scenes (4 frames)"), std::string::npos) << r.Out;
  TMDL m;
  m.LoadFromFile(P("out.mdl"));
  ASSERT_EQ(m.Frames->Count(), 8);
  EXPECT_EQ(m.Frames->Frame(4).Name(), "stand1");
  EXPECT_EQ(m.Frames->Frame(7).Name(), "walk3");
  for (int k = 0; k < 4; ++k)
    for (int v = 0; v < m.Vertices->Count(); ++v) {
      const TFrameVertex a = m.Frames->Frame(k).Get(v), b = m.Frames->Frame(4 + k).Get(v);
      ASSERT_NEAR(a.X, b.X, 1e-5) << k << " " << v;
      ASSERT_NEAR(a.Y, b.Y, 1e-5) << k << " " << v;
      ASSERT_NEAR(a.Z, b.Z, 1e-5) << k << " " << v;
    }
}

TEST_F(SceneCliTest, OneSceneAsCadFiles) {
  TRun r = RunTessel("export-scenes " + Q("boxes.mdl") + " " + Q("set/walk.frs") + " --scene 1 --format CAD");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Read("set/walk.frs"),
            "[Scenes]\r\ncount=1\r\n0=walk\r\n[walk]\r\ncount=3\r\n0=walk1.CAD\r\n1=walk2.CAD\r\n2=walk3.CAD\r\n");
  EXPECT_FALSE(fs::exists(Dir / "set" / "walk0.CAD"));
  r = RunTessel("import-scenes " + Q("boxes.mdl") + " " + Q("set/walk.frs") + " -o " + Q("out.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  TMDL m;
  m.LoadFromFile(P("out.mdl"));
  EXPECT_EQ(m.Frames->Count(), 7);
}

TEST_F(SceneCliTest, OneSceneAsObjFiles) {
  TRun r = RunTessel("export-scenes " + Q("boxes.mdl") + " " + Q("set/walk.frs") + " --scene 1 --format obj");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Read("set/walk.frs"),
            "[Scenes]\r\ncount=1\r\n0=walk\r\n[walk]\r\ncount=3\r\n0=walk1.OBJ\r\n1=walk2.OBJ\r\n2=walk3.OBJ\r\n");
  // Each frame file has its material and skin picture beside it.
  EXPECT_TRUE(fs::exists(Dir / "set" / "walk3.mtl"));
  EXPECT_TRUE(fs::exists(Dir / "set" / "walk3.png"));
  r = RunTessel("import-scenes " + Q("boxes.mdl") + " " + Q("set/walk.frs") + " -o " + Q("out.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  TMDL m;
  m.LoadFromFile(P("out.mdl"));
  ASSERT_EQ(m.Frames->Count(), 7);
  for (int v = 0; v < m.Vertices->Count(); ++v) {
    const TFrameVertex a = m.Frames->Frame(1 + 2).Get(v), b = m.Frames->Frame(4 + 2).Get(v);
    ASSERT_NEAR(a.X, b.X, 1e-5) << v;
    ASSERT_NEAR(a.Z, b.Z, 1e-5) << v;
  }
}

TEST_F(SceneCliTest, WrongArgumentsAreRefused) {
  const std::string export_ = "export-scenes " + Q("boxes.mdl") + " " + Q("set/l.frs");
  EXPECT_EQ(RunTessel(export_ + " --scene 0 --all").Status, 2);
  EXPECT_EQ(RunTessel(export_ + " --all --all").Status, 2);
  EXPECT_EQ(RunTessel(export_ + " --scene x").Status, 2);
  EXPECT_EQ(RunTessel(export_ + " --format 3ds").Status, 2);
  EXPECT_EQ(RunTessel("export-scenes " + Q("boxes.mdl")).Status, 2);
  TRun r = RunTessel(export_ + " --scene 2");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("no scene 2"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(P("set/l.frs")));
  EXPECT_EQ(RunTessel("import-scenes " + Q("boxes.mdl") + " " + Q("set/l.frs")).Status, 2);
}

TEST_F(SceneCliTest, ABadListSavesNothing) {
  std::ofstream(P("set/evil.frs")) << "[Scenes]\ncount=1\n0=evil\n[evil]\ncount=1\n0=../boxes.dxf\n";
  TRun r = RunTessel("import-scenes " + Q("boxes.mdl") + " " + Q("set/evil.frs") + " -o " + Q("out.mdl"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("not a plain file name"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(P("out.mdl")));
  r = RunTessel("import-scenes " + Q("boxes.mdl") + " " + Q("set/absent.frs") + " -o " + Q("out.mdl"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_FALSE(fs::exists(P("out.mdl")));
}

TEST_F(SceneCliTest, FramesOfAnotherModelAreCountedAndNothingIsSaved) {
  // A list exported from a model of one box (12 triangles) does not fit the
  // two boxes (24 triangles).
  TMDL other;
  other.Clear();
  other.Header->SkinWidth = 8;
  other.Header->SkinHeight = 4;
  other.Skins->InsertSkin(0);
  testmodel::AddScene(other, "jump", 3);
  testmodel::AddBox(other, 0, 0, 0, 1, 0.5f);
  other.Objects->Reconstruct();
  other.SaveToFile(P("one.mdl"), true);
  TRun r = RunTessel("export-scenes " + Q("one.mdl") + " " + Q("set/jump.frs") + " --all");
  ASSERT_EQ(r.Status, 0) << r.Err;

  r = RunTessel("import-scenes " + Q("boxes.mdl") + " " + Q("set/jump.frs") + " -o " + Q("out.mdl"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("0 of 3 frames from " + P("set/jump.frs") + " match the model's 24 triangles; nothing saved"),
            std::string::npos)
      << r.Err;
  // The notice comes once for the batch, not once per frame.
  const std::string notice = "3 of 3 frames: Number of triangles in imported frame does not match";
  EXPECT_NE(r.Err.find(notice), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find(notice), r.Err.rfind(notice)) << r.Err;
  EXPECT_EQ(r.Out.find("imported"), std::string::npos) << r.Out;
  EXPECT_FALSE(fs::exists(P("out.mdl")));

  // A list that fits says how many matched.
  r = RunTessel("export-scenes " + Q("boxes.mdl") + " " + Q("set/own.frs") + " --all");
  ASSERT_EQ(r.Status, 0) << r.Err;
  r = RunTessel("import-scenes " + Q("boxes.mdl") + " " + Q("set/own.frs") + " -o " + Q("out.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("4 of 4 frames match the model"), std::string::npos) << r.Out;
}
