// The mesh operations behind the editing commands, each against the plain
// loop it stands for, on random meshes: same triangles in the same order,
// same vertices, same positions in every frame.

#include "mdl/MdlEditOps.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "mdl/Mdl.h"

namespace {

// A random mesh over few vertices (so edges are shared often, by two or
// more triangles, either way round), with degenerate triangles now and
// then, `frames` frames of random positions and a few objects.
void MakeRandomModel(TMDL& m, uint32_t seed, int vertices, int triangles, int frames = 3) {
  std::mt19937 rng(seed);
  m.Clear();
  m.Objects->SetCount(3);
  TMDLFrameGroup& scene = m.Frames->NewScene();
  for (int k = 0; k < frames; ++k) {
    auto f = std::make_unique<TMDLFrame>(&m);
    f->SetPivotCount(m.Objects->Count());
    f->SetName("f" + std::to_string(k + 1));
    scene.Add(std::move(f));
  }
  m.Frames->RebuildIndex();
  std::uniform_int_distribution<int> coord(0, 100), pick(0, vertices - 1), owner(0, 2), flag(0, 3);
  for (int v = 0; v < vertices; ++v) {
    m.Vertices->Add(TSkinVertex{flag(rng) == 0 ? kOnSeam : 0, coord(rng), coord(rng)}, static_cast<uint16_t>(owner(rng)));
    for (int k = 0; k < frames; ++k)
      m.Frames->Frame(k).Add(TFrameVertex{static_cast<float>(coord(rng)), static_cast<float>(coord(rng)),
                                          static_cast<float>(coord(rng)), coord(rng) % 162});
  }
  for (int t = 0; t < triangles; ++t) {
    TTriangle tri{t & 1, {pick(rng), pick(rng), pick(rng)}};
    if (flag(rng) != 0)  // mostly proper triangles
      while (tri.Vertex[1] == tri.Vertex[0] || tri.Vertex[2] == tri.Vertex[0] || tri.Vertex[2] == tri.Vertex[1]) {
        tri.Vertex[1] = pick(rng);
        tri.Vertex[2] = pick(rng);
      }
    m.Triangles->Add(tri);
  }
}

std::vector<bool> RandomMarks(uint32_t seed, int n, int percent) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(0, 99);
  std::vector<bool> marks(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) marks[static_cast<size_t>(i)] = d(rng) < percent;
  return marks;
}

::testing::AssertionResult SameModel(TMDL& a, TMDL& b) {
  if (a.Triangles->Items() != b.Triangles->Items()) return ::testing::AssertionFailure() << "triangles differ";
  if (a.Vertices->Count() != b.Vertices->Count()) return ::testing::AssertionFailure() << "vertex counts differ";
  for (int v = 0; v < a.Vertices->Count(); ++v)
    if (a.Vertices->Get(v) != b.Vertices->Get(v) || a.Vertices->ObjectIndex(v) != b.Vertices->ObjectIndex(v))
      return ::testing::AssertionFailure() << "vertex " << v << " differs";
  if (a.Frames->Count() != b.Frames->Count()) return ::testing::AssertionFailure() << "frame counts differ";
  for (int k = 0; k < a.Frames->Count(); ++k) {
    TMDLFrame &fa = a.Frames->Frame(k), &fb = b.Frames->Frame(k);
    if (fa.Count() != fb.Count()) return ::testing::AssertionFailure() << "frame " << k << " sizes differ";
    for (int v = 0; v < fa.Count(); ++v)
      if (!(fa.Get(v) == fb.Get(v))) return ::testing::AssertionFailure() << "frame " << k << " vertex " << v;
  }
  return ::testing::AssertionSuccess();
}

// ---- the plain loops ----------------------------------------------------------------

TEdgeShare PlainShare(const TTriangle& a, const TTriangle& b) {
  const int ea[3][2] = {{a.Vertex[0], a.Vertex[1]}, {a.Vertex[1], a.Vertex[2]}, {a.Vertex[2], a.Vertex[0]}};
  const int eb[3][2] = {{b.Vertex[0], b.Vertex[1]}, {b.Vertex[1], b.Vertex[2]}, {b.Vertex[2], b.Vertex[0]}};
  for (const auto& x : ea)
    for (const auto& y : eb) {
      if (x[0] == y[0] && x[1] == y[1]) return TEdgeShare::SameDirection;
      if (x[0] == y[1] && x[1] == y[0]) return TEdgeShare::Reversed;
    }
  return TEdgeShare::None;
}

void PlainVisit(std::vector<TTriangle>& tris, std::vector<bool>& visited, int t) {
  visited[static_cast<size_t>(t)] = true;
  int found = 0;
  for (size_t i = 0; i < tris.size(); ++i) {
    if (visited[i]) continue;
    const TEdgeShare s = PlainShare(tris[static_cast<size_t>(t)], tris[i]);
    if (s == TEdgeShare::None) continue;
    if (s == TEdgeShare::SameDirection) std::swap(tris[i].Vertex[0], tris[i].Vertex[2]);
    PlainVisit(tris, visited, static_cast<int>(i));
    if (++found == 3) break;
  }
}

std::vector<TTriangle> PlainAlign(std::vector<TTriangle> tris, int start) {
  std::vector<bool> visited(tris.size(), false);
  PlainVisit(tris, visited, start);
  return tris;
}

}  // namespace

TEST(MdlEditOps, SharedEdgeTellsTheWayTheEdgeRuns) {
  const TTriangle a{0, {0, 1, 2}};
  EXPECT_EQ(SharedEdge(a, TTriangle{0, {1, 0, 3}}), TEdgeShare::Reversed);
  EXPECT_EQ(SharedEdge(a, TTriangle{0, {3, 1, 2}}), TEdgeShare::SameDirection);
  EXPECT_EQ(SharedEdge(a, TTriangle{0, {5, 2, 0}}), TEdgeShare::SameDirection);
  EXPECT_EQ(SharedEdge(a, TTriangle{0, {2, 5, 0}}), TEdgeShare::Reversed);
  EXPECT_EQ(SharedEdge(a, TTriangle{0, {0, 3, 4}}), TEdgeShare::None);
  // A degenerate edge runs both ways: the same direction is tried first.
  EXPECT_EQ(SharedEdge(TTriangle{0, {4, 4, 5}}, TTriangle{0, {6, 4, 4}}), TEdgeShare::SameDirection);
  TTriangle f{0, {7, 8, 9}};
  FlipTriangle(f);
  EXPECT_EQ(f, (TTriangle{0, {9, 8, 7}}));
}

TEST(MdlEditOps, AlignTrianglesAgreesWithThePlainWalkOnRandomMeshes) {
  int turned = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    TMDL m;
    const int vertices = 4 + static_cast<int>(seed % 20);
    const int triangles = 1 + static_cast<int>((seed * 7) % 90);
    MakeRandomModel(m, seed, vertices, triangles, 1);
    const std::vector<TTriangle> before = m.Triangles->Items();
    const int start = static_cast<int>(seed % static_cast<uint32_t>(triangles));
    AlignTriangles(*m.Triangles, start);
    ASSERT_EQ(m.Triangles->Items(), PlainAlign(before, start)) << "seed " << seed;
    turned += m.Triangles->Items() != before;
  }
  EXPECT_GT(turned, 100);  // the meshes do exercise the turning
}

TEST(MdlEditOps, AlignTrianglesFixesAGridAndIgnoresABadStart) {
  // A 30 x 30 grid of quads, every other triangle turned round.
  TMDL m;
  const int n = 30;
  auto at = [&](int x, int y) { return y * (n + 1) + x; };
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      TTriangle a{1, {at(x, y), at(x + 1, y), at(x + 1, y + 1)}};
      TTriangle b{1, {at(x, y), at(x + 1, y + 1), at(x, y + 1)}};
      if ((x + y) % 2) FlipTriangle(b);
      m.Triangles->Add(a);
      m.Triangles->Add(b);
    }
  const std::vector<TTriangle> before = m.Triangles->Items();
  AlignTriangles(*m.Triangles, 0);
  EXPECT_EQ(m.Triangles->Items(), PlainAlign(before, 0));
  for (int t = 0; t < m.Triangles->Count(); t += 2) EXPECT_EQ(m.Triangles->Get(t), before[static_cast<size_t>(t)]);
  AlignTriangles(*m.Triangles, -1);
  AlignTriangles(*m.Triangles, m.Triangles->Count());
}

TEST(MdlEditOps, OrientLikeNeighbourTakesTheFirstNeighbourOnly) {
  TMDL m;
  m.Triangles->Add(TTriangle{0, {5, 6, 7}});
  m.Triangles->Add(TTriangle{0, {0, 1, 9}});  // runs 0-1 like the new one
  m.Triangles->Add(TTriangle{0, {1, 0, 8}});  // the other way, but later
  TTriangle t{0, {0, 1, 2}};
  EXPECT_TRUE(OrientLikeNeighbour(*m.Triangles, t));
  EXPECT_EQ(t, (TTriangle{0, {2, 1, 0}}));
  TTriangle u{0, {1, 0, 2}};
  EXPECT_FALSE(OrientLikeNeighbour(*m.Triangles, u));
  TTriangle alone{0, {20, 21, 22}};
  EXPECT_FALSE(OrientLikeNeighbour(*m.Triangles, alone));
}

TEST(MdlEditOps, DeletingTrianglesOfMarkedVerticesIsTheVertexByVertexLoop) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    TMDL fast, plain;
    MakeRandomModel(fast, seed, 40, 70);
    MakeRandomModel(plain, seed, 40, 70);
    const std::vector<bool> marks = RandomMarks(seed, 40, 10);
    DeleteTrianglesUsingVertices(fast, marks);
    for (int v = 0; v < 40; ++v)
      if (marks[static_cast<size_t>(v)]) plain.Triangles->DeleteUsingVertex(v);
    plain.Triangles->RemoveLooseVertices();
    ASSERT_TRUE(SameModel(fast, plain)) << "seed " << seed;
  }
}

TEST(MdlEditOps, DeletingMarkedTrianglesIsTheHighestFirstLoop) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    TMDL fast, plain;
    MakeRandomModel(fast, seed, 40, 70);
    MakeRandomModel(plain, seed, 40, 70);
    const std::vector<bool> marks = RandomMarks(seed + 1000, 60, 30);  // shorter than the list
    DeleteMarkedTriangles(fast, marks);
    for (int t = plain.Triangles->Count() - 1; t >= 0; --t)
      if (t < 60 && marks[static_cast<size_t>(t)]) plain.Triangles->Delete(t);
    plain.Triangles->RemoveLooseVertices();
    ASSERT_TRUE(SameModel(fast, plain)) << "seed " << seed;
  }
}

TEST(MdlEditOps, MergeVerticesIsReplaceThenDropTheCollapsed) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    TMDL fast, plain;
    MakeRandomModel(fast, seed, 30, 60);
    MakeRandomModel(plain, seed, 30, 60);
    const std::vector<bool> marks = RandomMarks(seed + 2000, 30, 20);
    const int target = static_cast<int>(seed % 30);
    MergeVertices(fast, marks, target);
    for (int t = 0; t < plain.Triangles->Count(); ++t)
      for (int c = 0; c < 3; ++c)
        if (marks[static_cast<size_t>(plain.Triangles->Get(t).Vertex[c])]) plain.Triangles->Item(t).Vertex[c] = target;
    for (int t = plain.Triangles->Count() - 1; t >= 0; --t) {
      const TTriangle x = plain.Triangles->Get(t);
      if (x.Vertex[0] == x.Vertex[1] || x.Vertex[1] == x.Vertex[2] || x.Vertex[0] == x.Vertex[2])
        plain.Triangles->Delete(t);
    }
    plain.Triangles->RemoveLooseVertices();
    ASSERT_TRUE(SameModel(fast, plain)) << "seed " << seed;
  }
}

TEST(MdlEditOps, SplitVerticesIsACopyPerCornerThenDropTheLoose) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    TMDL fast, plain;
    MakeRandomModel(fast, seed, 30, 50);
    MakeRandomModel(plain, seed, 30, 50);
    const std::vector<bool> marks = RandomMarks(seed + 3000, 30, 25);
    const int predicted = SplitVerticesResult(fast, marks);
    SplitVertices(fast, marks);
    EXPECT_EQ(fast.Vertices->Count(), predicted);
    for (int t = 0; t < plain.Triangles->Count(); ++t)
      for (int c = 0; c < 3; ++c) {
        const int v = plain.Triangles->Get(t).Vertex[c];
        if (!marks[static_cast<size_t>(v)]) continue;
        plain.Vertices->Duplicate(v);
        plain.Frames->DuplicateVertexInAll(v);
        plain.Triangles->Item(t).Vertex[c] = plain.Vertices->Count() - 1;
      }
    plain.Triangles->RemoveLooseVertices();
    ASSERT_TRUE(SameModel(fast, plain)) << "seed " << seed;
  }
}

TEST(MdlEditOps, SplitKeepsTheCopiedFrameInStep) {
  TMDL m;
  MakeRandomModel(m, 5, 20, 30);
  m.Frames->CopyFrame(1);
  SplitVertices(m, RandomMarks(9, 20, 30));
  EXPECT_EQ(m.Frames->CopiedFrame->Count(), m.Vertices->Count());
}

TEST(MdlEditOps, DuplicateSceneCopiesFramesIntervalsAndType) {
  TMDL m;
  MakeRandomModel(m, 3, 10, 5, 4);
  m.Frames->SetSceneType(0, true);
  m.Frames->SetSceneFrameDuration(0, 2, 0.75f);
  DuplicateScene(*m.Frames, 0);
  DuplicateScene(*m.Frames, 5);  // no such scene
  ASSERT_EQ(m.Frames->SceneCount(), 2);
  ASSERT_EQ(m.Frames->Count(), 8);
  EXPECT_TRUE(m.Frames->SceneIsGroup(0));
  EXPECT_FLOAT_EQ(m.Frames->SceneFrameDuration(0, 2), 0.75f);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(m.Frames->Frame(k).Name(), m.Frames->Frame(k + 4).Name());
    EXPECT_EQ(m.Frames->Frame(k).Get(3), m.Frames->Frame(k + 4).Get(3));
    EXPECT_EQ(m.Frames->Frame(k).PivotCount(), 3);
  }
  m.Frames->Frame(0).Item(0).X = -1;
  EXPECT_NE(m.Frames->Frame(4).Get(0).X, -1);
}
