#pragma once
// TPerformanceInfo: the timings each frame paint leaves for the performance
// window.

#include <cstdint>

class TPerformanceInfo {
public:
  // Clears the times and the counters.
  void Reset();
  // Milliseconds from `start` to `now` on the 32-bit tick counter, across a wrap.
  static float Elapsed(uint32_t start, uint32_t now);

  float FramePaintTime = 0;
  uint32_t FramePaintStart = 0;
  float TrianglePaintTime = 0;
  uint32_t TrianglePaintStart = 0;
  // Kept for the performance window; the renderer only resets them.
  int32_t Counters[4] = {0, 0, 0, 0};
};
