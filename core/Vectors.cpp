#include "core/Vectors.h"

#include <cmath>
#include <limits>

namespace {

// Set when the last Solve met a pivot too small to divide by. Nothing reads
// it; it is kept for debugging.
thread_local bool gSolveSingular = false;

int32_t Saturate(double v) {
  if (!(v == v)) return 0;  // NaN
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace

TMatrix TMatrix::Identity() {
  TMatrix r;
  r(0, 0) = r(1, 1) = r(2, 2) = r(3, 3) = 1;
  return r;
}

TVector MakeVector(float x, float y, float z) { return TVector{x, y, z, 1.0f}; }

bool NearlyEqual(const TVector& a, const TVector& b) {
  // Compared in float, as the values are stored: differences of exactly the
  // tolerance count as equal.
  const float tol = static_cast<float>(kEqualityTolerance);
  return std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol && std::fabs(a.z - b.z) <= tol;
}

TVector MinVector(const TVector& a, const TVector& b) {
  return TVector{a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z, 1.0f};
}

TVector MaxVector(const TVector& a, const TVector& b) {
  return TVector{a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z, 1.0f};
}

double ArcTan2(double y, double x) { return std::atan2(y, x); }

int32_t Ceil(double x) {
  double i = std::trunc(x);
  return Saturate(x - i > 0 ? i + 1 : i);
}

int32_t Floor(double x) {
  double i = std::trunc(x);
  return Saturate(x - i < 0 ? i - 1 : i);
}

TMatrix TranslationMatrix(double dx, double dy, double dz) {
  TMatrix r = TMatrix::Identity();
  r(0, 3) = static_cast<float>(dx);
  r(1, 3) = static_cast<float>(dy);
  r(2, 3) = static_cast<float>(dz);
  return r;
}

TMatrix ScaleMatrix(double sx, double sy, double sz) {
  TMatrix r;
  r(0, 0) = static_cast<float>(sx);
  r(1, 1) = static_cast<float>(sy);
  r(2, 2) = static_cast<float>(sz);
  r(3, 3) = 1;
  return r;
}

TMatrix RotationX(double a) {
  TMatrix r;
  float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  r(0, 0) = 1;
  r(1, 1) = c;
  r(1, 2) = s;
  r(2, 1) = -s;
  r(2, 2) = c;
  r(3, 3) = 1;
  return r;
}

TMatrix RotationY(double a) {
  TMatrix r;
  float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  r(0, 0) = c;
  r(0, 2) = -s;
  r(1, 1) = 1;
  r(2, 0) = s;
  r(2, 2) = c;
  r(3, 3) = 1;
  return r;
}

TMatrix RotationZ(double a) {
  TMatrix r;
  float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  r(0, 0) = c;
  r(0, 1) = s;
  r(1, 0) = -s;
  r(1, 1) = c;
  r(2, 2) = 1;
  r(3, 3) = 1;
  return r;
}

TMatrix Multiply(const TMatrix& a, const TMatrix& b) {
  TMatrix c;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += static_cast<double>(a(i, k)) * b(k, j);
      c(i, j) = static_cast<float>(s);
    }
  return c;
}

TVector Transform(const TMatrix& m, const TVector& v) {
  const double in[4] = {v.x, v.y, v.z, v.w};
  float out[4];
  for (int i = 0; i < 4; ++i) {
    double s = 0;
    for (int k = 0; k < 4; ++k) s += m(i, k) * in[k];
    out[i] = static_cast<float>(s);
  }
  return TVector{out[0], out[1], out[2], out[3]};
}

TVector Column(const TMatrix& m, int j) {
  int c = j - 1;
  return TVector{m(0, c), m(1, c), m(2, c), m(3, c)};
}

TMatrix FromColumns(const TVector& c0, const TVector& c1, const TVector& c2, const TVector& c3) {
  TMatrix r;
  const TVector* cols[4] = {&c0, &c1, &c2, &c3};
  for (int j = 0; j < 4; ++j) {
    r(0, j) = cols[j]->x;
    r(1, j) = cols[j]->y;
    r(2, j) = cols[j]->z;
    r(3, j) = cols[j]->w;
  }
  return r;
}

void Solve(const TMatrix& m, const TVector& bv, TVector& x) {
  constexpr int n = 4;
  double a[n][n];
  double b[n] = {bv.x, bv.y, bv.z, bv.w};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) a[i][j] = m(i, j);
  gSolveSingular = false;
  for (int k = 0; k < n; ++k) {
    int p = k;
    double best = std::fabs(a[k][k]);
    for (int i = k + 1; i < n; ++i)
      if (std::fabs(a[i][k]) > best) {
        best = std::fabs(a[i][k]);
        p = i;
      }
    if (best < kPivotTolerance) {
      gSolveSingular = true;
      return;
    }
    if (p != k) {
      for (int j = k; j < n; ++j) std::swap(a[p][j], a[k][j]);
      std::swap(b[p], b[k]);
    }
    const double pivot = a[k][k];
    for (int j = k + 1; j < n; ++j) a[k][j] /= pivot;
    b[k] /= pivot;
    for (int i = k + 1; i < n; ++i) {
      const double f = a[i][k];
      for (int j = k + 1; j < n; ++j) a[i][j] -= a[k][j] * f;
      b[i] -= b[k] * f;
    }
  }
  double r[n];
  r[n - 1] = b[n - 1];
  for (int i = n - 2; i >= 0; --i) {
    double s = b[i];
    for (int j = i + 1; j < n; ++j) s -= a[i][j] * r[j];
    r[i] = s;
  }
  x = TVector{static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2]),
              static_cast<float>(r[3])};
}

TMatrix Invert(const TMatrix& m) {
  TVector cols[4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  for (auto& c : cols) {
    TVector e = c;
    Solve(m, e, c);  // left as the unit vector when m is singular
  }
  return FromColumns(cols[0], cols[1], cols[2], cols[3]);
}

TMatrix BuildTransform(double rx, double ry, double rz, double sx, double sy, double sz, double tx,
                       double ty, double tz) {
  TMatrix r = ScaleMatrix(sx, sy, sz);
  r = Multiply(RotationZ(DegToRad(rz)), r);
  r = Multiply(RotationX(DegToRad(rx)), r);
  r = Multiply(RotationY(DegToRad(ry)), r);
  return Multiply(TranslationMatrix(tx, ty, tz), r);
}

void Decompose(const TMatrix& m, float& rx, float& ry, float& rz, float& sx, float& sy, float& sz,
               float& tx, float& ty, float& tz, TMatrix& residual) {
  sx = static_cast<float>(Length(Column(m, 1)));
  sy = static_cast<float>(Length(Column(m, 2)));
  sz = static_cast<float>(Length(Column(m, 3)));
  TMatrix r = Multiply(m, ScaleMatrix(1.0 / sx, 1.0 / sy, 1.0 / sz));
  double g = ArcTan2(r(1, 0), r(0, 0));
  r = Multiply(r, RotationZ(g));
  rz = static_cast<float>(RadToDeg(-g));
  double al = ArcTan2(r(2, 1), r(1, 1));
  r = Multiply(r, RotationX(al));
  rx = static_cast<float>(RadToDeg(-al));
  double be = ArcTan2(r(0, 2), r(2, 2));
  r = Multiply(r, RotationY(be));
  ry = static_cast<float>(RadToDeg(-be));
  tx = r(0, 3);
  ty = r(1, 3);
  tz = r(2, 3);
  residual = Multiply(r, TranslationMatrix(-tx, -ty, -tz));
}
