// Extraction of arbitrary archives into a scratch folder. Nothing may land
// outside the base folder: every file written must lie below it, the
// scratch folder must hold nothing but the archive and the base folder, and
// no symbolic link may appear.

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/ArcDirectory.h"
#include "archive/ArcExtract.h"

namespace fs = std::filesystem;

namespace {

// The scratch folder lives as long as the process and goes with it.
struct TScratch {
  std::string Path;
  TScratch() {
    std::string tmpl = (fs::temp_directory_path() / "cairnbox-fuzz-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) __builtin_trap();
    Path = tmpl;
  }
  ~TScratch() {
    std::error_code ec;
    fs::remove_all(Path, ec);
  }
};

const std::string& Scratch() {
  static const TScratch scratch;
  return scratch.Path;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "escape check failed: %s\n", what);
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  bool gob = data[0] & 1;
  std::vector<uint8_t> bytes(data + 1, data + size);
  if (bytes.size() >= 4) std::memcpy(bytes.data(), gob ? "GOB " : "PACK", 4);
  const std::string scratch = Scratch();
  const std::string archive = scratch + (gob ? "/a.gob" : "/a.pak");
  const std::string base = scratch + "/base";
  {
    std::ofstream f(archive, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  try {
    TArchiveDirectory dir = ReadArchiveDirectory(archive);
    TExtractResult res = ExtractArchiveMembers(archive, dir.Rows, base);
    const fs::path canonBase = fs::weakly_canonical(base);
    for (const auto& w : res.Written) {
      fs::path p = fs::weakly_canonical(w);
      auto rel = p.lexically_relative(canonBase);
      Check(!rel.empty() && *rel.begin() != "..", "a file was written outside the base folder");
    }
  } catch (const EArchiveError&) {
  }
  for (const auto& e : fs::directory_iterator(scratch)) {
    std::string name = e.path().filename().string();
    Check(name == "a.pak" || name == "a.gob" || name == "base", "a file appeared beside the base folder");
  }
  if (fs::exists(base)) {
    for (const auto& e : fs::recursive_directory_iterator(base)) Check(!e.is_symlink(), "a symbolic link appeared");
    fs::remove_all(base);
  }
  fs::remove(archive);
  return 0;
}
