#include "render/PerformanceInfo.h"

#include "core/TickCount.h"

void TPerformanceInfo::Reset() {
  FramePaintTime = 0;
  TrianglePaintTime = 0;
  for (int32_t& c : Counters) c = 0;
}

float TPerformanceInfo::Elapsed(uint32_t start, uint32_t now) {
  return static_cast<float>(TicksBetween(start, now));
}
