// Picking on the frame paint box: the triangle and vertex pickers on a
// model of 2000 vertices at 640 x 480, at pixels on and off the model.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "render/MDLFramePaintBox.h"

namespace {

// A ball of 50 rings of 40 vertices (2000 in all) and 3900 triangles, on a
// 64 x 64 skin; with the default camera it fills about a third of the picture.
void BuildBall(TMDL& m) {
  m.Clear();
  m.Header->SkinWidth = 64;
  m.Header->SkinHeight = 64;
  m.Skins->InsertSkin(0);
  m.Skins->Skin(0).SetSize(64, 64);
  TMDLFrameGroup& scene = m.Frames->NewScene();
  auto frame = std::make_unique<TMDLFrame>(&m);
  frame->SetPivotCount(m.Objects->Count());
  frame->SetName("ball");
  scene.Add(std::move(frame));
  m.Frames->RebuildIndex();
  constexpr int kRings = 50, kAround = 40;
  constexpr double kPi = 3.14159265358979;
  for (int r = 0; r < kRings; ++r) {
    const double phi = kPi * (r + 0.5) / kRings;
    for (int a = 0; a < kAround; ++a) {
      const double theta = 2 * kPi * a / kAround;
      const float x = static_cast<float>(30 * std::sin(phi) * std::cos(theta));
      const float y = static_cast<float>(30 * std::sin(phi) * std::sin(theta));
      const float z = static_cast<float>(30 * std::cos(phi));
      m.Vertices->Add(TSkinVertex{0, a * 63 / kAround, r * 63 / kRings}, 0);
      m.Frames->Frame(0).Add(TFrameVertex{x, y, z, 0});
    }
  }
  for (int r = 0; r + 1 < kRings; ++r)
    for (int a = 0; a < kAround; ++a) {
      const int p = r * kAround + a, q = r * kAround + (a + 1) % kAround;
      const int p2 = p + kAround, q2 = q + kAround;
      m.Triangles->Add(TTriangle{1, {p, q, q2}});
      m.Triangles->Add(TTriangle{1, {p, q2, p2}});
    }
  m.Frames->ComputeBounds();
}

struct TBallView {
  TBallView() {
    BuildBall(*Editor.Model);
    Editor.SetReady(true);
    Editor.SetCurrentScene(0);
    Editor.SetCurrentSkin(0);
    Box = std::make_unique<TMDLFramePaintBox>(&Editor);
    Box->SetAutoSize(true);
    Box->SetBitmapWidth(640);
    Box->SetBitmapHeight(480);
    Box->Paint();
    Box->CenterView();
    Box->Paint();
  }
  TMDLEditor Editor;
  std::unique_ptr<TMDLFramePaintBox> Box;
};

TBallView& Ball() {
  static TBallView view;
  return view;
}

// Pixels across the picture: the middle of the ball, its rim, and empty space.
constexpr int kPoints[][2] = {{320, 240}, {300, 200}, {350, 280}, {250, 240}, {390, 240}, {20, 20}, {600, 450}};
constexpr int kPointCount = sizeof(kPoints) / sizeof(kPoints[0]);

void BM_PickTriangle(benchmark::State& state) {
  TMDLFramePaintBox& box = *Ball().Box;
  box.SetToolMode(static_cast<uint8_t>(state.range(0)));
  int i = 0, s = 0, t = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(box.PickTriangle(kPoints[i][0], kPoints[i][1], s, t));
    i = (i + 1) % kPointCount;
  }
}
BENCHMARK(BM_PickTriangle)->Arg(tmView)->Arg(tmTriangle)->Unit(benchmark::kMicrosecond);

void BM_PickTriangleScan(benchmark::State& state) {
  TMDLFramePaintBox& box = *Ball().Box;
  box.SetToolMode(static_cast<uint8_t>(state.range(0)));
  int i = 0, s = 0, t = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(box.PickTriangleScan(kPoints[i][0], kPoints[i][1], s, t));
    i = (i + 1) % kPointCount;
  }
}
BENCHMARK(BM_PickTriangleScan)->Arg(tmView)->Arg(tmTriangle)->Unit(benchmark::kMicrosecond);

void BM_PickVertex(benchmark::State& state) {
  TMDLFramePaintBox& box = *Ball().Box;
  box.HitTolerance = 640 / 160 + 1;
  int i = 0, nearest = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(box.PickVertex(kPoints[i][0], kPoints[i][1], nearest));
    i = (i + 1) % kPointCount;
  }
}
BENCHMARK(BM_PickVertex)->Unit(benchmark::kMicrosecond);

}  // namespace
