// The editing commands on meshes at the model limits (40000 vertices or
// triangles, 20 frames): deleting, aligning, making, merging and splitting.
// Each iteration works on a freshly built model; building it is not timed.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "editor/MDLEdit.h"
#include "mdl/MdlEditOps.h"
#include "mdl/Prompts.h"

namespace {

class TYes : public TPrompts {
public:
  void Information(const std::string&, const std::string&) override {}
  bool Confirm(const std::string&, const std::string&) override { return true; }
};

TYes& Yes() {
  static TYes yes;
  return yes;
}

// The editor showing an empty model with one scene of `frames` frames, to
// be filled by the caller.
TMDLEditor& FreshEditor(int frames) {
  SetPrompts(&Yes());
  TMDLEditor& e = TMDLEditor::Instance();
  e.Clear();
  TMDL& m = *e.Model;
  m.Frames->Clear();
  TMDLFrameGroup& scene = m.Frames->NewScene();
  for (int k = 0; k < frames; ++k) {
    auto f = std::make_unique<TMDLFrame>(&m);
    f->SetPivotCount(m.Objects->Count());
    f->SetName("frame" + std::to_string(k + 1));
    scene.Add(std::move(f));
  }
  m.Frames->RebuildIndex();
  return e;
}

void AddVertex(TMDL& m, float x, float y, float z) {
  m.Vertices->Add(TSkinVertex{0, 0, 0}, 0);
  for (int k = 0; k < m.Frames->Count(); ++k) m.Frames->Frame(k).Add(TFrameVertex{x + k, y, z, 0});
}

// A 200 x 200 grid of vertices with one triangle per square: 40000
// vertices, 39601 triangles.
void MakeGrid(TMDL& m) {
  const int n = 200;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) AddVertex(m, static_cast<float>(x), static_cast<float>(y), 0);
  for (int y = 0; y + 1 < n; ++y)
    for (int x = 0; x + 1 < n; ++x)
      m.Triangles->Add(TTriangle{1, {y * n + x, y * n + x + 1, (y + 1) * n + x + 1}});
}

// A closed torus of 200 x 100 vertices: 20000 vertices, 40000 triangles,
// every other triangle of a square turned round (with `scramble`).
void MakeTorus(TMDL& m, bool scramble) {
  const int nu = 200, nv = 100;
  for (int i = 0; i < nu; ++i)
    for (int j = 0; j < nv; ++j) {
      const double u = 2 * M_PI * i / nu, v = 2 * M_PI * j / nv;
      AddVertex(m, static_cast<float>((30 + 10 * std::cos(v)) * std::cos(u)),
                static_cast<float>((30 + 10 * std::cos(v)) * std::sin(u)), static_cast<float>(10 * std::sin(v)));
    }
  auto at = [&](int i, int j) { return (i % nu) * nv + (j % nv); };
  for (int i = 0; i < nu; ++i)
    for (int j = 0; j < nv; ++j) {
      TTriangle a{1, {at(i, j), at(i + 1, j), at(i + 1, j + 1)}};
      TTriangle b{1, {at(i, j), at(i + 1, j + 1), at(i, j + 1)}};
      if (scramble && (i + j) % 2) FlipTriangle(b);
      m.Triangles->Add(a);
      m.Triangles->Add(b);
    }
}

// 13333 separate triangles over 39999 vertices: splitting any of them
// keeps the vertex count.
void MakeSoup(TMDL& m) {
  for (int t = 0; t < 13333; ++t) {
    for (int c = 0; c < 3; ++c) AddVertex(m, static_cast<float>(t), static_cast<float>(c), 0);
    m.Triangles->Add(TTriangle{1, {3 * t, 3 * t + 1, 3 * t + 2}});
  }
}

void SelectVertices(TMDLEditor& e, int count, uint32_t seed) {
  std::mt19937 rng(seed);
  const int n = e.Model->Vertices->Count();
  std::vector<int> order(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
  std::shuffle(order.begin(), order.end(), rng);
  e.SelectedVertices.Clear();
  for (int i = 0; i < count; ++i) e.SelectedVertices.Set(order[static_cast<size_t>(i)]);
  e.CurrentVertex = order[0];
}

void BM_DeleteSelectedVertices(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TMDLEditor& e = FreshEditor(20);
    MakeGrid(*e.Model);
    SelectVertices(e, 20000, 1);
    state.ResumeTiming();
    e.DeleteSelectedVertices();
    benchmark::DoNotOptimize(e.Model->Vertices->Count());
  }
}
BENCHMARK(BM_DeleteSelectedVertices)->Unit(benchmark::kMillisecond);

void BM_AlignTriangles(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TMDLEditor& e = FreshEditor(1);
    MakeTorus(*e.Model, true);
    e.CurrentTriangle = 0;
    state.ResumeTiming();
    e.AlignTriangles();
    benchmark::DoNotOptimize(e.Model->Triangles->Get(1));
  }
}
BENCHMARK(BM_AlignTriangles)->Unit(benchmark::kMillisecond);

void BM_MakeTriangle(benchmark::State& state) {
  TMDLEditor& e = FreshEditor(1);
  MakeTorus(*e.Model, false);
  TMDL& m = *e.Model;
  for (auto _ : state) {
    // Across a square of the far side of the torus: found only after most
    // of the triangle list has been looked at.
    e.SelectedVertices.Clear();
    for (int v : {19900, 19901, 19801}) e.SelectedVertices.Set(v);
    e.MakeTriangle();
    state.PauseTiming();
    m.Triangles->SetCount(m.Triangles->Count() - 1);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MakeTriangle)->Unit(benchmark::kMicrosecond);

void BM_MergeVertices(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TMDLEditor& e = FreshEditor(20);
    MakeGrid(*e.Model);
    SelectVertices(e, 10000, 2);
    state.ResumeTiming();
    e.MergeVertices();
    benchmark::DoNotOptimize(e.Model->Vertices->Count());
  }
}
BENCHMARK(BM_MergeVertices)->Unit(benchmark::kMillisecond);

// The command, on a mesh where the split keeps within the vertex limit.
void BM_SplitVertices(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TMDLEditor& e = FreshEditor(20);
    MakeSoup(*e.Model);
    SelectVertices(e, 10000, 3);
    state.ResumeTiming();
    e.SplitVertices();
    benchmark::DoNotOptimize(e.Model->Vertices->Count());
  }
}
BENCHMARK(BM_SplitVertices)->Unit(benchmark::kMillisecond);

// The model operation on the grid, where each split vertex serves about
// three triangles: 20000 more vertices than the limit allows, to see the
// work grow with the copies.
void BM_SplitVerticesGridOperation(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TMDLEditor& e = FreshEditor(20);
    MakeGrid(*e.Model);
    SelectVertices(e, 10000, 4);
    std::vector<bool> marks(40000);
    for (int v = 0; v < 40000; ++v) marks[static_cast<size_t>(v)] = e.SelectedVertices.Get(v);
    state.ResumeTiming();
    SplitVertices(*e.Model, marks);
    benchmark::DoNotOptimize(e.Model->Vertices->Count());
  }
}
BENCHMARK(BM_SplitVerticesGridOperation)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// Objects made again from the mesh: a 40000-vertex grid in 20 frames (one
// piece), and 13333 loose triangles (a piece, and so an object, each).
void ReconstructObjects(benchmark::State& state, void (*make)(TMDL&)) {
  for (auto _ : state) {
    state.PauseTiming();
    TMDLEditor& e = FreshEditor(20);
    make(*e.Model);
    state.ResumeTiming();
    e.Model->Objects->Reconstruct();
    benchmark::DoNotOptimize(e.Model->Objects->Count());
  }
}

void BM_ReconstructGrid40000(benchmark::State& state) { ReconstructObjects(state, MakeGrid); }
BENCHMARK(BM_ReconstructGrid40000)->Unit(benchmark::kMillisecond);

void BM_ReconstructSoup39999(benchmark::State& state) { ReconstructObjects(state, MakeSoup); }
BENCHMARK(BM_ReconstructSoup39999)->Unit(benchmark::kMillisecond);

}  // namespace
