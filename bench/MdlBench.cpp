// Loading and saving models, and light normals, against the time taken
// just to read a file's bytes.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>

#include "bench/SyntheticModel.h"
#include "mdl/Mdl.h"

namespace fs = std::filesystem;

namespace {

std::string SyntheticFile() {
  static const std::string name = SyntheticModelFile("tessel_bench_synthetic.mdl");
  return name;
}

std::string LargestRealModel() {
  std::string best;
  uintmax_t size = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::path(TESSEL_DATA_DIR) / "quake" / "models", ec))
    if (e.path().extension() == ".mdl" && e.file_size() > size) {
      size = e.file_size();
      best = e.path().string();
    }
  return best;
}

void ReadBytes(benchmark::State& state, const std::string& name) {
  if (name.empty()) {
    state.SkipWithError("no file");
    return;
  }
  for (auto _ : state) {
    TMemoryStream s;
    s.LoadFromFile(name);
    benchmark::DoNotOptimize(s.Memory());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fs::file_size(name)));
}

void Load(benchmark::State& state, const std::string& name) {
  if (name.empty()) {
    state.SkipWithError("no file");
    return;
  }
  for (auto _ : state) {
    TMDL m;
    m.LoadFromFile(name);
    benchmark::DoNotOptimize(m.Frames->Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fs::file_size(name)));
}

// Loading, then the first use of every frame: the positions a load leaves
// packed and the pivots it leaves unmade are made here.
void LoadAndUse(benchmark::State& state, const std::string& name) {
  if (name.empty()) {
    state.SkipWithError("no file");
    return;
  }
  for (auto _ : state) {
    TMDL m;
    m.LoadFromFile(name);
    for (int k = 0; k < m.Frames->Count(); ++k) {
      TMDLFrame& f = m.Frames->Frame(k);
      benchmark::DoNotOptimize(f.Data());
      if (f.PivotCount() > 0) benchmark::DoNotOptimize(&f.Pivot(0));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fs::file_size(name)));
}

void BM_ReadBytesLargestReal(benchmark::State& state) { ReadBytes(state, LargestRealModel()); }
void BM_LoadAndUseLargestReal(benchmark::State& state) { LoadAndUse(state, LargestRealModel()); }
void BM_LoadLargestReal(benchmark::State& state) { Load(state, LargestRealModel()); }
void BM_ReadBytesSynthetic(benchmark::State& state) { ReadBytes(state, SyntheticFile()); }
void BM_LoadSynthetic(benchmark::State& state) { Load(state, SyntheticFile()); }

void BM_SaveSynthetic(benchmark::State& state) {
  TMDL m;
  MakeSyntheticModel(m);
  const std::string name = (fs::temp_directory_path() / "tessel_bench_save.mdl").string();
  for (auto _ : state) m.SaveToFile(name, true);
  fs::remove(name);
}

// Saving a loaded model: unchanged, its frames are written as loaded; with
// one vertex moved in every frame, every frame is computed again.
void Resave(benchmark::State& state, bool touchEveryFrame) {
  TMDL m;
  m.LoadFromFile(SyntheticFile());
  if (touchEveryFrame)
    for (int k = 0; k < m.Frames->Count(); ++k) m.Frames->Frame(k).Item(0).X += 0.01f;
  for (auto _ : state) {
    TMemoryStream s;
    m.SaveToStream(s, false);
    benchmark::DoNotOptimize(s.Memory());
  }
}

void BM_ResaveUnchangedSynthetic(benchmark::State& state) { Resave(state, false); }
void BM_ResaveEveryFrameChangedSynthetic(benchmark::State& state) { Resave(state, true); }

void BM_CalculateNormals10000(benchmark::State& state) {
  TMDL m;
  MakeSyntheticModel(m);
  TMDLFrame& f = m.Frames->Frame(7);
  for (auto _ : state) {
    for (int i = 0; i < f.Count(); ++i) f.Item(i).NormalIndex = 0;
    benchmark::DoNotOptimize(f.CalculateNormals());
  }
}

}  // namespace

BENCHMARK(BM_ReadBytesLargestReal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadLargestReal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadAndUseLargestReal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadBytesSynthetic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSynthetic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveSynthetic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResaveUnchangedSynthetic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResaveEveryFrameChangedSynthetic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalculateNormals10000)->Unit(benchmark::kMicrosecond);
