#pragma once
// Reading the directories of game archives (Quake ".pak", Jedi Knight ".gob")
// into the rows of the archive viewer's list, and the list's sorting.
//
// A row keeps the entry's size and data offset as numbers, which the member
// readers use as they are; only the row's text columns format them.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Exception.h"

class TStream;

TESSEL_DECLARE_EXCEPTION(EArchiveError, Exception);

enum TArchiveKind { akNone, akPak, akGob };

// Sizes of the on-disk records.
constexpr int64_t PakHeaderSize = 12;
constexpr int64_t PakEntrySize = 64;
constexpr size_t PakNameSize = 56;
constexpr int64_t GobHeaderSize = 12;
constexpr int64_t GobEntrySize = 136;
constexpr size_t GobNameSize = 128;

// Column indexes of the list: Name, Type, Size, Path (Offset is never shown).
enum TArchiveColumn { acName = 0, acType = 1, acSize = 2, acPath = 3, acOffset = 4 };

struct TArchiveEntryRow {
  std::string Name;    // caption: file name without directory and extension
  std::string Type;    // extension without its ".", case as stored
  int64_t Size = 0;    // data length in bytes
  std::string Path;    // directory part with its trailing separator
  int64_t Offset = 0;  // data offset from the start of the archive
  // The name as stored in the archive (up to its terminator). Not a column:
  // kept for messages and for choosing members by name.
  std::string StoredName;

  // The text of column `column` (acName..acOffset, Size and Offset in
  // decimal); "" for any other.
  std::string Column(int column) const;
};

struct TArchiveDirectory {
  TArchiveKind Kind = akNone;
  std::vector<TArchiveEntryRow> Rows;
  // Entries the header announces that do not lie wholly inside the file.
  int64_t SkippedEntries = 0;
  // Why entries are missing ("" for a sound directory): how many were
  // skipped and what is wrong with the header.
  std::string Note;
  // "%d files", followed by the note in parentheses when there is one.
  std::string StatusText() const;
};

// The kind chosen by the file name's extension, compared without case.
TArchiveKind ArchiveKindOf(const std::string& fileName);

// Directory readers over an open archive. A file that is too short for the
// header or lacks the kind's signature raises EArchiveError; a directory that
// runs past the end of the file gives the entries that lie wholly inside it.
TArchiveDirectory ReadPakDirectory(TStream& archive);
TArchiveDirectory ReadGobDirectory(TStream& archive);
// Opens `fileName` and reads it by the kind of its extension. An unknown
// extension raises EArchiveError; a file that can't be opened, EFOpenError.
TArchiveDirectory ReadArchiveDirectory(const std::string& fileName);

// `text` with every `from` replaced by `to`.
std::string ReplaceChar(const std::string& text, char from, char to);
// `path` ending in "/" (the separator of the paths this program writes).
std::string IncludeTrailingSeparator(const std::string& path);

// The list's row comparison: negative, 0 or positive for `a` against `b` by
// `column`; any column outside Name..Path gives 1. `descending` negates.
int CompareRows(const TArchiveEntryRow& a, const TArchiveEntryRow& b, int column, bool descending);

// The model behind the viewer's list: the rows, the status text and the
// sort state that survives loads.
class TArchiveList {
public:
  std::vector<TArchiveEntryRow> Rows;
  std::string StatusText;
  std::string FileName;  // the archive the rows came from
  int SortColumn = 0;
  bool SortDescending = false;
  bool Sorted = false;  // each load switches sorting off (directory order)

  // A click on a column header: the same column toggles the direction, a new
  // one sorts ascending; then the rows are sorted.
  void ColumnClick(int column);
  // Sorts the rows by the current column and direction. Rows that compare
  // equal keep their order; a column the comparison does not know leaves
  // the order alone.
  void Sort();
  int Compare(const TArchiveEntryRow& a, const TArchiveEntryRow& b) const {
    return CompareRows(a, b, SortColumn, SortDescending);
  }
};

// Lists the archive `fileName` into `list`. Gives false and changes nothing
// when the extension is neither ".pak" nor ".gob". A file that cannot be
// opened leaves the list untouched; once it is open the rows are replaced,
// and a read error leaves the list empty.
bool ListArchive(const std::string& fileName, TArchiveList& list);

// True when the member's stored name matches `pattern` (shell wildcards
// "*", "?" and "[...]", letter case ignored, "\" and "/" both taken as "/",
// leading "./" ignored on either side).
bool MemberMatches(const TArchiveEntryRow& row, const std::string& pattern);
