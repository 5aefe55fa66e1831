// tessel import-scenes MODEL LIST.frs -o OUT.mdl: the scenes a
// multiple-frames list names appended to the model, which is then saved.

#include <cstdio>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"
#include "tessel/cli/CmdArgs.h"
#include "core/CommandTable.h"

namespace {

int RunImportScenes(const std::vector<std::string>& args) {
  cmdargs::TParsed p;
  if (!cmdargs::Parse(args, {}, p) || p.Output.empty() || p.Positional.size() != 2) {
    std::fputs("usage: tessel import-scenes MODEL.mdl LIST.frs -o OUT.mdl\n", stderr);
    return 2;
  }
  const std::string& model = p.Positional[0];
  const std::string& list = p.Positional[1];
  TMDLEditor editor;
  editor.LoadFromFile(model);
  if (!editor.IsValid()) {
    std::fprintf(stderr, "tessel: %s has no frame or no skin\n", model.c_str());
    return 1;
  }
  TMDLFrameList& frames = *editor.Model->Frames;
  const int scenes = frames.SceneCount(), count = frames.Count();
  // A frame that fails stops the import with an error; nothing is saved.
  const TFrameImportCount got = editor.LoadScenes(list);
  const int matched = got.Frames - got.Mismatched;
  if (got.Mismatched > 0) {
    // Saving would give the model copies of one frame in their place.
    std::fprintf(stderr, "tessel: %d of %d frames from %s match the model's %d triangles; nothing saved\n", matched,
                 got.Frames, list.c_str(), editor.Model->Triangles->Count());
    return 1;
  }
  editor.SaveToFile(p.Output, true);
  std::printf("imported %d scenes (%d frames) from %s; %d of %d frames match the model; saved %s\n",
              frames.SceneCount() - scenes, frames.Count() - count, list.c_str(), matched, got.Frames,
              p.Output.c_str());
  return 0;
}

}  // namespace

TESSEL_COMMAND("import-scenes", "MODEL.mdl LIST.frs -o OUT.mdl  append the scenes of a frame list and save",
               RunImportScenes);
