// Writes seeds for fuzz_skin_transfer: every skin of the real models in the
// data folder (and of the built-in sample), as the clipboard carries them.
//   seed_skin_transfer OUTDIR [MODEL...]

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "editor/SkinTransfer.h"
#include "mdl/Mdl.h"
#include "raster/WinGBitmap.h"
#include "resources/SampleModel.h"

namespace fs = std::filesystem;

namespace {

int WriteSkins(TMDL& model, const fs::path& out, const std::string& stem) {
  int n = 0;
  for (int k = 0; k < model.Skins->Count(); ++k) {
    std::ofstream(out / (stem + "_" + std::to_string(k) + ".tskn"), std::ios::binary)
        << EncodeSkinTransfer(model.Skins->Skin(k).Image);
    ++n;
  }
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: seed_skin_transfer OUTDIR [MODEL...]\n", stderr);
    return 2;
  }
  const fs::path out = argv[1];
  fs::create_directories(out);
  int written = 0;
  TMDL sample;
  BuildSampleModel(sample);
  written += WriteSkins(sample, out, "sample");
  for (int i = 2; i < argc; ++i) {
    try {
      TMDL m;
      m.LoadFromFile(argv[i]);
      written += WriteSkins(m, out, fs::path(argv[i]).stem().string());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
    }
  }
  std::printf("%d seeds in %s\n", written, out.c_str());
  return 0;
}
