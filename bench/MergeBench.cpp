// Merging two large models, and importing a large "base" frame.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "exchange/TriangleFiler.h"
#include "mdl/Mdl.h"

namespace fs = std::filesystem;

namespace {

// 15000 vertices (a 150 x 100 grid in ten separate bands of ten rows, so
// ten objects), 13410 triangles, 100 frames in 4 scenes, one 256 x 128 skin.
void MakeModel(TMDL& m, float shift) {
  m.Clear();
  m.Header->SkinWidth = 256;
  m.Header->SkinHeight = 128;
  m.Skins->InsertSkin(0);
  const int cols = 150, rows = 100;
  for (int i = 0; i < cols * rows; ++i)
    m.Vertices->Add(TSkinVertex{0, (i % cols) * 256 / cols, (i / cols) * 128 / rows}, kNoObject);
  for (int r = 0; r + 1 < rows; ++r) {
    if (r % 10 == 9) continue;  // the gap between two bands
    for (int c = 0; c + 1 < cols; ++c) {
      const int a = r * cols + c;
      m.Triangles->Add(TTriangle{1, {a, a + 1, a + cols}});
    }
  }
  for (int s = 0; s < 4; ++s) {
    TMDLFrameGroup& scene = m.Frames->NewScene();
    for (int f = 0; f < 25; ++f) {
      auto frame = std::make_unique<TMDLFrame>(&m);
      frame->SetName("run" + std::to_string(f + 1));
      for (int i = 0; i < cols * rows; ++i) {
        const float a = static_cast<float>(i % cols) * 0.04f, z = static_cast<float>(i / cols) * 0.5f;
        frame->Add(TFrameVertex{shift + 20 * std::cos(a + 0.01f * f), 20 * std::sin(a), z, 0});
      }
      scene.Add(std::move(frame));
    }
  }
  m.Frames->RebuildIndex();
  m.Objects->Reconstruct();
}

struct TFiles {
  TFiles() {
    Dir = fs::temp_directory_path() / ("tessel_merge_bench_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
    TMDL a, b;
    MakeModel(a, 0);
    MakeModel(b, 50);
    A = (Dir / "a.mdl").string();
    B = (Dir / "b.mdl").string();
    a.SaveToFile(A, true);
    b.SaveToFile(B, true);
  }
  ~TFiles() { fs::remove_all(Dir); }
  fs::path Dir;
  std::string A, B;
};

TFiles& Files() {
  static TFiles files;
  return files;
}

// The time of Merge itself, reading the other model's file included; this
// model is loaded afresh, untimed, before each merge.
void BM_Merge15000x100(benchmark::State& state) {
  TFiles& files = Files();
  for (auto _ : state) {
    state.PauseTiming();
    auto m = std::make_unique<TMDL>();
    m->LoadFromFile(files.A);
    state.ResumeTiming();
    m->Merge(files.B);
    benchmark::DoNotOptimize(m->Vertices->Count());
    state.PauseTiming();
    m.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Merge15000x100)->Unit(benchmark::kMillisecond);

// Only the part after the other file is read: loading the same file alone.
void BM_LoadOther15000x100(benchmark::State& state) {
  TFiles& files = Files();
  for (auto _ : state) {
    TMDL m;
    m.LoadFromFile(files.B);
    benchmark::DoNotOptimize(m.Vertices->Count());
  }
}
BENCHMARK(BM_LoadOther15000x100)->Unit(benchmark::kMillisecond);

// A "base" import of the 13410 triangles of that model's first frame.
void BM_ImportBase13410(benchmark::State& state) {
  TMDL src;
  MakeModel(src, 0);
  TTriangleFiler& filer = TTriangleFiler::Instance();
  for (auto _ : state) {
    state.PauseTiming();
    filer.SetCount(src.Triangles->Count());
    for (int i = 0; i < src.Triangles->Count(); ++i)
      for (int c = 0; c < 3; ++c) {
        const TFrameVertex v = src.Frames->Frame(0).Get(src.Triangles->Get(i).Vertex[c]);
        filer.Triangle(i)->C[c] = TStoreVertex{{v.X, v.Y, v.Z, 0}};
      }
    TMDL m;
    m.Clear();
    TMDLFrameGroup& scene = m.Frames->NewScene();
    auto frame = std::make_unique<TMDLFrame>(&m);
    frame->SetName("base");
    scene.Add(std::move(frame));
    m.Frames->RebuildIndex();
    state.ResumeTiming();
    m.Frames->Frame(0).ImportBase();
    benchmark::DoNotOptimize(m.Vertices->Count());
  }
}
BENCHMARK(BM_ImportBase13410)->Unit(benchmark::kMillisecond);

}  // namespace
