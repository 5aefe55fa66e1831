// The undo history: recording a step before a command (the model's state
// taken against the last one), closing it, and undoing and redoing steps of
// different sizes, on the largest real models and on a generated model of
// 10000 vertices, 300 frames and two 512 x 512 skins.
//
// Times are the operation alone (manual timing): the change each iteration
// makes so that there is something to record is not counted. The history
// has its default budget, so old steps go as they would for a user.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "bench/SyntheticModel.h"
#include "editor/MDLEdit.h"
#include "mdl/Prompts.h"

namespace fs = std::filesystem;

namespace {

using TClock = std::chrono::steady_clock;

class TYes : public TPrompts {
public:
  void Information(const std::string&, const std::string&) override {}
  bool Confirm(const std::string&, const std::string&) override { return true; }
};

std::string RealModel(const char* name) {
  const fs::path p = fs::path(TESSEL_DATA_DIR) / "quake" / "models" / name;
  return fs::exists(p) ? p.string() : std::string();
}

// The generated model, saved once.
std::string SyntheticFile() {
  static const std::string name = SyntheticModelFile("tessel_bench_undo_synthetic.mdl");
  return name;
}

TMDLEditor& Open(benchmark::State& state, const std::string& file) {
  static TYes yes;
  SetPrompts(&yes);
  TMDLEditor& e = TMDLEditor::Instance();
  if (file.empty()) {
    state.SkipWithError("model file not found");
    return e;
  }
  e.LoadFromFile(file);
  e.History.SetBudget(TUndoHistory::kDefaultBudget);
  return e;
}

// Moves one position of flat frame k: the change of a small command.
void TouchFrame(TMDLEditor& e, int k) {
  TMDLFrame& f = e.Model->Frames->Frame(k % e.Model->Frames->Count());
  f.Item(static_cast<int>(k * 7919u % static_cast<unsigned>(f.Count()))).X += 0.25f;
}

// Moves one position in every frame: the change of a geometry command.
void TouchEveryFrame(TMDLEditor& e, int k) {
  for (int f = 0; f < e.Model->Frames->Count(); ++f) TouchFrame(e, f + k * e.Model->Frames->Count());
}

double Seconds(TClock::time_point a, TClock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Begin of a whole-model step after `change` (not timed), then its close.
void Record(benchmark::State& state, const std::string& file, bool everyFrame, bool timeClose) {
  TMDLEditor& e = Open(state, file);
  if (!e.IsValid()) return;
  // The first step copies the whole model; later ones share what did not change.
  e.History.End(e.History.Begin("first"));
  int k = 0;
  for (auto _ : state) {
    if (everyFrame)
      TouchEveryFrame(e, ++k);
    else
      TouchFrame(e, ++k);
    const auto t0 = TClock::now();
    const uint64_t token = e.History.Begin("step");
    const auto t1 = TClock::now();
    TouchFrame(e, k + 13);  // the command's own change
    const auto t2 = TClock::now();
    e.History.End(token);
    const auto t3 = TClock::now();
    state.SetIterationTime(timeClose ? Seconds(t2, t3) : Seconds(t0, t1));
  }
  state.counters["history MB"] = static_cast<double>(e.History.MemoryUsed()) / (1 << 20);
}

// A step that paints on one skin: Begin keeps that skin only.
void RecordPen(benchmark::State& state, const std::string& file) {
  TMDLEditor& e = Open(state, file);
  if (!e.IsValid()) return;
  int k = 0;
  for (auto _ : state) {
    const auto t0 = TClock::now();
    const uint64_t token = e.History.Begin("Pen", 1);
    const auto t1 = TClock::now();
    TMDLBitmap& skin = e.Model->Skins->Skin(1);
    skin.PenSize = 4;
    skin.PenColor = static_cast<uint8_t>(++k);
    skin.MoveTo(10, 10 + k % 100);
    skin.LineTo(200, 20 + k % 100);
    e.History.End(token);
    state.SetIterationTime(Seconds(t0, t1));
    if (e.History.UndoCount() > 40) e.History.Clear();
  }
}

// Undo (or redo) of one step of the given kind, over and over.
enum TKind { kOneFrame = 0, kEveryFrame = 1, kDeleteVertices = 2, kPen = 3 };

void DoStep(TMDLEditor& e, int kind) {
  switch (kind) {
    case kOneFrame: {
      TUndoStep step(e, "Move Vertices");
      TouchFrame(e, 3);
      break;
    }
    case kEveryFrame: {
      TUndoStep step(e, "Transform Object");
      TouchEveryFrame(e, 5);
      break;
    }
    case kDeleteVertices: {
      e.BeginSelect();
      for (int v = 0; v < e.Model->Vertices->Count(); v += 10) e.SelectVertex(v, true);
      e.EndSelect();
      e.DeleteSelectedVertices();
      break;
    }
    case kPen: {
      TUndoStep step(e, "Pen", 0);
      TMDLBitmap& skin = e.Model->Skins->Skin(0);
      skin.PenSize = 4;
      skin.PenColor = 200;
      skin.MoveTo(5, 5);
      skin.LineTo(skin.Width - 5, skin.Height - 5);
      break;
    }
  }
}

void UndoRedo(benchmark::State& state, const std::string& file, bool redo) {
  TMDLEditor& e = Open(state, file);
  if (!e.IsValid()) return;
  DoStep(e, static_cast<int>(state.range(0)));
  if (!e.CanUndo()) {
    state.SkipWithError("the step changed nothing");
    return;
  }
  for (auto _ : state) {
    auto t0 = TClock::now();
    e.Undo();
    auto t1 = TClock::now();
    const double undo = Seconds(t0, t1);
    t0 = TClock::now();
    e.Redo();
    t1 = TClock::now();
    state.SetIterationTime(redo ? Seconds(t0, t1) : undo);
  }
}

const std::string& Knight() {
  static const std::string name = RealModel("sg_knight.mdl");
  return name;
}
const std::string& Player() {
  static const std::string name = RealModel("oq_player.mdl");
  return name;
}

void BM_RecordStepKnight(benchmark::State& state) { Record(state, Knight(), false, false); }
void BM_RecordStepLargestReal(benchmark::State& state) { Record(state, Player(), false, false); }
void BM_CloseStepKnight(benchmark::State& state) { Record(state, Knight(), false, true); }
void BM_UndoKnight(benchmark::State& state) { UndoRedo(state, Knight(), false); }
void BM_RedoKnight(benchmark::State& state) { UndoRedo(state, Knight(), true); }
void BM_UndoLargestReal(benchmark::State& state) { UndoRedo(state, Player(), false); }
void BM_RedoLargestReal(benchmark::State& state) { UndoRedo(state, Player(), true); }
void BM_RecordPenStepSynthetic(benchmark::State& state) { RecordPen(state, SyntheticFile()); }
void BM_RecordGeometryStepSynthetic(benchmark::State& state) {
  Record(state, SyntheticFile(), state.range(0) != 0, false);
}
void BM_CloseGeometryStepSynthetic(benchmark::State& state) { Record(state, SyntheticFile(), false, true); }
void BM_UndoSynthetic(benchmark::State& state) { UndoRedo(state, SyntheticFile(), false); }

}  // namespace

BENCHMARK(BM_RecordStepKnight)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecordStepLargestReal)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CloseStepKnight)->UseManualTime()->Unit(benchmark::kMicrosecond);
// Steps: 0 one frame, 1 every frame, 2 deleting every tenth vertex, 3 a pen stroke.
BENCHMARK(BM_UndoKnight)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RedoKnight)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoLargestReal)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RedoLargestReal)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecordPenStepSynthetic)->UseManualTime()->Unit(benchmark::kMicrosecond);
// 0: one frame changed since the last step; 1: every frame changed.
BENCHMARK(BM_RecordGeometryStepSynthetic)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloseGeometryStepSynthetic)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoSynthetic)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMillisecond);
