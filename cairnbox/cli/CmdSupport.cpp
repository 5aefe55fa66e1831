#include "cairnbox/cli/CmdSupport.h"

#include <cstdio>

#include "core/CommandTable.h"
#include "core/Format.h"

std::string Printable(const std::string& text) {
  std::string s = text;
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return s;
}

void PrintError(const std::string& message) { std::fprintf(stderr, "cairnbox: %s\n", Printable(message).c_str()); }

int UsageError(const char* command, const std::string& problem) {
  PrintError(problem);
  for (const auto& c : CommandTable())
    if (std::string(c.Name) == command) std::fprintf(stderr, "Usage: cairnbox %s %s\n", c.Name, c.Usage);
  return 2;
}

TArchiveDirectory ReadDirectoryForCommand(const std::string& archive, bool& damaged) {
  TArchiveDirectory dir = ReadArchiveDirectory(archive);
  damaged = !dir.Note.empty();
  if (damaged) PrintError(Format("%s: damaged directory: %s", archive.c_str(), dir.Note.c_str()));
  return dir;
}

const TArchiveEntryRow& FindOneMember(const TArchiveDirectory& dir, const std::string& name) {
  for (const auto& r : dir.Rows)
    if (r.StoredName == name) return r;
  const TArchiveEntryRow* found = nullptr;
  int count = 0;
  for (const auto& r : dir.Rows)
    if (MemberMatches(r, name)) {
      if (!found) found = &r;
      ++count;
    }
  if (count == 0) throw EArchiveError(Format("No member matches \"%s\"", name.c_str()));
  if (count > 1) throw EArchiveError(Format("\"%s\" matches %d members; name one of them", name.c_str(), count));
  return *found;
}
