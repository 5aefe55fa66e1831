#include "mdl/MdlMesh.h"

#include <gtest/gtest.h>

#include "mdl/Mdl.h"
#include "mdl/tests/ModelBuilders.h"

using namespace testmodel;

TEST(MdlMeshTest, VertexListKeepsObjectIndicesAlongside) {
  TMDL m;
  m.Clear();
  TMDLVertexList& v = *m.Vertices;
  v.Add(TSkinVertex{0, 1, 2}, 3);
  v.Add(TSkinVertex{kOnSeam, 4, 5}, 7);
  v.Duplicate(0);
  ASSERT_EQ(v.Count(), 3);
  EXPECT_EQ(v.Get(2), (TSkinVertex{0, 1, 2}));
  EXPECT_EQ(v.ObjectIndex(2), 3);
  v.Delete(0);
  EXPECT_EQ(v.Get(0).S, 4);
  EXPECT_EQ(v.ObjectIndex(0), 7);
  v.SetCount(5);
  EXPECT_EQ(v.ObjectIndex(4), kNoObject);
  v.Item(1).Flags = kVertexMark;
  v.Item(3).Flags = kVertexMark;
  v.DeleteMarked();
  ASSERT_EQ(v.Count(), 3);
  EXPECT_EQ(v.ObjectIndex(0), 7);
  EXPECT_EQ(v.ObjectIndex(1), kNoObject);
}

TEST(MdlMeshTest, LooseVerticesLeaveEveryFrameAndTrianglesAreRenumbered) {
  TMDL m;
  MakeTwoBoxes(m, 2);
  // A loose vertex at the front, one in the middle and one at the end.
  m.Vertices->SetCount(19);
  for (int k = 0; k < 2; ++k) m.Frames->Frame(k).SetCount(19);
  const TFrameVertex keep = m.Frames->Frame(1).Get(9);
  for (TTriangle t : m.Triangles->Items()) (void)t;
  // Shift every corner up by one so vertex 0 and 9 become loose too.
  std::vector<TFrameVertex> old(m.Frames->Frame(1).Data(), m.Frames->Frame(1).Data() + 16);
  for (int i = 0; i < m.Triangles->Count(); ++i)
    for (int& c : m.Triangles->Item(i).Vertex) c = c < 8 ? c + 1 : c + 2;
  for (int k = 0; k < 2; ++k)
    for (int i = 15; i >= 0; --i) m.Frames->Frame(k).Put(i < 8 ? i + 1 : i + 2, m.Frames->Frame(k).Get(i));
  m.Triangles->RemoveLooseVertices();
  EXPECT_EQ(m.Vertices->Count(), 16);
  for (int k = 0; k < 2; ++k) EXPECT_EQ(m.Frames->Frame(k).Count(), 16);
  EXPECT_EQ(m.Frames->Frame(1).Get(9), keep);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.Frames->Frame(1).Get(i), old[static_cast<size_t>(i)]) << i;
  EXPECT_EQ(m.Triangles->Get(0).Vertex[0], 0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.Vertices->Get(i).Flags & (kVertexMark | kVertexMark2), 0);
}

TEST(MdlMeshTest, DeleteDegenerateRemovesEveryCollapsedTriangle) {
  TMDL m;
  m.Clear();
  AddScene(m, "a", 1);
  for (int b = 0; b < 20; ++b) AddBox(m, static_cast<float>(3 * b), 0, 0, 1);
  // Collapse triangles spread over the list, including the first and last.
  const int n = m.Triangles->Count();
  for (int t : {0, 1, 57, 120, 121, n - 1}) {
    TTriangle& tri = m.Triangles->Item(t);
    tri.Vertex[t % 3] = tri.Vertex[(t + 1) % 3];
  }
  m.Triangles->DeleteDegenerate();
  EXPECT_EQ(m.Triangles->Count(), n - 6);
  for (const TTriangle& t : m.Triangles->Items()) {
    EXPECT_NE(t.Vertex[0], t.Vertex[1]);
    EXPECT_NE(t.Vertex[1], t.Vertex[2]);
    EXPECT_NE(t.Vertex[0], t.Vertex[2]);
  }
  EXPECT_EQ(m.Vertices->Count(), 160);  // every corner is still used by another face
}

TEST(MdlMeshTest, DeleteUsingVertexAndObjectGeometry) {
  TMDL m;
  MakeTwoBoxes(m, 1);
  m.Triangles->DeleteUsingVertex(0);
  EXPECT_EQ(m.Triangles->Count(), 24 - 6);  // a box corner is in six triangles
  m.Triangles->Delete(0);
  EXPECT_EQ(m.Triangles->Count(), 17);
  m.Triangles->DeleteObjectGeometry(2);  // the second box
  EXPECT_EQ(m.Triangles->Count(), 5);
  EXPECT_EQ(m.Vertices->Count(), 7);  // the loose corner 0 went too
  EXPECT_EQ(m.Frames->Frame(0).Count(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(m.Vertices->ObjectIndex(i), 1);
}
