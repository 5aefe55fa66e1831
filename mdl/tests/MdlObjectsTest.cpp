#include "mdl/MdlObjects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/Progress.h"
#include "mdl/Mdl.h"
#include "mdl/tests/ModelBuilders.h"

using namespace testmodel;

TEST(MdlObjectsTest, TwoBoxesReconstructToRootAndOneObjectEach) {
  TMDL m;
  MakeTwoBoxes(m, 2);
  ASSERT_EQ(m.Objects->Count(), 3);
  EXPECT_EQ(m.Objects->Object(1).Name, "object1");
  EXPECT_EQ(m.Objects->Object(2).Parent, m.Objects->Root());
  for (int v = 0; v < 16; ++v) EXPECT_EQ(m.Vertices->ObjectIndex(v), v < 8 ? 1 : 2) << v;
  EXPECT_EQ(m.Objects->Root()->CollectVertices(), 0);
  // Pivots sit at each piece's centre, per frame (the first box drifts).
  TVector c = Column(m.Objects->Object(1).Pivot(1).Matrix(), 4);
  EXPECT_NEAR(c.x, 0.5, 1e-5);
  c = Column(m.Objects->Object(2).Pivot(0).Matrix(), 4);
  EXPECT_NEAR(c.x, 10, 1e-5);
  for (int f = 0; f < 2; ++f) EXPECT_EQ(m.Frames->Frame(f).PivotCount(), 3);
  EXPECT_EQ(m.Objects->Object(2).CollectTriangles(), 12);
  EXPECT_EQ(m.Objects->Object(2).TriangleIndices.front(), 12);
}

TEST(MdlObjectsTest, ChangingAPivotMovesTheObjectAndItsChildrenInThatFrameOnly) {
  TMDL m;
  MakeTwoBoxes(m, 2);
  TMDLObject& a = m.Objects->Object(1);
  TMDLObject& b = m.Objects->Object(2);
  b.SetParent(&a);
  EXPECT_EQ(b.ParentIndex, 1);
  const TFrameVertex before0 = m.Frames->Frame(0).Get(9), before1 = m.Frames->Frame(1).Get(9);
  const TFrameVertex own = m.Frames->Frame(1).Get(2);
  TPivot& p = a.Pivot(1);
  p.SetChannel(0, p.Channel(0) + 5);
  EXPECT_NEAR(m.Frames->Frame(1).Get(2).X, own.X + 5, 1e-4);
  EXPECT_NEAR(m.Frames->Frame(1).Get(9).X, before1.X + 5, 1e-4);
  EXPECT_NEAR(m.Frames->Frame(1).Get(9).Y, before1.Y, 1e-4);
  EXPECT_EQ(m.Frames->Frame(0).Get(9), before0);
  // MoveTo moves the pivot, not the vertices.
  const TFrameVertex still = m.Frames->Frame(1).Get(2);
  p.MoveTo(100, 0, 0);
  EXPECT_EQ(m.Frames->Frame(1).Get(2), still);
}

TEST(MdlObjectsTest, ParentsNeverFormACycle) {
  TMDL m;
  MakeTwoBoxes(m, 1);
  TMDLObject& a = m.Objects->Object(1);
  TMDLObject& b = m.Objects->Object(2);
  b.SetParent(&a);
  a.SetParent(&b);  // refused: b is a's child
  EXPECT_EQ(a.Parent, m.Objects->Root());
  a.SetParent(&a);
  EXPECT_EQ(a.Parent, m.Objects->Root());
  a.SetParentIndex(57);  // not an object (yet): remembered only
  EXPECT_EQ(a.ParentIndex, 57);
}

TEST(MdlObjectsTest, DeletingAnObjectLiftsItsChildrenAndRenumbers) {
  TMDL m;
  MakeTwoBoxes(m, 2);
  AddBox(m, 20, 0, 0, 1);
  m.Objects->Reconstruct();
  ASSERT_EQ(m.Objects->Count(), 4);
  m.Objects->Object(2).SetParent(&m.Objects->Object(1));
  m.Objects->Object(3).SetParent(&m.Objects->Object(2));
  m.Objects->Delete(2);
  ASSERT_EQ(m.Objects->Count(), 3);
  TMDLObject& moved = m.Objects->Object(2);
  EXPECT_EQ(moved.Name, "object3");
  EXPECT_EQ(moved.Index, 2);
  EXPECT_EQ(moved.Parent, &m.Objects->Object(1));
  EXPECT_EQ(moved.ParentIndex, 1);
  EXPECT_EQ(m.Vertices->Count(), 16);  // the deleted object's box is gone
  for (int v = 8; v < 16; ++v) EXPECT_EQ(m.Vertices->ObjectIndex(v), 2);
  for (int f = 0; f < 2; ++f) EXPECT_EQ(m.Frames->Frame(f).PivotCount(), 3);
  m.Objects->Delete(0);  // the root stays
  EXPECT_EQ(m.Objects->Count(), 3);
  int added = m.Objects->Add(*m.Objects->Root());
  EXPECT_EQ(added, 3);
  EXPECT_EQ(m.Objects->Object(3).Name, "object3");
}

TEST(MdlObjectsTest, AVeryLongConnectedMeshReconstructsWithoutRecursion) {
  TMDL m;
  m.Clear();
  AddScene(m, "a", 1);
  // A strip of 40000 vertices: one piece whose connections run 40000 deep.
  const int n = kMaxVertices;
  for (int i = 0; i < n; ++i) {
    m.Vertices->Add(TSkinVertex{}, kNoObject);
    m.Frames->Frame(0).Add(TFrameVertex{static_cast<float>(i / 2), static_cast<float>(i % 2), 0, 0});
  }
  for (int i = 0; i + 2 < n; ++i) m.Triangles->Add(TTriangle{1, {i, i + 1, i + 2}});
  m.Objects->Reconstruct();
  ASSERT_EQ(m.Objects->Count(), 2);
  EXPECT_EQ(m.Objects->Object(1).CollectVertices(), n);
  TVector c = Column(m.Objects->Object(1).Pivot(0).Matrix(), 4);
  EXPECT_NEAR(c.x, (n / 2 - 1) / 2.0, 1e-3);
}

// ---- pivots of a loaded model, made on first use ---------------------------------

namespace {

std::vector<uint8_t> GameFileOfThreePieces() {
  TMDL m;
  MakeTwoBoxes(m, 4);
  AddBox(m, -6, 3, 1, 0.5f, 0.125f);
  m.Frames->Scene(0).Frame(2).Item(3).Z = 2.5f;  // one frame leans
  m.Objects->Reconstruct();
  TMemoryStream s;
  m.SaveToStream(s, false);
  return s.Bytes();
}

void Load(TMDL& m, const std::vector<uint8_t>& bytes) {
  TMemoryStream s(bytes);
  m.LoadFromStream(s);
}

// The same model with its pivots made the direct way: every frame unpacked
// first, then the objects rebuilt.
void LoadDirect(TMDL& m, const std::vector<uint8_t>& bytes) {
  Load(m, bytes);
  for (int f = 0; f < m.Frames->Count(); ++f) m.Frames->Frame(f).Data();
  m.Objects->Reconstruct();
}

bool SamePivot(const TPivot& a, const TPivot& b) {
  auto same = [](const void* x, const void* y, size_t n) { return std::memcmp(x, y, n) == 0; };
  for (int k = 0; k < TPivot::kChannels; ++k)
    if (a.IsKey(k) != b.IsKey(k)) return false;
  return same(a.Matrix().m, b.Matrix().m, 64) && same(a.LocalMatrix().m, b.LocalMatrix().m, 64) &&
         same(a.DeltaMatrix().m, b.DeltaMatrix().m, 64) && same(a.Translation(), b.Translation(), 12) &&
         same(a.Rotation(), b.Rotation(), 12) && same(a.Scale(), b.Scale(), 12) && bool(a.OnChange) &&
         bool(b.OnChange);
}

}  // namespace

TEST(MdlObjectsTest, PivotsMadeOnFirstUseAreThoseOfADirectRebuild) {
  const std::vector<uint8_t> bytes = GameFileOfThreePieces();
  TMDL lazy, direct;
  Load(lazy, bytes);
  LoadDirect(direct, bytes);
  ASSERT_EQ(lazy.Objects->Count(), 4);
  ASSERT_EQ(direct.Objects->Count(), 4);
  for (int f = 0; f < lazy.Frames->Count(); ++f) {
    // Counted before anything is made.
    EXPECT_EQ(lazy.Frames->Frame(f).PivotCount(), 4);
    EXPECT_TRUE(lazy.Frames->Frame(f).Packed());
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(lazy.Objects->Object(i).VertexIndices, direct.Objects->Object(i).VertexIndices);
    EXPECT_EQ(lazy.Objects->Object(i).Parent == nullptr, i == 0);
    for (int f = 0; f < lazy.Frames->Count(); ++f)
      EXPECT_TRUE(SamePivot(lazy.Objects->Object(i).Pivot(f), direct.Objects->Object(i).Pivot(f))) << i << " " << f;
  }
  // The pivots are wired to their objects: turning one moves its piece only.
  const TFrameVertex before = lazy.Frames->Frame(1).Get(0), other = lazy.Frames->Frame(1).Get(8);
  lazy.Objects->Object(1).Pivot(1).SetChannel(5, 90);
  EXPECT_NE(lazy.Frames->Frame(1).Get(0), before);
  EXPECT_EQ(lazy.Frames->Frame(1).Get(8), other);
}

TEST(MdlObjectsTest, PositionsChangedBeforeFirstUseDoNotMoveThePivots) {
  const std::vector<uint8_t> bytes = GameFileOfThreePieces();
  TMDL lazy, direct;
  Load(lazy, bytes);
  LoadDirect(direct, bytes);
  // The first touch of frame 2 is a change of a position of object 1.
  lazy.Frames->Frame(2).Item(0).X += 100;
  lazy.Frames->Frame(3).Put(9, TFrameVertex{50, 50, 50, 0});
  for (int i = 0; i < 4; ++i)
    for (int f = 0; f < 4; ++f)
      EXPECT_TRUE(SamePivot(lazy.Objects->Object(i).Pivot(f), direct.Objects->Object(i).Pivot(f))) << i << " " << f;
}

TEST(MdlObjectsTest, PivotsNotYetMadeCanBeDroppedAndRebuilt) {
  const std::vector<uint8_t> bytes = GameFileOfThreePieces();
  TMDL lazy, direct;
  Load(lazy, bytes);
  LoadDirect(direct, bytes);
  lazy.Objects->Reconstruct();
  lazy.Objects->Reconstruct();
  for (int f = 0; f < 4; ++f) EXPECT_TRUE(lazy.Frames->Frame(f).Packed());
  lazy.Objects->SetCount(0);
  EXPECT_EQ(lazy.Frames->Frame(0).PivotCount(), 0);
  lazy.Objects->Reconstruct();
  for (int i = 0; i < 4; ++i)
    for (int f = 0; f < 4; ++f)
      EXPECT_TRUE(SamePivot(lazy.Objects->Object(i).Pivot(f), direct.Objects->Object(i).Pivot(f))) << i << " " << f;
  for (int f = 0; f < 4; ++f)
    for (int v = 0; v < direct.Frames->Frame(f).Count(); ++v)
      EXPECT_EQ(lazy.Frames->Frame(f).Get(v), direct.Frames->Frame(f).Get(v));
  // Deleting an object makes the others' pivots first.
  TMDL again;
  Load(again, bytes);
  again.Objects->Delete(2);
  ASSERT_EQ(again.Objects->Count(), 3);
  EXPECT_TRUE(SamePivot(again.Objects->Object(2).Pivot(3), direct.Objects->Object(3).Pivot(3)));
}

TEST(MdlObjectsTest, PiecesAreNumberedInTheOrderOfTheirLowestVertex) {
  // Random sparse meshes, some corners out of range, compared with a plain
  // flood fill: a vertex not yet taken starts the next object.
  uint32_t seed = 99;
  auto next = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  for (int round = 0; round < 20; ++round) {
    TMDL m;
    m.Clear();
    const int nv = 20 + next(200), nt = next(nv);
    for (int v = 0; v < nv; ++v) m.Vertices->Add(TSkinVertex{}, kNoObject);
    for (int t = 0; t < nt; ++t) {
      TTriangle tri{0, {next(nv), next(nv), next(nv)}};
      if (next(10) == 0) tri.Vertex[next(3)] = next(2) ? -1 : nv + 3;
      m.Triangles->Add(tri);
    }
    m.Objects->Reconstruct();
    std::vector<int> expected(static_cast<size_t>(nv), -1);
    int objects = 1;
    for (int i = 0; i < nv; ++i) {
      if (expected[static_cast<size_t>(i)] >= 0) continue;
      std::vector<int> work{i};
      expected[static_cast<size_t>(i)] = objects;
      while (!work.empty()) {
        const int v = work.back();
        work.pop_back();
        for (const TTriangle& t : m.Triangles->Items()) {
          bool has = false;
          for (int c = 0; c < 3; ++c) has = has || t.Vertex[c] == v;
          if (!has) continue;
          for (int c = 0; c < 3; ++c) {
            const int w = t.Vertex[c];
            if (w >= 0 && w < nv && expected[static_cast<size_t>(w)] < 0) {
              expected[static_cast<size_t>(w)] = objects;
              work.push_back(w);
            }
          }
        }
      }
      ++objects;
    }
    ASSERT_EQ(m.Objects->Count(), objects) << round;
    for (int v = 0; v < nv; ++v) EXPECT_EQ(m.Vertices->ObjectIndex(v), expected[static_cast<size_t>(v)]) << round;
  }
}

TEST(MdlObjectsTest, ScanningReportsEachPositionOnceInOrder) {
  for (const int nv : {1, 2, 3, 49, 50, 51, 99, 100, 101, 390, 777}) {
    TMDL m;
    m.Clear();
    for (int v = 0; v < nv; ++v) m.Vertices->Add(TSkinVertex{}, kNoObject);
    // Pairs of vertices joined, so objects start every other vertex.
    for (int v = 0; v + 1 < nv; v += 2) m.Triangles->Add(TTriangle{0, {v, v + 1, v + 1}});
    TProgressObserver observer;
    observer.SetAccuracy(1);
    std::vector<int32_t> seen;
    observer.OnProgressChange = [&seen](TProgressObserver*) {
      if (Progressor().Description().rfind(">Scanning object", 0) == 0) seen.push_back(Progressor().Position());
    };
    m.Objects->Reconstruct();
    std::vector<int32_t> expected;
    int32_t last = 0;
    for (int i = 0; i < nv; ++i) {
      const auto p = static_cast<int32_t>(std::nearbyint(static_cast<double>(i + 1) / nv * 50));
      if (p != last) expected.push_back(p);
      last = p;
    }
    EXPECT_EQ(seen, expected) << nv;
    EXPECT_EQ(m.Objects->Count(), 1 + (nv + 1) / 2) << nv;
  }
}
