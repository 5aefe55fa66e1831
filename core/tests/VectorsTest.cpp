#include "core/Vectors.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void ExpectMatrixNear(const TMatrix& a, const TMatrix& b, float tol) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

}  // namespace

TEST(Vectors, ComponentwiseOperationsLeaveTheOutputsWAlone) {
  TVector out{0, 0, 0, 7};
  Add(MakeVector(1, 2, 3), MakeVector(10, 20, 30), out);
  EXPECT_EQ(out.x, 11);
  EXPECT_EQ(out.z, 33);
  EXPECT_EQ(out.w, 7);
  Subtract(MakeVector(1, 2, 3), MakeVector(1, 1, 1), out);
  EXPECT_EQ(out.y, 1);
  EXPECT_EQ(out.w, 7);
  Scale(MakeVector(1, -2, 3), 0.5, out);
  EXPECT_EQ(out.y, -1);
  EXPECT_EQ(out.w, 7);
  // Cross product may write over one of its operands.
  TVector a = MakeVector(1, 0, 0);
  Cross(a, MakeVector(0, 1, 0), a);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(a.z, 1);
  EXPECT_EQ(Dot(MakeVector(1, 2, 3), MakeVector(4, 5, 6)), 32);
}

TEST(Vectors, NormalizeAndLength) {
  TVector v = MakeVector(3, 4, 0);
  EXPECT_DOUBLE_EQ(Normalize(v), 5);
  EXPECT_FLOAT_EQ(v.x, 0.6f);
  EXPECT_FLOAT_EQ(v.y, 0.8f);
  TVector zero = MakeVector(0, 0, 0);
  EXPECT_EQ(Normalize(zero), 0);
  EXPECT_EQ(zero.x, 0);
  EXPECT_FALSE(std::isnan(zero.x));
}

TEST(Vectors, MinMaxTakeTheSecondOnTiesAndSetW) {
  TVector lo = MinVector(TVector{1, 5, 3, 0}, TVector{2, 5, 1, 0});
  EXPECT_EQ(lo.x, 1);
  EXPECT_EQ(lo.y, 5);
  EXPECT_EQ(lo.z, 1);
  EXPECT_EQ(lo.w, 1);
  TVector signs = MinVector(TVector{0.0f, 0, 0, 0}, TVector{-0.0f, 0, 0, 0});
  EXPECT_TRUE(std::signbit(signs.x));
  TVector hi = MaxVector(TVector{-0.0f, 0, 0, 0}, TVector{0.0f, 0, 0, 0});
  EXPECT_FALSE(std::signbit(hi.x));
}

TEST(Vectors, NearlyEqualUsesAThousandthPerComponent) {
  EXPECT_TRUE(NearlyEqual(MakeVector(0, 0, 0), MakeVector(0.001f, 0, 0)));
  EXPECT_TRUE(NearlyEqual(MakeVector(0, 0, 0), MakeVector(0, -0.001f, 0.001f)));
  EXPECT_FALSE(NearlyEqual(MakeVector(0, 0, 0), MakeVector(0, 0, 0.0011f)));
}

TEST(Vectors, CeilAndFloorOnFractionsAndSaturation) {
  EXPECT_EQ(Ceil(2.0), 2);
  EXPECT_EQ(Ceil(2.1), 3);
  EXPECT_EQ(Ceil(-2.1), -2);
  EXPECT_EQ(Floor(-2.1), -3);
  EXPECT_EQ(Floor(2.9), 2);
  EXPECT_EQ(Floor(-3.0), -3);
  EXPECT_EQ(Ceil(1e20), INT32_MAX);
  EXPECT_EQ(Floor(-1e20), INT32_MIN);
  EXPECT_EQ(Floor(NAN), 0);
}

TEST(Matrices, RotationsFollowTheColumnVectorConvention) {
  // A quarter turn about z sends x to -y with these matrices.
  TVector p = Transform(RotationZ(DegToRad(90)), MakeVector(1, 0, 0));
  EXPECT_NEAR(p.x, 0, 1e-6);
  EXPECT_NEAR(p.y, -1, 1e-6);
  EXPECT_EQ(p.w, 1);
  TVector q = Transform(TranslationMatrix(1, 2, 3), MakeVector(1, 1, 1));
  EXPECT_EQ(q.x, 2);
  EXPECT_EQ(q.z, 4);
  // A direction (w = 0) is not moved by a translation.
  TVector d = Transform(TranslationMatrix(1, 2, 3), TVector{1, 1, 1, 0});
  EXPECT_EQ(d.x, 1);
  TVector c = Column(TranslationMatrix(5, 6, 7), 4);
  EXPECT_EQ(c.x, 5);
  EXPECT_EQ(c.w, 1);
}

TEST(Matrices, BuildTransformComposesInTheDocumentedOrder) {
  ExpectMatrixNear(BuildTransform(0, 0, 0, 1, 1, 1, 0, 0, 0), TMatrix::Identity(), 0);
  TMatrix expected = Multiply(
      TranslationMatrix(1, 2, 3),
      Multiply(RotationY(DegToRad(20)),
               Multiply(RotationX(DegToRad(10)), Multiply(RotationZ(DegToRad(30)), ScaleMatrix(2, 3, 4)))));
  ExpectMatrixNear(BuildTransform(10, 20, 30, 2, 3, 4, 1, 2, 3), expected, 1e-6f);
}

TEST(Matrices, DecomposeRecoversSingleAxisTransforms) {
  float rx, ry, rz, sx, sy, sz, tx, ty, tz;
  TMatrix residual;
  Decompose(TMatrix::Identity(), rx, ry, rz, sx, sy, sz, tx, ty, tz, residual);
  EXPECT_EQ(rx, 0);
  EXPECT_EQ(ry, 0);
  EXPECT_EQ(rz, 0);
  EXPECT_EQ(sx, 1);
  EXPECT_EQ(tz, 0);
  ExpectMatrixNear(residual, TMatrix::Identity(), 0);

  Decompose(BuildTransform(0, 0, 30, 2, 2, 2, 1, 2, 3), rx, ry, rz, sx, sy, sz, tx, ty, tz, residual);
  EXPECT_NEAR(rz, 30, 1e-4);
  EXPECT_NEAR(rx, 0, 1e-4);
  EXPECT_NEAR(ry, 0, 1e-4);
  EXPECT_NEAR(sx, 2, 1e-5);
  EXPECT_NEAR(sz, 2, 1e-5);
  EXPECT_NEAR(tx, 1, 1e-5);
  EXPECT_NEAR(ty, 2, 1e-5);
  EXPECT_NEAR(tz, 3, 1e-5);
  ExpectMatrixNear(residual, TMatrix::Identity(), 1e-5f);

  Decompose(BuildTransform(0, -45, 0, 1, 3, 1, 0, 0, -8), rx, ry, rz, sx, sy, sz, tx, ty, tz, residual);
  EXPECT_NEAR(ry, -45, 1e-4);
  EXPECT_NEAR(sy, 3, 1e-5);
  EXPECT_NEAR(tz, -8, 1e-5);
}

TEST(Matrices, SolveAndInvert) {
  TMatrix m = BuildTransform(15, 25, 35, 2, 0.5, 3, 4, -5, 6);
  TMatrix product = Multiply(m, Invert(m));
  ExpectMatrixNear(product, TMatrix::Identity(), 1e-5f);

  // Pivoting: the first column's largest entry is in the last row.
  TMatrix p;
  p(0, 1) = 1;
  p(1, 2) = 1;
  p(2, 3) = 1;
  p(3, 0) = 2;
  TVector x{9, 9, 9, 9};
  Solve(p, TVector{1, 2, 3, 4}, x);
  EXPECT_FLOAT_EQ(x.x, 2);
  EXPECT_FLOAT_EQ(x.y, 1);
  EXPECT_FLOAT_EQ(x.z, 2);
  EXPECT_FLOAT_EQ(x.w, 3);

  // A singular matrix leaves the output alone and raises nothing.
  TMatrix singular = TMatrix::Identity();
  singular(0, 0) = 0;
  TVector untouched{9, 8, 7, 6};
  Solve(singular, TVector{1, 1, 1, 1}, untouched);
  EXPECT_EQ(untouched.x, 9);
  EXPECT_EQ(untouched.w, 6);
  EXPECT_NO_THROW(Invert(singular));
}
