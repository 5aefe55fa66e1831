// Skin pictures and the pictures `tessel render` and `tessel thumbnail`
// write: PNG export and import of a 512 x 512 skin, the contact sheet and
// the thumbnail of a real model.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/Streams.h"
#include "editor/MDLEdit.h"
#include "exchange/PngFormat.h"
#include "mdl/Mdl.h"
#include "raster/ColorTables.h"
#include "render/Thumbnail.h"

namespace {

namespace fs = std::filesystem;

std::string Model(const char* name) { return (fs::path(TESSEL_DATA_DIR) / "quake" / "models" / name).string(); }

// A 512 x 512 skin: the largest real skin stretched up (real skins are
// noisy pictures with short runs), or random pixels without the data.
const TWinGBitmap& Skin512() {
  static TWinGBitmap skin;
  if (skin.GetWidth() == 0) {
    skin.SetSize(512, 512);
    const TWinGPalette& game = GamePalette();
    for (int i = 0; i < 256; ++i) skin.SetColorEntry(i, game.GetColor(i));
    TMDL m;
    std::error_code ec;
    if (fs::exists(Model("sg_knight.mdl"), ec)) {
      m.LoadFromFile(Model("sg_knight.mdl"));
      const TWinGBitmap& real = m.Skins->Skin(0).Image;
      StretchCopy(skin, {0, 0, 512, 512}, real, {0, 0, real.GetWidth(), real.GetHeight()});
    } else {
      std::mt19937 rng(5);
      for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) skin.ScanLine(y)[x] = static_cast<uint8_t>(rng() % 64 + (x / 64) * 16);
    }
  }
  return skin;
}

void BM_PngSkinExport512(benchmark::State& state) {
  const TWinGBitmap& skin = Skin512();
  size_t bytes = 0;
  for (auto _ : state) {
    TMemoryStream out;
    WritePng(out, skin);
    bytes = static_cast<size_t>(out.Size());
  }
  state.counters["file_KB"] = static_cast<double>(bytes) / 1024;
}
BENCHMARK(BM_PngSkinExport512)->Unit(benchmark::kMillisecond);

void BM_PngSkinImport512(benchmark::State& state) {
  TMemoryStream out;
  WritePng(out, Skin512());
  const std::vector<uint8_t> bytes = out.Bytes();
  TWinGBitmap back;
  for (auto _ : state) ReadPng(bytes.data(), bytes.size(), back);
}
BENCHMARK(BM_PngSkinImport512)->Unit(benchmark::kMillisecond);

// A true-colour picture of the same skin with a quarter of it transparent:
// the nearest-colour search on every pixel.
void BM_PngTrueColourImport512(benchmark::State& state) {
  const TWinGBitmap& skin = Skin512();
  std::vector<uint8_t> rgba(512 * 512 * 4);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) {
      const TRGBQuad q = GamePalette().GetColor(skin.ScanLine(y)[x]);
      uint8_t* p = &rgba[(static_cast<size_t>(y) * 512 + static_cast<size_t>(x)) * 4];
      p[0] = static_cast<uint8_t>(QuadRed(q) ^ (x & 3)), p[1] = QuadGreen(q), p[2] = QuadBlue(q);
      p[3] = x < 128 ? 0 : 255;
    }
  TMemoryStream out;
  WritePng(out, TPngRgba{512, 512, rgba.data(), 512 * 4});
  const std::vector<uint8_t> bytes = out.Bytes();
  TWinGBitmap back;
  for (auto _ : state) ReadPng(bytes.data(), bytes.size(), back);
}
BENCHMARK(BM_PngTrueColourImport512)->Unit(benchmark::kMillisecond);

// What `tessel thumbnail MODEL OUT 256` does after start-up: load, draw,
// scale down, write.
void BM_Thumbnail256(benchmark::State& state) {
  std::error_code ec;
  if (!fs::exists(Model("sg_knight.mdl"), ec)) {
    state.SkipWithError("no real models in " TESSEL_DATA_DIR);
    return;
  }
  for (auto _ : state) {
    TMDLEditor editor;
    editor.LoadFromFile(Model("sg_knight.mdl"));
    const std::vector<uint8_t> rgba = RenderThumbnail(editor, 256);
    TMemoryStream out;
    WritePng(out, TPngRgba{256, 256, rgba.data(), 256 * 4});
    benchmark::DoNotOptimize(out.Size());
  }
}
BENCHMARK(BM_Thumbnail256)->Unit(benchmark::kMillisecond);

// The drawing and scaling alone, the model loaded once.
void BM_ThumbnailDraw256(benchmark::State& state) {
  std::error_code ec;
  if (!fs::exists(Model("sg_knight.mdl"), ec)) {
    state.SkipWithError("no real models in " TESSEL_DATA_DIR);
    return;
  }
  TMDLEditor editor;
  editor.LoadFromFile(Model("sg_knight.mdl"));
  for (auto _ : state) benchmark::DoNotOptimize(RenderThumbnail(editor, 256).data());
}
BENCHMARK(BM_ThumbnailDraw256)->Unit(benchmark::kMillisecond);

}  // namespace
