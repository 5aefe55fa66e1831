// cairnbox hex: one member as a hex dump (address, hex bytes, characters).

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "archive/ArcExtract.h"
#include "archive/HexDump.h"
#include "cairnbox/cli/CmdSupport.h"
#include "core/CommandTable.h"
#include "core/Format.h"
#include "core/Streams.h"

namespace {

constexpr int BytesPerRow = 16;
constexpr int64_t Chunk = BytesPerRow * 65536;  // whole rows, 1 MiB

int RunHex(const std::vector<std::string>& args) {
  if (args.size() != 2) return UsageError("hex", "an archive and one member are needed");
  try {
    bool damaged = false;
    TArchiveDirectory dir = ReadDirectoryForCommand(args[0], damaged);
    const TArchiveEntryRow& row = FindOneMember(dir, args[1]);
    TFileStream archive(args[0], fmOpenRead);
    TMemberSpan span = MemberSpan(row, archive.Size());
    // Members can be large: read and print a block of rows at a time.
    std::vector<uint8_t> buf(static_cast<size_t>(std::min(span.Size, Chunk)));
    std::string text;
    for (int64_t done = 0; done < span.Size;) {
      int64_t n = std::min(span.Size - done, Chunk);
      archive.SetPosition(span.Offset + done);
      archive.ReadBuffer(buf.data(), n);
      text.clear();
      for (int64_t i = 0; i < n; i += BytesPerRow) {
        int count = static_cast<int>(std::min<int64_t>(BytesPerRow, n - i));
        text += HexDumpLine(buf.data() + i, count, BytesPerRow, static_cast<uint32_t>(done + i));
        text += '\n';
      }
      if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        throw EWriteError(Format("Stream write error. %s", std::strerror(errno)));
      done += n;
    }
    if (std::fflush(stdout) != 0) throw EWriteError(Format("Stream write error. %s", std::strerror(errno)));
    return 0;
  } catch (const std::exception& e) {
    PrintError(e.what());
    return 1;
  }
}

}  // namespace

TESSEL_COMMAND("hex", "ARCHIVE MEMBER  show one member as a hex dump", RunHex);
