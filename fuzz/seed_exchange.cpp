// Writes seeds for the text geometry and frame-list fuzzers from the real
// models, through the program's own exporters (no CAD file exists to start
// from):
//   OUTDIR/cad/    fuzz_cad: frames as Breeze Designer files
//   OUTDIR/dxf/    fuzz_dxf: the same frames as DXF files
//   OUTDIR/scene_list/
//                  fuzz_scene_list: each model's scenes as a multiple-frames
//                  list naming the geometry files beside that fuzzer's list,
//                  and each scene's durations as the duration editor gives them
//   seed_exchange OUTDIR MODEL...

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "mdl/Prompts.h"
#include "resources/SampleModel.h"
#include "fuzz/FuzzSupport.h"

namespace fs = std::filesystem;

namespace {

// Frames written per model: the first of each scene, up to this many.
constexpr int kFramesPerModel = 4;
// The files fuzz_scene_list keeps beside its list, which a seed list names in
// turn: a whole frame, one of another format, one short of a triangle; and
// the damaged one, named last so that the frames before it load.
const char* const kListedFiles[] = {"a.dxf", "b.CAD", "short.dxf"};
constexpr const char* kDamagedFile = "bad.dxf";

int WriteFrames(TMDL& model, const fs::path& out, const std::string& stem) {
  int n = 0;
  TMDLFrameList& frames = *model.Frames;
  for (int s = 0; s < frames.SceneCount() && n < kFramesPerModel; ++s, ++n) {
    const std::string name = stem + "_" + std::to_string(s);
    frames.Scene(s).Frame(0).ExportFrame((out / "cad" / (name + ".cad")).string());
    frames.Scene(s).Frame(0).ExportFrame((out / "dxf" / (name + ".dxf")).string());
  }
  return 2 * n;
}

// The list SaveScenes writes, with every frame file's name replaced by one
// of the fuzzer's files.
std::string ListNamingFuzzFiles(const std::string& list, const std::string& frameBase) {
  std::string result;
  size_t turn = 0, at = 0, last = std::string::npos;
  while (at < list.size()) {
    size_t end = list.find('\n', at);
    end = end == std::string::npos ? list.size() : end + 1;
    std::string line = list.substr(at, end - at);
    const size_t eq = line.find('=');
    if (eq != std::string::npos && line.compare(eq + 1, frameBase.size(), frameBase) == 0) {
      line = line.substr(0, eq + 1);
      last = result.size() + line.size();
      line += kListedFiles[turn++ % std::size(kListedFiles)];
      line += "\r\n";
    }
    result += line;
    at = end;
  }
  if (last != std::string::npos) result.replace(last, result.find('\r', last) - last, kDamagedFile);
  return result;
}

int WriteLists(const std::string& modelFile, const fs::path& out, const fs::path& scratch, const std::string& stem) {
  TMDLEditor editor;
  editor.LoadFromFile(modelFile);
  if (!editor.IsValid()) return 0;
  const fs::path list = scratch / (stem + ".frs");
  editor.SaveScenes(list.string(), true, ".DXF");
  // The frame files are named after the list, up to its first ".".
  const std::string frameBase = stem.substr(0, stem.find('.'));
  std::ofstream(out / "scene_list" / (stem + ".frs"), std::ios::binary)
      << ListNamingFuzzFiles(ReadText(list), frameBase);
  int n = 1;
  for (int s = 0; s < editor.Model->Frames->SceneCount() && s < kFramesPerModel; ++s) {
    editor.SetCurrentScene(s);
    std::ofstream durations(out / "scene_list" / (stem + "_durations_" + std::to_string(s) + ".txt"),
                            std::ios::binary);
    for (const std::string& line : editor.GetSceneDurations()) durations << line << "\r\n";
    ++n;
  }
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: seed_exchange OUTDIR MODEL...\n", stderr);
    return 2;
  }
  static TQuietPrompts quiet;
  SetPrompts(&quiet);
  const fs::path out = argv[1];
  for (const char* sub : {"cad", "dxf", "scene_list"}) fs::create_directories(out / sub);
  const fs::path scratch = out / "scratch";
  fs::create_directories(scratch);
  int written = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string stem = fs::path(argv[i]).stem().string();
    try {
      TMDL m;
      m.LoadFromFile(argv[i]);
      written += WriteFrames(m, out, stem);
      written += WriteLists(argv[i], out, scratch, stem);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
    }
  }
  fs::remove_all(scratch);
  std::printf("%d seeds in %s\n", written, out.c_str());
  return 0;
}
