#include "exchange/TriangleStore.h"

#include <gtest/gtest.h>

TEST(TriangleStore, GrowsInWholeBlocksAndNeverShrinks) {
  TTriangleStore store;
  EXPECT_EQ(store.Count(), 0);
  store.SetCount(999);
  EXPECT_EQ(store.Capacity(), 1000);
  // Room for at least one more than the count: 1000 needs a second block.
  store.SetCount(1000);
  EXPECT_EQ(store.Capacity(), 2000);
  store.SetCount(0);
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(store.Capacity(), 2000);
  store.SetCount(5432);
  EXPECT_EQ(store.Capacity(), 6000);
  store.SetCount(-3);
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(store.Capacity(), 6000);
}

TEST(TriangleStore, RecordsSurviveGrowth) {
  TTriangleStore store;
  for (int i = 0; i < 2500; ++i) {
    TStoreTriangle& t = store.AddTriangle();
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 4; ++k) t[c][k] = float(i * 100 + c * 10 + k);
  }
  ASSERT_EQ(store.Count(), 2500);
  EXPECT_EQ(store.Capacity(), 3000);
  for (int i : {0, 999, 1000, 1999, 2499})
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 4; ++k) EXPECT_EQ((*store.Triangle(i))[c][k], float(i * 100 + c * 10 + k));
  // Triangle(i) addresses records 48 bytes apart.
  EXPECT_EQ(reinterpret_cast<const char*>(store.Triangle(7)) - reinterpret_cast<const char*>(store.Triangle(0)),
            7 * 48);
}

TEST(TriangleStore, AddedTrianglesStartZeroedEvenOverOldRecords) {
  TTriangleStore store;
  store.AddTriangle()[1][2] = 5;
  store.SetCount(0);
  const TStoreTriangle& t = store.AddTriangle();
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(t[c][k], 0.0f);
}
