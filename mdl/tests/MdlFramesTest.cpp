#include "mdl/MdlFrames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>

#include "mdl/Mdl.h"
#include "mdl/Normals.h"
#include "mdl/tests/ModelBuilders.h"

using namespace testmodel;

namespace {

std::vector<std::string> Names(TMDL& m) {
  std::vector<std::string> r;
  for (int k = 0; k < m.Frames->Count(); ++k) r.push_back(m.Frames->Frame(k).Name());
  return r;
}

}  // namespace

TEST(MdlFramesTest, ClearGivesTheEmptyModel) {
  TMDL m;
  MakeTwoBoxes(m);
  m.Clear();
  EXPECT_EQ(m.Skins->Count(), 0);
  EXPECT_EQ(m.Frames->Count(), 0);
  EXPECT_EQ(m.Frames->SceneCount(), 0);
  EXPECT_EQ(m.Vertices->Count(), 0);
  EXPECT_EQ(m.Triangles->Count(), 0);
  ASSERT_EQ(m.Objects->Count(), 1);
  EXPECT_EQ(m.Objects->Root()->Name, "root");
  EXPECT_EQ(m.Header->Version, 6);
  EXPECT_EQ(m.Header->ExtVersion, 4);
  EXPECT_EQ(m.Header->SyncType, 1);
  EXPECT_EQ(m.Frames->CopiedFrame->Count(), 0);
}

TEST(MdlFramesTest, FrameNamesAreCutAndBase1IsBase) {
  TMDL m;
  TMDLFrame f(&m);
  f.SetName("base1");
  EXPECT_EQ(f.Name(), "base");
  f.SetName("abcdefghijklmnopqrst");
  EXPECT_EQ(f.Name(), "abcdefghijklmno");
  EXPECT_EQ(f.NameBytes()[15], 0);
  f.SetName("x");
  for (int i = 1; i < 16; ++i) EXPECT_EQ(f.NameBytes()[i], 0) << i;  // no leftovers of the long name
  EXPECT_EQ(BaseName("walk12"), "walk");
  EXPECT_EQ(BaseName("base"), "base");
  EXPECT_EQ(BaseName("3d"), "");
}

TEST(MdlFramesTest, RenumberUsesTheFirstFramesBaseName) {
  TMDL m;
  m.Clear();
  TMDLFrameGroup& s = AddScene(m, "x", 3);
  s.Frame(0).SetName("run3");
  s.Frame(1).SetName("other");
  s.RenumberFrames();
  EXPECT_EQ(Names(m), (std::vector<std::string>{"run1", "run2", "run3"}));
  TMDLFrameGroup& single = AddScene(m, "base", 1);
  single.RenumberFrames();
  EXPECT_EQ(single.Frame(0).Name(), "base");
}

TEST(MdlFramesTest, IntervalsDefaultAndRepair) {
  TMDL m;
  m.Clear();
  TMDLFrameGroup& s = AddScene(m, "a", 3);
  s.SetType(1);
  EXPECT_FLOAT_EQ(s.Interval(0), 0.1f);
  EXPECT_FLOAT_EQ(s.Interval(1), 0.2f);
  EXPECT_FLOAT_EQ(s.Interval(100), 10.1f);
  // A frame added past the 101 entries still gets an interval of its own.
  s.SetInterval(0, 0.5f);
  for (int i = 1; i < 110; ++i) s.SetInterval(i, 0);
  for (int i = 0; i < 107; ++i) s.Add(std::make_unique<TMDLFrame>(&m));
  ASSERT_EQ(s.Count(), 110);
  for (int i = 0; i + 1 < s.Count(); ++i) EXPECT_GE(s.Interval(i + 1), s.Interval(i)) << i;
  EXPECT_FLOAT_EQ(s.Interval(1), 1.0f);  // 0.5 + 0.5
  m.Frames->SetSceneFrameDuration(0, 2, 0.25f);
  EXPECT_FLOAT_EQ(m.Frames->SceneFrameDuration(0, 2), 0.25f);
}

TEST(MdlFramesTest, ModelBoundsSetOriginScaleAndRadius) {
  TMDL m;
  m.Clear();
  AddScene(m, "a", 2);
  m.Frames->Frame(0).Add(TFrameVertex{-10, 0, 5, 3});
  m.Frames->Frame(1).Add(TFrameVertex{30, 0, 8, 3});
  m.Frames->ComputeBounds();
  const TMDLFiler& h = *m.Header;
  EXPECT_EQ(h.Origin[0], -10);
  EXPECT_EQ(h.Origin[1], 0);
  EXPECT_EQ(h.Origin[2], 5);
  EXPECT_FLOAT_EQ(h.Scale[0], 40.0f / 255);
  EXPECT_FLOAT_EQ(h.Scale[1], 0.0001f);
  EXPECT_FLOAT_EQ(h.Scale[2], 3.0f / 255);
  EXPECT_FLOAT_EQ(h.Radius, std::sqrt(30.0f * 30 + 8 * 8));
  EXPECT_EQ(m.Frames->BBoxMin.NormalIndex, 0);
  // A frame without vertices has an empty box at the origin.
  TMDLFrame empty(&m);
  empty.ComputeBoundingBox();
  EXPECT_EQ(empty.BBoxMin, TFrameVertex{});
  EXPECT_EQ(empty.BBoxMax, TFrameVertex{});
}

TEST(MdlFramesTest, NormalsOfABoxAndOfALooseVertex) {
  TMDL m;
  m.Clear();
  AddScene(m, "a", 1);
  AddBox(m, 0, 0, 0, 1);
  m.Vertices->Add(TSkinVertex{}, kNoObject);
  m.Frames->Frame(0).Add(TFrameVertex{5, 5, 5, 77});
  TMDLFrame& f = m.Frames->Frame(0);
  int pct = f.CalculateNormals();
  EXPECT_EQ(f.Get(8).NormalIndex, 77);  // used by no triangle
  // Every corner of a box points outwards, away from the centre.
  for (int i = 0; i < 8; ++i) {
    TVector n = LightNormal(f.Get(i).NormalIndex), p = MakeVector(f.Get(i).X, f.Get(i).Y, f.Get(i).Z);
    EXPECT_GT(Dot(n, p), 0.5f) << i;
  }
  EXPECT_EQ(pct, static_cast<int>(std::nearbyint(100.0 * 8 / 9)));  // vertex 0 may already be 0
  EXPECT_EQ(f.CalculateNormals(), 0);  // nothing changes the second time
  TMDLFrame empty(&m);
  EXPECT_EQ(empty.CalculateNormals(), 0);
}

TEST(MdlFramesTest, AverageTriangleArea) {
  TMDL m;
  m.Clear();
  AddScene(m, "a", 1);
  AddBox(m, 0, 0, 0, 1);  // faces of 2 x 2 split in two: every triangle has area 2
  EXPECT_DOUBLE_EQ(m.Frames->Frame(0).AverageTriangleArea(), 2.0);
}

TEST(MdlFramesTest, JoinSplitMoveAndDelete) {
  TMDL m;
  m.Clear();
  AddScene(m, "a", 2);
  AddScene(m, "b", 3, true);
  m.Frames->JoinScene(0);
  EXPECT_EQ(m.Frames->SceneCount(), 2);
  m.Frames->SplitScene(1, 0);
  m.Frames->SplitScene(1, 3);
  EXPECT_EQ(m.Frames->SceneCount(), 2);
  m.Frames->SplitScene(1, 2);
  ASSERT_EQ(m.Frames->SceneCount(), 3);
  EXPECT_EQ(m.Frames->SceneFrameCount(1), 2);
  EXPECT_TRUE(m.Frames->SceneIsGroup(1));
  EXPECT_FLOAT_EQ(m.Frames->Scene(1).Interval(1), 0.1f);  // interval 0 of the old scene
  EXPECT_EQ(Names(m), (std::vector<std::string>{"a1", "a2", "b1", "b2", "b3"}));
  m.Frames->JoinScene(1);
  EXPECT_EQ(m.Frames->SceneCount(), 2);
  EXPECT_EQ(m.Frames->SceneFrameCount(0), 4);

  // Moving forwards puts the frame before the one that was at `to`.
  EXPECT_FALSE(m.Frames->MoveFrame(1, 1));
  EXPECT_TRUE(m.Frames->MoveFrame(0, 3));
  EXPECT_EQ(Names(m), (std::vector<std::string>{"a2", "b1", "a1", "b2", "b3"}));
  EXPECT_TRUE(m.Frames->MoveFrame(4, 0));
  EXPECT_EQ(Names(m), (std::vector<std::string>{"b3", "a2", "b1", "a1", "b2"}));
  m.Frames->DeleteFrame(2);
  EXPECT_EQ(m.Frames->Count(), 4);
  while (m.Frames->Count() > 0) m.Frames->DeleteFrame(0);
  EXPECT_EQ(m.Frames->SceneCount(), 0);  // emptied scenes go too
}

TEST(MdlFramesTest, MovingTheOnlyFrameOfASceneFreesIt) {
  TMDL m;
  m.Clear();
  AddScene(m, "a", 1);
  AddScene(m, "b", 2);
  EXPECT_TRUE(m.Frames->MoveFrame(0, 2));
  EXPECT_EQ(m.Frames->SceneCount(), 1);
  EXPECT_EQ(Names(m), (std::vector<std::string>{"b1", "a1", "b2"}));
  EXPECT_TRUE(m.Frames->MoveFrame(0, 3));  // past the end: to the end of the last scene
  EXPECT_EQ(Names(m), (std::vector<std::string>{"a1", "b2", "b1"}));
}

TEST(MdlFramesTest, CopyPasteAndScenes) {
  TMDL m;
  MakeTwoBoxes(m, 2);
  m.Frames->PasteFrame(0);
  EXPECT_EQ(m.Frames->Count(), 2);  // nothing copied yet
  m.Frames->CopyFrame(1);
  m.Frames->PasteFrame(0);
  ASSERT_EQ(m.Frames->Count(), 3);
  EXPECT_EQ(m.Frames->Frame(0).Name(), "walk2");
  EXPECT_EQ(m.Frames->Frame(0).Get(3), m.Frames->Frame(2).Get(3));
  EXPECT_EQ(m.Frames->Frame(0).PivotCount(), m.Objects->Count());
  m.Frames->InsertFrameCopy(0, 3);
  EXPECT_EQ(m.Frames->Count(), 4);

  AddScene(m, "walk", 1);
  AddScene(m, "run", 1);
  EXPECT_TRUE(m.Frames->MoveScene(2, 0));
  EXPECT_EQ(m.Frames->SceneName(0), "run");
  EXPECT_EQ(m.Frames->FrameIndex(&m.Frames->Scene(1)), 1);
  m.Frames->SetUniqueSceneName(2, "w4a-l k!");
  EXPECT_EQ(m.Frames->SceneName(2), "wall");  // "walk" is the scene before
  m.Frames->SetUniqueSceneName(1, "wall");
  EXPECT_EQ(m.Frames->SceneName(1), "walm");  // "wall" is the scene after
  m.Frames->SetUniqueSceneName(1, "123");
  EXPECT_EQ(m.Frames->SceneName(1), "walm");  // no letters: unchanged
  m.Frames->SetUniqueSceneName(0, "abcdefghijklmnopq");
  EXPECT_EQ(m.Frames->SceneName(0), "abcdefghijklm");
  m.Frames->RenameScene(1, "jump9");
  EXPECT_EQ(m.Frames->Scene(1).Frame(2).Name(), "jump3");
}

TEST(MdlFramesTest, VerticesAddedToEveryFrame) {
  TMDL m;
  MakeTwoBoxes(m, 3);
  m.Frames->AddVertexToAll(TFrameVertex{1, 2, 3, 4});
  m.Frames->DuplicateVertexInAll(2);
  for (int k = 0; k < 3; ++k) {
    ASSERT_EQ(m.Frames->Frame(k).Count(), 18);
    EXPECT_EQ(m.Frames->Frame(k).Get(16), (TFrameVertex{1, 2, 3, 4}));
    EXPECT_EQ(m.Frames->Frame(k).Get(17), m.Frames->Frame(k).Get(2));
  }
}

// ---- positions kept packed until first use ---------------------------------------

namespace {

// A packed source over `bytes` whose axis k maps byte b to scale[k] * b +
// origin[k], as a file's header does.
std::shared_ptr<TPackedPositions> Packed(const std::vector<uint8_t>& bytes, const float scale[3],
                                         const float origin[3]) {
  auto p = std::make_shared<TPackedPositions>();
  auto copy = std::make_shared<uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), copy.get());
  p->Bytes = copy;
  for (int k = 0; k < 3; ++k)
    for (int b = 0; b < 256; ++b) p->Axis[k][b] = static_cast<float>(b * static_cast<double>(scale[k]) + origin[k]);
  p->SetOrders();
  return p;
}

// The box as the running comparisons give it, position by position.
void ReferenceBox(const TMDLFrame& f, TFrameVertex& mn, TFrameVertex& mx) {
  float lo[3] = {9999999, 9999999, 9999999}, hi[3] = {-9999999, -9999999, -9999999};
  for (int i = 0; i < f.Count(); ++i) {
    const TFrameVertex v = f.Get(i);
    const float p[3] = {v.X, v.Y, v.Z};
    for (int k = 0; k < 3; ++k) {
      lo[k] = p[k] < lo[k] ? p[k] : lo[k];
      hi[k] = p[k] > hi[k] ? p[k] : hi[k];
    }
  }
  mn = TFrameVertex{lo[0], lo[1], lo[2], 0};
  mx = TFrameVertex{hi[0], hi[1], hi[2], 0};
}

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

}  // namespace

TEST(MdlFramesTest, TableOrdersDecideWhetherBytesGiveTheBox) {
  const std::vector<uint8_t> none;
  const float up[3] = {0.5f, -2.0f, 0.0f}, at[3] = {1, 1, 3};
  auto p = Packed(none, up, at);
  EXPECT_EQ(p->Order[0], 1);
  EXPECT_EQ(p->Order[1], -1);
  EXPECT_NE(p->Order[2], 0);  // a constant axis is ordered both ways
  // A NaN or a negative zero anywhere leaves the box to the positions.
  const float nan[3] = {std::nanf(""), 1, -1e-30f}, from[3] = {0, 0, -0.0f};
  p = Packed(none, nan, from);
  EXPECT_EQ(p->Order[0], 0);
  EXPECT_EQ(p->Order[1], 1);
  EXPECT_EQ(p->Order[2], 0);
  p->Axis[1][7] = 1000;  // no longer ordered
  p->SetOrders();
  EXPECT_EQ(p->Order[1], 0);
}

TEST(MdlFramesTest, PackedPositionsAreUnpackedOnFirstUseWithTheSameBox) {
  TMDL m;
  // 37 positions, so the last ones do not fill a block of four.
  std::vector<uint8_t> bytes(3 + 37 * 4);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i * 53 + 11) % 251);
  bytes[3 + 4 * 36 + 3] = 200;  // a normal index past the table reads as 0
  struct TCase {
    float Scale[3], Origin[3];
  };
  const TCase cases[] = {
      {{0.25f, 1.0f, 3.0f}, {-10, 0, 5}},
      {{-0.25f, 0.0f, -3.0f}, {10, 2, -5}},           // falling and constant axes
      {{std::nanf(""), 1.0f, 1e-30f}, {0, -0.0f, 0}},  // NaN and zero of both signs: unpacked first
  };
  for (const int n : {1, 3, 4, 5, 8, 11, 16, 27, 37}) {
    for (const TCase& c : cases) {
      auto source = Packed(bytes, c.Scale, c.Origin);
      TMDLFrame f(&m);
      // The last n positions; every length takes its own way through the
      // blocks of four and eight.
      f.SetPacked(source, 3 + 4 * static_cast<size_t>(37 - n), n);
      EXPECT_TRUE(f.Packed());
      EXPECT_EQ(f.Count(), n);
      EXPECT_EQ(f.Capacity(), n);
      f.ComputeBoundingBox();
      const TFrameVertex mn = f.BBoxMin, mx = f.BBoxMax;
      // The box never needs the positions when the tables are ordered.
      EXPECT_EQ(f.Packed(), source->Order[0] != 0 && source->Order[1] != 0 && source->Order[2] != 0);
      for (int i = 0; i < n; ++i) {
        const uint8_t* p = bytes.data() + 3 + 4 * (37 - n + i);
        const TFrameVertex v = f.Get(i);
        EXPECT_EQ(Bits(v.X), Bits(source->Axis[0][p[0]])) << i;
        EXPECT_EQ(Bits(v.Y), Bits(source->Axis[1][p[1]])) << i;
        EXPECT_EQ(Bits(v.Z), Bits(source->Axis[2][p[2]])) << i;
        EXPECT_EQ(v.NormalIndex, p[3] < kNormalCount ? p[3] : 0) << i;
      }
      EXPECT_FALSE(f.Packed());
      EXPECT_EQ(f.Capacity(), n);
      TFrameVertex rmn, rmx;
      ReferenceBox(f, rmn, rmx);
      for (const auto& [a, b] : {std::pair{mn, rmn}, std::pair{mx, rmx}}) {
        EXPECT_EQ(Bits(a.X), Bits(b.X));
        EXPECT_EQ(Bits(a.Y), Bits(b.Y));
        EXPECT_EQ(Bits(a.Z), Bits(b.Z));
      }
    }
  }
}

TEST(MdlFramesTest, PackedFramesCopyGrowAndOverwriteLikeOthers) {
  TMDL m;
  const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
  const float scale[3] = {1, 1, 1}, origin[3] = {0, 0, 0};
  auto source = Packed(bytes, scale, origin);
  TMDLFrame a(&m), b(&m), c(&m);
  a.SetPacked(source, 0, 2);
  b.Assign(a);
  EXPECT_EQ(b.Get(1), (TFrameVertex{5, 6, 7, 8}));
  a.SetPacked(source, 4, 1);
  a.Add(TFrameVertex{9, 9, 9, 0});
  EXPECT_EQ(a.Get(0), (TFrameVertex{5, 6, 7, 8}));
  EXPECT_EQ(a.Count(), 2);
  // Positions replaced whole are not unpacked first.
  c.SetPacked(source, 0, 2);
  c.SetPositions({TFrameVertex{1, 1, 1, 0}});
  EXPECT_FALSE(c.Packed());
  EXPECT_EQ(c.Count(), 1);
  EXPECT_EQ(c.Get(0), (TFrameVertex{1, 1, 1, 0}));
}

TEST(MdlFramesTest, FirstUseFromSeveralThreadsSeesOnePositionArray) {
  TMDL m;
  std::vector<uint8_t> bytes(4 * 5000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  const float scale[3] = {0.5f, 0.25f, 2}, origin[3] = {1, 2, 3};
  auto source = Packed(bytes, scale, origin);
  std::vector<std::unique_ptr<TMDLFrame>> frames;
  for (int k = 0; k < 8; ++k) {
    frames.push_back(std::make_unique<TMDLFrame>(&m));
    frames.back()->SetPacked(source, 0, 5000);
  }
  std::vector<const TFrameVertex*> seen[2];
  auto reader = [&](int t) {
    for (auto& f : frames) seen[t].push_back(static_cast<const TMDLFrame&>(*f).Data());
  };
  std::thread one(reader, 0), two(reader, 1);
  one.join();
  two.join();
  EXPECT_EQ(seen[0], seen[1]);
  for (auto& f : frames) EXPECT_EQ(f->Get(4999).Z, source->Axis[2][static_cast<uint8_t>(4999 * 4 * 7 + 2 * 7)]);
}

TEST(MdlFramesTest, ZerosOfBothSignsTakeTheBoxFromThePositions) {
  TMDL m;
  // x bytes 2 then 1: the running minimum keeps the first of the two equal
  // zeros, the negative one.
  const std::vector<uint8_t> bytes = {2, 0, 0, 0, 1, 0, 0, 0};
  const float scale[3] = {1, 1, 1}, origin[3] = {0, 0, 0};
  auto source = Packed(bytes, scale, origin);
  source->Axis[0][1] = 0.0f;
  source->Axis[0][2] = -0.0f;
  source->SetOrders();
  TMDLFrame f(&m);
  f.SetPacked(source, 0, 2);
  f.ComputeBoundingBox();
  EXPECT_TRUE(std::signbit(f.BBoxMin.X));
  EXPECT_TRUE(std::signbit(f.BBoxMax.X));
}

TEST(MdlFramesTest, RepairingMemberByMemberMatchesAFullPassEachTime) {
  // The plain repair: every pair, every time.
  auto full = [](std::vector<float>& v, int count) {
    if (static_cast<int>(v.size()) < count) v.resize(static_cast<size_t>(count), 0.0f);
    for (int i = 0; i + 1 < count; ++i)
      if (v[static_cast<size_t>(i) + 1] < v[static_cast<size_t>(i)])
        v[static_cast<size_t>(i) + 1] = v[0] + v[static_cast<size_t>(i)];
  };
  const float values[] = {0.0f, 0.5f, 0.1f, -0.3f, 2.0f, std::nanf(""), 1e30f, -1e30f, 0.25f};
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int round = 0; round < 200; ++round) {
    TIntervals t;
    std::vector<float> ref(kIntervalCount, 0.0f);
    int members = 0;
    for (int step = 0; step < 150; ++step) {
      if (next(5) == 0) {
        // Some members set by hand, sometimes the first.
        const int i = static_cast<int>(next(static_cast<uint32_t>(members + 2)));
        const float v = values[next(sizeof values / sizeof values[0])];
        t.Set(i, v);
        if (static_cast<int>(ref.size()) <= i) ref.resize(static_cast<size_t>(i) + 1, 0.0f);
        ref[static_cast<size_t>(i)] = v;
      } else {
        ++members;
        t.Repair(members);
        full(ref, members);
      }
      ASSERT_EQ(t.Size(), static_cast<int>(ref.size()));
      for (int i = 0; i < t.Size(); ++i) {
        const float a = t.Get(i), b = ref[static_cast<size_t>(i)];
        ASSERT_TRUE(std::memcmp(&a, &b, 4) == 0) << "round " << round << " step " << step << " entry " << i;
      }
    }
  }
}

TEST(MdlFramesTest, BoxOfPackedBytesFindsTheExtremesAnywhere) {
  TMDL m;
  const float scale[3] = {1, 1, 1}, origin[3] = {0, 0, 0};
  for (int n = 1; n <= 40; ++n)
    for (int j = 0; j < n; ++j) {
      std::vector<uint8_t> bytes(4 * static_cast<size_t>(n), 100);
      bytes[4 * static_cast<size_t>(j)] = 0;
      bytes[4 * static_cast<size_t>(j) + 1] = 255;
      bytes[4 * static_cast<size_t>(j) + 2] = 7;
      TMDLFrame f(&m);
      f.SetPacked(Packed(bytes, scale, origin), 0, n);
      f.ComputeBoundingBox();
      ASSERT_TRUE(f.Packed());
      const float rest = n > 1 ? 100 : -1;  // the other positions' bytes, if any
      EXPECT_EQ(f.BBoxMin, (TFrameVertex{0, n > 1 ? rest : 255, 7, 0})) << n << " " << j;
      EXPECT_EQ(f.BBoxMax, (TFrameVertex{n > 1 ? rest : 0, 255, n > 1 ? rest : 7, 0})) << n << " " << j;
    }
}

TEST(MdlFramesTest, PivotsOfAPackedFrameNeedNoUnpacking) {
  TMDL m;
  const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
  const float scale[3] = {1, 1, 1}, origin[3] = {0, 0, 0};
  TMDLFrame f(&m);
  f.SetPivotCount(1);
  f.SetPacked(Packed(bytes, scale, origin), 0, 2);
  // Pivots read from a file's extension are set frame by frame; the
  // positions stay packed until they are used.
  f.SetPivotCount(3);
  f.Pivot(2).SetChannel(0, 5);
  f.InsertPivot(0);  // the pivot set moves to 3
  f.DeletePivot(1);  // and back to 2
  EXPECT_TRUE(f.Packed());
  EXPECT_EQ(f.PivotCount(), 3);
  EXPECT_EQ(f.Pivot(2).Channel(0), 5);
  EXPECT_EQ(f.Get(1), (TFrameVertex{5, 6, 7, 8}));
}

TEST(MdlFramesTest, FramesMadeInBlocksLiveAndDieOneByOne) {
  TMDL m;
  std::vector<std::unique_ptr<TMDLFrame>> frames;
  {
    // More frames than one block holds, and more than the slab expected.
    TFrameSlab slab(200);
    for (int i = 0; i < 300; ++i) {
      frames.push_back(slab.Make(&m));
      frames.back()->SetName("f" + std::to_string(i));
      frames.back()->Add(TFrameVertex{static_cast<float>(i), 0, 0, 0});
    }
  }
  // Freed out of order, some swapped for frames of their own, the slab gone.
  for (size_t i = 0; i < frames.size(); i += 2) frames[i].reset();
  for (size_t i = 1; i < frames.size(); i += 6) {
    auto own = std::make_unique<TMDLFrame>(&m);
    own->Assign(*frames[i]);
    frames[i] = std::move(own);
  }
  for (size_t i = 1; i < frames.size(); i += 2) {
    ASSERT_TRUE(frames[i]);
    EXPECT_EQ(frames[i]->Name(), "f" + std::to_string(i));
    ASSERT_EQ(frames[i]->Count(), 1);
    EXPECT_EQ(frames[i]->Get(0).X, static_cast<float>(i));
  }
  // Into a model's scene and out with it.
  TMDLFrameGroup& scene = m.Frames->NewScene();
  for (size_t i = 1; i < frames.size(); i += 4) scene.Add(std::move(frames[i]));
  m.Frames->RebuildIndex();
  EXPECT_EQ(m.Frames->Count(), 75);
  EXPECT_EQ(m.Frames->Frame(74).Name(), "f297");
  frames.clear();
  EXPECT_EQ(m.Frames->Frame(0).Get(0).X, 1.0f);
}

TEST(MdlFramesTest, ManyLoadedFramesKeepTheirOwnNamesAndPositions) {
  TMDL m;
  MakeTwoBoxes(m, 1);
  m.Frames->Clear();
  for (const char* base : {"run", "jump"}) {
    TMDLFrameGroup& s = AddScene(m, base, 150);
    for (int i = 0; i < s.Count(); ++i)
      for (int v = 0; v < s.Frame(i).Count(); ++v) s.Frame(i).Item(v) = TFrameVertex{static_cast<float>(i % 50), 1, static_cast<float>(v), 0};
  }
  m.Objects->Reconstruct();
  TMemoryStream stream;
  m.SaveToStream(stream, false);
  TMDL r;
  r.LoadFromStream(stream);
  ASSERT_EQ(r.Frames->Count(), 300);
  ASSERT_EQ(r.Frames->SceneCount(), 2);
  for (int k = 0; k < 300; ++k) {
    TMDLFrame& f = r.Frames->Frame(k);
    EXPECT_EQ(f.Name(), (k < 150 ? "run" : "jump") + std::to_string(k % 150 + 1)) << k;
    EXPECT_NEAR(f.Get(3).X, (k % 150) % 50, 0.2) << k;
    EXPECT_EQ(f.PivotCount(), r.Objects->Count());
  }
  // Frames taken out of the loaded model outlive it.
  std::unique_ptr<TMDLFrame> kept = r.Frames->Scene(1).Remove(7);
  r.Frames->RebuildIndex();
  r.Clear();
  EXPECT_EQ(kept->Name(), "jump8");
}
