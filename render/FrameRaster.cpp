#include "render/FrameRaster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/Format.h"
#include "render/RasterMath.h"

#if defined(__x86_64__) && !defined(TESSEL_NO_SIMD)
#include <immintrin.h>
#define TESSEL_HAVE_SSE 1
#endif

namespace {

inline uint16_t StoredDepth(float z) {
  // Only depths below the stored one (at most 65535) get here, so just the
  // lower end needs a bound: a point behind the eye stores 0.
  const int32_t d = RoundF(z);
  return static_cast<uint16_t>(d < 0 ? 0 : d);
}

#ifndef TESSEL_HAVE_SSE
inline int Clamp(int v, int hi) { return v < 0 ? 0 : (v > hi ? hi : v); }
#endif

}  // namespace

void TFrameRaster::Attach(TWinGBitmap& target) {
  const int w = target.GetWidth();
  const int h = target.GetHeight();
  if (h > kMaxRows)
    throw EWinGError(Format("A picture of %d rows is too tall to render (at most %d)", h, kMaxRows));
  const int stride = TWinGBitmap::StrideOf(w);
  if (h != Height_ || stride != Stride_ || Depth_.size() != size_t(h) * size_t(stride)) {
    Depth_.assign(size_t(h) * size_t(stride), kFarthest);
    for (int y = 0; y < h; ++y) DepthRows_[size_t(y)] = Depth_.data() + size_t(y) * size_t(stride);
    WrittenLeft_ = WrittenTop_ = 0;
    WrittenRight_ = WrittenBottom_ = -1;
  }
  Target_ = &target;
  Width_ = w;
  Height_ = h;
  Stride_ = stride;
  // The bitmap may have remade its rows since the last paint.
  for (int y = 0; y < h; ++y) Rows_[size_t(y)] = target.ScanLine(y);
}

void TFrameRaster::ClearDepth() {
  if (WrittenRight_ < WrittenLeft_ || WrittenBottom_ < WrittenTop_ || Depth_.empty()) return;
  const size_t first = size_t(WrittenLeft_), count = size_t(WrittenRight_ - WrittenLeft_ + 1);
  for (int y = WrittenTop_; y <= WrittenBottom_; ++y)
    std::memset(Depth_.data() + size_t(y) * size_t(Stride_) + first, 0xFF, count * sizeof(uint16_t));
  WrittenLeft_ = WrittenTop_ = 0;
  WrittenRight_ = WrittenBottom_ = -1;
}

void TFrameRaster::SetSkin(const TSkinSource& skin) {
  Skin_ = skin;
  SkinBase_ = nullptr;
  SkinPitch_ = 0;
  if (!skin.Valid()) return;
  const ptrdiff_t pitch = skin.Height > 1 ? skin.Rows[1] - skin.Rows[0] : skin.Width;
  bool even = pitch >= -32768 && pitch <= 32767;
  for (int y = 1; even && y < skin.Height; ++y) even = skin.Rows[y] - skin.Rows[y - 1] == pitch;
  if (even) {
    SkinBase_ = skin.Rows[0];
    SkinPitch_ = static_cast<int>(pitch);
    return;
  }
  SkinCopy_.resize(size_t(skin.Width) * size_t(skin.Height));
  for (int y = 0; y < skin.Height; ++y)
    std::memcpy(SkinCopy_.data() + size_t(y) * size_t(skin.Width), skin.Rows[y], size_t(skin.Width));
  SkinBase_ = SkinCopy_.data();
  SkinPitch_ = skin.Width;
}

// ---- edge scan -------------------------------------------------------------------------

void TFrameRaster::ScanEdge(const TVertexRecord& p, const TVertexRecord& q, bool full) {
  if (p.Y == q.Y) return;
  // Edges going up the screen bound the spans' starts, edges going down their ends.
  const bool up = q.Y < p.Y;
  TEdge* table = up ? Start_.data() : End_.data();
  const TVertexRecord& u = up ? q : p;
  const TVertexRecord& l = up ? p : q;
  Top_ = std::min(Top_, u.Y);
  Bottom_ = std::max(Bottom_, l.Y);

  const int rows = l.Y - u.Y;
  const float fr = static_cast<float>(rows);
  int y = u.Y;
  const int last = std::min(l.Y, Height_ - 1);
#ifdef TESSEL_HAVE_SSE
  // X, Z, L and S step side by side (each lane exactly as its own float
  // would) and are rounded and stored together; T follows on its own.
  const __m128i ui = _mm_setr_epi32(u.X, u.Z, full ? u.L : 0, full ? u.S : 0);
  const __m128i li = _mm_setr_epi32(l.X, l.Z, full ? l.L : 0, full ? l.S : 0);
  __m128 v = _mm_cvtepi32_ps(ui);
  const __m128 dv = _mm_div_ps(_mm_cvtepi32_ps(_mm_sub_epi32(li, ui)), _mm_set1_ps(fr));
  float t = static_cast<float>(u.T);
  const float dt = full ? Diff(l.T, u.T) / fr : 0.0f;
  // Rows above the picture still take their steps, so the visible rows get
  // exactly the values a full scan would give them.
  for (; y < 0 && y <= l.Y; ++y) {
    v = _mm_add_ps(v, dv);
    t += dt;
  }
  for (; y <= last; ++y) {
    TEdge& e = table[y];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&e.X), _mm_cvtps_epi32(v));
    e.T = RoundF(t);
    v = _mm_add_ps(v, dv);
    t += dt;
  }
#else
  float x = static_cast<float>(u.X), z = static_cast<float>(u.Z);
  const float dx = Diff(l.X, u.X) / fr, dz = Diff(l.Z, u.Z) / fr;
  float lv = static_cast<float>(u.L), s = static_cast<float>(u.S), t = static_cast<float>(u.T);
  const float dl = full ? Diff(l.L, u.L) / fr : 0.0f, ds = full ? Diff(l.S, u.S) / fr : 0.0f,
              dt = full ? Diff(l.T, u.T) / fr : 0.0f;
  for (; y < 0 && y <= l.Y; ++y) x += dx, z += dz, lv += dl, s += ds, t += dt;
  for (; y <= last; ++y) {
    TEdge& e = table[y];
    e.X = RoundF(x);
    e.Z = RoundF(z);
    e.L = RoundF(lv);
    e.S = RoundF(s);
    e.T = RoundF(t);
    x += dx;
    z += dz;
    lv += dl;
    s += ds;
    t += dt;
  }
#endif
}

bool TFrameRaster::ScanEdges(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, bool full) {
  Top_ = 32000;
  Bottom_ = -1;
  ScanEdge(a, b, full);
  ScanEdge(b, c, full);
  ScanEdge(c, a, full);
  Top_ = std::max(Top_, 0);
  Bottom_ = std::min(Bottom_, Height_ - 1);
  return Top_ <= Bottom_;
}

// ---- span fills --------------------------------------------------------------------------

template <TFrameRaster::TFill Mode>
void TFrameRaster::FillSpans(int probeX, int probeY, int* probeS, int* probeT, bool* hit) {
  const int maxS = Skin_.Width - 1;
  const int maxT = Skin_.Height - 1;
  const uint8_t* const* skinRows = Skin_.Rows;
  const uint8_t* shade = Skin_.Shade;
  const uint8_t* gameShade = Skin_.GameShade;
  uint8_t* const* recordRows = Skin_.RecordRows;
  const int lastX = Width_ - 1;
  uint64_t written = 0;
#ifdef TESSEL_HAVE_SSE
  // Lanes: depth, light, skin column, skin row.
  const __m128i lo = _mm_setzero_si128();
  const __m128i hi = _mm_setr_epi16(32767, 63, static_cast<int16_t>(std::max(maxS, 0)),
                                    static_cast<int16_t>(std::max(maxT, 0)), 32767, 63,
                                    static_cast<int16_t>(std::max(maxS, 0)), static_cast<int16_t>(std::max(maxT, 0)));
  const __m128i address = _mm_setr_epi16(0, 256, 1, static_cast<int16_t>(SkinPitch_), 0, 256, 1,
                                         static_cast<int16_t>(SkinPitch_));
  const uint8_t* skinBase = SkinBase_;
#endif

#ifdef TESSEL_HAVE_SSE
  // First every row's start values and steps, then the pixels: the rows'
  // divisions then overlap instead of each holding up its own row.
  int count = 0;
  int left = Width_, right = -1;
  for (int y = Top_; y <= Bottom_; ++y) {
    const TEdge* st = &Start_[size_t(y)];
    const TEdge* en = &End_[size_t(y)];
    if constexpr (Mode == TFill::Probe) {
      // Back faces reach the picker too, with their spans the other way round.
      if (en->X < st->X) std::swap(st, en);
    }
    int x0 = st->X;
    const int x1 = en->X;
    if (x1 <= x0) continue;
    // Z, L, S and T side by side; each lane divides, steps and rounds
    // exactly as its own float would.
    const __m128i si4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&st->Z));
    const __m128i ei4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&en->Z));
    __m128 v = _mm_cvtepi32_ps(si4);
    const __m128 dv =
        _mm_div_ps(_mm_cvtepi32_ps(_mm_sub_epi32(ei4, si4)), _mm_set1_ps(static_cast<float>(x1 - x0)));
    if (x0 < 0) {
      v = _mm_add_ps(v, _mm_mul_ps(dv, _mm_set1_ps(static_cast<float>(-x0))));
      x0 = 0;
    }
    const int end = std::min(x1, lastX);
    if (end <= x0) continue;
    left = std::min(left, x0);
    right = std::max(right, end - 1);
    TSpan& span = Spans_[size_t(count++)];
    _mm_store_ps(span.V, v);
    _mm_store_ps(span.D, dv);
    span.X0 = x0;
    span.X1 = end;
    span.Y = y;
  }

  if (count > 0) MarkWritten(left, right, Spans_[0].Y, Spans_[size_t(count - 1)].Y);
  if constexpr (Mode == TFill::Textured) {
    written = UseWideFill && WideFillAvailable() ? FillTexturedSpansAvx(count) : FillTexturedSpans(count);
  } else {
  for (int k = 0; k < count; ++k) {
    const TSpan& span = Spans_[size_t(k)];
    const int y = span.Y, x0 = span.X0, x1 = span.X1;
    __m128 v = _mm_load_ps(span.V);
    const __m128 dv = _mm_load_ps(span.D);
    uint16_t* drow = DepthRows_[size_t(y)];
    if constexpr (Mode == TFill::Probe) {
      for (int x = x0; x < x1; ++x) {
        if (_mm_cvtss_f32(v) < static_cast<float>(drow[x])) {
          const __m128i r = _mm_cvtps_epi32(v);
          const int32_t zi = _mm_cvtsi128_si32(r);
          drow[x] = static_cast<uint16_t>(zi < 0 ? 0 : zi);
          if (x == probeX && y == probeY) {
            alignas(16) int32_t lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), r);
            *hit = true;
            *probeS = lanes[2];
            *probeT = lanes[3];
          }
        }
        v = _mm_add_ps(v, dv);
      }
    } else {
      uint8_t* prow = Rows_[size_t(y)];
      for (int x = x0; x < x1; ++x) {
        if (_mm_cvtss_f32(v) < static_cast<float>(drow[x])) {
          const __m128i r = _mm_cvtps_epi32(v);
          const int32_t zi = _mm_cvtsi128_si32(r);
          drow[x] = static_cast<uint16_t>(zi < 0 ? 0 : zi);
          // Saturated to 16 bits, then held to the colour map and the skin.
          const __m128i c = _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(r, r), lo), hi);
          if constexpr (Mode == TFill::Record) {
            const uint64_t q = static_cast<uint64_t>(_mm_cvtsi128_si64(c));
            const int li = static_cast<int>((q >> 8) & 0xFF00);
            const int si = static_cast<int>((q >> 32) & 0xFFFF);
            const int ti = static_cast<int>(q >> 48);
            const uint8_t texel = skinRows[ti][si];
            prow[x] = shade[li + texel];
            recordRows[ti][si] = gameShade[li + texel];
          } else {
            // One multiply-add gives light * 256 and the texel's offset.
            const uint64_t q = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_madd_epi16(c, address)));
            const uint8_t texel = skinBase[static_cast<int32_t>(q >> 32)];
            prow[x] = shade[static_cast<uint32_t>(q) + texel];
          }
          ++written;
        }
        v = _mm_add_ps(v, dv);
      }
    }
  }
  }
#else
  for (int y = Top_; y <= Bottom_; ++y) {
    const TEdge* st = &Start_[size_t(y)];
    const TEdge* en = &End_[size_t(y)];
    if constexpr (Mode == TFill::Probe) {
      // Back faces reach the picker too, with their spans the other way round.
      if (en->X < st->X) std::swap(st, en);
    }
    int x0 = st->X;
    int x1 = en->X;
    if (x1 <= x0) continue;
    const float n = static_cast<float>(x1 - x0);
    float z = static_cast<float>(st->Z), l = static_cast<float>(st->L), s = static_cast<float>(st->S),
          t = static_cast<float>(st->T);
    const float dz = Diff(en->Z, st->Z) / n, dl = Diff(en->L, st->L) / n, ds = Diff(en->S, st->S) / n,
                dt = Diff(en->T, st->T) / n;
    if (x0 < 0) {
      const float k = static_cast<float>(-x0);
      z += dz * k;
      l += dl * k;
      s += ds * k;
      t += dt * k;
      x0 = 0;
    }
    if (x1 > lastX) x1 = lastX;
    if (x1 <= x0) continue;
    MarkWritten(x0, x1 - 1, y, y);
    uint16_t* drow = DepthRows_[size_t(y)];

    if constexpr (Mode == TFill::Probe) {
      for (int x = x0; x < x1; ++x) {
        if (z < static_cast<float>(drow[x])) {
          drow[x] = StoredDepth(z);
          if (x == probeX && y == probeY) {
            *hit = true;
            *probeS = RoundF(s);
            *probeT = RoundF(t);
          }
        }
        z += dz;
        s += ds;
        t += dt;
      }
    } else {
      uint8_t* prow = Rows_[size_t(y)];
      for (int x = x0; x < x1; ++x) {
        if (z < static_cast<float>(drow[x])) {
          drow[x] = StoredDepth(z);
          const int si = Clamp(RoundF(s), maxS);
          const int ti = Clamp(RoundF(t), maxT);
          const int li = Clamp(RoundF(l), 63) * 256;
          const uint8_t texel = skinRows[ti][si];
          prow[x] = shade[li + texel];
          if constexpr (Mode == TFill::Record) recordRows[ti][si] = gameShade[li + texel];
          ++written;
        }
        z += dz;
        s += ds;
        t += dt;
        l += dl;
      }
    }
  }
#endif
  PixelsWritten += written;
}

#ifdef TESSEL_HAVE_SSE
namespace {

// What a textured span fill needs besides the spans.
struct TTexelLookup {
  __m128i Hi;       // upper bounds of depth, light, skin column, skin row
  __m128i Address;  // multipliers giving light * 256 and the texel's offset
  const uint8_t* Shade;
  const uint8_t* Skin;
};

// One pixel from its values v (depth, light, skin column, skin row); false
// when the depth test fails. The depth rounded to a whole number, r, settles
// the test at once when 0 <= r < d: then z < d, and r is the depth to store.
// Only r >= d (z may still lie below d), a depth behind the eye and one too
// large to convert need the comparison itself. Saturating to 16 bits
// without sign holds light and skin coordinates at 0 from below, one
// unsigned minimum holds them to the colour map and the skin, and one
// multiply-add gives light * 256 and the texel's offset.
__attribute__((target("avx"), always_inline)) inline bool PixelAvx(__m128 v, uint16_t* d, uint8_t* p,
                                                                  const TTexelLookup& k) {
  const __m128i r4 = _mm_cvtps_epi32(v);
  const uint32_t r = static_cast<uint32_t>(_mm_cvtsi128_si32(r4));
  const uint16_t stored = *d;
  if (__builtin_expect(r >= stored, 0)) {
    if (!(_mm_cvtss_f32(v) < static_cast<float>(stored))) return false;
    *d = static_cast<uint16_t>(static_cast<int32_t>(r) < 0 ? 0 : r);
  } else {
    *d = static_cast<uint16_t>(r);
  }
  const __m128i c = _mm_min_epu16(_mm_packus_epi32(r4, _mm_setzero_si128()), k.Hi);
  const uint64_t q = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_madd_epi16(c, k.Address)));
  *p = k.Shade[static_cast<uint32_t>(q) + k.Skin[static_cast<int64_t>(q) >> 32]];
  return true;
}

}  // namespace

bool TFrameRaster::WideFillAvailable() {
  static const bool avx = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
  }();
  return avx;
}

__attribute__((target("avx"))) uint64_t TFrameRaster::FillTexturedSpansAvx(int count) {
  TTexelLookup k;
  k.Hi = _mm_setr_epi16(-1, 63, static_cast<int16_t>(std::max(Skin_.Width - 1, 0)),
                        static_cast<int16_t>(std::max(Skin_.Height - 1, 0)), 0, 0, 0, 0);
  k.Address = _mm_setr_epi16(0, 256, 1, static_cast<int16_t>(SkinPitch_), 0, 0, 0, 0);
  k.Shade = Skin_.Shade;
  k.Skin = SkinBase_;

  // Two rows at a time, a pixel of each in turn: the two chains of
  // additions hide each other's latency. Pixels failing the depth test are
  // counted (they are few); the others are the written ones.
  uint64_t visited = 0, hidden = 0;
  int s = 0;
  for (; s + 1 < count; s += 2) {
    const TSpan& a = Spans_[size_t(s)];
    const TSpan& b = Spans_[size_t(s + 1)];
    __m128 va = _mm_load_ps(a.V), vb = _mm_load_ps(b.V);
    const __m128 da = _mm_load_ps(a.D), db = _mm_load_ps(b.D);
    uint16_t* dA = DepthRows_[size_t(a.Y)] + a.X0;
    uint16_t* dB = DepthRows_[size_t(b.Y)] + b.X0;
    uint8_t* pA = Rows_[size_t(a.Y)] + a.X0;
    uint8_t* pB = Rows_[size_t(b.Y)] + b.X0;
    const int na = a.X1 - a.X0, nb = b.X1 - b.X0;
    visited += unsigned(na + nb);
    const int both = std::min(na, nb);
    int i = 0;
    for (; i < both; ++i) {
      if (!PixelAvx(va, dA + i, pA + i, k)) ++hidden;
      if (!PixelAvx(vb, dB + i, pB + i, k)) ++hidden;
      va = _mm_add_ps(va, da);
      vb = _mm_add_ps(vb, db);
    }
    for (int j = i; j < na; ++j) {
      if (!PixelAvx(va, dA + j, pA + j, k)) ++hidden;
      va = _mm_add_ps(va, da);
    }
    for (int j = i; j < nb; ++j) {
      if (!PixelAvx(vb, dB + j, pB + j, k)) ++hidden;
      vb = _mm_add_ps(vb, db);
    }
  }
  if (s < count) {
    const TSpan& a = Spans_[size_t(s)];
    __m128 va = _mm_load_ps(a.V);
    const __m128 da = _mm_load_ps(a.D);
    uint16_t* dA = DepthRows_[size_t(a.Y)] + a.X0;
    uint8_t* pA = Rows_[size_t(a.Y)] + a.X0;
    const int n = a.X1 - a.X0;
    visited += unsigned(n);
    for (int j = 0; j < n; ++j) {
      if (!PixelAvx(va, dA + j, pA + j, k)) ++hidden;
      va = _mm_add_ps(va, da);
    }
  }
  return visited - hidden;
}
#else
bool TFrameRaster::WideFillAvailable() { return false; }
#endif

#ifdef TESSEL_HAVE_SSE
uint64_t TFrameRaster::FillTexturedSpans(int count) {
  const int maxS = std::max(Skin_.Width - 1, 0);
  const int maxT = std::max(Skin_.Height - 1, 0);
  const uint8_t* shade = Skin_.Shade;
  const uint8_t* skinBase = SkinBase_;
  const __m128i lo = _mm_setzero_si128();
  const __m128i hi = _mm_setr_epi16(32767, 63, static_cast<int16_t>(maxS), static_cast<int16_t>(maxT), 32767, 63,
                                    static_cast<int16_t>(maxS), static_cast<int16_t>(maxT));
  const __m128i address = _mm_setr_epi16(0, 256, 1, static_cast<int16_t>(SkinPitch_), 0, 256, 1,
                                         static_cast<int16_t>(SkinPitch_));

  // One pixel from its values v (depth, light, skin column, skin row).
  auto pixel = [&](__m128 v, uint16_t* d, uint8_t* p) -> unsigned {
    if (!(_mm_cvtss_f32(v) < static_cast<float>(*d))) return 0;
    const __m128i r = _mm_cvtps_epi32(v);
    const int32_t zi = _mm_cvtsi128_si32(r);
    *d = static_cast<uint16_t>(zi < 0 ? 0 : zi);
    // Saturated to 16 bits, then held to the colour map and the skin; one
    // multiply-add gives light * 256 and the texel's offset.
    const __m128i c = _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(r, r), lo), hi);
    const uint64_t q = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_madd_epi16(c, address)));
    *p = shade[static_cast<uint32_t>(q) + skinBase[static_cast<int32_t>(q >> 32)]];
    return 1;
  };

  // Two rows at a time, a pixel of each in turn: the two chains of
  // additions hide each other's latency.
  uint64_t written = 0;
  int k = 0;
  for (; k + 1 < count; k += 2) {
    const TSpan& a = Spans_[size_t(k)];
    const TSpan& b = Spans_[size_t(k + 1)];
    __m128 va = _mm_load_ps(a.V), vb = _mm_load_ps(b.V);
    const __m128 da = _mm_load_ps(a.D), db = _mm_load_ps(b.D);
    uint16_t* dA = DepthRows_[size_t(a.Y)] + a.X0;
    uint16_t* dB = DepthRows_[size_t(b.Y)] + b.X0;
    uint8_t* pA = Rows_[size_t(a.Y)] + a.X0;
    uint8_t* pB = Rows_[size_t(b.Y)] + b.X0;
    const int na = a.X1 - a.X0, nb = b.X1 - b.X0;
    const int both = std::min(na, nb);
    int i = 0;
    for (; i < both; ++i) {
      written += pixel(va, dA + i, pA + i);
      written += pixel(vb, dB + i, pB + i);
      va = _mm_add_ps(va, da);
      vb = _mm_add_ps(vb, db);
    }
    for (int j = i; j < na; ++j) {
      written += pixel(va, dA + j, pA + j);
      va = _mm_add_ps(va, da);
    }
    for (int j = i; j < nb; ++j) {
      written += pixel(vb, dB + j, pB + j);
      vb = _mm_add_ps(vb, db);
    }
  }
  if (k < count) {
    const TSpan& a = Spans_[size_t(k)];
    __m128 va = _mm_load_ps(a.V);
    const __m128 da = _mm_load_ps(a.D);
    uint16_t* dA = DepthRows_[size_t(a.Y)] + a.X0;
    uint8_t* pA = Rows_[size_t(a.Y)] + a.X0;
    for (int j = 0, n = a.X1 - a.X0; j < n; ++j) {
      written += pixel(va, dA + j, pA + j);
      va = _mm_add_ps(va, da);
    }
  }
  return written;
}
#endif

void TFrameRaster::FillTextured(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c) {
  if (!Skin_.Valid() || !ScanEdges(a, b, c, true)) return;
  FillSpans<TFill::Textured>(-1, -1, nullptr, nullptr, nullptr);
}

void TFrameRaster::FillRecord(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c) {
  if (!Skin_.Valid() || !Skin_.GameShade || !Skin_.RecordRows || !ScanEdges(a, b, c, true)) return;
  FillSpans<TFill::Record>(-1, -1, nullptr, nullptr, nullptr);
}

bool TFrameRaster::ProbeTriangle(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, int x,
                                 int y, int& s, int& t) {
  bool hit = false;
  if (ScanEdges(a, b, c, true)) FillSpans<TFill::Probe>(x, y, &s, &t, &hit);
  return hit;
}

void TFrameRaster::FillSolid(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, uint8_t fill,
                             uint8_t edge) {
  if (ScanEdges(a, b, c, false)) {
    const int lastX = Width_ - 1;
    uint64_t written = 0;
    for (int y = Top_; y <= Bottom_; ++y) {
      const TEdge* st = &Start_[size_t(y)];
      const TEdge* en = &End_[size_t(y)];
      if (en->X < st->X) std::swap(st, en);
      int x0 = st->X;
      int x1 = en->X;
      if (x1 == x0) continue;
      float z = static_cast<float>(st->Z);
      const float dz = Diff(en->Z, st->Z) / static_cast<float>(x1 - x0);
      // Both end pixels belong to the outline; a start left of the picture
      // leaves no end pixel on it, so pixel 0 is then inside.
      int first = x0 + 1;
      if (x0 < 0) {
        z += dz * static_cast<float>(-x0);
        first = 0;
      } else {
        z += dz;
      }
      if (x1 > lastX) x1 = lastX;
      if (first < x1) MarkWritten(first, x1 - 1, y, y);
      uint16_t* drow = DepthRows_[size_t(y)];
      uint8_t* prow = Rows_[size_t(y)];
      for (int x = first; x < x1; ++x) {
        if (z < static_cast<float>(drow[x])) {
          drow[x] = StoredDepth(z);
          prow[x] = fill;
          ++written;
        }
        z += dz;
      }
    }
    PixelsWritten += written;
  }
  DrawDepthLine(a, b, edge);
  DrawDepthLine(b, c, edge);
  DrawDepthLine(c, a, edge);
}

void TFrameRaster::Outline(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, uint8_t color) {
  DrawDepthLine(a, b, color);
  DrawDepthLine(b, c, color);
  DrawDepthLine(c, a, color);
}

void TFrameRaster::DrawDepthLine(const TVertexRecord& a, const TVertexRecord& b, uint8_t color) {
  const int64_t ddx = int64_t(b.X) - a.X, ddy = int64_t(b.Y) - a.Y;
  const int64_t n = std::max(ddx < 0 ? -ddx : ddx, ddy < 0 ? -ddy : ddy);
  if (n == 0 || Width_ <= 0 || Height_ <= 0) return;
  const float fn = static_cast<float>(n);
  const float sx = static_cast<float>(ddx) / fn, sy = static_cast<float>(ddy) / fn, sz = Diff(b.Z, a.Z) / fn;
  float x = static_cast<float>(a.X), y = static_cast<float>(a.Y), z = static_cast<float>(a.Z);
  const float maxX = static_cast<float>(Width_ - 1), maxY = static_cast<float>(Height_ - 1);
  uint64_t written = 0;
  for (int64_t k = 0; k < n; ++k) {
    if (x >= 0.0f && x <= maxX && y >= 0.0f && y <= maxY) {
      const int xi = RoundF(x), yi = RoundF(y);
      uint16_t& d = DepthRows_[size_t(yi)][xi];
      // Lines win against faces up to five depth units in front of them.
      if (z - 5.0f <= static_cast<float>(d)) {
        const int32_t zi = RoundF(z);
        d = static_cast<uint16_t>(zi < 0 ? 0 : (zi > kFarthest ? kFarthest : zi));
        MarkWritten(xi, xi, yi, yi);
        Rows_[size_t(yi)][xi] = color;
        ++written;
      }
    }
    x += sx;
    y += sy;
    z += sz;
  }
  PixelsWritten += written;
}
