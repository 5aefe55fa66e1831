// Geometry import and export speed: a 40000-face DXF file (the most a model
// can take), read from memory and from a file, and the CAD and DXF writers.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

#include "core/Streams.h"
#include "exchange/CadFormat.h"
#include "exchange/DxfFormat.h"

namespace {

constexpr int kFaces = 40000;

// 40000 distinct triangles with coordinates of a few hundred units, as a
// real model frame has.
const TTriangleStore& Triangles() {
  static TTriangleStore store;
  if (store.Count() == 0) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> coord(-250, 250);
    for (int i = 0; i < kFaces; ++i) {
      TStoreTriangle& t = store.AddTriangle();
      for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 3; ++k) t[c][k] = coord(rng);
    }
  }
  return store;
}

const std::vector<uint8_t>& DxfBytes() {
  static std::vector<uint8_t> bytes;
  if (bytes.empty()) {
    TMemoryStream out;
    TDXFFormat().Export(out, Triangles());
    bytes = out.Bytes();
  }
  return bytes;
}

void BM_DxfImportMemory(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = DxfBytes();
  TDXFFormat format;
  TTriangleStore store;
  for (auto _ : state) {
    TMemoryStream in(bytes);
    format.Import(in, store);
    if (store.Count() != kFaces) state.SkipWithError("wrong triangle count");
  }
  state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
  state.counters["file_MB"] = double(bytes.size()) / 1e6;
}
BENCHMARK(BM_DxfImportMemory)->Unit(benchmark::kMillisecond);

void BM_DxfImportFile(benchmark::State& state) {
  const std::string name =
      (std::filesystem::temp_directory_path() / ("tessel_bench_" + std::to_string(::getpid()) + ".dxf")).string();
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer(DxfBytes().data(), int64_t(DxfBytes().size()));
  }
  TDXFFormat format;
  TTriangleStore store;
  for (auto _ : state) {
    TFileStream in(name, fmOpenRead);
    format.Import(in, store);
    if (store.Count() != kFaces) state.SkipWithError("wrong triangle count");
  }
  state.SetBytesProcessed(state.iterations() * int64_t(DxfBytes().size()));
  std::remove(name.c_str());
}
BENCHMARK(BM_DxfImportFile)->Unit(benchmark::kMillisecond);

void BM_DxfExport(benchmark::State& state) {
  TDXFFormat format;
  int64_t bytes = 0;
  for (auto _ : state) {
    TMemoryStream out;
    format.Export(out, Triangles());
    bytes += out.Size();
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_DxfExport)->Unit(benchmark::kMillisecond);

void BM_CadRoundTrip(benchmark::State& state) {
  TCADFormat format;
  TTriangleStore back;
  for (auto _ : state) {
    TMemoryStream out;
    format.Export(out, Triangles());
    out.SetPosition(0);
    format.Import(out, back);
  }
}
BENCHMARK(BM_CadRoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace
