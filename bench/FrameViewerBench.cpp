// The Frame Editor window with a real model: a vertex drag from the mouse
// move to the repainted view, and the cost of playback at 40 frames per
// second (paint and hand-over to the window's thread included).

#include <benchmark/benchmark.h>

#include "bench/BenchApp.h"
#include <sys/resource.h>

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "tessel/ui/FrameViewer.h"
#include "widgets/SurfaceWidget.h"

namespace {

const std::string kModel = std::string(TESSEL_DATA_DIR) + "/quake/models/sg_knight.mdl";

QApplication& App() { return BenchApp(); }

// The application comes before the window.
struct TWithApp {
  TWithApp() { App(); }
};

// A viewer whose main view is 640 x 480 on screen and renders 640 x 480.
struct TShownViewer : TWithApp {
  TShownViewer() {
    TMDLEditor::Instance().LoadFromFile(kModel);
    Viewer.ViewWidget(0)->setFixedSize(640, 480);
    Viewer.show();
    Viewer.SetResolutionTag(2);
    QApplication::processEvents();
  }
  ~TShownViewer() { Viewer.StopAll(); }
  TFrameViewer Viewer;
};

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

// One mouse move of a vertex drag until the moved picture is on screen.
void BM_VertexDragToScreen(benchmark::State& state) {
  if (!std::filesystem::exists(kModel)) return state.SkipWithError("real models not found");
  TShownViewer s;
  TFrameViewer& v = s.Viewer;
  v.SetTool(1);
  SurfaceWidget* w = v.ViewWidget(0);
  w->repaint();
  TMDLFramePaintBox& b = v.FramePaintBox(0);
  const TVertexRecord r = b.VertexRecords().at(b.VertexRecords().size() / 2);
  const QPoint start(r.X * w->width() / b.Bitmap().GetWidth(), r.Y * w->height() / b.Bitmap().GetHeight());
  SendMouse(w, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  int step = 0;
  for (auto _ : state) {
    const QPoint p = start + QPoint((step++ % 40) - 20, 0);
    const auto t0 = std::chrono::steady_clock::now();
    SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
    // The invalidated view paints itself now, as the event loop would next.
    w->repaint();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  SendMouse(w, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
}
BENCHMARK(BM_VertexDragToScreen)->UseManualTime()->Unit(benchmark::kMillisecond);

// Three seconds of playback: the share of one core spent and the frames shown.
void BM_Playback40fps(benchmark::State& state) {
  if (!std::filesystem::exists(kModel)) return state.SkipWithError("real models not found");
  TShownViewer s;
  TFrameViewer& v = s.Viewer;
  int frames = 0;
  double render = 0;
  v.OnChange = [&](TMDLFramePaintBox& view) {
    ++frames;
    render += view.RenderTime;
  };
  TMDLEditor::Instance().SetCurrentScene(0);
  for (auto _ : state) {
    frames = 0;
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    v.Play();
    // The event loop waits as the program's would.
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec();
    v.StopAll();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.counters["core_share_pct"] = 100.0 * (CpuSeconds() - cpu0) / wall;
    state.counters["frames_per_s"] = frames / wall;
    state.counters["render_ms"] = frames ? render / frames : 0;
  }
}
BENCHMARK(BM_Playback40fps)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
