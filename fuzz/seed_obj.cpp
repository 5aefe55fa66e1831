// Writes seeds for fuzz_obj: frames of the real models (and of the built-in
// sample) as the OBJ exporter writes them, and each model's first frame
// once more with its faces in the other corner forms (indices counted back
// from the end, normals, continued lines, CR LF line ends).
//   seed_obj OUTDIR [MODEL...]

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "mdl/Mdl.h"
#include "mdl/Prompts.h"
#include "resources/SampleModel.h"
#include "fuzz/FuzzSupport.h"

namespace fs = std::filesystem;

namespace {

// Frames written per model: spread over the whole frame list.
constexpr int kFramesPerModel = 6;

// The same mesh in the awkward forms: every face's corners counted back
// from the end and given a normal, every seventh face continued over two
// lines; the lines of the other statements end in CR LF.
std::string Awkward(const std::string& obj) {
  std::istringstream in(obj);
  std::string line, out = "# awkward forms\r\nvn 0 0 1\r\no model\r\ng frame\r\ns 1\r\n";
  int points = 0, tex = 0, faces = 0;
  while (std::getline(in, line)) {
    if (line.rfind("v ", 0) == 0) ++points;
    if (line.rfind("vt ", 0) == 0) ++tex;
    if (line.rfind("f ", 0) != 0) {
      out += line + "\r\n";
      continue;
    }
    std::istringstream corners(line.substr(2));
    std::string corner, face = (++faces % 7 == 0) ? "f \\\n" : "f";
    while (corners >> corner) {
      const size_t slash = corner.find('/');
      face += " " + std::to_string(std::stoi(corner.substr(0, slash)) - points - 1) + "/";
      if (slash != std::string::npos) face += std::to_string(std::stoi(corner.substr(slash + 1)) - tex - 1);
      face += "/-1";
    }
    out += face + "\n";
  }
  return out;
}

int WriteModel(TMDL& model, const fs::path& out, const fs::path& scratch, const std::string& stem) {
  TMDLFrameList& frames = *model.Frames;
  if (frames.Count() == 0 || model.Triangles->Count() == 0) return 0;
  int n = 0;
  const int step = std::max(1, frames.Count() / kFramesPerModel);
  for (int k = 0; k < frames.Count() && n < kFramesPerModel; k += step, ++n) {
    const fs::path file = scratch / (stem + "_" + std::to_string(k) + ".obj");
    frames.Frame(k).ExportFrame(file.string());
    fs::copy_file(file, out / file.filename(), fs::copy_options::overwrite_existing);
    if (k == 0) std::ofstream(out / (stem + "_awkward.obj"), std::ios::binary) << Awkward(ReadText(file));
  }
  return n + 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: seed_obj OUTDIR [MODEL...]\n", stderr);
    return 2;
  }
  TQuietPrompts quiet;
  SetPrompts(&quiet);
  const fs::path out = argv[1];
  const fs::path scratch = out / ".scratch";
  fs::create_directories(scratch);
  int written = 0;
  try {
    TMDL sample;
    BuildSampleModel(sample);
    written += WriteModel(sample, out, scratch, "sample");
    for (int i = 2; i < argc; ++i) {
      TMDL model;
      model.LoadFromFile(argv[i]);
      written += WriteModel(model, out, scratch, fs::path(argv[i]).stem().string());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "seed_obj: %s\n", e.what());
    fs::remove_all(scratch);
    return 1;
  }
  fs::remove_all(scratch);
  std::printf("%d OBJ seeds in %s\n", written, out.string().c_str());
  return 0;
}
