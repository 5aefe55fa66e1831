// Directory reader on arbitrary bytes: as given, and with each kind's
// signature stamped on so that the reader gets past the first check.

#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/ArcDirectory.h"
#include "archive/ArcExtract.h"
#include "core/Streams.h"

namespace {

void Exercise(std::vector<uint8_t> bytes, TArchiveKind kind) {
  int64_t size = static_cast<int64_t>(bytes.size());
  TMemoryStream m(std::move(bytes));
  TArchiveDirectory dir;
  try {
    dir = kind == akPak ? ReadPakDirectory(m) : ReadGobDirectory(m);
  } catch (const EArchiveError&) {
    return;
  }
  if (dir.SkippedEntries < 0) __builtin_trap();
  (void)dir.StatusText();
  TArchiveList list;
  list.Rows = dir.Rows;
  list.ColumnClick(static_cast<int>(size % 6));
  for (const auto& r : dir.Rows) {
    try {
      std::string rel = MemberTargetPath(r);
      if (rel.empty() || rel[0] == '/' || rel.find(':') != std::string::npos) __builtin_trap();
      if (rel == ".." || rel.rfind("../", 0) == 0 || rel.find("/../") != std::string::npos ||
          (rel.size() >= 3 && rel.compare(rel.size() - 3, 3, "/..") == 0))
        __builtin_trap();
    } catch (const EArchiveError&) {
    }
    try {
      TMemberSpan s = MemberSpan(r, size);
      if (s.Offset < 0 || s.Size < 0 || s.Offset + s.Size > size) __builtin_trap();
    } catch (const EArchiveError&) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  Exercise(bytes, akPak);
  Exercise(bytes, akGob);
  if (size >= 4) {
    std::memcpy(bytes.data(), "PACK", 4);
    Exercise(bytes, akPak);
    std::memcpy(bytes.data(), "GOB ", 4);
    Exercise(bytes, akGob);
  }
  return 0;
}
