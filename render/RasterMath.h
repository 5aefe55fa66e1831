#pragma once
// The arithmetic every part of the renderer must do alike: rounding half to
// even, as the processor's conversion does in its default mode (one
// instruction, so pixel loops stay free of calls), and differences of whole
// numbers taken without overflow. The caller keeps a value it rounds within
// the range of int32_t (and not a NaN).

#include <cmath>
#include <cstdint>

#if defined(__x86_64__) && !defined(TESSEL_NO_SIMD)
#include <emmintrin.h>
#define TESSEL_ROUND_SSE 1
#endif

inline int32_t RoundEven(double v) {
#ifdef TESSEL_ROUND_SSE
  return _mm_cvtsd_si32(_mm_set_sd(v));
#else
  return static_cast<int32_t>(std::nearbyint(v));
#endif
}

inline int32_t RoundF(float v) {
#ifdef TESSEL_ROUND_SSE
  return _mm_cvtss_si32(_mm_set_ss(v));
#else
  return static_cast<int32_t>(std::lrint(v));
#endif
}

// b subtracted from a as a float, the difference taken in 64 bits.
inline float Diff(int32_t a, int32_t b) { return static_cast<float>(int64_t(a) - int64_t(b)); }
