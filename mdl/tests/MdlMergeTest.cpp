#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "exchange/TriangleFiler.h"
#include "mdl/Mdl.h"
#include "mdl/Prompts.h"
#include "ModelBuilders.h"

namespace fs = std::filesystem;
using namespace testmodel;

namespace {

// Records every notice and answers every question with a set reply.
class TRecordingPrompts : public TPrompts {
public:
  TRecordingPrompts() { Previous_ = SetPrompts(this); }
  ~TRecordingPrompts() override { SetPrompts(Previous_); }
  void Information(const std::string& text, const std::string& caption) override {
    Notices.push_back(caption + ": " + text);
  }
  bool Confirm(const std::string&, const std::string&) override { return true; }
  std::vector<std::string> Notices;

private:
  TPrompts* Previous_ = nullptr;
};

class MdlMergeTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tessel_merge_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string File(const std::string& name) const { return (Dir / name).string(); }
  fs::path Dir;
};

// A model of `verts` vertices and `tris` triangles chained over them (one
// piece once the chain covers every vertex), with a skin of w x h and one
// frame, saved to `file`.
void SaveSized(const std::string& file, int verts, int tris, int w, int h) {
  TMDL m;
  m.Clear();
  m.Header->SkinWidth = w;
  m.Header->SkinHeight = h;
  m.Skins->InsertSkin(0);
  AddScene(m, "stand", 1);
  for (int i = 0; i < verts; ++i) {
    m.Vertices->Add(TSkinVertex{0, i % w, 0}, kNoObject);
    m.Frames->Frame(0).Add(TFrameVertex{static_cast<float>(i % 100), static_cast<float>(i / 100), 0, 0});
  }
  for (int t = 0; t < tris; ++t) {
    const int a = t % (verts - 2);
    m.Triangles->Add(TTriangle{1, {a, a + 1, a + 2}});
  }
  m.Objects->Reconstruct();
  m.SaveToFile(file, true);
}

std::string MergeError(TMDL& m, const std::string& file) {
  try {
    m.Merge(file);
  } catch (const EMDLError& e) {
    return e.what();
  }
  return "";
}

// Writes the store's triangles to a file through the shared filer.
void WriteTriangles(const std::string& file, const std::vector<std::array<float, 9>>& tris) {
  TTriangleFiler& filer = TTriangleFiler::Instance();
  filer.SetCount(static_cast<int>(tris.size()));
  for (size_t i = 0; i < tris.size(); ++i)
    for (int c = 0; c < 3; ++c)
      filer.Triangle(static_cast<int>(i))->C[c] = TStoreVertex{{tris[i][3 * c], tris[i][3 * c + 1], tris[i][3 * c + 2], 0}};
  filer.ExportToFile(file);
}

}  // namespace

// ---- merge -------------------------------------------------------------------------------

TEST_F(MdlMergeTest, MergeAppendsMeshSkinsFramesAndObjects) {
  TMDL other;
  MakeTwoBoxes(other, 2);
  // Give the other's second object a pivot to carry over and a parent below
  // its first object.
  other.Objects->Object(2).SetParentIndex(1);
  other.Frames->Frame(0).Pivot(2).SetChannels(1, 2, 3, 0, 0, 0, 1, 1, 1);
  other.SaveToFile(File("other.mdl"), true);

  TMDL m;
  MakeTwoBoxes(m, 3);
  m.Vertices->Item(3).S = 6;  // a back-half vertex of this model
  const int O = m.Objects->Count();
  ASSERT_EQ(O, 3);
  TMDL reloaded;
  reloaded.LoadFromFile(File("other.mdl"));
  ASSERT_EQ(reloaded.Objects->Count(), 3);
  m.Merge(File("other.mdl"));

  EXPECT_EQ(m.Vertices->Count(), 32);
  EXPECT_EQ(m.Triangles->Count(), 48);
  EXPECT_EQ(m.Triangles->Get(24).Vertex[0], other.Triangles->Get(0).Vertex[0] + 16);
  EXPECT_EQ(m.Header->SkinWidth, 16);
  EXPECT_EQ(m.Skins->Skin(0).Width, 16);
  // [this front | other front | this back | other back]: the first skin row
  // of both models is 0..7.
  std::string row;
  for (int x = 0; x < 16; ++x) row += std::to_string(m.Skins->Skin(0).Pixel(x, 0)) + " ";
  EXPECT_EQ(row, "0 1 2 3 0 1 2 3 4 5 6 7 4 5 6 7 ");
  EXPECT_EQ(m.Vertices->Get(3).S, 6 + 4);  // back half moved right
  EXPECT_EQ(m.Vertices->Get(1).S, 4);      // S = 4 is not past the middle
  EXPECT_EQ(m.Vertices->Get(16 + 1).S, 4 + 4);
  EXPECT_EQ(m.Vertices->Get(16 + 2).S, 8 + 4 + 4);
  EXPECT_EQ(m.Vertices->Get(16).Flags, kOnSeam);
  EXPECT_EQ(m.Vertices->Get(16).S, 0 + 4);

  // Every frame took the other's first frame for the new vertices.
  for (int f = 0; f < m.Frames->Count(); ++f) {
    ASSERT_EQ(m.Frames->Frame(f).Count(), 32);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m.Frames->Frame(f).Get(16 + i).X, reloaded.Frames->Frame(0).Get(i).X);
  }
  // The light normals are those of the merged mesh in every frame.
  for (int f = 0; f < m.Frames->Count(); ++f) {
    TMDLFrame& frame = m.Frames->Frame(f);
    std::vector<int32_t> kept;
    for (int i = 0; i < frame.Count(); ++i) kept.push_back(frame.Get(i).NormalIndex);
    frame.CalculateNormals();
    for (int i = 0; i < frame.Count(); ++i) EXPECT_EQ(frame.Get(i).NormalIndex, kept[static_cast<size_t>(i)]) << f;
  }
  // Objects: the other's 1 and 2 became 3 and 4, with the parent link kept.
  ASSERT_EQ(m.Objects->Count(), O + 2);
  EXPECT_EQ(m.Vertices->ObjectIndex(16), reloaded.Vertices->ObjectIndex(0) + O - 1);
  EXPECT_EQ(m.Objects->Object(4).ParentIndex, 3);
  EXPECT_EQ(m.Objects->Object(3).ParentIndex, 0);
  for (int f = 0; f < m.Frames->Count(); ++f) {
    EXPECT_FLOAT_EQ(m.Frames->Frame(f).Pivot(4).Channel(0), reloaded.Frames->Frame(0).Pivot(2).Channel(0));
    EXPECT_EQ(m.Frames->Frame(f).PivotCount(), O + 2);
  }
  // The merged model saves and loads back whole.
  m.SaveToFile(File("merged.mdl"), true);
  TMDL back;
  back.LoadFromFile(File("merged.mdl"));
  EXPECT_EQ(back.Vertices->Count(), 32);
  EXPECT_EQ(back.Objects->Count(), 5);
}

TEST_F(MdlMergeTest, MergeOfSkinsEightAndSixWideGivesSixteen) {
  SaveSized(File("six.mdl"), 3, 1, 6, 4);
  TMDL m;
  MakeTwoBoxes(m, 1);
  m.Vertices->Item(5).S = 7;
  m.Merge(File("six.mdl"));
  EXPECT_EQ(m.Header->SkinWidth, 16);
  EXPECT_EQ(m.Vertices->Get(5).S, 11);
  // The other's vertices S 0, 1, 2 (front, up to its middle 3) move by 4.
  EXPECT_EQ(m.Vertices->Get(16).S, 4);
  EXPECT_EQ(m.Vertices->Get(18).S, 6);
}

TEST_F(MdlMergeTest, MergeLimitsAreCheckedBeforeAnythingChanges) {
  // 20000 + 19999 reaches the limit of 39999; 20000 + 19998 stays below.
  SaveSized(File("v19999.mdl"), 19999, 19997, 8, 4);
  SaveSized(File("v19998.mdl"), 19998, 19996, 8, 4);
  TMDL m;
  m.Clear();
  m.Header->SkinWidth = 8;
  m.Header->SkinHeight = 4;
  m.Skins->InsertSkin(0);
  AddScene(m, "a", 1);
  for (int i = 0; i < 20000; ++i) {
    m.Vertices->Add(TSkinVertex{}, kNoObject);
    m.Frames->Frame(0).Add(TFrameVertex{});
  }
  for (int i = 0; i + 2 < 20000; ++i) m.Triangles->Add(TTriangle{1, {i, i + 1, i + 2}});
  m.Objects->Reconstruct();
  EXPECT_EQ(MergeError(m, File("v19999.mdl")), "Vertex limit of 39999 reached, aborting merge");
  EXPECT_EQ(m.Vertices->Count(), 20000);
  EXPECT_EQ(m.Skins->Skin(0).Width, 8);
  EXPECT_EQ(MergeError(m, File("v19998.mdl")), "");
  EXPECT_EQ(m.Vertices->Count(), 39998);

  TMDL t;
  t.Clear();
  AddScene(t, "a", 1);
  for (int i = 0; i < 3; ++i) {
    t.Vertices->Add(TSkinVertex{}, kNoObject);
    t.Frames->Frame(0).Add(TFrameVertex{});
  }
  for (int i = 0; i < 30000; ++i) t.Triangles->Add(TTriangle{1, {0, 1, 2}});
  SaveSized(File("t9999.mdl"), 3, 9999, 8, 4);
  SaveSized(File("t9998.mdl"), 3, 9998, 8, 4);
  EXPECT_EQ(MergeError(t, File("t9999.mdl")), "Triangle limit of 39999 reached, aborting merge");
  EXPECT_EQ(t.Triangles->Count(), 30000);
  EXPECT_EQ(MergeError(t, File("t9998.mdl")), "");
  EXPECT_EQ(t.Triangles->Count(), 39998);
}

TEST_F(MdlMergeTest, MergedSkinWidthIsLimited) {
  SaveSized(File("w2072.mdl"), 3, 1, 2072, 2);
  SaveSized(File("w2073.mdl"), 3, 1, 2073, 2);
  TMDL m;
  m.Clear();
  m.Header->SkinWidth = 1000;
  m.Header->SkinHeight = 2;
  m.Skins->InsertSkin(0);
  AddScene(m, "a", 1);
  EXPECT_EQ(MergeError(m, File("w2073.mdl")), "Maximum skin width of 3072 reached");
  EXPECT_EQ(m.Header->SkinWidth, 1000);
  EXPECT_EQ(MergeError(m, File("w2072.mdl")), "");
  EXPECT_EQ(m.Header->SkinWidth, 3072);
}

TEST_F(MdlMergeTest, MergeRefusesAModelWithoutFramesAndBadFiles) {
  TMDL empty;
  empty.Clear();
  empty.Vertices->Add(TSkinVertex{}, kNoObject);
  empty.SaveToFile(File("noframe.mdl"), true);
  TMDL m;
  MakeTwoBoxes(m, 2);
  EXPECT_THROW(m.Merge(File("noframe.mdl")), EMDLError);
  EXPECT_EQ(m.Vertices->Count(), 16);
  EXPECT_EQ(m.Frames->Frame(1).Count(), 16);

  std::ofstream(File("junk.mdl")) << "not a model at all";
  EXPECT_THROW(m.Merge(File("junk.mdl")), EMDLError);
  EXPECT_THROW(m.Merge(File("missing.mdl")), Exception);
  EXPECT_EQ(m.Vertices->Count(), 16);
  EXPECT_EQ(m.Triangles->Count(), 24);
}

// ---- frame import and export ----------------------------------------------------------------

TEST_F(MdlMergeTest, ExportedFrameImportsBackIntoAnotherFrame) {
  TMDL m;
  MakeTwoBoxes(m, 3);
  m.Frames->Frame(0).ExportFrame(File("f0.dxf"));
  m.Frames->Frame(2).ExportFrame(File("f2.cad"));
  TRecordingPrompts prompts;
  EXPECT_TRUE(m.Frames->Frame(1).ImportFrame(File("f0.dxf")));
  for (int i = 0; i < 16; ++i) {
    const TFrameVertex a = m.Frames->Frame(0).Get(i), b = m.Frames->Frame(1).Get(i);
    EXPECT_NEAR(a.X, b.X, 1e-5);
    EXPECT_NEAR(a.Y, b.Y, 1e-5);
    EXPECT_NEAR(a.Z, b.Z, 1e-5);
  }
  m.Frames->Frame(0).ComputeBoundingBox();
  EXPECT_NEAR(m.Frames->Frame(1).BBoxMin.X, m.Frames->Frame(0).BBoxMin.X, 1e-5);
  EXPECT_TRUE(m.Frames->Frame(0).ImportFrame(File("f2.cad")));
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.Frames->Frame(0).Get(i).X, m.Frames->Frame(2).Get(i).X, 0.01);
  EXPECT_TRUE(prompts.Notices.empty());
}

TEST_F(MdlMergeTest, ExportPullsCoincidentCornersApart) {
  TMDL m;
  MakeTwoBoxes(m, 1);
  TMDLFrame& f = m.Frames->Frame(0);
  f.Put(1, f.Get(0));  // triangle 0 is (0, 1, 3): corner 1 on corner 0
  const float x0 = f.Get(0).X;
  f.ExportFrame(File("pulled.dxf"));
  EXPECT_FLOAT_EQ(f.Get(1).X, x0 - 0.1f);
  TTriangleFiler& filer = TTriangleFiler::Instance();
  ASSERT_EQ(filer.Count(), 24);
  EXPECT_FLOAT_EQ(filer.Triangle(0)->C[1][0], x0 - 0.1f);
}

TEST_F(MdlMergeTest, ImportFrameWithTheWrongTriangleCountTellsAndKeepsThePositions) {
  TMDL m;
  MakeTwoBoxes(m, 2);
  WriteTriangles(File("one.dxf"), {{0, 0, 0, 1, 0, 0, 0, 1, 0}});
  const TFrameVertex before = m.Frames->Frame(1).Get(3);
  TRecordingPrompts prompts;
  EXPECT_FALSE(m.Frames->Frame(1).ImportFrame(File("one.dxf")));
  ASSERT_EQ(prompts.Notices.size(), 1u);
  EXPECT_EQ(prompts.Notices[0],
            "Import Frame: Number of triangles in imported frame does not match the number of triangles in the model");
  const TFrameVertex after = m.Frames->Frame(1).Get(3);
  EXPECT_EQ(after.X, before.X);
  EXPECT_EQ(after.Y, before.Y);
  EXPECT_EQ(after.Z, before.Z);
}

TEST_F(MdlMergeTest, ImportFrameRefusesFilesWithoutTriangles) {
  TMDL m;
  MakeTwoBoxes(m, 1);
  WriteTriangles(File("some.dxf"), {{0, 0, 0, 1, 0, 0, 0, 1, 0}});
  WriteTriangles(File("none.dxf"), {});
  TMDLFrame& f = m.Frames->Frame(0);
  const TFrameVertex before = f.Get(0);
  try {
    f.ImportFrame(File("none.dxf"));
    FAIL() << "no error";
  } catch (const EMDLError& e) {
    EXPECT_EQ(std::string(e.what()), "No triangles found in file " + File("none.dxf"));
  }
  // A file no format reads must not bring back the last file's triangles.
  TTriangleFiler::Instance().ImportFromFile(File("some.dxf"));
  std::ofstream(File("picture.xyz")) << "hello";
  EXPECT_THROW(f.ImportFrame(File("picture.xyz")), EMDLError);
  EXPECT_THROW(f.ImportFrame(File("missing.dxf")), Exception);
  EXPECT_EQ(f.Get(0), before);
}

TEST_F(MdlMergeTest, BaseImportSharesCornersAndRebuildsTheMesh) {
  // Two triangles sharing an edge (within 0.001), and one collapsed triangle
  // that must be pulled apart rather than lost.
  WriteTriangles(File("base.dxf"), {{0, 0, 0, 0, 10, 0, 0, 0, 10},
                                    {0, 10.0005f, 0, 0, 10, 10, 0.0004f, 0, 10},
                                    {0, 20, 0, 0, 20, 0, 0, 20, 5}});
  TMDL m;
  m.Clear();
  AddScene(m, "base", 1);
  TRecordingPrompts prompts;
  TMDLFrame& f = m.Frames->Frame(0);
  ASSERT_EQ(f.Name(), "base");
  EXPECT_FALSE(f.ImportFrame(File("base.dxf")));
  EXPECT_TRUE(prompts.Notices.empty());
  ASSERT_EQ(m.Triangles->Count(), 3);
  EXPECT_EQ(f.Count(), 4 + 3);
  EXPECT_EQ(m.Vertices->Count(), 7);
  const TTriangle t0 = m.Triangles->Get(0), t1 = m.Triangles->Get(1);
  EXPECT_EQ(t1.Vertex[0], t0.Vertex[1]);
  EXPECT_EQ(t1.Vertex[2], t0.Vertex[2]);
  // The collapsed triangle: corner 1 moved off corner 0.
  const TTriangle t2 = m.Triangles->Get(2);
  EXPECT_NE(t2.Vertex[0], t2.Vertex[1]);
  EXPECT_FLOAT_EQ(f.Get(t2.Vertex[1]).X, -0.1f);
  // Objects reconstructed: two pieces; a skin layout was made.
  EXPECT_EQ(m.Objects->Count(), 3);
  EXPECT_GT(m.Header->SkinWidth, 0);
}

TEST_F(MdlMergeTest, BaseImportStopsAtTheTriangleAndVertexLimits) {
  TMDL m;
  m.Clear();
  AddScene(m, "base", 1);
  TMDLFrame& f = m.Frames->Frame(0);
  TTriangleFiler& filer = TTriangleFiler::Instance();
  // A 150 x 150 grid: 22500 corners, 44402 triangles.
  const int n = 150;
  filer.SetCount(0);
  for (int r = 0; r + 1 < n; ++r)
    for (int c = 0; c + 1 < n; ++c) {
      auto p = [](int rr, int cc) { return TStoreVertex{{0, static_cast<float>(cc), static_cast<float>(rr), 0}}; };
      TStoreTriangle& a = filer.AddTriangle();
      a.C[0] = p(r, c);
      a.C[1] = p(r, c + 1);
      a.C[2] = p(r + 1, c + 1);
      TStoreTriangle& b = filer.AddTriangle();
      b.C[0] = p(r, c);
      b.C[1] = p(r + 1, c + 1);
      b.C[2] = p(r + 1, c);
    }
  TRecordingPrompts prompts;
  f.ImportBase();
  EXPECT_EQ(m.Triangles->Count(), 40000);
  ASSERT_EQ(prompts.Notices.size(), 1u);
  EXPECT_EQ(prompts.Notices[0],
            "Import Frame: Limit of 40000 triangles in model has been reached, ignoring remaining triangles");
  EXPECT_EQ(m.Vertices->Count(), f.Count());
  EXPECT_LE(f.Count(), n * n);

  // Separate triangles: three new corners each, so the vertex limit comes
  // first.
  filer.SetCount(0);
  for (int i = 0; i < 14000; ++i) {
    TStoreTriangle& t = filer.AddTriangle();
    for (int c = 0; c < 3; ++c) t.C[c] = TStoreVertex{{static_cast<float>(c), static_cast<float>(i), 0, 0}};
  }
  prompts.Notices.clear();
  f.ImportBase();
  EXPECT_EQ(m.Triangles->Count(), 13333);
  EXPECT_EQ(f.Count(), 39999);
  ASSERT_EQ(prompts.Notices.size(), 1u);
  EXPECT_NE(prompts.Notices[0].find("Limit of 40000 vertices"), std::string::npos);
}

// ---- base import with skin coordinates ------------------------------------------------------

namespace {

struct TSkinnedCorner {
  float X, Y, Z;
  int S, T;  // where the corner reads the skin, in pixels
};
using TSkinnedTriangle = std::array<TSkinnedCorner, 3>;

// Fills the shared filer as a file with texture coordinates would, against
// a skin of w x h.
void FillSkinned(const std::vector<TSkinnedTriangle>& tris, int w, int h) {
  TTriangleFiler& filer = TTriangleFiler::Instance();
  filer.SetCount(0);
  filer.SkinPictureFile.clear();
  std::vector<TStoreSkinTriangle> skin;
  for (const TSkinnedTriangle& t : tris) {
    TStoreTriangle& s = filer.AddTriangle();
    TStoreSkinTriangle& k = skin.emplace_back();
    for (int c = 0; c < 3; ++c) {
      s[c] = TStoreVertex{{t[size_t(c)].X, t[size_t(c)].Y, t[size_t(c)].Z, 0}};
      k[c] = TStoreSkinCoord{float(t[size_t(c)].S) / float(w), float(t[size_t(c)].T) / float(h)};
    }
  }
  filer.SetSkinCoords(std::move(skin));
}

// Every corner of the model reads the skin where the file said, with the
// seam rule: a seam vertex of a back-facing triangle reads half the skin's
// width further right.
void ExpectSkinAsGiven(const TMDL& m, const std::vector<TSkinnedTriangle>& tris) {
  ASSERT_EQ(m.Triangles->Count(), static_cast<int>(tris.size()));
  for (int i = 0; i < m.Triangles->Count(); ++i) {
    const TTriangle t = m.Triangles->Get(i);
    for (int c = 0; c < 3; ++c) {
      const TSkinVertex v = m.Vertices->Get(t.Vertex[c]);
      const int s = v.S + (t.FacesFront == 0 && v.Flags != 0 ? m.Header->SkinWidth / 2 : 0);
      EXPECT_EQ(s, tris[size_t(i)][size_t(c)].S) << "triangle " << i << " corner " << c;
      EXPECT_EQ(v.T, tris[size_t(i)][size_t(c)].T) << "triangle " << i << " corner " << c;
    }
  }
}

// A model with a 16 x 8 skin whose pixels count up, and one "base" frame.
void MakeSized(TMDL& m) {
  m.Clear();
  m.Header->SkinWidth = 16;
  m.Header->SkinHeight = 8;
  m.Skins->InsertSkin(0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) m.Skins->Skin(0).Row(y)[x] = static_cast<uint8_t>(y * 16 + x);
  AddScene(m, "base", 1);
}

}  // namespace

TEST_F(MdlMergeTest, SkinCoordinatesMakeSeamVerticesAndDecideTheFacing) {
  // P0 and P2 are read at (S, T) by t0 and at (S + 8, T) by t1: seam
  // vertices, t0 facing front and t1 back, against what their normals say.
  // t2 has no seam vertex: its normal decides. t3 reads P1 elsewhere: P1
  // becomes two vertices.
  const TSkinnedCorner p0{0, 0, 0, 2, 2}, p1{0, 10, 0, 6, 2}, p2{0, 0, 10, 2, 6};
  const std::vector<TSkinnedTriangle> tris = {
      {p0, p1, p2},
      {TSkinnedCorner{0, 0, 0, 10, 2}, TSkinnedCorner{0, -10, 0, 12, 2}, TSkinnedCorner{0, 0, 10, 10, 6}},
      {TSkinnedCorner{0, 20, 0, 1, 1}, TSkinnedCorner{0, 30, 10, 3, 1}, TSkinnedCorner{0, 30, 0, 3, 3}},
      {TSkinnedCorner{0, 10, 0, 7, 7}, TSkinnedCorner{0, 20, 0, 1, 1}, TSkinnedCorner{0, 10, 10, 5, 5}},
  };
  FillSkinned(tris, 16, 8);
  TMDL m;
  MakeSized(m);
  TRecordingPrompts prompts;
  m.Frames->Frame(0).ImportBase();
  EXPECT_TRUE(prompts.Notices.empty());
  ExpectSkinAsGiven(m, tris);
  EXPECT_EQ(m.Triangles->Get(0).FacesFront, 1);
  EXPECT_EQ(m.Triangles->Get(1).FacesFront, 0);
  EXPECT_EQ(m.Triangles->Get(2).FacesFront, 1);
  // P0, P1, P2, P3; t2's three; P1 again and a new one.
  EXPECT_EQ(m.Vertices->Count(), 9);
  EXPECT_EQ(m.Frames->Frame(0).Count(), 9);
  EXPECT_EQ(m.Vertices->Get(0), (TSkinVertex{kOnSeam, 2, 2}));
  EXPECT_EQ(m.Vertices->Get(2), (TSkinVertex{kOnSeam, 2, 6}));
  EXPECT_EQ(m.Vertices->Get(1), (TSkinVertex{0, 6, 2}));
  EXPECT_EQ(m.Triangles->Get(1).Vertex[0], m.Triangles->Get(0).Vertex[0]);
  EXPECT_NE(m.Triangles->Get(3).Vertex[0], m.Triangles->Get(0).Vertex[1]);
  // t2 and t3 share a corner with the same coordinates: one piece.
  EXPECT_EQ(m.Triangles->Get(3).Vertex[1], m.Triangles->Get(2).Vertex[0]);
  EXPECT_EQ(m.Objects->Count(), 3);
  // The model's skin keeps its size and its picture.
  EXPECT_EQ(m.Header->SkinWidth, 16);
  EXPECT_EQ(m.Skins->Skin(0).Row(7)[15], 127);
}

TEST_F(MdlMergeTest, TriangleThatSeamVerticesPullBothWaysKeepsItsCoordinates) {
  // t2 reads P0 at its front coordinate and P2 at its back one: whichever
  // way it faces, one of them needs a vertex of its own. Three ways to
  // read one position that are not a seam pair give three vertices.
  const std::vector<TSkinnedTriangle> tris = {
      {TSkinnedCorner{0, 0, 0, 2, 2}, TSkinnedCorner{0, 10, 0, 6, 2}, TSkinnedCorner{0, 0, 10, 2, 6}},
      {TSkinnedCorner{0, 0, 0, 10, 2}, TSkinnedCorner{0, -10, 0, 12, 2}, TSkinnedCorner{0, 0, 10, 10, 6}},
      {TSkinnedCorner{0, 0, 0, 2, 2}, TSkinnedCorner{0, 0, 10, 10, 6}, TSkinnedCorner{0, 5, 5, 4, 4}},
      {TSkinnedCorner{0, 5, 5, 1, 4}, TSkinnedCorner{0, 5, 5, 7, 4}, TSkinnedCorner{0, 5, 6, 4, 4}},
  };
  FillSkinned(tris, 16, 8);
  TMDL m;
  MakeSized(m);
  m.Frames->Frame(0).ImportBase();
  ExpectSkinAsGiven(m, tris);
  EXPECT_EQ(m.Vertices->Count(), 4 + 1 + 1 + 3);
}

TEST_F(MdlMergeTest, SkinCoordinatesWithoutASkinSizeUseTheDefaultSize) {
  // Far outside the skin and negative coordinates stay as they are.
  const std::vector<TSkinnedTriangle> tris = {
      {TSkinnedCorner{0, 0, 0, 0, 0}, TSkinnedCorner{0, 1, 0, 255, 0}, TSkinnedCorner{0, 0, 1, -40, 9000}}};
  FillSkinned(tris, 256, 256);
  TMDL m;
  m.Clear();
  m.Skins->InsertSkin(0);
  AddScene(m, "base", 1);
  m.Frames->Frame(0).ImportBase();
  EXPECT_EQ(m.Header->SkinWidth, 256);
  EXPECT_EQ(m.Header->SkinHeight, 256);
  EXPECT_EQ(m.Skins->Skin(0).Width, 256);
  ExpectSkinAsGiven(m, tris);
}

TEST_F(MdlMergeTest, SkinCoordinatesStopAtTheVertexLimit) {
  std::vector<TSkinnedTriangle> tris;
  for (int i = 0; i < 14000; ++i) {
    TSkinnedTriangle t;
    for (int c = 0; c < 3; ++c) t[size_t(c)] = TSkinnedCorner{float(c), float(i), 0, c, i % 8};
    tris.push_back(t);
  }
  FillSkinned(tris, 16, 8);
  TMDL m;
  MakeSized(m);
  TRecordingPrompts prompts;
  m.Frames->Frame(0).ImportBase();
  EXPECT_EQ(m.Triangles->Count(), 13333);
  EXPECT_EQ(m.Vertices->Count(), 39999);
  EXPECT_EQ(m.Frames->Frame(0).Count(), 39999);
  ASSERT_EQ(prompts.Notices.size(), 1u);
  EXPECT_NE(prompts.Notices[0].find("Limit of 40000 vertices"), std::string::npos);
}

// ---- skin layout ----------------------------------------------------------------------------

TEST_F(MdlMergeTest, MapSkinWithoutASkinChoosesTheSize) {
  TMDL m;
  m.Clear();
  AddScene(m, "base", 1);
  TMDLFrame& f = m.Frames->Frame(0);
  // A flat 10 (y) by 20 (z) square of two triangles facing +x, and one
  // triangle facing -x sharing vertex 0.
  for (const TFrameVertex& v : {TFrameVertex{0, 0, 0, 0}, TFrameVertex{0, 10, 0, 0}, TFrameVertex{0, 10, 20, 0},
                                TFrameVertex{0, 0, 20, 0}, TFrameVertex{0, 5, 10, 0}})
    f.Add(v);
  m.Triangles->Add(TTriangle{0, {0, 2, 1}});
  m.Triangles->Add(TTriangle{0, {0, 3, 2}});
  m.Triangles->Add(TTriangle{1, {0, 1, 4}});
  f.MapSkin();
  EXPECT_EQ(m.Header->SkinWidth, 168);
  EXPECT_EQ(m.Header->SkinHeight, 164);
  ASSERT_EQ(m.Vertices->Count(), 5);
  EXPECT_EQ(m.Triangles->Get(0).FacesFront, 1);
  EXPECT_EQ(m.Triangles->Get(2).FacesFront, 0);
  // Vertex 0 is used by front and back triangles: on the seam, front
  // coordinates. Vertex 4 only by the back one: right half (84 + 2 + 5 * 8).
  EXPECT_EQ(m.Vertices->Get(0), (TSkinVertex{kOnSeam, 2, 162}));
  EXPECT_EQ(m.Vertices->Get(2), (TSkinVertex{0, 82, 2}));
  EXPECT_EQ(m.Vertices->Get(4), (TSkinVertex{0, 84 + 2 + 40, 82}));
  EXPECT_EQ(m.Vertices->Get(1).Flags, kOnSeam);
}

TEST_F(MdlMergeTest, MapSkinKeepsTheSkinSizeAndScalesEachAxis) {
  TMDL m;
  m.Clear();
  m.Header->SkinWidth = 48;
  m.Header->SkinHeight = 24;
  m.Skins->InsertSkin(0);
  AddScene(m, "base", 1);
  TMDLFrame& f = m.Frames->Frame(0);
  for (const TFrameVertex& v : {TFrameVertex{0, 0, 0, 0}, TFrameVertex{0, 10, 0, 0}, TFrameVertex{0, 10, 40, 0}}) f.Add(v);
  m.Triangles->Add(TTriangle{0, {0, 2, 1}});
  f.MapSkin();
  // half = 20: sy = 20 / 10; h = 20: sz = 20 / 40.
  EXPECT_EQ(m.Header->SkinWidth, 48);
  EXPECT_EQ(m.Vertices->Get(1).S, 22);
  EXPECT_EQ(m.Vertices->Get(0).T, 22);
  EXPECT_EQ(m.Vertices->Get(2).T, 2);
}

TEST_F(MdlMergeTest, RebuildFromSkinMakesAFlatTwoSidedBase) {
  TMDL m;
  MakeTwoBoxes(m, 1);
  m.Header->SkinWidth = 40;
  TMDLFrame& f = m.Frames->Frame(0);
  f.ComputeBoundingBox();
  // Boxes span y -2..2 and z -2..2: y0 = -2, z1 = 2, dy = 4, s = 8.
  for (int i = 0; i < m.Vertices->Count(); ++i) m.Vertices->Item(i) = TSkinVertex{0, 2 + i, 2 + i};
  m.Vertices->Item(15).S = 30;  // back half
  f.RebuildFromSkin();
  EXPECT_EQ(f.Name(), "base");
  ASSERT_EQ(f.Count(), 16);
  EXPECT_FLOAT_EQ(f.Get(0).X, 4.0f / 6);
  EXPECT_FLOAT_EQ(f.Get(0).Y, -2);
  EXPECT_FLOAT_EQ(f.Get(0).Z, 2);
  EXPECT_FLOAT_EQ(f.Get(8).Y, 8.0f / 8 - 2);
  EXPECT_FLOAT_EQ(f.Get(15).X, -4.0f / 6);
  EXPECT_FLOAT_EQ(f.Get(15).Y, 10.0f / 8 - 2);
}

TEST_F(MdlMergeTest, MapSkinSurvivesPositionsThatAreNotNumbers) {
  TMDL m;
  m.Clear();
  m.Skins->InsertSkin(0);
  AddScene(m, "base", 1);
  TMDLFrame& f = m.Frames->Frame(0);
  const float inf = std::numeric_limits<float>::infinity();
  for (const TFrameVertex& v : {TFrameVertex{0, 0, 0, 0}, TFrameVertex{0, inf, 0, 0},
                                TFrameVertex{0, 1, std::numeric_limits<float>::quiet_NaN(), 0}})
    f.Add(v);
  m.Triangles->Add(TTriangle{0, {0, 2, 1}});
  f.MapSkin();
  // A usable (small) skin, and coordinates that are plain numbers.
  EXPECT_GT(m.Header->SkinWidth, 0);
  EXPECT_LE(m.Header->SkinWidth, 320);
  EXPECT_LE(m.Header->SkinHeight, 200);
  EXPECT_EQ(m.Skins->Skin(0).Width, m.Header->SkinWidth);
  TMemoryStream out;
  m.SaveToStream(out, true);
}
