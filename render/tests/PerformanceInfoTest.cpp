#include "render/PerformanceInfo.h"

#include <gtest/gtest.h>

TEST(PerformanceInfo, ResetAndElapsedAcrossAWrap) {
  TPerformanceInfo p;
  p.FramePaintTime = 3;
  p.TrianglePaintTime = 2;
  p.Counters[0] = p.Counters[3] = 9;
  p.FramePaintStart = 77;
  p.Reset();
  EXPECT_EQ(p.FramePaintTime, 0.0f);
  EXPECT_EQ(p.TrianglePaintTime, 0.0f);
  EXPECT_EQ(p.Counters[0], 0);
  EXPECT_EQ(p.Counters[3], 0);
  EXPECT_EQ(p.FramePaintStart, 77u) << "start ticks are written by the paint, not cleared";
  EXPECT_FLOAT_EQ(TPerformanceInfo::Elapsed(0xFFFFFFFEu, 3), 5.0f);
  EXPECT_FLOAT_EQ(TPerformanceInfo::Elapsed(100, 130), 30.0f);
}
