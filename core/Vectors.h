#pragma once
// Homogeneous 3-D vectors and 4x4 matrices for bounding boxes, light
// normals, pivots, the view transform and the importers.
//
// Matrices are stored row by row (element [row][col] at row*4 + col) and act
// on column vectors: p' = M * p, so a translation lives in column 3.
// Operations that leave the output's w untouched write through an output
// argument; the others return their result. Sums and products are formed in
// double and rounded to float when stored.

#include <cmath>
#include <cstdint>

struct TVector {
  float x = 0, y = 0, z = 0, w = 0;
};

struct TMatrix {
  float m[16] = {};
  float& operator()(int row, int col) { return m[row * 4 + col]; }
  float operator()(int row, int col) const { return m[row * 4 + col]; }
  static TMatrix Identity();
};

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kEqualityTolerance = 0.001;
constexpr double kPivotTolerance = 1e-10;

// Vectors
TVector MakeVector(float x, float y, float z);  // w = 1
// The small operations are defined here so that loops over thousands of
// vertices (light normals, bounding boxes, the renderer) inline them.
inline void Add(const TVector& a, const TVector& b, TVector& out) {
  out.x = static_cast<float>(static_cast<double>(a.x) + b.x);
  out.y = static_cast<float>(static_cast<double>(a.y) + b.y);
  out.z = static_cast<float>(static_cast<double>(a.z) + b.z);
}
inline void Subtract(const TVector& a, const TVector& b, TVector& out) {
  out.x = static_cast<float>(static_cast<double>(a.x) - b.x);
  out.y = static_cast<float>(static_cast<double>(a.y) - b.y);
  out.z = static_cast<float>(static_cast<double>(a.z) - b.z);
}
inline void Scale(const TVector& a, double f, TVector& out) {
  out.x = static_cast<float>(a.x * f);
  out.y = static_cast<float>(a.y * f);
  out.z = static_cast<float>(a.z * f);
}
inline float Dot(const TVector& a, const TVector& b) {
  return static_cast<float>(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                            static_cast<double>(a.z) * b.z);
}
inline void Cross(const TVector& a, const TVector& b, TVector& out) {
  // Read everything first: out may be a or b.
  const double ax = a.x, ay = a.y, az = a.z, bx = b.x, by = b.y, bz = b.z;
  out.x = static_cast<float>(ay * bz - az * by);
  out.y = static_cast<float>(az * bx - ax * bz);
  out.z = static_cast<float>(ax * by - ay * bx);
}
inline double Length(const TVector& a) {
  const double x = a.x, y = a.y, z = a.z;
  return std::sqrt(x * x + y * y + z * z);
}
// Divides x, y, z by the length and returns it; a zero vector is left alone
// and gives 0.
inline double Normalize(TVector& a) {
  const double len = Length(a);
  if (len == 0) return 0;
  a.x = static_cast<float>(a.x / len);
  a.y = static_cast<float>(a.y / len);
  a.z = static_cast<float>(a.z / len);
  return len;
}
bool NearlyEqual(const TVector& a, const TVector& b);
TVector MinVector(const TVector& a, const TVector& b);  // ties take b; w = 1
TVector MaxVector(const TVector& a, const TVector& b);

// Scalars
inline double DegToRad(double x) { return x * kDegToRad; }
inline double RadToDeg(double x) { return x * kRadToDeg; }
double ArcTan2(double y, double x);
// The integer part, plus (Ceil) or minus (Floor) one when a fraction is
// left over in that direction. Values beyond the 32-bit range saturate.
int32_t Ceil(double x);
int32_t Floor(double x);

// Matrices
TMatrix TranslationMatrix(double dx, double dy, double dz);
TMatrix ScaleMatrix(double sx, double sy, double sz);
TMatrix RotationX(double a);
TMatrix RotationY(double a);
TMatrix RotationZ(double a);
TMatrix Multiply(const TMatrix& a, const TMatrix& b);
TVector Transform(const TMatrix& m, const TVector& v);
TVector Column(const TMatrix& m, int j);  // j counted from 1
TMatrix FromColumns(const TVector& c0, const TVector& c1, const TVector& c2, const TVector& c3);
// Gaussian elimination with partial pivoting. A singular matrix leaves `x`
// unwritten and raises no error.
void Solve(const TMatrix& m, const TVector& b, TVector& x);
// The inverse; a singular matrix gives the identity.
TMatrix Invert(const TMatrix& m);
// T(t) * Ry * Rx * Rz * S(s), angles in degrees.
TMatrix BuildTransform(double rx, double ry, double rz, double sx, double sy, double sz, double tx,
                       double ty, double tz);
// Splits a matrix into angles (degrees), scale and translation in the order
// BuildTransform takes them, and what is left over. Exact only for rotations
// about one axis.
void Decompose(const TMatrix& m, float& rx, float& ry, float& rz, float& sx, float& sy, float& sz,
               float& tx, float& ty, float& tz, TMatrix& residual);
