// Showing a surface on screen: a 640 x 480 8-bit picture repainted into a
// widget of twice its size through the backing store, and its parts.

#include <benchmark/benchmark.h>

#include "bench/BenchApp.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <memory>

#include "raster/ColorTables.h"
#include "raster/WinGSurface.h"
#include "widgets/SurfaceWidget.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// A picture that changes nothing between paints beyond what every surface
// does (clearing the bitmap), so the figures are the cost of showing it.
class TStillSurface : public TWinGSurface {
public:
  TStillSurface() {
    SetPalette(DisplayPalette().NewHandle());
    SetBitmapWidth(kWidth);
    SetBitmapHeight(kHeight);
    SetBackgroundColor(MakeColorRef(40, 80, 120));
  }
};

QApplication& App() { return BenchApp(); }

struct TShownSurface {
  TShownSurface() {
    App();
    Widget.SetSurface(&Surface);
    Widget.resize(2 * kWidth, 2 * kHeight);
    Widget.show();
    QApplication::processEvents();
  }
  TStillSurface Surface;
  SurfaceWidget Widget;
};

// The whole path: QWidget::repaint, the surface's paint, the picture drawn
// scaled 2x and turned the right way up into the backing store.
void BM_RepaintScaled2x(benchmark::State& state) {
  TShownSurface s;
  for (auto _ : state) s.Widget.repaint();
}
BENCHMARK(BM_RepaintScaled2x)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The same picture at its own size (widget 640 x 480).
void BM_RepaintUnscaled(benchmark::State& state) {
  TShownSurface s;
  s.Widget.resize(kWidth, kHeight);
  QApplication::processEvents();
  for (auto _ : state) s.Widget.repaint();
}
BENCHMARK(BM_RepaintUnscaled)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// A partial repaint of a 64 x 48 dirty rectangle.
void BM_PartialRepaint(benchmark::State& state) {
  TShownSurface s;
  for (auto _ : state) {
    s.Surface.MarkDirty({100, 100, 164, 148});
    s.Surface.SetPartialPaint(true);
    s.Surface.Repaint();
  }
}
BENCHMARK(BM_PartialRepaint)->Unit(benchmark::kMicrosecond)->MinTime(0.5);

// The surface's own share: sizing and clearing the bitmap, without a window.
void BM_SurfacePaintOffscreen(benchmark::State& state) {
  TStillSurface surface;
  surface.SetBounds(0, 0, 2 * kWidth, 2 * kHeight);
  for (auto _ : state) {
    surface.Paint();
    benchmark::DoNotOptimize(surface.Bitmap().Bits());
  }
}
BENCHMARK(BM_SurfacePaintOffscreen)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  App();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
