// Palette mapping and BMP loading.

#include <benchmark/benchmark.h>

#include <memory>

#include "raster/ColorTables.h"
#include "raster/WinGBitmap.h"
#include "resources/BuiltinData.h"

namespace {

// Mapping all 256 game colours to the display palette, the lookup object
// included (it is rebuilt after every palette change).
void BM_MapToPalette(benchmark::State& state) {
  const TColorTables& t = ColorTables();
  TWinGPalette target;
  target.Assign(&t.DisplayPalette);
  for (auto _ : state) {
    target.SetColor(255, target.GetColor(255));  // drops the cached lookup object
    TWinGPaletteMap map;
    map.MapToPalette(t.GamePalette, target);
    benchmark::DoNotOptimize(map.Table().data());
  }
}
BENCHMARK(BM_MapToPalette)->Unit(benchmark::kMicrosecond);

// The same with the lookup object already made.
void BM_MapToPaletteCached(benchmark::State& state) {
  const TColorTables& t = ColorTables();
  for (auto _ : state) {
    TWinGPaletteMap map;
    map.MapToPalette(t.GamePalette, t.DisplayPalette);
    benchmark::DoNotOptimize(map.Table().data());
  }
}
BENCHMARK(BM_MapToPaletteCached)->Unit(benchmark::kMicrosecond);

// A 1024 x 1024 8-bit BMP loaded from memory.
void BM_LoadBmp1024(benchmark::State& state) {
  TWinGBitmap source;
  source.SetSize(1024, 1024);
  for (int y = 0; y < 1024; ++y)
    for (int x = 0; x < 1024; ++x) source.ScanLine(y)[x] = uint8_t(x ^ y);
  TMemoryStream file;
  source.SaveToStream(file);
  TWinGBitmap bitmap;
  for (auto _ : state) {
    file.SetPosition(0);
    bitmap.LoadFromStream(file);
    benchmark::DoNotOptimize(bitmap.Bits());
  }
  state.SetBytesProcessed(state.iterations() * file.Size());
}
BENCHMARK(BM_LoadBmp1024)->Unit(benchmark::kMicrosecond);

// The built-in colour map computed from the palette (done once at start-up
// when no colormap.lmp is found).
void BM_ComputeColormap(benchmark::State& state) {
  auto map = std::make_unique<TColormap>();
  for (auto _ : state) {
    ComputeColormap(kBuiltinPalette, *map);
    benchmark::DoNotOptimize(map->data());
  }
}
BENCHMARK(BM_ComputeColormap)->Unit(benchmark::kMillisecond);

}  // namespace
