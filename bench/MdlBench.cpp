// Loading and saving models, and light normals, against the time taken
// just to read a file's bytes.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>

#include "mdl/Mdl.h"

namespace fs = std::filesystem;

namespace {

// 10000 vertices, 20000 triangles, 300 frames, two 512 x 512 skins.
void MakeSynthetic(TMDL& m) {
  m.Clear();
  m.Header->SkinWidth = 512;
  m.Header->SkinHeight = 512;
  m.Skins->InsertSkin(0);
  m.Skins->InsertSkin(1);
  for (int k = 0; k < 2; ++k)
    for (int y = 0; y < 512; ++y)
      for (int x = 0; x < 512; ++x) m.Skins->Skin(k).Row(y)[x] = static_cast<uint8_t>(x ^ y ^ k);
  // A 100 x 100 grid wrapped round a sphere-like shape.
  const int n = 100;
  for (int i = 0; i < n * n; ++i) m.Vertices->Add(TSkinVertex{0, i % n, i / n}, kNoObject);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      int a = r * n + c, b = r * n + (c + 1) % n, d = ((r + 1) % n) * n + c, e = ((r + 1) % n) * n + (c + 1) % n;
      m.Triangles->Add(TTriangle{1, {a, b, e}});
      m.Triangles->Add(TTriangle{1, {a, e, d}});
    }
  for (int s = 0; s < 10; ++s) {
    TMDLFrameGroup& scene = m.Frames->NewScene();
    for (int f = 0; f < 30; ++f) {
      auto frame = std::make_unique<TMDLFrame>(&m);
      frame->SetName("anim" + std::to_string(f + 1));
      for (int i = 0; i < n * n; ++i) {
        double u = 2 * M_PI * (i % n) / n, v = M_PI * (i / n + 0.5) / n, t = 0.1 * (s * 30 + f);
        double rad = 20 + 3 * std::sin(3 * u + t) * std::cos(2 * v);
        frame->Add(TFrameVertex{static_cast<float>(rad * std::cos(u) * std::sin(v)),
                                static_cast<float>(rad * std::sin(u) * std::sin(v)),
                                static_cast<float>(rad * std::cos(v)), 0});
      }
      scene.Add(std::move(frame));
    }
  }
  m.Frames->RebuildIndex();
  m.Objects->Reconstruct();
}

std::string SyntheticFile() {
  static std::string name;
  if (name.empty()) {
    name = (fs::temp_directory_path() / "tessel_bench_synthetic.mdl").string();
    TMDL m;
    MakeSynthetic(m);
    m.SaveToFile(name, true);
  }
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
  MakeSynthetic(m);
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
  MakeSynthetic(m);
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
