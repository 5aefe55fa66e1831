// OBJ import and export speed near the most triangles a model takes: a grid
// of 142 x 142 positions and 39762 triangles, with a texture coordinate and
// a normal at every position and faces in the "v/vt/vn" form, read from
// memory and from a file; and the writer.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/Streams.h"
#include "exchange/ObjFormat.h"

namespace {

constexpr int kSide = 142;
constexpr int kTriangles = 2 * (kSide - 1) * (kSide - 1);

// A wavy grid with coordinates of a few hundred units, written the way
// common modelling programs write them (six decimals).
const std::string& ObjText() {
  static std::string text;
  if (!text.empty()) return text;
  char line[128];
  text += "# grid\nmtllib grid.mtl\no grid\n";
  for (int r = 0; r < kSide; ++r)
    for (int c = 0; c < kSide; ++c) {
      std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", c * 2.5 - 250, 20 * std::sin(r * 0.1) * std::cos(c * 0.1),
                    r * 2.5 - 250);
      text += line;
    }
  for (int r = 0; r < kSide; ++r)
    for (int c = 0; c < kSide; ++c) {
      std::snprintf(line, sizeof line, "vt %.6f %.6f\n", c / double(kSide - 1), r / double(kSide - 1));
      text += line;
    }
  for (int r = 0; r < kSide; ++r)
    for (int c = 0; c < kSide; ++c) {
      std::snprintf(line, sizeof line, "vn %.4f %.4f %.4f\n", 0.1 * std::cos(c * 0.1), 0.99, 0.1 * std::sin(r * 0.1));
      text += line;
    }
  text += "usemtl skin\ns 1\n";
  for (int r = 0; r + 1 < kSide; ++r)
    for (int c = 0; c + 1 < kSide; ++c) {
      const int a = r * kSide + c + 1, b = a + 1, d = a + kSide, e = d + 1;
      std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\nf %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b,
                    e, e, e, a, a, a, e, e, e, d, d, d);
      text += line;
    }
  return text;
}

void BM_ObjImportMemory(benchmark::State& state) {
  const std::string& text = ObjText();
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  TOBJFormat format;
  TTriangleStore store;
  for (auto _ : state) {
    TMemoryStream in(bytes);
    format.Import(in, store);
    if (store.Count() != kTriangles || !store.HasSkinCoords()) state.SkipWithError("wrong triangles");
  }
  state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
  state.counters["file_MB"] = double(bytes.size()) / 1e6;
}
BENCHMARK(BM_ObjImportMemory)->Unit(benchmark::kMillisecond);

void BM_ObjImportFile(benchmark::State& state) {
  const std::string name =
      (std::filesystem::temp_directory_path() / ("tessel_bench_" + std::to_string(::getpid()) + ".obj")).string();
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer(ObjText().data(), int64_t(ObjText().size()));
  }
  TOBJFormat format;
  TTriangleStore store;
  for (auto _ : state) {
    TFileStream in(name, fmOpenRead);
    format.Import(in, store);
    if (store.Count() != kTriangles) state.SkipWithError("wrong triangles");
  }
  state.SetBytesProcessed(state.iterations() * int64_t(ObjText().size()));
  std::remove(name.c_str());
}
BENCHMARK(BM_ObjImportFile)->Unit(benchmark::kMillisecond);

void BM_ObjExport(benchmark::State& state) {
  const std::string& text = ObjText();
  TOBJFormat format;
  TTriangleStore store;
  {
    TMemoryStream in(std::vector<uint8_t>(text.begin(), text.end()));
    format.Import(in, store);
  }
  int64_t bytes = 0;
  for (auto _ : state) {
    TMemoryStream out;
    format.Export(out, store);
    bytes += out.Size();
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ObjExport)->Unit(benchmark::kMillisecond);

}  // namespace
