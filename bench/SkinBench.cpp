// Skin painting and resizing on 512 x 512 skins.

#include <benchmark/benchmark.h>

#include <cstring>

#include "mdl/Mdl.h"

namespace {

void Pattern(TMDLBitmap& b) {
  for (int y = 0; y < b.Height; ++y)
    for (int x = 0; x < b.Width; ++x) b.Row(y)[x] = static_cast<uint8_t>((x / 8) ^ (y / 8));
  b.RecountColors();
}

// One fill on an open 512 x 512 region of one colour. The nesting limit
// stops a single fill short of the whole region; the counter says how much
// one call covers.
void BM_FloodFillOpenRegion(benchmark::State& state) {
  TMDLBitmap b(nullptr);
  b.SetSize(512, 512);
  int64_t filled = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::memset(b.Image.Bits(), 0, static_cast<size_t>(512 * 512));
    b.RecountColors();
    state.ResumeTiming();
    b.FloodFill(256, 256, 7);
    filled = b.ColorCount()[7];
  }
  state.counters["pixels_filled"] = static_cast<double>(filled);
}
BENCHMARK(BM_FloodFillOpenRegion)->Unit(benchmark::kMillisecond);

// The whole open 512 x 512 region: fills are repeated from the first pixel
// left unfilled, as a user clicking again would, until none is left.
void BM_FloodFillWholeRegionRepeated(benchmark::State& state) {
  TMDLBitmap b(nullptr);
  b.SetSize(512, 512);
  int64_t calls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::memset(b.Image.Bits(), 0, static_cast<size_t>(512 * 512));
    b.RecountColors();
    state.ResumeTiming();
    calls = 0;
    const uint8_t* bits = b.Image.Bits();
    for (int i = 0; i < 512 * 512 && b.ColorCount()[0] > 0; ++i) {
      if (bits[i] != 0) continue;
      // Bits are stored bottom-up.
      b.FloodFill(i % 512, 511 - i / 512, 7);
      ++calls;
    }
  }
  state.counters["fill_calls"] = static_cast<double>(calls);
}
BENCHMARK(BM_FloodFillWholeRegionRepeated)->Unit(benchmark::kMillisecond);

void BM_ResizeSkin512(benchmark::State& state) {
  TMDLBitmap b(nullptr);
  b.SetSize(512, 512);
  Pattern(b);
  bool wide = false;
  for (auto _ : state) {
    // 512 x 512 to 516 x 512 and back: every call stretches a 512-ish skin.
    b.Resize(wide ? 512 : 516, 512);
    wide = !wide;
    benchmark::DoNotOptimize(b.ColorCount()[0]);
  }
}
BENCHMARK(BM_ResizeSkin512)->Unit(benchmark::kMillisecond);

void BM_ReplaceColor512(benchmark::State& state) {
  TMDLBitmap b(nullptr);
  b.SetSize(512, 512);
  Pattern(b);
  for (auto _ : state) {
    b.ReplaceColor(3, 4);
    b.ReplaceColor(4, 3);
  }
}
BENCHMARK(BM_ReplaceColor512)->Unit(benchmark::kMillisecond);

}  // namespace
