// The Skin Texture Editor on a 512 x 512 skin at zoom 400: one pen move
// from the mouse event to the repainted widget (only the touched rectangle
// is drawn), and switching skins or changing the gamma with the repaint.

#include <benchmark/benchmark.h>

#include "bench/BenchApp.h"

#include <QApplication>
#include <QMouseEvent>
#include <cstdlib>
#include <string>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "resources/SampleModel.h"
#include "tessel/ui/SkinViewer.h"
#include "widgets/SurfaceWidget.h"

namespace {

QApplication& App() { return BenchApp(); }

// The application comes before the window.
struct TWithApp {
  TWithApp() { App(); }
};

// The sample model with two 512 x 512 skins in a shown editor at 400 %.
struct TBigSkin : TWithApp {
  TBigSkin() {
    TMDL m;
    BuildSampleModel(m);
    const std::string file = "/tmp/tessel_skin_bench.mdl";
    m.SaveToFile(file, true);
    TMDLEditor& e = TMDLEditor::Instance();
    e.LoadFromFile(file);
    e.SetSkinSize(512, 512);
    Viewer.resize(900, 700);
    Viewer.show();
    Viewer.SetZoom(400);
    QApplication::processEvents();
  }
  TSkinViewer Viewer;
};

void Send(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

void BM_PenMoveToScreen(benchmark::State& state) {
  TBigSkin s;
  s.Viewer.SetTool(3);
  SurfaceWidget* w = s.Viewer.ImageWidget();
  const int span = std::max(8, std::min(w->width(), w->height()) - 8);
  Send(w, QEvent::MouseButtonPress, QPoint(4, 4), Qt::LeftButton, Qt::LeftButton);
  int i = 0;
  for (auto _ : state) {
    const int x = 4 + (i * 3) % span, y = 4 + (i * 7) % span;
    ++i;
    Send(w, QEvent::MouseMove, QPoint(x, y), Qt::NoButton, Qt::LeftButton);
    // The repaint reaches the widget before the next event, as on screen.
    QApplication::processEvents();
  }
  Send(w, QEvent::MouseButtonRelease, QPoint(4, 4), Qt::LeftButton, Qt::NoButton);
}
BENCHMARK(BM_PenMoveToScreen)->Unit(benchmark::kMillisecond);

void BM_SwitchSkin(benchmark::State& state) {
  TBigSkin s;
  TMDLEditor& e = TMDLEditor::Instance();
  int k = 0;
  for (auto _ : state) {
    k ^= 1;
    e.SetCurrentSkin(k);
    s.Viewer.ImageWidget()->repaint();
  }
}
BENCHMARK(BM_SwitchSkin)->Unit(benchmark::kMillisecond);

void BM_ChangeGamma(benchmark::State& state) {
  TBigSkin s;
  TMDLEditor& e = TMDLEditor::Instance();
  int g = 0;
  for (auto _ : state) {
    g = (g + 1) % 10;
    e.SetGamma(g);
    s.Viewer.ImageWidget()->repaint();
  }
}
BENCHMARK(BM_ChangeGamma)->Unit(benchmark::kMillisecond);

}  // namespace
