// tessel export-scenes MODEL LIST.frs [--scene N|--all] [--format dxf|cad|obj]:
// the model's scenes (all of them, or scene N counted from 0) as a
// multiple-frames list, with one geometry file per frame beside the list.

#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"
#include "tessel/cli/CmdArgs.h"
#include "core/CommandTable.h"

namespace {

constexpr const char* kUsage = "usage: tessel export-scenes MODEL.mdl LIST.frs [--scene N|--all] [--format dxf|cad|obj]\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int RunExportScenes(const std::vector<std::string>& args) {
  // "--all" is the one option without a value.
  std::vector<std::string> rest;
  bool all = false;
  for (const std::string& a : args) {
    if (a != "--all") {
      rest.push_back(a);
    } else if (all) {
      return Usage();
    } else {
      all = true;
    }
  }
  cmdargs::TParsed p;
  if (!cmdargs::Parse(rest, {"--scene", "--format"}, p) || !p.Output.empty() || p.Positional.size() != 2)
    return Usage();
  std::optional<int> scene;
  std::string format = "dxf";
  bool formatGiven = false;
  for (const auto& [name, value] : p.Options) {
    if (name == "--scene") {
      if (scene) return Usage();
      scene = cmdargs::ParseIndex(value);
      if (!scene) return Usage();
    } else {
      if (formatGiven) return Usage();
      formatGiven = true;
      format = value;
      for (char& c : format) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  if (scene && all) return Usage();
  if (format != "dxf" && format != "cad" && format != "obj") {
    std::fprintf(stderr, "tessel: frames can be written as dxf, cad or obj only, not %s\n", format.c_str());
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
  if (scene && (*scene < 0 || *scene >= frames.SceneCount())) {
    std::fprintf(stderr, "tessel: no scene %d in %s (it has %d scenes)\n", *scene, model.c_str(),
                 frames.SceneCount());
    return 1;
  }
  if (scene) editor.SetCurrentScene(*scene);
  editor.SaveScenes(list, !scene, format == "dxf" ? ".DXF" : format == "cad" ? ".CAD" : ".OBJ");
  std::printf("exported %d scenes (%d frames) to %s\n", scene ? 1 : frames.SceneCount(),
              scene ? editor.SceneFrameCount : frames.Count(), list.c_str());
  return 0;
}

}  // namespace

TESSEL_COMMAND("export-scenes",
               "MODEL.mdl LIST.frs [--scene N|--all] [--format dxf|cad|obj]  write scenes as a frame list and "
               "geometry files",
               RunExportScenes);
