#include "mdl/MdlObjects.h"

#include <gtest/gtest.h>

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
