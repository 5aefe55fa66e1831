#include "mdl/MdlFiler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/Progress.h"
#include "mdl/Mdl.h"
#include "mdl/MdlEditOps.h"
#include "mdl/tests/ModelBuilders.h"

using namespace testmodel;

namespace {

std::vector<uint8_t> SaveBytes(TMDL& m, bool ext) {
  TMemoryStream s;
  m.SaveToStream(s, ext);
  return s.Bytes();
}

void LoadBytes(TMDL& m, const std::vector<uint8_t>& bytes) {
  TMemoryStream s(bytes);
  m.LoadFromStream(s);
}

std::vector<std::string> Names(TMDL& m) {
  std::vector<std::string> r;
  for (int k = 0; k < m.Frames->Count(); ++k) r.push_back(m.Frames->Frame(k).Name());
  return r;
}

// A hand-made game file: no skins, one vertex, no triangles, and the frame
// entries given: a name is a single frame, a "#n" entry a group of n frames.
std::vector<uint8_t> HandMade(int version, const std::vector<std::string>& entries) {
  std::vector<uint8_t> b = {'I', 'D', 'P', 'O'};
  PutI32(b, version);
  for (int k = 0; k < 3; ++k) PutF32(b, 1.0f);   // scale
  for (int k = 0; k < 3; ++k) PutF32(b, 0.0f);   // origin
  PutF32(b, 1.0f);                                // radius
  for (int k = 0; k < 3; ++k) PutF32(b, 0.0f);   // eye
  for (int v : {0, 8, 8, 1, 0, static_cast<int>(entries.size()), 1}) PutI32(b, v);
  if (version == 6) {
    PutI32(b, 0);     // flags
    PutF32(b, 0.0f);  // size
  }
  PutI32(b, 0);  // the vertex: not on the seam, s 0, t 0
  PutI32(b, 0);
  PutI32(b, 0);
  auto record = [&](const std::string& name, uint8_t x) {
    for (int k = 0; k < 8; ++k) b.push_back(0);
    if (version == 6) {
      char n[16] = {};
      std::memcpy(n, name.data(), std::min<size_t>(name.size(), 15));
      b.insert(b.end(), n, n + 16);
    }
    b.insert(b.end(), {x, 0, 0, 5});
  };
  uint8_t x = 0;
  for (const std::string& e : entries) {
    if (e[0] == '#') {
      int n = std::stoi(e.substr(1));
      PutI32(b, 1);
      PutI32(b, n);
      for (int k = 0; k < 8; ++k) b.push_back(0);
      for (int i = 0; i < n; ++i) PutF32(b, 0.25f * static_cast<float>(i + 1));
      for (int i = 0; i < n; ++i) record("g" + std::to_string(i + 1), x++);
    } else {
      PutI32(b, 0);
      record(e, x++);
    }
  }
  return b;
}

struct TDescriptions {
  TProgressObserver Observer;
  std::vector<std::string> Seen;
  TDescriptions() {
    Observer.OnDescriptionChange = [this](TProgressObserver*) { Seen.push_back(Progressor().Description()); };
  }
  bool Has(const std::string& s) const { return std::find(Seen.begin(), Seen.end(), s) != Seen.end(); }
};

}  // namespace

TEST(MdlFilerTest, SavedGamePartIsWhatTheGameReads) {
  TMDL m;
  MakeTwoBoxes(m, 3);
  auto bytes = SaveBytes(m, false);
  // 84 header, one 8 x 4 skin, 16 vertices, 24 triangles, 3 single frames.
  ASSERT_EQ(bytes.size(), 84u + (4 + 32) + 16 * 12 + 24 * 16 + 3 * (4 + 8 + 16 + 16 * 4));
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "IDPO");
  EXPECT_EQ(GetI32LE(&bytes[4]), 6);
  EXPECT_EQ(GetI32LE(&bytes[48]), 1);   // skins
  EXPECT_EQ(GetI32LE(&bytes[52]), 8);   // width
  EXPECT_EQ(GetI32LE(&bytes[56]), 4);   // height
  EXPECT_EQ(GetI32LE(&bytes[60]), 16);  // vertices
  EXPECT_EQ(GetI32LE(&bytes[64]), 24);  // triangles
  EXPECT_EQ(GetI32LE(&bytes[68]), 3);   // frame entries
  EXPECT_EQ(GetI32LE(&bytes[72]), 1);   // sync type
  // The skin's first row in the file is the picture's top row.
  EXPECT_EQ(bytes[84 + 4 + 8], 8);
  // The first skin vertex is on the seam, stored as 32.
  EXPECT_EQ(GetI32LE(&bytes[84 + 36]), 32);
}

TEST(MdlFilerTest, TimedSkinGroupsAreSavedWithClimbingIntervalsAndLoadedAsTheyAre) {
  TMDL m;
  MakeTwoBoxes(m, 1);
  TMDLBitmapGroup& g = m.Skins->Group(0);
  g.GroupType = 1;
  g.SetInterval(0, 0.25f);
  g.SetInterval(1, 0.25f);
  g.SetCount(3);
  g.SetInterval(2, 0.1f);
  m.Skins->RebuildIndex();
  const auto bytes = SaveBytes(m, false);
  // Group type, count, then the intervals, after the header.
  ASSERT_EQ(GetI32LE(&bytes[84]), 1);
  ASSERT_EQ(GetI32LE(&bytes[88]), 3);
  EXPECT_FLOAT_EQ(GetF32LE(&bytes[92]), 0.25f);
  EXPECT_FLOAT_EQ(GetF32LE(&bytes[96]), 0.5f);
  EXPECT_FLOAT_EQ(GetF32LE(&bytes[100]), 0.75f);
  // What a file holds is loaded unchanged, even when the game would refuse it.
  auto odd = bytes;
  PutF32LE(&odd[96], 0.0f);
  PutF32LE(&odd[100], -2.0f);
  TMDL r;
  LoadBytes(r, odd);
  ASSERT_EQ(r.Skins->Count(), 3);
  EXPECT_FLOAT_EQ(r.Skins->Group(0).Interval(1), 0.0f);
  EXPECT_FLOAT_EQ(r.Skins->Group(0).Interval(2), -2.0f);
}

TEST(MdlFilerTest, RoundTripWithoutExtensionKeepsWhatTheGameFormatHolds) {
  TMDL m;
  MakeTwoBoxes(m, 3);
  m.Objects->Object(2).SetParent(&m.Objects->Object(1));
  auto bytes = SaveBytes(m, false);
  TMDL r;
  LoadBytes(r, bytes);
  EXPECT_EQ(r.Vertices->Count(), 16);
  EXPECT_EQ(r.Triangles->Count(), 24);
  ASSERT_EQ(r.Frames->Count(), 3);
  EXPECT_EQ(Names(r), (std::vector<std::string>{"walk1", "walk2", "walk3"}));
  EXPECT_EQ(r.Frames->SceneCount(), 1);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(r.Triangles->Get(i), m.Triangles->Get(i));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.Vertices->Get(i), m.Vertices->Get(i));
  ASSERT_EQ(r.Skins->Count(), 1);
  EXPECT_EQ(r.Skins->SkinName(0), "skin0");
  EXPECT_EQ(r.Skins->Skin(0).Pixel(7, 3), 31);
  EXPECT_EQ(r.Skins->Skin(0).ColorCount()[31], 1);
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 16; ++i) {
      const TFrameVertex a = m.Frames->Frame(k).Get(i), b = r.Frames->Frame(k).Get(i);
      EXPECT_LE(std::fabs(a.X - b.X), 0.5f * r.Header->Scale[0] + 1e-5f);
      EXPECT_LE(std::fabs(a.Y - b.Y), 0.5f * r.Header->Scale[1] + 1e-5f);
      EXPECT_LE(std::fabs(a.Z - b.Z), 0.5f * r.Header->Scale[2] + 1e-5f);
      EXPECT_EQ(a.NormalIndex, b.NormalIndex);
    }
  // Objects come from the mesh again: the hierarchy is not in the game part.
  ASSERT_EQ(r.Objects->Count(), 3);
  EXPECT_EQ(r.Objects->Object(2).Parent, r.Objects->Root());
}

TEST(MdlFilerTest, RoundTripWithExtensionIsExact) {
  TMDL m;
  MakeTwoBoxes(m, 3);
  m.Skins->SetSkinName(0, "painted");
  TMDLObject& b = m.Objects->Object(2);
  b.SetParent(&m.Objects->Object(1));
  b.Name = "arm";
  b.IsJoint[4] = true;
  b.JointValuesA[4] = 1.5f;
  b.JointValuesB[4] = -2.5f;
  b.JointNames[4] = "elbow";
  b.Pivot(1).SetChannel(3, 30);
  b.Pivot(2).SetIsKey(3, true);
  auto bytes = SaveBytes(m, true);
  TMDL r;
  LoadBytes(r, bytes);
  EXPECT_EQ(r.Skins->SkinName(0), "painted");
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 16; ++i) EXPECT_EQ(r.Frames->Frame(k).Get(i), m.Frames->Frame(k).Get(i)) << k << " " << i;
  ASSERT_EQ(r.Objects->Count(), 3);
  TMDLObject& rb = r.Objects->Object(2);
  EXPECT_EQ(rb.Name, "arm");
  EXPECT_EQ(rb.Parent, &r.Objects->Object(1));
  EXPECT_TRUE(rb.IsJoint[4]);
  EXPECT_EQ(rb.JointValuesA[4], 1.5f);
  EXPECT_EQ(rb.JointValuesB[4], -2.5f);
  EXPECT_EQ(rb.JointNames[4], "elbow");
  EXPECT_FLOAT_EQ(rb.Pivot(1).Channel(3), 30);
  EXPECT_TRUE(rb.Pivot(2).IsKey(3));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.Vertices->ObjectIndex(i), m.Vertices->ObjectIndex(i));
  for (int f = 0; f < 3; ++f)
    for (int e = 0; e < 16; ++e) EXPECT_EQ(rb.Pivot(f).Matrix().m[e], b.Pivot(f).Matrix().m[e]);
  // Saving the loaded model again gives the same bytes.
  EXPECT_EQ(SaveBytes(r, true), bytes);
}

TEST(MdlFilerTest, PackingUsesTheModelBox) {
  TMDL m;
  m.Clear();
  AddScene(m, "a", 1);
  m.Vertices->SetCount(3);
  m.Frames->Frame(0).SetCount(3);
  m.Frames->Frame(0).Put(0, TFrameVertex{-3, 2, 1, 0});
  m.Frames->Frame(0).Put(1, TFrameVertex{7, 12, 4, 0});
  m.Frames->Frame(0).Put(2, TFrameVertex{2, 7, 2.5f, 0});
  auto bytes = SaveBytes(m, false);
  const size_t verts = 84 + 3 * 12 + 4 + 8 + 16;
  EXPECT_EQ(bytes[verts + 0], 0);
  EXPECT_EQ(bytes[verts + 1], 0);
  EXPECT_EQ(bytes[verts + 4], 255);
  EXPECT_EQ(bytes[verts + 5], 255);
  EXPECT_EQ(bytes[verts + 6], 255);
  const float* scale = m.Header->Scale;
  EXPECT_EQ(bytes[verts + 8], static_cast<uint8_t>(std::nearbyint(5.0 / scale[0])));
  EXPECT_EQ(bytes[verts + 9], static_cast<uint8_t>(std::nearbyint(5.0 / scale[1])));
  EXPECT_EQ(bytes[verts + 10], static_cast<uint8_t>(std::nearbyint(1.5 / scale[2])));
}

TEST(MdlFilerTest, HeaderCountsFrameEntriesNotFrames) {
  TMDL m;
  m.Clear();
  AddScene(m, "run", 2);
  AddScene(m, "fly", 4, true);
  m.Frames->Frame(0).SetName("odd7");  // renumbered on save
  auto bytes = SaveBytes(m, false);
  EXPECT_EQ(GetI32LE(&bytes[68]), 3);
  TMDL r;
  LoadBytes(r, bytes);
  EXPECT_EQ(Names(r), (std::vector<std::string>{"odd1", "odd2", "fly1", "fly2", "fly3", "fly4"}));
  ASSERT_EQ(r.Frames->SceneCount(), 2);
  EXPECT_TRUE(r.Frames->SceneIsGroup(1));
  EXPECT_FLOAT_EQ(r.Frames->Scene(1).Interval(3), 0.4f);
  EXPECT_EQ(r.Header->NumFrames, 3);
}

TEST(MdlFilerTest, LoadingGathersSingleFramesByBaseName) {
  TMDL m;
  LoadBytes(m, HandMade(6, {"walk1", "walk2", "walk3", "stand", "walk4", "base", "base2", "run1", "#2", "x1"}));
  ASSERT_EQ(m.Frames->SceneCount(), 7);
  EXPECT_EQ(m.Frames->SceneFrameCount(0), 3);
  EXPECT_EQ(m.Frames->SceneName(1), "stand");
  EXPECT_EQ(m.Frames->SceneFrameCount(2), 1);  // walk4 after stand starts anew
  EXPECT_EQ(m.Frames->SceneFrameCount(3), 2);  // base, base2
  EXPECT_EQ(m.Frames->SceneFrameCount(4), 1);  // run1, ended by the group
  EXPECT_TRUE(m.Frames->SceneIsGroup(5));
  EXPECT_EQ(m.Frames->SceneFrameCount(5), 2);
  EXPECT_FLOAT_EQ(m.Frames->Scene(5).Interval(1), 0.5f);
  EXPECT_EQ(m.Frames->Count(), 11);
  EXPECT_EQ(m.Header->NumFrames, 10);
  EXPECT_FLOAT_EQ(m.Frames->Frame(4).Get(0).X, 4);
  EXPECT_EQ(m.Frames->Frame(4).Get(0).NormalIndex, 5);
  EXPECT_EQ(m.Objects->Count(), 2);  // the lone vertex is an object of its own
}

TEST(MdlFilerTest, Version3HasAShortHeaderAndUnnamedFrames) {
  TMDL m;
  m.Header->Flags = 77;
  auto bytes = HandMade(3, {"a1", "a2", "a3"});
  LoadBytes(m, bytes);
  EXPECT_EQ(m.Header->Version, 3);
  EXPECT_EQ(m.Header->Flags, 77);  // not in the file: kept
  ASSERT_EQ(m.Frames->SceneCount(), 3);
  EXPECT_EQ(m.Frames->Frame(2).Name(), "frame");
  EXPECT_FLOAT_EQ(m.Frames->Frame(2).Get(0).X, 2);
  // Saved again it is a version 6 file.
  auto again = SaveBytes(m, false);
  EXPECT_EQ(GetI32LE(&again[4]), 6);
  EXPECT_EQ(again.size(), 84u + 12 + 3 * (4 + 8 + 16 + 4));
}

TEST(MdlFilerTest, ProgressReportsEveryStep) {
  TMDL m;
  MakeTwoBoxes(m, 2);
  TDescriptions d;
  auto bytes = SaveBytes(m, true);
  for (const char* s : {"Saving...", "Saving Header...", "Saving Skins...", ">Saving Skin 0", "Saving Vertices...",
                        "Saving Triangles...", "Saving Frames...", ">Calculating Light Normals Frame 1",
                        ">Saving Frame 0", "Saving Extention Header...", "Saving Skin Names...",
                        "Saving Objects...", ">Saving Object 2"})
    EXPECT_TRUE(d.Has(s)) << s;
  d.Seen.clear();
  TMDL r;
  LoadBytes(r, bytes);
  for (const char* s : {"Loading Header...", "Loading Skins...", ">Loading Skin 0", "Loading Vertices...",
                        "Loading Triangles...", "Loading Frames...", ">Loading Frame 0",
                        "Loading Extention Header...", "Loading Skin Names...", "Loading Objects...",
                        ">Loading Object 2"})
    EXPECT_TRUE(d.Has(s)) << s;
  EXPECT_FALSE(d.Has("Reconstructing Objects..."));
  EXPECT_FALSE(Progressor().Active());
  d.Seen.clear();
  LoadBytes(r, SaveBytes(m, false));
  EXPECT_TRUE(d.Has("Reconstructing Objects..."));
  EXPECT_TRUE(d.Has(">Scanning object 1"));
  EXPECT_TRUE(d.Has(">Reconstructing pivots for object 2"));
}

TEST(MdlFilerTest, WrongMagicOrVersionIsRefused) {
  TMDL m;
  auto bytes = HandMade(6, {"a"});
  bytes[0] = 'X';
  try {
    LoadBytes(m, bytes);
    FAIL();
  } catch (const EMDLError& e) {
    EXPECT_STREQ(e.what(), "Invalid file format");
  }
  bytes = HandMade(6, {"a"});
  bytes[4] = 5;
  try {
    LoadBytes(m, bytes);
    FAIL();
  } catch (const EMDLError& e) {
    EXPECT_STREQ(e.what(), "Incompatible file version ");
  }
  EXPECT_THROW(LoadBytes(m, {}), EMDLError);
  EXPECT_FALSE(Progressor().Active());
}

TEST(MdlFilerTest, ShortFilesAndImpossibleCountsAreRefusedWithAReason) {
  TMDL good;
  MakeTwoBoxes(good, 2);
  const auto bytes = SaveBytes(good, false);
  auto expectError = [](std::vector<uint8_t> b, const std::string& text) {
    TMDL m;
    try {
      LoadBytes(m, b);
      ADD_FAILURE() << "loaded: " << text;
    } catch (const EMDLError& e) {
      EXPECT_EQ(std::string(e.what()), text);
    }
  };
  expectError(std::vector<uint8_t>(bytes.begin(), bytes.end() - 3), "Unexpected end of file while reading frames");
  expectError(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 60), "Unexpected end of file while reading the header");
  expectError(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 100), "Unexpected end of file while reading skins");
  expectError(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 300), "Unexpected end of file while reading vertices");
  auto patched = [&](size_t at, int32_t v) {
    auto b = bytes;
    PutI32LE(&b[at], v);
    return b;
  };
  expectError(patched(48, -1), "Invalid number of skins: -1");
  expectError(patched(48, 2000000000), "Unexpected end of file while reading skins");
  expectError(patched(52, 0x7fffffff), "Skin size 2147483647 x 4 is too large");
  expectError(patched(56, -4), "Invalid skin size 8 x -4");
  expectError(patched(60, 1 << 30), "Too many vertices (1073741824); the limit is 40000");
  expectError(patched(60, 39000), "Unexpected end of file while reading vertices");
  expectError(patched(64, -7), "Invalid number of triangles: -7");
  expectError(patched(68, 1000000), "Unexpected end of file while reading frames");
  // A triangle corner that names no vertex.
  expectError(patched(84 + 36 + 16 * 12 + 4, 16), "Triangle 0 uses vertex 16, which does not exist");
}

TEST(MdlFilerTest, AFailedLoadLeavesAModelThatCanBeClearedAndReused) {
  TMDL m;
  MakeTwoBoxes(m, 2);
  auto bytes = SaveBytes(m, true);
  TMDL r;
  EXPECT_THROW(LoadBytes(r, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 500)), EMDLError);
  r.Clear();
  LoadBytes(r, bytes);
  EXPECT_EQ(r.Frames->Count(), 2);
}

namespace {

// The game part of the two-box model followed by an extension written by
// hand in the layout of `version`.
std::vector<uint8_t> WithOldExtension(int version) {
  TMDL m;
  MakeTwoBoxes(m, 2);
  auto b = SaveBytes(m, false);
  b.insert(b.end(), {'T', 'S', 'L', 'X'});
  PutI32(b, version);
  PutI32(b, 1);  // one skin name
  b.push_back(3);
  b.insert(b.end(), {'o', 'l', 'd'});
  PutI32(b, 3);  // objects
  for (int i = 0; i < 3; ++i) {
    PutI32(b, i);
    PutI32(b, i == 0 ? -1 : (i == 2 ? 1 : 0));
    b.push_back(2);
    b.insert(b.end(), {'o', static_cast<uint8_t>('0' + i)});
    if (version == 1) {
      PutI32(b, i == 0 ? 0 : 12);
      for (int t = 0; t < (i == 0 ? 0 : 12); ++t) PutI32(b, (i - 1) * 12 + t);
    } else {
      PutI32(b, i == 0 ? 0 : 8);
      for (int v = 0; v < (i == 0 ? 0 : 8); ++v) PutI32(b, (i - 1) * 8 + v);
      if (version >= 3) {
        for (int k = 0; k < 9; ++k) b.push_back(k == 1);
        for (int k = 0; k < 18; ++k) PutF32(b, static_cast<float>(k));
        for (int k = 0; k < 9; ++k) b.push_back(0);
      }
    }
    PutI32(b, 2);  // pivots
    for (int f = 0; f < 2; ++f) {
      for (int e = 0; e < 16; ++e) PutF32(b, e % 5 == 0 ? 1.0f : 0.0f);
      for (float v : {static_cast<float>(i), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.05f, 1.0f}) PutF32(b, v);
      if (version >= 3)
        for (int k = 0; k < 9; ++k) b.push_back(k == 0 && f == 1);
    }
  }
  return b;
}

}  // namespace

TEST(MdlFilerTest, OlderExtensionsAreReadWithTheirOwnLayout) {
  for (int version : {1, 2, 3}) {
    SCOPED_TRACE(version);
    TMDL r;
    LoadBytes(r, WithOldExtension(version));
    EXPECT_EQ(r.Skins->SkinName(0), "old");
    ASSERT_EQ(r.Objects->Count(), 3);
    EXPECT_EQ(r.Objects->Object(2).Name, "o2");
    EXPECT_EQ(r.Objects->Object(2).Parent, &r.Objects->Object(1));
    for (int v = 0; v < 16; ++v) EXPECT_EQ(r.Vertices->ObjectIndex(v), v < 8 ? 1 : 2);
    EXPECT_FLOAT_EQ(r.Objects->Object(2).Pivot(1).Channel(0), 2);
    EXPECT_FLOAT_EQ(r.Objects->Object(2).Pivot(1).Channel(7), 0.1f);  // a file's scale is at least 0.1
    EXPECT_EQ(r.Objects->Object(1).JointNames[0], "");
    EXPECT_EQ(r.Objects->Object(1).IsJoint[1], version >= 3);
    EXPECT_EQ(r.Objects->Object(1).Pivot(1).IsKey(0), version >= 3);
  }
}

TEST(MdlFilerTest, ADamagedExtensionFallsBackToTheMesh) {
  auto good = WithOldExtension(3);
  auto expectReconstructed = [](const std::vector<uint8_t>& b, const std::string& skinName) {
    TMDL r;
    LoadBytes(r, b);
    EXPECT_EQ(r.Skins->SkinName(0), skinName);
    ASSERT_EQ(r.Objects->Count(), 3);
    EXPECT_EQ(r.Objects->Object(1).Name, "object1");
    EXPECT_EQ(r.Objects->Object(2).Parent, r.Objects->Root());
  };
  // Cut inside the objects: the names read before stay.
  expectReconstructed(std::vector<uint8_t>(good.begin(), good.end() - 40), "old");
  // A parent cycle, an index that does not match, a vertex that does not exist.
  TMDL base;
  MakeTwoBoxes(base, 2);
  const size_t ext = SaveBytes(base, false).size();
  const size_t obj0 = ext + 8 + 4 + 4 + 4;  // after the marker, names and count
  auto b = good;
  PutI32LE(&b[obj0 + 4], 2);  // the root's parent is object 2, a child of object 1
  expectReconstructed(b, "old");
  b = good;
  PutI32LE(&b[obj0], 1);
  expectReconstructed(b, "old");
  b = good;
  PutI32LE(&b[obj0 + 4 + 4 + 3], 5000000);  // the root's vertex count
  expectReconstructed(b, "old");
  // Another marker: no extension at all.
  b = good;
  b[ext] = 'Q';
  expectReconstructed(b, "skin0");
  // Fewer names than skins.
  b = good;
  PutI32LE(&b[ext + 8], 0);
  expectReconstructed(b, "skin0");
}

TEST(MdlFilerTest, SavingToAFileReplacesItOnlyWhenComplete) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("mdlfiler_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string name = (dir / "model.mdl").string();
  {
    std::ofstream(name) << "previous contents";
  }
  TMDL m;
  MakeTwoBoxes(m, 2);
  {
    // A failure half-way through (here an observer that gives up).
    TProgressObserver stop;
    stop.OnDescriptionChange = [](TProgressObserver*) {
      if (Progressor().Description() == "Saving Frames...") throw EWriteError("disk full");
    };
    EXPECT_THROW(m.SaveToFile(name, true), EWriteError);
  }
  std::ifstream in(name);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "previous contents");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no temporary left
  EXPECT_FALSE(Progressor().Active());
  m.SaveToFile(name, true);
  EXPECT_EQ(m.FileName, fs::absolute(name).lexically_normal().string());
  TMDL r;
  r.LoadFromFile(name);
  EXPECT_EQ(r.Frames->Count(), 2);
  EXPECT_EQ(r.FileName, m.FileName);
  EXPECT_THROW(r.LoadFromFile((dir / "missing.mdl").string()), EStreamError);
  fs::remove_all(dir);
}

TEST(MdlFilerTest, LargeFilesLoadLikeSmallOnes) {
  // Over 8 MiB, the file is read into memory of another kind; what loads
  // must not depend on it.
  namespace fs = std::filesystem;
  const std::string name =
      (fs::temp_directory_path() / ("mdlfiler_large_" + std::to_string(::getpid()) + ".mdl")).string();
  TMDL m;
  m.Clear();
  const int n = 70;  // a 70 x 70 grid, two triangles a cell
  for (int i = 0; i < n * n; ++i) m.Vertices->Add(TSkinVertex{0, i % n, i / n}, kNoObject);
  for (int r = 0; r + 1 < n; ++r)
    for (int c = 0; c + 1 < n; ++c) {
      const int a = r * n + c;
      m.Triangles->Add(TTriangle{1, {a, a + 1, a + n + 1}});
      m.Triangles->Add(TTriangle{1, {a, a + n + 1, a + n}});
    }
  AddScene(m, "wave", 120);
  for (int f = 0; f < m.Frames->Count(); ++f)
    for (int i = 0; i < n * n; ++i)
      m.Frames->Frame(f).Put(i, TFrameVertex{static_cast<float>(i % n), static_cast<float>(i / n),
                                             static_cast<float>(std::sin(0.1 * (i % n) + 0.05 * f)), 0});
  m.Objects->Reconstruct();
  m.SaveToFile(name, true);
  ASSERT_GT(fs::file_size(name), 8u << 20);
  TMDL r;
  r.LoadFromFile(name);
  ASSERT_EQ(r.Frames->Count(), 120);
  ASSERT_EQ(r.Vertices->Count(), n * n);
  for (int f = 0; f < 120; f += 7)
    for (int i = 0; i < n * n; i += 13)
      EXPECT_EQ(r.Frames->Frame(f).Get(i), m.Frames->Frame(f).Get(i)) << f << " " << i;
  EXPECT_EQ(r.Frames->Frame(119).Get(n * n - 1), m.Frames->Frame(119).Get(n * n - 1));
  fs::remove(name);
}

// ---- saving what changed since loading -------------------------------------------

namespace {

// Where the records lie in a game file whose skins are single skins.
struct TPlaces {
  std::vector<size_t> Frames;      // each frame record (its box)
  std::vector<size_t> GroupBoxes;  // each frame group's box
};

TPlaces Places(const std::vector<uint8_t>& b) {
  const int skins = GetI32LE(&b[48]), w = GetI32LE(&b[52]), h = GetI32LE(&b[56]);
  const int verts = GetI32LE(&b[60]), tris = GetI32LE(&b[64]), entries = GetI32LE(&b[68]);
  const size_t record = 8 + 16 + 4 * static_cast<size_t>(verts);
  size_t at = 84 + static_cast<size_t>(skins) * (4 + static_cast<size_t>(w) * static_cast<size_t>(h)) +
              12 * static_cast<size_t>(verts) + 16 * static_cast<size_t>(tris);
  TPlaces p;
  for (int e = 0; e < entries; ++e) {
    if (GetI32LE(&b[at]) == 0) {
      p.Frames.push_back(at + 4);
      at += 4 + record;
      continue;
    }
    const size_t n = static_cast<size_t>(GetI32LE(&b[at + 4]));
    p.GroupBoxes.push_back(at + 8);
    at += 16 + 4 * n;
    for (size_t i = 0; i < n; ++i, at += record) p.Frames.push_back(at);
  }
  return p;
}

std::vector<uint8_t> Bytes(const std::vector<uint8_t>& b, size_t at, size_t n) {
  return std::vector<uint8_t>(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

constexpr size_t kRecordNormals = 8 + 16 + 3;  // the first normal byte of a record

// A game file as another program would write it: boxes, light normals,
// radius, average area and frame names (with bytes behind their ends) that
// this program would not compute. Three single frames "walk0".."walk2" and
// a group of two, two boxes of 8 vertices.
std::vector<uint8_t> ForeignFile() {
  TMDL m;
  MakeTwoBoxes(m, 3);
  AddScene(m, "fly", 2, true);
  for (int k = 3; k < 5; ++k)
    for (int i = 0; i < m.Vertices->Count(); ++i) m.Frames->Frame(k).Put(i, m.Frames->Frame(k - 3).Get(i));
  auto b = SaveBytes(m, false);
  PutF32LE(&b[32], 99.5f);  // radius
  PutF32LE(&b[80], 12.25f);  // average area
  const TPlaces p = Places(b);
  for (size_t k = 0; k < p.Frames.size(); ++k) {
    uint8_t* r = &b[p.Frames[k]];
    r[0] = r[1] = r[2] = 1;  // a box of its own
    for (int i = 0; i < 16; ++i) r[8 + 3 + 4 * i + 16] = static_cast<uint8_t>((7 * i + 3 * k) % kNormalCount);
    const std::string name = (k < 3 ? "walk" : "fly") + std::to_string(k < 3 ? k : k - 2);
    std::memset(r + 8, 0xAB, 16);
    std::memcpy(r + 8, name.c_str(), name.size() + 1);
  }
  for (size_t g : p.GroupBoxes) b[g] = 2;
  return b;
}

}  // namespace

TEST(MdlFilerTest, AFileIsSavedBackAsItWasLoaded) {
  const auto file = ForeignFile();
  TMDL m;
  LoadBytes(m, file);
  ASSERT_EQ(m.Frames->SceneCount(), 2);
  EXPECT_NE(m.Header->Radius, 99.5f);  // loading computes the model's own
  EXPECT_EQ(SaveBytes(m, false), file);
  auto extended = SaveBytes(m, true);
  EXPECT_EQ(Bytes(extended, 0, file.size()), file);
  EXPECT_FLOAT_EQ(m.Header->Radius, 99.5f);  // the header holds what was written
  TMDL r;
  LoadBytes(r, extended);
  EXPECT_EQ(SaveBytes(r, true), extended);
  // Writing the same positions back changes nothing: what counts is what
  // the frames hold, not what was done to them.
  TMDLFrame& f = m.Frames->Frame(1);
  std::vector<TFrameVertex> same(f.Data(), f.Data() + f.Count());
  f.SetPositions(std::move(same));
  m.Frames->Frame(4).Item(3).X += 0;
  EXPECT_EQ(SaveBytes(m, false), file);
}

TEST(MdlFilerTest, AMovedVertexRecomputesItsFrameOnly) {
  const auto file = ForeignFile();
  TMDL m;
  LoadBytes(m, file);
  m.Frames->Frame(1).Item(0).X += 0.3f;  // inside the model box and the grid
  const auto b = SaveBytes(m, false);
  ASSERT_EQ(b.size(), file.size());
  EXPECT_EQ(Bytes(b, 8, 28), Bytes(file, 8, 28));  // scale, origin and radius
  EXPECT_EQ(Bytes(b, 80, 4), Bytes(file, 80, 4));  // the first frame is as it was
  const TPlaces p = Places(file);
  for (size_t k : {0, 2, 3, 4}) EXPECT_EQ(Bytes(b, p.Frames[k], 88), Bytes(file, p.Frames[k], 88)) << k;
  EXPECT_EQ(Bytes(b, p.GroupBoxes[0], 8), Bytes(file, p.GroupBoxes[0], 8));
  // Frame 1: its box, light normals and position computed afresh.
  const uint8_t* r = &b[p.Frames[1]];
  EXPECT_NE(Bytes(b, p.Frames[1], 8), Bytes(file, p.Frames[1], 8));
  const TMDLFrame& f = m.Frames->Frame(1);
  // Its own smallest x, on the loaded grid.
  EXPECT_EQ(r[0], static_cast<uint8_t>(std::nearbyint((f.BBoxMin.X - m.Header->Origin[0]) / m.Header->Scale[0])));
  int differ = 0;
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(r[kRecordNormals + 4 * i], f.Get(i).NormalIndex) << i;
    differ += r[kRecordNormals + 4 * i] != file[p.Frames[1] + kRecordNormals + 4 * i];
  }
  EXPECT_GT(differ, 8);
  EXPECT_EQ(r[8 + 16], static_cast<uint8_t>(std::nearbyint((f.Get(0).X - m.Header->Origin[0]) / m.Header->Scale[0])));
}

TEST(MdlFilerTest, WhatLeavesTheGridOrChangesTheMeshIsRecomputed) {
  const auto file = ForeignFile();
  const TPlaces p = Places(file);
  {
    // Beyond the grid: a new grid, and every frame packed with it; frames
    // that did not move keep their light normals.
    TMDL m;
    LoadBytes(m, file);
    m.Frames->Frame(2).Item(5).Y += 40;
    const auto b = SaveBytes(m, false);
    EXPECT_NE(Bytes(b, 8, 28), Bytes(file, 8, 28));
    EXPECT_NE(GetF32LE(&b[32]), 99.5f);
    EXPECT_EQ(GetF32LE(&b[80]), 12.25f);
    for (size_t k : {0, 1, 3, 4})
      for (int i = 0; i < 16; ++i)
        EXPECT_EQ(b[p.Frames[k] + kRecordNormals + 4 * i], file[p.Frames[k] + kRecordNormals + 4 * i]) << k << " " << i;
    TMDL r;
    LoadBytes(r, b);
    for (int k = 0; k < 5; ++k)
      for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(r.Frames->Frame(k).Get(i).Y, m.Frames->Frame(k).Get(i).Y, 0.5 * r.Header->Scale[1] * 1.001);
  }
  {
    // A triangle turned round: every frame's light normals and the average
    // area are computed again; the grid and the names stay.
    TMDL m;
    LoadBytes(m, file);
    FlipTriangle(m.Triangles->Item(0));
    const auto b = SaveBytes(m, false);
    EXPECT_EQ(Bytes(b, 8, 24), Bytes(file, 8, 24));
    EXPECT_NE(GetF32LE(&b[80]), 12.25f);
    for (size_t k = 0; k < p.Frames.size(); ++k) {
      for (int i = 0; i < 16; ++i)
        EXPECT_EQ(b[p.Frames[k] + kRecordNormals + 4 * i], m.Frames->Frame(static_cast<int>(k)).Get(i).NormalIndex);
      EXPECT_EQ(Bytes(b, p.Frames[k] + 8, 16), Bytes(file, p.Frames[k] + 8, 16));
    }
  }
  for (int gone : {0, 1}) {
    // A frame gone: its scene is renumbered (a name that stays keeps its
    // bytes), the others' records stay, and without the first frame the
    // average area is that of the new first frame.
    TMDL m;
    LoadBytes(m, file);
    m.Frames->DeleteFrame(gone);
    const auto b = SaveBytes(m, false);
    const TPlaces q = Places(b);
    ASSERT_EQ(q.Frames.size(), 4u);
    EXPECT_EQ(GetF32LE(&b[80]), gone == 0 ? static_cast<float>(m.Frames->Frame(0).AverageTriangleArea()) : 12.25f);
    const auto name = [&](size_t k) { return std::string(reinterpret_cast<const char*>(&b[q.Frames[k] + 8]), 16); };
    if (gone == 1) {
      EXPECT_EQ(name(0), std::string("walk1\0\0\0\0\0\0\0\0\0\0\0", 16));  // was walk0
    }
    EXPECT_EQ(Bytes(b, q.Frames[1] + 8, 16), Bytes(file, p.Frames[2] + 8, 16));   // walk2 as loaded
    EXPECT_EQ(Bytes(b, q.Frames[2] + 8, 16), Bytes(file, p.Frames[3] + 8, 16));   // the group's names too
    for (size_t k = 0, from = 0; k < 4; ++k, ++from) {
      if (static_cast<int>(from) == gone) ++from;
      EXPECT_EQ(Bytes(b, q.Frames[k], 8), Bytes(file, p.Frames[from], 8)) << k;
      EXPECT_EQ(Bytes(b, q.Frames[k] + 24, 64), Bytes(file, p.Frames[from] + 24, 64)) << k;
    }
  }
  {
    // A copied frame is written as the frame it copies.
    TMDL m;
    LoadBytes(m, file);
    m.Frames->InsertFrameCopy(3, 1);
    const auto b = SaveBytes(m, false);
    const TPlaces q = Places(b);
    ASSERT_EQ(q.Frames.size(), 6u);
    EXPECT_EQ(Bytes(b, q.Frames[1], 8), Bytes(file, p.Frames[3], 8));
    EXPECT_EQ(Bytes(b, q.Frames[1] + 24, 64), Bytes(file, p.Frames[3] + 24, 64));
  }
}
