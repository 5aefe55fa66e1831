#include "mdl/Pivot.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

bool IsIdentityMatrix(const TMatrix& m) {
#if defined(__SSE2__)
  // cmpeqps is the scalar ==: -0 equals 0, NaN equals nothing.
  const __m128 e0 = _mm_setr_ps(1, 0, 0, 0), e1 = _mm_setr_ps(0, 1, 0, 0);
  const __m128 e2 = _mm_setr_ps(0, 0, 1, 0), e3 = _mm_setr_ps(0, 0, 0, 1);
  const __m128 top = _mm_and_ps(_mm_cmpeq_ps(_mm_loadu_ps(m.m), e0), _mm_cmpeq_ps(_mm_loadu_ps(m.m + 4), e1));
  const __m128 bottom = _mm_and_ps(_mm_cmpeq_ps(_mm_loadu_ps(m.m + 8), e2), _mm_cmpeq_ps(_mm_loadu_ps(m.m + 12), e3));
  const __m128 eq = _mm_and_ps(top, bottom);
  return _mm_movemask_ps(eq) == 0xF;
#else
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (m(r, c) != (r == c ? 1.0f : 0.0f)) return false;
  return true;
#endif
}

namespace {

bool IsIdentity(const TMatrix& m) { return IsIdentityMatrix(m); }

constexpr TMatrix kIdentity{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

const TMatrix& Identity() { return kIdentity; }

// A float passed through double and back, as TranslationMatrix takes it:
// the same value, except that a signalling NaN comes back quiet.
float ThroughDouble(float v) {
  if (v == v) return v;
  return std::bit_cast<float>(std::bit_cast<uint32_t>(v) | 0x00400000u);
}

// Invert() of the identity is the identity, and multiplying by it changes
// no bit: most pivots sit on identities, so these skip the arithmetic.
TMatrix InverseOf(const TMatrix& m) { return IsIdentity(m) ? Identity() : Invert(m); }

TMatrix Product(const TMatrix& a, const TMatrix& b) {
  if (IsIdentity(a)) return b;
  if (IsIdentity(b)) return a;
  return Multiply(a, b);
}

// The channels Decompose gives for the identity, taken from it once.
struct TIdentityChannels {
  float V[9];
  TIdentityChannels() {
    TMatrix residual;
    Decompose(TMatrix::Identity(), V[0], V[1], V[2], V[3], V[4], V[5], V[6], V[7], V[8], residual);
  }
};

}  // namespace

TPivot::TPivot()
    : Matrix_(TMatrix::Identity()), LocalMatrix_(TMatrix::Identity()), DeltaMatrix_(TMatrix::Identity()) {}

float TPivot::ClampScale(float v) {
  float mag = std::fabs(v);
  if (!(mag >= kMinScale)) mag = kMinScale;  // NaN too
  return v < 0 ? -mag : mag;
}

void TPivot::Update() {
  TMatrix previous = Matrix_;
  // Without rotation or scaling the transform is a plain translation (the
  // same values; at most the sign of a zero differs).
  const bool plain = Rotation_[0] == 0 && Rotation_[1] == 0 && Rotation_[2] == 0 && Scale_[0] == 1 &&
                     Scale_[1] == 1 && Scale_[2] == 1;
  TMatrix transform;
  if (plain) {
    // TranslationMatrix, written out.
    transform = Identity();
    transform.m[3] = ThroughDouble(Translation_[0]);
    transform.m[7] = ThroughDouble(Translation_[1]);
    transform.m[11] = ThroughDouble(Translation_[2]);
  } else {
    transform = BuildTransform(Rotation_[0], Rotation_[1], Rotation_[2], Scale_[0], Scale_[1], Scale_[2],
                               Translation_[0], Translation_[1], Translation_[2]);
  }
  Matrix_ = Product(LocalMatrix_, transform);
  DeltaMatrix_ = Product(Matrix_, InverseOf(previous));
}

void TPivot::Changed() {
  if (OnChange) OnChange(*this);
}

void TPivot::SetChannels(float tx, float ty, float tz, float rx, float ry, float rz, float sx, float sy,
                         float sz) {
  Translation_[0] = tx;
  Translation_[1] = ty;
  Translation_[2] = tz;
  Rotation_[0] = rx;
  Rotation_[1] = ry;
  Rotation_[2] = rz;
  Scale_[0] = ClampScale(sx);
  Scale_[1] = ClampScale(sy);
  Scale_[2] = ClampScale(sz);
  Update();
}

void TPivot::SetChannelsNotify(float tx, float ty, float tz, float rx, float ry, float rz, float sx, float sy,
                               float sz) {
  SetChannels(tx, ty, tz, rx, ry, rz, sx, sy, sz);
  Changed();
}

void TPivot::SetChannel(int i, float v) {
  if (i >= 0 && i < 3) Translation_[i] = v;
  else if (i >= 3 && i < 6) Rotation_[i - 3] = v;
  else if (i >= 6 && i < 9) Scale_[i - 6] = ClampScale(v);
  Update();
  Changed();
}

float TPivot::Channel(int i) const {
  if (i >= 0 && i < 3) return Translation_[i];
  if (i >= 3 && i < 6) return Rotation_[i - 3];
  if (i >= 6 && i < 9) return Scale_[i - 6];
  return 0;
}

void TPivot::SetIsKey(int i, bool flag) {
  if (i >= 0 && i < kChannels) IsKey_[i] = flag;
}

void TPivot::SetLocalMatrix(const TMatrix& m) {
  LocalMatrix_ = m;
  Update();
  Changed();
}

void TPivot::Reparent(const TMatrix& m) {
  LocalMatrix_ = m;
  const TMatrix relative = Product(InverseOf(m), Matrix_);
  if (IsIdentity(relative)) {
    static const TIdentityChannels identity;
    for (int k = 0; k < 3; ++k) {
      Rotation_[k] = identity.V[k];
      Scale_[k] = identity.V[3 + k];
      Translation_[k] = identity.V[6 + k];
    }
  } else {
    TMatrix residual;
    Decompose(relative, Rotation_[0], Rotation_[1], Rotation_[2], Scale_[0], Scale_[1], Scale_[2],
              Translation_[0], Translation_[1], Translation_[2], residual);
  }
  Update();
  Changed();
}

void TPivot::ResetTo(const TMatrix& m) {
  LocalMatrix_ = m;
  Matrix_ = m;
  for (int k = 0; k < 3; ++k) {
    Translation_[k] = 0;
    Rotation_[k] = 0;
    Scale_[k] = 1;
  }
}

void TPivot::MoveTo(float x, float y, float z) {
  TVector d, t = MakeVector(Translation_[0], Translation_[1], Translation_[2]);
  Subtract(MakeVector(x, y, z), Column(Matrix_, 4), d);
  Add(t, d, t);
  Translation_[0] = t.x;
  Translation_[1] = t.y;
  Translation_[2] = t.z;
  Update();
}

void TPivot::Assign(const TPivot& source) {
  Matrix_ = source.Matrix_;
  LocalMatrix_ = source.LocalMatrix_;
  OnChange = source.OnChange;
  for (int k = 0; k < 3; ++k) {
    Translation_[k] = source.Translation_[k];
    Rotation_[k] = source.Rotation_[k];
    Scale_[k] = source.Scale_[k];
  }
  for (int k = 0; k < kChannels; ++k) IsKey_[k] = source.IsKey_[k];
}

bool TPivot::operator==(const TPivot& other) const {
  const auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  return same(IsKey_, other.IsKey_) && same(Matrix_.m, other.Matrix_.m) && same(Rotation_, other.Rotation_) &&
         same(LocalMatrix_.m, other.LocalMatrix_.m) && same(Scale_, other.Scale_) &&
         same(DeltaMatrix_.m, other.DeltaMatrix_.m) && same(Translation_, other.Translation_);
}

void TPivot::CopyState(const TPivot& source) {
  Matrix_ = source.Matrix_;
  LocalMatrix_ = source.LocalMatrix_;
  DeltaMatrix_ = source.DeltaMatrix_;
  for (int k = 0; k < 3; ++k) {
    Translation_[k] = source.Translation_[k];
    Rotation_[k] = source.Rotation_[k];
    Scale_[k] = source.Scale_[k];
  }
  for (int k = 0; k < kChannels; ++k) IsKey_[k] = source.IsKey_[k];
}

void TPivot::LoadState(const TMatrix& local, const float translation[3], const float rotation[3],
                       const float scale[3]) {
  LocalMatrix_ = local;
  for (int k = 0; k < 3; ++k) {
    Translation_[k] = translation[k];
    Rotation_[k] = rotation[k];
    // max(v, 0.1): a file never stores a mirrored scale.
    Scale_[k] = scale[k] >= kMinScale ? scale[k] : kMinScale;
  }
  Update();
}
