// Runs the built tessel program's geometry and skin exchange commands on
// models made here, and checks the files they write.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "exchange/TriangleFiler.h"
#include "mdl/Mdl.h"
#include "mdl/tests/ModelBuilders.h"

#include "tessel/tests/RunTessel.h"

namespace fs = std::filesystem;

namespace {


class ExchangeCliTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tessel_xcli_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
    TMDL m;
    testmodel::MakeTwoBoxes(m, 3);
    m.SaveToFile(P("boxes.mdl"), true);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string P(const std::string& name) const { return (Dir / name).string(); }
  // Quoted for the shell.
  std::string Q(const std::string& name) const { return "'" + P(name) + "'"; }
  fs::path Dir;
};

}  // namespace

TEST_F(ExchangeCliTest, ExportFrameByNumberOrNameAsDxfAndCad) {
  TRun r = RunTessel("export-frame " + Q("boxes.mdl") + " 1 " + Q("f1.dxf"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("walk2"), std::string::npos);
  r = RunTessel("export-frame " + Q("boxes.mdl") + " walk3 " + Q("f3.CAD"));
  ASSERT_EQ(r.Status, 0) << r.Err;

  TMDL m;
  m.LoadFromFile(P("boxes.mdl"));
  TTriangleFiler& filer = TTriangleFiler::Instance();
  filer.ImportFromFile(P("f1.dxf"));
  ASSERT_EQ(filer.Count(), 24);
  const TTriangle t = m.Triangles->Get(5);
  const TFrameVertex v = m.Frames->Frame(1).Get(t.Vertex[2]);
  EXPECT_NEAR(filer.Triangle(5)->C[2][0], v.X, 1e-5);
  EXPECT_NEAR(filer.Triangle(5)->C[2][2], v.Z, 1e-5);
  filer.ImportFromFile(P("f3.CAD"));
  ASSERT_EQ(filer.Count(), 24);
  EXPECT_NEAR(filer.Triangle(5)->C[2][0], m.Frames->Frame(2).Get(t.Vertex[2]).X, 0.01);
}

TEST_F(ExchangeCliTest, ExportFrameRefusesWhatItCannotDo) {
  EXPECT_EQ(RunTessel("export-frame " + Q("boxes.mdl") + " 0 " + Q("f.3ds")).Status, 2);
  EXPECT_EQ(RunTessel("export-frame " + Q("boxes.mdl") + " 0").Status, 2);
  TRun r = RunTessel("export-frame " + Q("boxes.mdl") + " 7 " + Q("f.dxf"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("no frame 7"), std::string::npos);
  EXPECT_EQ(RunTessel("export-frame " + Q("boxes.mdl") + " nosuch " + Q("f.dxf")).Status, 1);
  EXPECT_EQ(RunTessel("export-frame " + Q("absent.mdl") + " 0 " + Q("f.dxf")).Status, 1);
  EXPECT_FALSE(fs::exists(P("f.dxf")));
}

TEST_F(ExchangeCliTest, ExportSkinWritesTheSkinsIndices) {
  TRun r = RunTessel("export-skin " + Q("boxes.mdl") + " 0 " + Q("skin.bmp"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  TWinGBitmap b;
  b.LoadFromFile(P("skin.bmp"));
  ASSERT_EQ(b.GetWidth(), 8);
  ASSERT_EQ(b.GetHeight(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(b.ScanLine(y)[x], y * 8 + x);
  EXPECT_EQ(RunTessel("export-skin " + Q("boxes.mdl") + " 1 " + Q("skin2.bmp")).Status, 1);
  EXPECT_EQ(RunTessel("export-skin " + Q("boxes.mdl") + " 0 " + Q("skin.gif")).Status, 2);
  EXPECT_EQ(RunTessel("export-skin " + Q("boxes.mdl") + " x " + Q("skin.bmp")).Status, 2);
}

TEST_F(ExchangeCliTest, ImportSkinAddsOrReplacesASkin) {
  // A 4 x 2 picture in game colours, stretched to the model's 8 x 4.
  TMDLBitmap probe(nullptr);
  probe.SetSize(4, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) probe.Row(y)[x] = static_cast<uint8_t>(100 + y * 4 + x);
  probe.ExportPicture(P("pic.bmp"));

  TRun r = RunTessel("import-skin " + Q("boxes.mdl") + " " + Q("pic.bmp") + " -o " + Q("added.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  TMDL m;
  m.LoadFromFile(P("added.mdl"));
  ASSERT_EQ(m.Skins->Count(), 2);
  EXPECT_EQ(m.Skins->Skin(0).Pixel(7, 3), 31);  // the old skin as it was
  EXPECT_EQ(m.Skins->Skin(1).Width, 8);
  EXPECT_EQ(m.Skins->Skin(1).Pixel(0, 0), 100);
  EXPECT_EQ(m.Skins->Skin(1).Pixel(7, 3), 107);

  r = RunTessel("import-skin " + Q("boxes.mdl") + " " + Q("pic.bmp") + " --skin 0 -o " + Q("replaced.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  TMDL n;
  n.LoadFromFile(P("replaced.mdl"));
  ASSERT_EQ(n.Skins->Count(), 1);
  EXPECT_EQ(n.Skins->Skin(0).Pixel(7, 3), 107);

  std::ofstream(P("bad.pcx")) << "not a picture";
  EXPECT_EQ(RunTessel("import-skin " + Q("boxes.mdl") + " " + Q("bad.pcx") + " -o " + Q("bad.mdl")).Status, 1);
  EXPECT_FALSE(fs::exists(P("bad.mdl")));
  EXPECT_EQ(RunTessel("import-skin " + Q("boxes.mdl") + " " + Q("pic.bmp") + " --skin 3 -o " + Q("x.mdl")).Status, 1);
  EXPECT_EQ(RunTessel("import-skin " + Q("boxes.mdl") + " " + Q("pic.bmp")).Status, 2);
  EXPECT_EQ(RunTessel("import-skin " + Q("boxes.mdl") + " " + Q("pic.gif") + " -o " + Q("x.mdl")).Status, 2);
}

TEST_F(ExchangeCliTest, MergeWritesTheMergedModel) {
  TRun r = RunTessel("merge " + Q("boxes.mdl") + " " + Q("boxes.mdl") + " -o " + Q("merged.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  TMDL m;
  m.LoadFromFile(P("merged.mdl"));
  EXPECT_EQ(m.Vertices->Count(), 32);
  EXPECT_EQ(m.Triangles->Count(), 48);
  EXPECT_EQ(m.Objects->Count(), 5);
  EXPECT_EQ(m.Header->SkinWidth, 16);
  EXPECT_EQ(m.Frames->Count(), 3);

  TMDL empty;
  empty.Clear();
  empty.SaveToFile(P("empty.mdl"), true);
  r = RunTessel("merge " + Q("boxes.mdl") + " " + Q("empty.mdl") + " -o " + Q("m2.mdl"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("no frame"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(P("m2.mdl")));
  EXPECT_EQ(RunTessel("merge " + Q("boxes.mdl") + " -o " + Q("m3.mdl")).Status, 2);
}

TEST_F(ExchangeCliTest, NewFromBaseBuildsAModelFromGeometry) {
  ASSERT_EQ(RunTessel("export-frame " + Q("boxes.mdl") + " 0 " + Q("base.dxf")).Status, 0);
  TRun r = RunTessel("new-from-base " + Q("base.dxf") + " -o " + Q("new.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  TMDL m;
  m.LoadFromFile(P("new.mdl"));
  // Corners that meet are one vertex again: two boxes of 8.
  EXPECT_EQ(m.Vertices->Count(), 16);
  EXPECT_EQ(m.Triangles->Count(), 24);
  EXPECT_EQ(m.Objects->Count(), 3);
  ASSERT_EQ(m.Frames->Count(), 1);
  EXPECT_EQ(m.Frames->Frame(0).Name(), "base");
  ASSERT_EQ(m.Skins->Count(), 1);
  EXPECT_GT(m.Skins->Skin(0).Width, 0);
  EXPECT_EQ(m.Skins->Skin(0).Width, m.Header->SkinWidth);

  std::ofstream(P("empty.dxf")) << "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n";
  r = RunTessel("new-from-base " + Q("empty.dxf") + " -o " + Q("none.mdl"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("No triangles found in file"), std::string::npos) << r.Err;
  EXPECT_EQ(RunTessel("new-from-base " + Q("boxes.mdl") + " -o " + Q("none.mdl")).Status, 2);
  EXPECT_FALSE(fs::exists(P("none.mdl")));
}

TEST_F(ExchangeCliTest, ObjFrameWithItsSkinMakesANewModel) {
  TRun r = RunTessel("export-frame " + Q("boxes.mdl") + " walk2 " + Q("f.obj"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  ASSERT_TRUE(fs::exists(P("f.mtl")));
  ASSERT_TRUE(fs::exists(P("f.png")));
  r = RunTessel("new-from-base " + Q("f.obj") + " -o " + Q("new.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  TMDL m, n;
  m.LoadFromFile(P("boxes.mdl"));
  n.LoadFromFile(P("new.mdl"));
  // The skin came back from the picture, the layout from the texture
  // coordinates: both boxes keep their 8 vertices (vertex 0 of each on the
  // seam) and their triangles read the skin where they did.
  ASSERT_EQ(n.Header->SkinWidth, 8);
  ASSERT_EQ(n.Header->SkinHeight, 4);
  EXPECT_EQ(n.Skins->Skin(0).Row(3)[7], 31);
  EXPECT_EQ(n.Vertices->Count(), 16);
  ASSERT_EQ(n.Triangles->Count(), 24);
  for (int i = 0; i < 24; ++i)
    for (int c = 0; c < 3; ++c) {
      auto at = [](const TMDL& model, int t, int corner) {
        const TTriangle tri = model.Triangles->Get(t);
        const TSkinVertex v = model.Vertices->Get(tri.Vertex[corner]);
        return std::pair(v.S + (tri.FacesFront == 0 && v.Flags != 0 ? 4 : 0), v.T);
      };
      EXPECT_EQ(at(n, i, c), at(m, i, c)) << i << " " << c;
    }

  // A face that names a vertex the file does not have: nothing is written.
  std::ofstream(P("bad.obj")) << "v 0 0 0\nv 1 0 0\n# two only\nf 1 2 3\n";
  r = RunTessel("new-from-base " + Q("bad.obj") + " -o " + Q("bad.mdl"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("Error in OBJ file on line 4: vertex index 3 is out of range (2 defined so far)"),
            std::string::npos)
      << r.Err;
  EXPECT_FALSE(fs::exists(P("bad.mdl")));
}

TEST_F(ExchangeCliTest, NewFromBaseRefusesPositionsNoModelHoldsAndSavesFiniteBounds) {
  // A float near its limit, doubled by the CAD reader, would be infinite.
  const std::string face = "points a\n3\nF 1 1 1 2 2 2 3 3 %s\nF 0 0 0 1 0 0 0 1 0\nend\n";
  auto cad = [&](const std::string& name, const std::string& value) {
    std::string text = face;
    text.replace(text.find("%s"), 2, value);
    std::ofstream(P(name)) << text;
  };
  cad("huge.cad", "3e38");
  TRun r = RunTessel("new-from-base " + Q("huge.cad") + " -o " + Q("huge.mdl"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("'3e38' on line 3 is too large for a coordinate"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(P("huge.mdl")));

  // The farthest positions a model holds save with finite bounds.
  cad("far.cad", "-4999999.5");
  r = RunTessel("new-from-base " + Q("far.cad") + " -o " + Q("far.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  TMDL m;
  m.LoadFromFile(P("far.mdl"));
  const TMDLFiler& h = *m.Header;
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(std::isfinite(h.Scale[k]) && std::isfinite(h.Origin[k])) << k;
    EXPECT_GT(h.Scale[k], 0) << k;
  }
  EXPECT_EQ(h.Origin[1], -9999999.0f);
  EXPECT_TRUE(std::isfinite(h.Radius) && h.Radius >= 9999999.0f) << h.Radius;
  EXPECT_TRUE(std::isfinite(h.Size)) << h.Size;
}
