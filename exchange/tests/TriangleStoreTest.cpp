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

TEST(TriangleStore, SkinCoordinatesGoWithEveryTriangleOrNone) {
  TTriangleStore store;
  store.SetCount(3);
  EXPECT_FALSE(store.HasSkinCoords());
  // A record count other than the triangle count gives none.
  store.SetSkinCoords(std::vector<TStoreSkinTriangle>(2));
  EXPECT_FALSE(store.HasSkinCoords());
  std::vector<TStoreSkinTriangle> coords(3);
  coords[2][1] = TStoreSkinCoord{0.5f, 0.25f};
  store.SetSkinCoords(std::move(coords));
  ASSERT_TRUE(store.HasSkinCoords());
  EXPECT_EQ(store.SkinTriangle(2)[1].V, 0.25f);
  // A triangle added without one leaves the store without them; a count
  // set lower keeps those below it.
  store.AddTriangle();
  EXPECT_FALSE(store.HasSkinCoords());
  store.SetCount(2);
  ASSERT_TRUE(store.HasSkinCoords());
  EXPECT_EQ(store.SkinTriangle(1)[0].U, 0.0f);
  // An import starts from count 0: nothing of the old ones comes back.
  store.SetCount(0);
  store.SetCount(2);
  EXPECT_FALSE(store.HasSkinCoords());
}
