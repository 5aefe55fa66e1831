// The frame paint box drawing a real model, textured and lit, at the frame
// view's usual sizes: whole paints per second and time per written pixel.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"
#include "render/MDLFramePaintBox.h"

namespace {

const std::string kModel = std::string(TESSEL_DATA_DIR) + "/quake/models/oq_player.mdl";

int Covered(TMDLFramePaintBox& box) {
  box.Paint();
  const TWinGBitmap& b = box.Bitmap();
  const uint8_t bg = static_cast<uint8_t>(box.Bitmap().Canvas().ColorIndex(box.BackgroundColor()));
  int n = 0;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) n += b.ScanLine(y)[x] != bg;
  return n;
}

void BM_PaintTexturedLit(benchmark::State& state) {
  if (!std::filesystem::exists(kModel)) {
    state.SkipWithError("the real model is not there");
    return;
  }
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  TMDLEditor editor;
  editor.LoadFromFile(kModel);
  TMDLFramePaintBox box(&editor);
  box.SetResolution(w, h);
  box.Loaded();
  box.SetView(1);
  box.Lighting = true;
  box.SetLightFollowsCamera(true);
  box.ShowGroundPlane = false;
  box.CenterView();
  // Zoom until the model covers about a third of the picture.
  const double target = w * h / 3.0;
  for (int i = 0; i < 12; ++i) {
    const int c = Covered(box);
    if (c == 0) break;
    box.ScreenDistance = static_cast<float>(box.ScreenDistance * std::sqrt(target / c));
    box.CenterView();
  }
  const int covered = Covered(box);

  uint64_t written = 0;
  for (auto _ : state) {
    const uint64_t before = box.Raster().PixelsWritten;
    box.Paint();
    written += box.Raster().PixelsWritten - before;
    benchmark::DoNotOptimize(box.Bitmap().Bits());
  }
  state.counters["covered%"] = 100.0 * covered / (w * h);
  state.counters["px/frame"] = static_cast<double>(written) / static_cast<double>(state.iterations());
  // Seconds per written pixel (shown as n for nanoseconds).
  state.counters["s/px"] = benchmark::Counter(static_cast<double>(written),
                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

// With --benchmark_repetitions the fastest repetition is reported too
// ("_min"): on a shared machine the median carries the neighbours' load.
BENCHMARK(BM_PaintTexturedLit)
    ->Args({640, 480})
    ->Args({1120, 840})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
