#include "editor/BitSet.h"

#include <gtest/gtest.h>

TEST(BitSet, GrowsWhenSetPastTheEndAndReadsFalseOutside) {
  TBitSet s(10);
  EXPECT_EQ(s.Size(), 10);
  EXPECT_FALSE(s.Get(-1));
  EXPECT_FALSE(s.Get(10));
  s.Set(130);
  EXPECT_EQ(s.Size(), 131);
  EXPECT_TRUE(s.Get(130));
  EXPECT_FALSE(s.Get(129));
  // Clearing past the end changes nothing, and a negative index is ignored.
  s.Set(500, false);
  s.Set(-3, true);
  EXPECT_EQ(s.Size(), 131);
  EXPECT_EQ(s.Count(), 1);
}

TEST(BitSet, ClearEmptiesAndRestoresTheInitialSize) {
  TBitSet s(100);
  s.Set(5);
  s.Set(99);
  s.Set(300);
  s.Clear();
  EXPECT_EQ(s.Size(), 100);
  EXPECT_EQ(s.Count(), 0);
  EXPECT_FALSE(s.Get(5));
  EXPECT_FALSE(s.Get(300));
}

TEST(BitSet, ShrinkingForgetsTheDroppedBits) {
  TBitSet s(0);
  s.Set(3);
  s.Set(70);
  s.Resize(4);
  s.Resize(128);
  EXPECT_TRUE(s.Get(3));
  EXPECT_FALSE(s.Get(70));
  s.Resize(3);
  s.Resize(64);
  EXPECT_FALSE(s.Get(3));
}

TEST(BitSet, CountsAndWalksSetBits) {
  TBitSet s(200);
  for (int i : {0, 63, 64, 127, 150}) s.Set(i);
  EXPECT_EQ(s.Count(), 5);
  EXPECT_EQ(s.CountBelow(64), 2);
  EXPECT_EQ(s.CountBelow(128), 4);
  EXPECT_EQ(s.CountBelow(1000), 5);
  EXPECT_EQ(s.CountBelow(-1), 0);
  std::vector<int> seen;
  for (int i = s.NextSet(0); i >= 0; i = s.NextSet(i + 1)) seen.push_back(i);
  EXPECT_EQ(seen, (std::vector<int>{0, 63, 64, 127, 150}));
  EXPECT_EQ(s.NextSet(151), -1);
}

TEST(BitSet, ShiftDownClosesTheGapAndClearsTheLastBit) {
  TBitSet s(8);
  for (int i : {1, 3, 4, 7}) s.Set(i);
  s.ShiftDown(3, 8);  // item 3 goes away
  EXPECT_TRUE(s.Get(1));
  EXPECT_TRUE(s.Get(3));  // was 4
  EXPECT_FALSE(s.Get(4));
  EXPECT_TRUE(s.Get(6));  // was 7
  EXPECT_FALSE(s.Get(7));
  EXPECT_EQ(s.Count(), 3);
}
