// The depth sorter.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "render/ZSorter.h"

TEST(ZSorter, SortsNearestFirstAndKeepsIndices) {
  TZSorter z(3);
  z.AddPair(10, 3.0f);
  z.AddPair(11, 1.0f);
  z.AddPair(12, 2.0f);
  z.Sort();
  TZPair p;
  z.GetPair(0, p);
  EXPECT_FLOAT_EQ(p.Key, 1.0f);
  EXPECT_EQ(p.Index, 11);
  z.GetPair(2, p);
  EXPECT_FLOAT_EQ(p.Key, 3.0f);
  EXPECT_EQ(p.Index, 10);
}

TEST(ZSorter, EqualKeysAreAllKept) {
  TZSorter z(4);
  for (int i = 0; i < 4; ++i) z.AddPair(i, i == 3 ? -1.0f : 5.0f);
  EXPECT_EQ(z.Count(), 4);
  z.Sort();
  EXPECT_EQ(z.Count(), 4);
  std::vector<int> indices;
  for (int i = 0; i < 4; ++i) indices.push_back(z.Pair(i).Index);
  EXPECT_EQ(indices[0], 3);
  std::sort(indices.begin(), indices.end());
  EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3}));
}

TEST(ZSorter, ManyRandomKeysComeOutInOrder) {
  const int n = 2000;
  TZSorter z(n);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> d(-500.0f, 500.0f);
  for (int i = 0; i < n; ++i) z.AddPair(i, std::floor(d(rng)));  // many equal keys
  z.Sort();
  std::vector<bool> seen(n);
  for (int i = 0; i < n; ++i) {
    if (i > 0) {
      ASSERT_LE(z.Pair(i - 1).Key, z.Pair(i).Key) << i;
    }
    ASSERT_FALSE(seen[size_t(z.Pair(i).Index)]);
    seen[size_t(z.Pair(i).Index)] = true;
  }
}

TEST(ZSorter, RefusesMorePairsThanItsCapacity) {
  TZSorter z(2);
  z.AddPair(0, 1);
  z.AddPair(1, 2);
  EXPECT_THROW(z.AddPair(2, 3), EContainerError);
  EXPECT_EQ(z.Count(), 2);
  TZSorter none(-5);
  EXPECT_EQ(none.Capacity(), 0);
  EXPECT_THROW(none.AddPair(0, 0), EContainerError);
  none.Sort();  // nothing to sort, nothing happens
}

TEST(ZSorter, RawStorageShiftsNothing) {
  TZSorter z(5);
  TZPair a;
  a.Key = 4;
  a.Index = 40;
  z.InsertRaw(3, &a);
  EXPECT_EQ(z.Count(), 4);
  EXPECT_EQ(z.Get(3), &a);
  EXPECT_EQ(z.Get(0), nullptr);
  EXPECT_THROW(z.InsertRaw(5, &a), EContainerError);
  TZPair p;
  EXPECT_THROW(z.GetPair(1, p), EContainerError) << "an empty place holds no pair";
  // Emptying the last place shortens the list past the empty ones below it.
  z.DeleteRaw(3);
  EXPECT_EQ(z.Count(), 0);
}

TEST(ZSorter, GetStringIsNotSupported) {
  TZSorter z(1);
  z.AddPair(0, 0);
  try {
    (void)z.GetString(z.Get(0));
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Method TZBuffer.GetString not implemented");
  }
}

TEST(ZSorter, OutOfRangeReadsRaise) {
  TZSorter z(2);
  z.AddPair(0, 1);
  TZPair p;
  EXPECT_THROW(z.GetPair(1, p), EContainerError);
  EXPECT_THROW(z.GetPair(-1, p), EContainerError);
  EXPECT_THROW((void)z.Get(2), EContainerError);
}
