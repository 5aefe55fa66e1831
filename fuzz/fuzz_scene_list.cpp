// An arbitrary multiple-frames list loaded into a small model, with a valid
// geometry file, a damaged one and a mismatched one beside it: no crash, no
// hang, no unbounded allocation, and the model stays consistent (every
// frame a position per vertex and a pivot per object, no empty scene, the
// flat index over the scenes' frames) whether the load ends or fails. The
// same text then goes in as the scene's frame durations.

#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"
#include "exchange/TriangleFiler.h"
#include "mdl/Prompts.h"
#include "fuzz/FuzzSupport.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// A closed box of 8 vertices and 12 triangles, in scenes "stand" (1 frame)
// and "walk" (2 frames), one 8 x 8 skin.
void MakeModel(TMDL& m) {
  m.Clear();
  m.Header->SkinWidth = 8;
  m.Header->SkinHeight = 8;
  m.Skins->InsertSkin(0);
  const char* names[3] = {"stand", "walk1", "walk2"};
  for (int k = 0; k < 3; ++k) {
    TMDLFrameGroup& s = k < 2 ? m.Frames->NewScene() : m.Frames->Scene(1);
    auto f = std::make_unique<TMDLFrame>(&m);
    f->SetPivotCount(m.Objects->Count());
    f->SetName(names[k]);
    s.Add(std::move(f));
  }
  m.Frames->RebuildIndex();
  for (int i = 0; i < 8; ++i) {
    m.Vertices->Add(TSkinVertex{0, i, i % 4}, 0);
    for (int k = 0; k < 3; ++k)
      m.Frames->Frame(k).Add(TFrameVertex{static_cast<float>(k) + ((i & 1) ? 1.f : -1.f), (i & 2) ? 1.f : -1.f,
                                          (i & 4) ? 1.f : -1.f, 0});
  }
  static const int faces[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                                   {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
  for (const auto& f : faces) m.Triangles->Add(TTriangle{1, {f[0], f[1], f[2]}});
  m.Objects->Reconstruct();
}

// The folder with the geometry files, made once per run.
const std::string& Folder() {
  static const std::string folder = [] {
    char templ[] = "/tmp/fuzz_scene_list_XXXXXX";
    Check(::mkdtemp(templ) != nullptr);
    std::string dir = std::string(templ) + "/";
    TMDL m;
    MakeModel(m);
    m.Frames->Frame(2).ExportFrame(dir + "a.dxf");
    m.Frames->Frame(1).ExportFrame(dir + "b.CAD");
    // One triangle fewer than the model has.
    TTriangleFiler& filer = TTriangleFiler::Instance();
    filer.ImportFromFile(dir + "a.dxf");
    filer.SetCount(filer.Count() - 1);
    filer.ExportToFile(dir + "short.dxf");
    std::ofstream(dir + "bad.dxf") << "0\r\nSECTION\r\n2\r\nENTITIES\r\n0\r\n3DFACE\r\n10\r\nx\r\n";
    return dir;
  }();
  return folder;
}

bool Consistent(TMDL& m) {
  int k = 0;
  for (int s = 0; s < m.Frames->SceneCount(); ++s) {
    if (m.Frames->SceneFrameCount(s) == 0) return false;
    for (int i = 0; i < m.Frames->SceneFrameCount(s); ++i, ++k) {
      if (k >= m.Frames->Count() || &m.Frames->Frame(k) != &m.Frames->Scene(s).Frame(i)) return false;
      if (m.Frames->Frame(k).Count() != m.Vertices->Count()) return false;
      if (m.Frames->Frame(k).PivotCount() != m.Objects->Count()) return false;
    }
  }
  return k == m.Frames->Count();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TQuietPrompts quiet;
  SetPrompts(&quiet);
  const std::string list = Folder() + "list.frs";
  {
    std::ofstream out(list, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  TMDLEditor editor;
  MakeModel(*editor.Model);
  editor.SetReady(true);
  editor.SetCurrentScene(1);
  editor.SetCurrentSkin(0);
  editor.SetModified(false);
  const int scenes = editor.Model->Frames->SceneCount();
  try {
    editor.LoadScenes(list);
  } catch (const Exception&) {
  }
  Check(!editor.Blocked);
  Check(editor.Modified);
  Check(editor.Model->Frames->SceneCount() >= scenes);
  Check(Consistent(*editor.Model));
  Check(editor.CurrentScene == 1 && editor.SceneFirstFrame == 1 && editor.SceneFrameCount == 2);

  // The same text as the durations of the current scene, one per line, as
  // the duration editor hands them over: taken whole or refused whole, and
  // every frame time stays finite.
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n')
      lines.emplace_back();
    else
      lines.back() += static_cast<char>(data[i]);
  }
  TMDLFrameGroup& scene = editor.Model->Frames->Scene(1);
  const float before[2] = {scene.Interval(0), scene.Interval(1)};
  bool taken = true;
  try {
    editor.SetSceneDurations(lines);
  } catch (const EMDLError&) {
    taken = false;
  }
  for (int i = 0; i < 2; ++i) {
    Check(std::isfinite(scene.Interval(i)));
    if (!taken) Check(scene.Interval(i) == before[i]);
  }
  return 0;
}
