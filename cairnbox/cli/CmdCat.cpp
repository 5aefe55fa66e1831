// cairnbox cat: one member's bytes to standard output.

#include <unistd.h>

#include <cstdio>
#include <exception>

#include "archive/ArcExtract.h"
#include "cairnbox/cli/CmdSupport.h"
#include "core/CommandTable.h"
#include "core/Streams.h"

namespace {

int RunCat(const std::vector<std::string>& args) {
  if (args.size() != 2) return UsageError("cat", "an archive and one member are needed");
  try {
    bool damaged = false;
    TArchiveDirectory dir = ReadDirectoryForCommand(args[0], damaged);
    const TArchiveEntryRow& row = FindOneMember(dir, args[1]);
    TFileStream archive(args[0], fmOpenRead);
    TMemberSpan span = MemberSpan(row, archive.Size());
    std::fflush(stdout);
    CopyArchiveBytes(archive.Handle(), span.Offset, span.Size, STDOUT_FILENO);
    return 0;
  } catch (const std::exception& e) {
    PrintError(e.what());
    return 1;
  }
}

}  // namespace

TESSEL_COMMAND("cat", "ARCHIVE MEMBER  write one member's bytes to standard output", RunCat);
