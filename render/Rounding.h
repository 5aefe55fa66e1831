#pragma once
// Rounding of doubles to whole numbers, half to even, as the processor's
// conversion does in its default mode. The caller keeps the value within
// the range of int32_t (and not a NaN).

#include <cmath>
#include <cstdint>

#if defined(__x86_64__) && !defined(TESSEL_NO_SIMD)
#include <emmintrin.h>
#endif

inline int32_t RoundEven(double v) {
#if defined(__x86_64__) && !defined(TESSEL_NO_SIMD)
  return _mm_cvtsd_si32(_mm_set_sd(v));
#else
  return static_cast<int32_t>(std::nearbyint(v));
#endif
}
