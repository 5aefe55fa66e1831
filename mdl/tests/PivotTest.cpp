#include "mdl/Pivot.h"

#include <gtest/gtest.h>

namespace {

void ExpectMatrixNear(const TMatrix& a, const TMatrix& b, float tol = 1e-4f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << i;
}

}  // namespace

TEST(PivotTest, NewPivotIsTheIdentity) {
  TPivot p;
  ExpectMatrixNear(p.Matrix(), TMatrix::Identity(), 0);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(p.Channel(i), i >= 6 ? 1.0f : 0.0f);
  EXPECT_FALSE(p.IsKey(0));
}

TEST(PivotTest, ScaleChannelsKeepAMinimumMagnitude) {
  TPivot p;
  p.SetChannel(6, 0);
  EXPECT_FLOAT_EQ(p.Channel(6), 0.1f);
  p.SetChannel(7, -0.05f);
  EXPECT_FLOAT_EQ(p.Channel(7), -0.1f);
  p.SetChannel(8, -3);
  EXPECT_FLOAT_EQ(p.Channel(8), -3);
  int told = 0;
  p.OnChange = [&](TPivot&) { ++told; };
  p.SetChannel(12, 5);  // stores nothing, still tells
  EXPECT_EQ(told, 1);
  TMatrix id = TMatrix::Identity();
  const float t[3] = {0, 0, 0}, r[3] = {0, 0, 0}, s[3] = {-2, 0, 0.5f};
  p.LoadState(id, t, r, s);  // a file's scale is max(v, 0.1)
  EXPECT_FLOAT_EQ(p.Channel(6), 0.1f);
  EXPECT_FLOAT_EQ(p.Channel(8), 0.5f);
  EXPECT_EQ(told, 1);
}

TEST(PivotTest, UpdateKeepsTheInvariantAndTheDelta) {
  TPivot p;
  p.SetChannels(1, 2, 3, 0, 0, 0, 1, 1, 1);
  p.SetLocalMatrix(TranslationMatrix(10, 0, 0));
  ExpectMatrixNear(p.Matrix(), TranslationMatrix(11, 2, 3));
  ExpectMatrixNear(p.DeltaMatrix(), TranslationMatrix(10, 0, 0));
  // MoveTo puts the pivot's origin at the point without notifying.
  int told = 0;
  p.OnChange = [&](TPivot&) { ++told; };
  p.MoveTo(0, 0, 0);
  EXPECT_EQ(told, 0);
  TVector at = Column(p.Matrix(), 4);
  EXPECT_NEAR(at.x, 0, 1e-5);
  EXPECT_NEAR(at.y, 0, 1e-5);
  EXPECT_NEAR(p.Channel(0), -10, 1e-5);
}

TEST(PivotTest, ReparentKeepsTheWorldTransform) {
  TPivot p;
  p.SetChannels(5, 0, 0, 0, 0, 30, 2, 2, 2);
  const TMatrix world = p.Matrix();
  p.Reparent(Multiply(TranslationMatrix(1, 2, 3), RotationZ(DegToRad(45))));
  ExpectMatrixNear(p.Matrix(), world);
  TPivot q;
  q.Assign(p);
  ExpectMatrixNear(q.Matrix(), p.Matrix(), 0);
  q.ResetTo(TranslationMatrix(4, 4, 4));
  ExpectMatrixNear(q.Matrix(), TranslationMatrix(4, 4, 4), 0);
  EXPECT_EQ(q.Channel(6), 1.0f);
}
