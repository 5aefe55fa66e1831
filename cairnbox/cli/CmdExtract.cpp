// cairnbox extract: members of an archive into a folder tree.

#include <cstdio>
#include <exception>

#include "archive/ArcExtract.h"
#include "cairnbox/cli/CmdSupport.h"
#include "core/CommandTable.h"
#include "core/Format.h"

namespace {

int RunExtract(const std::vector<std::string>& args) {
  if (args.size() < 2) return UsageError("extract", "an archive and a folder are needed");
  const std::string& archive = args[0];
  const std::string& base = args[1];
  if (base.empty()) return UsageError("extract", "the folder name is empty");
  try {
    bool damaged = false;
    TArchiveDirectory dir = ReadDirectoryForCommand(archive, damaged);
    std::vector<TArchiveEntryRow> chosen;
    bool unmatched = false;
    if (args.size() == 2) {
      chosen = dir.Rows;
    } else {
      // Directory order, each member once, however many patterns name it.
      std::vector<bool> take(dir.Rows.size());
      for (size_t p = 2; p < args.size(); ++p) {
        bool any = false;
        for (size_t i = 0; i < dir.Rows.size(); ++i)
          if (MemberMatches(dir.Rows[i], args[p])) take[i] = any = true;
        if (!any) {
          PrintError(Format("No member matches \"%s\"", args[p].c_str()));
          unmatched = true;
        }
      }
      for (size_t i = 0; i < dir.Rows.size(); ++i)
        if (take[i]) chosen.push_back(dir.Rows[i]);
    }
    TExtractResult res = ExtractArchiveMembers(archive, chosen, base);
    for (const auto& f : res.Failures) PrintError(f.Message);
    std::printf("Extracted %lld of %zu members (%lld bytes) to %s\n", static_cast<long long>(res.Extracted),
                chosen.size(), static_cast<long long>(res.Bytes), Printable(base).c_str());
    return (damaged || unmatched || !res.Failures.empty()) ? 1 : 0;
  } catch (const std::exception& e) {
    PrintError(e.what());
    return 1;
  }
}

}  // namespace

TESSEL_COMMAND("extract", "ARCHIVE DIR [MEMBER...]  extract members below DIR (all when none named; wildcards allowed)",
                 RunExtract);
