// cairnbox list: the rows of an archive's directory as a table.

#include <algorithm>
#include <cstdio>
#include <exception>

#include "archive/ArcDirectory.h"
#include "cairnbox/cli/CmdSupport.h"
#include "core/CommandTable.h"
#include "core/Format.h"
#include "core/TextCase.h"

namespace {

const char* const ColumnTitles[] = {"Name", "Type", "Size", "Path", "Offset"};
const char* const SortNames[] = {"name", "type", "size", "path"};

int ColumnByName(const std::string& name) {
  for (int i = 0; i < 4; ++i)
    if (CompareText(name, SortNames[i]) == 0) return i;
  return -1;
}

void PrintTable(const std::vector<TArchiveEntryRow>& rows) {
  size_t width[5];
  for (int c = 0; c < 5; ++c) width[c] = std::string(ColumnTitles[c]).size();
  std::vector<std::string> cells;
  cells.reserve(rows.size() * 5);
  for (const auto& r : rows)
    for (int c = 0; c < 5; ++c) {
      cells.push_back(Printable(r.Column(c)));
      width[c] = std::max(width[c], cells.back().size());
    }
  auto line = [&](const std::string* cell) {
    std::string s;
    for (int c = 0; c < 5; ++c) {
      bool number = c == acSize || c == acOffset;
      std::string pad(width[c] - cell[c].size(), ' ');
      if (c) s += "  ";
      s += number ? pad + cell[c] : cell[c] + (c == 4 ? "" : pad);
    }
    s += '\n';
    std::fputs(s.c_str(), stdout);
  };
  std::string titles[5];
  for (int c = 0; c < 5; ++c) titles[c] = ColumnTitles[c];
  line(titles);
  for (size_t i = 0; i < rows.size(); ++i) line(&cells[i * 5]);
}

int RunList(const std::vector<std::string>& args) {
  std::string archive;
  int column = -1;
  bool descending = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--sort") {
      if (i + 1 >= args.size()) return UsageError("list", "--sort needs a column");
      column = ColumnByName(args[++i]);
      if (column < 0) return UsageError("list", Format("unknown column '%s'", args[i].c_str()));
    } else if (a == "--descending") {
      descending = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("list", Format("unknown option '%s'", a.c_str()));
    } else if (archive.empty()) {
      archive = a;
    } else {
      return UsageError("list", "one archive at a time");
    }
  }
  if (archive.empty()) return UsageError("list", "no archive given");
  if (descending && column < 0) column = acName;
  try {
    bool damaged = false;
    TArchiveDirectory dir = ReadDirectoryForCommand(archive, damaged);
    TArchiveList list;
    list.StatusText = dir.StatusText();
    list.Rows = std::move(dir.Rows);
    if (column >= 0) {
      list.SortColumn = column;
      list.SortDescending = descending;
      list.Sorted = true;
      list.Sort();
    }
    PrintTable(list.Rows);
    std::printf("%s\n", list.StatusText.c_str());
    return damaged ? 1 : 0;
  } catch (const std::exception& e) {
    PrintError(e.what());
    return 1;
  }
}

}  // namespace

TESSEL_COMMAND("list", "ARCHIVE [--sort name|type|size|path] [--descending]  list the members as a table",
                 RunList);
