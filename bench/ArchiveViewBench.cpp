// cairnbox's window at scale: listing a 10000-member archive to a drawn
// list, sorting it by each column, and the hex view of a 100 MB member
// scrolled from top to bottom (the slowest single repaint is reported).

#include <benchmark/benchmark.h>

#include "bench/BenchApp.h"

#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "archive/tests/ArchiveFixtures.h"
#include "cairnbox/ui/GameArchiveViewerForm.h"
#include "widgets/FileDialogs.h"
#include "widgets/HexDump.h"

namespace {

QTemporaryDir& Scratch() {
  static QTemporaryDir dir;
  return dir;
}

QApplication& App() {
  return BenchApp([] {
    // The window keeps recent files in the settings: never the user's own.
    const QByteArray config = (Scratch().path() + "/config").toUtf8();
    setenv("XDG_CONFIG_HOME", config.constData(), 1);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Scratch().path() + "/config");
  });
}

// 10000 members in 40 folders, with sizes and names in no order.
const std::string& BigArchive() {
  static const std::string path = [] {
    std::vector<TFixtureMember> members;
    uint32_t seed = 12345;
    for (int i = 0; i < 10000; ++i) {
      seed = seed * 1103515245u + 12345u;
      const char* ext[] = {"mdl", "wav", "bsp", "lmp", "spr"};
      members.push_back({"dir" + std::to_string(seed % 40) + "/f" + std::to_string((seed >> 8) % 100000) + "." +
                             ext[(seed >> 4) % 5],
                         std::vector<uint8_t>((seed >> 12) % 64)});
    }
    const std::string p = Scratch().path().toStdString() + "/big.pak";
    WriteFixtureFile(p, MakePak(members));
    return p;
  }();
  return path;
}

struct TShownForm {
  TShownForm() {
    App();
    Form.show();
    QApplication::processEvents();
  }
  void Open() {
    Form.FileDlgs->OpenFile(QString::fromStdString(BigArchive()));
    Form.Lst->viewport()->repaint();
  }
  TGameArchiveViewerForm Form;
};

// Open to the list drawn in directory order.
void BM_OpenArchive10000(benchmark::State& state) {
  TShownForm s;
  for (auto _ : state) s.Open();
  state.counters["rows"] = s.Form.Model->rowCount();
}
BENCHMARK(BM_OpenArchive10000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Open, then sorted by name and drawn.
void BM_OpenAndSortArchive10000(benchmark::State& state) {
  TShownForm s;
  for (auto _ : state) {
    s.Open();
    s.Form.LstColumnClick(0);
    s.Form.Lst->viewport()->repaint();
  }
}
BENCHMARK(BM_OpenAndSortArchive10000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// One header click on column N (each toggles the direction) and the repaint.
void BM_SortColumn(benchmark::State& state) {
  TShownForm s;
  s.Open();
  const int column = static_cast<int>(state.range(0));
  for (auto _ : state) {
    s.Form.LstColumnClick(column);
    s.Form.Lst->viewport()->repaint();
  }
}
BENCHMARK(BM_SortColumn)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The slowest and the 99th-percentile repaint of `times` (milliseconds).
void ReportRepaints(benchmark::State& state, std::vector<double> times) {
  if (times.empty()) return;
  std::sort(times.begin(), times.end());
  state.counters["worst_ms"] = times.back();
  state.counters["p99_ms"] = times[times.size() * 99 / 100];
  state.counters["repaints"] = static_cast<double>(times.size());
}

struct THexView {
  THexView() : Bytes(100u << 20) {
    App();
    for (size_t i = 0; i < Bytes.size(); i += 4096) Bytes[i] = static_cast<uint8_t>(i >> 12);
    QFont f("Courier New", 8);
    f.setStyleHint(QFont::TypeWriter);
    Dump.setFont(f);
    Dump.resize(620, 410);
    Dump.SetShowAddress(false);
    Dump.SetData(Bytes.data());
    Dump.SetDataSize(static_cast<int64_t>(Bytes.size()));
    Dump.show();
    QApplication::processEvents();
    // The first paints fill the font's glyph caches; not what a scroll costs.
    for (int i = 0; i < 3; ++i) Dump.viewport()->repaint();
  }
  std::vector<uint8_t> Bytes;
  THexDump Dump;
};

// Line by line down a stretch of the member: a scroll and its paint each.
void BM_HexScrollLine100MB(benchmark::State& state) {
  THexView v;
  QScrollBar* bar = v.Dump.verticalScrollBar();
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (bar->value() == bar->maximum()) bar->setValue(0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    // The picture moves and the uncovered row is painted when events run.
    QApplication::processEvents();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  ReportRepaints(state, std::move(times));
}
BENCHMARK(BM_HexScrollLine100MB)->Unit(benchmark::kMicrosecond);

// Page by page from the top of the member to its bottom, every page drawn whole.
void BM_HexScrollTopToBottom100MB(benchmark::State& state) {
  THexView v;
  QScrollBar* bar = v.Dump.verticalScrollBar();
  std::vector<double> times;
  for (auto _ : state) {
    // Every thousandth page of the way, so one pass stays short.
    for (int64_t top = 0; top <= bar->maximum(); top += int64_t(bar->pageStep()) * 1000) {
      const auto t0 = std::chrono::steady_clock::now();
      bar->setValue(static_cast<int>(top));
      v.Dump.viewport()->repaint();
      times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    bar->setValue(bar->maximum());
    v.Dump.viewport()->repaint();
  }
  ReportRepaints(state, std::move(times));
  state.counters["rows"] = static_cast<double>(v.Dump.Layout().RowCount());
}
BENCHMARK(BM_HexScrollTopToBottom100MB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  App();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
