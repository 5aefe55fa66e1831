// The Scene Editor's trees at the model limits: the scene tree of a
// 667-frame model and the object tree of a 13333-object model rebuilt with
// their expansion and selection kept, and a plain frame change (which only
// moves the selection).

#include <benchmark/benchmark.h>

#include "bench/BenchApp.h"

#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "resources/SampleModel.h"
#include "tessel/ui/SceneViewer.h"

namespace {

QApplication& App() { return BenchApp(); }

std::unique_ptr<TSceneViewer> MakeViewer() {
  auto v = std::make_unique<TSceneViewer>();
  v->resize(260, 600);
  v->show();
  QApplication::processEvents();
  return v;
}

void LoadGrownModel(int frames, int objects) {
  TMDLEditor& e = TMDLEditor::Instance();
  TMDL m;
  BuildSampleModel(m);
  const std::string file = "/tmp/tessel_scene_tree_bench.mdl";
  m.SaveToFile(file, true);
  e.LoadFromFile(file);
  while (e.Model->Frames->Count() < frames) e.DuplicateFrame(std::min(20, frames - e.Model->Frames->Count()));
  TMDLObjectList& list = *e.Model->Objects;
  while (list.Count() < objects) list.Add(*list.Root());
}

void BM_RebuildSceneTree667Frames(benchmark::State& state) {
  App();
  auto v = MakeViewer();
  LoadGrownModel(667, 0);
  v->FlushRefresh();
  v->RebuildSceneTree();
  QTreeWidgetItem* scene = v->SceneNode(1);
  if (!scene) {
    state.SkipWithError("no scene tree");
    return;
  }
  scene->setExpanded(true);
  v->SceneTree()->setCurrentItem(scene);
  for (auto _ : state) v->RebuildSceneTree();
  if (!v->SceneNode(1)->isExpanded() || !v->SceneTree()->currentItem()) state.SkipWithError("state not kept");
}
BENCHMARK(BM_RebuildSceneTree667Frames)->Unit(benchmark::kMillisecond);

void BM_RebuildObjectTree13333Objects(benchmark::State& state) {
  App();
  auto v = MakeViewer();
  LoadGrownModel(1, 13333);
  v->FlushRefresh();
  v->RebuildObjectTree();
  if (v->ObjectTree()->topLevelItemCount() == 0 || !v->ObjectNode(2)) {
    state.SkipWithError("no object tree");
    return;
  }
  v->ObjectTree()->topLevelItem(0)->setExpanded(true);
  v->ObjectTree()->setCurrentItem(v->ObjectNode(2));
  for (auto _ : state) v->RebuildObjectTree();
  if (!v->ObjectTree()->topLevelItem(0)->isExpanded() || !v->ObjectTree()->currentItem())
    state.SkipWithError("state not kept");
}
BENCHMARK(BM_RebuildObjectTree13333Objects)->Unit(benchmark::kMillisecond);

}  // namespace
