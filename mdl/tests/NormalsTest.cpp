#include "mdl/Normals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <tuple>

TEST(NormalsTest, TableIsTheGamesUnitVectors) {
  EXPECT_FLOAT_EQ(kLightNormals[0][0], -0.525731f);
  EXPECT_FLOAT_EQ(kLightNormals[0][2], 0.850651f);
  EXPECT_FLOAT_EQ(kLightNormals[161][0], -0.688191f);
  EXPECT_FLOAT_EQ(kLightNormals[161][1], -0.587785f);
  EXPECT_FLOAT_EQ(kLightNormals[161][2], -0.425325f);
  std::set<std::tuple<float, float, float>> seen;
  for (int j = 0; j < kNormalCount; ++j) {
    TVector n = LightNormal(j);
    EXPECT_NEAR(Length(n), 1.0, 1e-5) << j;
    EXPECT_EQ(n.w, 1.0f);
    seen.insert({n.x, n.y, n.z});
    // Each entry is its own best match.
    EXPECT_EQ(NearestNormalExhaustive(n), j);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kNormalCount));
}

TEST(NormalsTest, FastSearchMatchesFullSearchEverywhere) {
  std::mt19937 rng(12345);
  std::normal_distribution<float> g(0, 1);
  for (int i = 0; i < 300000; ++i) {
    TVector a = MakeVector(g(rng), g(rng), g(rng));
    Normalize(a);
    ASSERT_EQ(NearestNormal(a), NearestNormalExhaustive(a)) << a.x << " " << a.y << " " << a.z;
  }
}

TEST(NormalsTest, TiesGoToTheFirstEntryInBothSearches) {
  // Directions half-way between two or three entries, and the axes, sit
  // exactly on ties or as near to them as float allows.
  int checked = 0;
  for (int i = 0; i < kNormalCount; ++i)
    for (int j = i + 1; j < kNormalCount; ++j) {
      TVector a = LightNormal(i), b = LightNormal(j), m;
      if (Dot(a, b) < 0.8f) continue;
      Add(a, b, m);
      Normalize(m);
      ASSERT_EQ(NearestNormal(m), NearestNormalExhaustive(m)) << i << " " << j;
      for (int k = j + 1; k < kNormalCount; ++k) {
        TVector c = LightNormal(k), t;
        if (Dot(a, c) < 0.8f || Dot(b, c) < 0.8f) continue;
        Add(m, c, t);
        Normalize(t);
        ASSERT_EQ(NearestNormal(t), NearestNormalExhaustive(t)) << i << " " << j << " " << k;
      }
      ++checked;
    }
  EXPECT_GT(checked, 300);
  // (1, 1, 0) lies exactly between entries of equal angle.
  TVector d = MakeVector(1, 1, 0);
  Normalize(d);
  EXPECT_EQ(NearestNormal(d), NearestNormalExhaustive(d));
}

TEST(NormalsTest, OddInputFallsBackToTheFullSearch) {
  EXPECT_EQ(NearestNormal(MakeVector(0, 0, 0)), 0);  // every product is 0: the first entry
  EXPECT_EQ(NearestNormal(MakeVector(NAN, 0, 0)), NearestNormalExhaustive(MakeVector(NAN, 0, 0)));
  EXPECT_EQ(NearestNormal(MakeVector(0, 0, 5)), 5);  // not a unit vector, still the right entry
}
