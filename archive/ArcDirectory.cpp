#include "archive/ArcDirectory.h"

#include <fnmatch.h>

#include <algorithm>
#include <cstring>

#include "core/ByteReader.h"
#include "core/Format.h"
#include "core/Streams.h"
#include "core/TextCase.h"

// ---- Text helpers ------------------------------------------------------------

std::string ReplaceChar(const std::string& text, char from, char to) {
  std::string r = text;
  std::replace(r.begin(), r.end(), from, to);
  return r;
}

std::string IncludeTrailingSeparator(const std::string& path) {
  if (!path.empty() && path.back() == '/') return path;
  return path + '/';
}

namespace {

// One row from a stored name. The name is split as the viewer splits it:
// a PAK name is "/"-separated and turned to backslashes first, so both
// characters end its directory part; a GOB name only splits at backslashes.
// A ":" ends the directory part too, as a drive would. The PAK's Path shows
// "/" again; the GOB's is kept as stored.
TArchiveEntryRow MakeRow(std::string stored, int32_t offset, int32_t length, bool pak) {
  TArchiveEntryRow row;
  size_t cut = stored.find_last_of(pak ? "/\\:" : "\\:");
  size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
  size_t dot = stored.find_last_of('.');
  if (dot != std::string::npos && dot < nameStart) dot = std::string::npos;
  if (dot != std::string::npos) row.Type.assign(stored, dot + 1);
  row.Size = length;
  row.Path.assign(stored, 0, nameStart);
  if (pak) std::replace(row.Path.begin(), row.Path.end(), '\\', '/');
  row.Offset = offset;
  row.Name.assign(stored, nameStart, (dot == std::string::npos ? stored.size() : dot) - nameStart);
  row.StoredName = std::move(stored);
  return row;
}

void CheckSignature(TStream& archive, const char* magic, const char* kindName, int64_t headerSize) {
  if (archive.Size() < headerSize)
    throw EArchiveError(Format("Not a %s archive: the file is too short for its header", kindName));
  char sig[4];
  archive.SetPosition(0);
  archive.ReadBuffer(sig, 4);
  if (std::memcmp(sig, magic, 4) != 0)
    throw EArchiveError(Format("Not a %s archive: the \"%s\" signature is missing", kindName, magic));
}

// Reads the `entries` directory records that lie wholly inside the file,
// starting at `start`; gives the bytes read.
std::vector<uint8_t> ReadDirectoryBytes(TStream& archive, int64_t start, int64_t entries, int64_t entrySize,
                                        int64_t& complete) {
  int64_t fileSize = archive.Size();
  int64_t avail = start >= fileSize ? 0 : fileSize - start;
  complete = std::min(entries, avail / entrySize);
  std::vector<uint8_t> buf(static_cast<size_t>(complete * entrySize));
  if (!buf.empty()) {
    archive.SetPosition(start);
    archive.ReadBuffer(buf.data(), static_cast<int64_t>(buf.size()));
  }
  return buf;
}

std::string SkippedNote(int64_t skipped) {
  return Format("%lld skipped: the directory runs past the end of the file", static_cast<long long>(skipped));
}

}  // namespace

// ---- Rows -----------------------------------------------------------------

std::string TArchiveEntryRow::Column(int column) const {
  switch (column) {
    case acName: return Name;
    case acType: return Type;
    case acSize: return std::to_string(Size);
    case acPath: return Path;
    case acOffset: return std::to_string(Offset);
    default: return std::string();
  }
}

std::string TArchiveDirectory::StatusText() const {
  std::string s = Format("%d files", static_cast<int>(Rows.size()));
  if (!Note.empty()) s += " (" + Note + ")";
  return s;
}

TArchiveKind ArchiveKindOf(const std::string& fileName) {
  size_t slash = fileName.find_last_of('/');
  size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return akNone;
  std::string ext = fileName.substr(dot);
  if (CompareText(ext, ".pak") == 0) return akPak;
  if (CompareText(ext, ".gob") == 0) return akGob;
  return akNone;
}

// ---- Directory readers --------------------------------------------------------

TArchiveDirectory ReadPakDirectory(TStream& archive) {
  TArchiveDirectory dir;
  dir.Kind = akPak;
  CheckSignature(archive, "PACK", "PAK", PakHeaderSize);
  int32_t dirOffset = ReadI32LE(archive);
  int32_t dirLength = ReadI32LE(archive);
  if (dirLength < 0) {
    dir.Note = "the directory's length is negative";
    return dir;
  }
  int64_t announced = dirLength / PakEntrySize;
  if (dirOffset < 0) {
    dir.SkippedEntries = announced;
    dir.Note = Format("%lld skipped: the directory's offset is negative", static_cast<long long>(announced));
    return dir;
  }
  int64_t complete = 0;
  std::vector<uint8_t> buf = ReadDirectoryBytes(archive, dirOffset, announced, PakEntrySize, complete);
  try {
    TByteReader r(buf.data(), buf.size());
    dir.Rows.reserve(static_cast<size_t>(complete));
    for (int64_t i = 0; i < complete; ++i) {
      std::string name = r.FixedString(PakNameSize);
      int32_t offset = r.I32();
      int32_t length = r.I32();
      dir.Rows.push_back(MakeRow(std::move(name), offset, length, true));
    }
  } catch (const EOutOfData&) {
    throw EArchiveError("The PAK directory is cut short");
  }
  dir.SkippedEntries = announced - complete;
  if (dir.SkippedEntries > 0) dir.Note = SkippedNote(dir.SkippedEntries);
  return dir;
}

TArchiveDirectory ReadGobDirectory(TStream& archive) {
  TArchiveDirectory dir;
  dir.Kind = akGob;
  CheckSignature(archive, "GOB ", "GOB", GobHeaderSize);
  ReadI32LE(archive);  // version: not used
  int32_t dirOffset = ReadI32LE(archive);
  if (dirOffset < 0) {
    dir.Note = "the directory's offset is negative";
    return dir;
  }
  if (static_cast<int64_t>(dirOffset) + 4 > archive.Size()) {
    dir.Note = "the directory starts past the end of the file";
    return dir;
  }
  archive.SetPosition(dirOffset);
  int32_t count = ReadI32LE(archive);
  if (count < 0) {
    dir.Note = "the directory's entry count is negative";
    return dir;
  }
  int64_t complete = 0;
  std::vector<uint8_t> buf = ReadDirectoryBytes(archive, static_cast<int64_t>(dirOffset) + 4, count,
                                                GobEntrySize, complete);
  try {
    TByteReader r(buf.data(), buf.size());
    dir.Rows.reserve(static_cast<size_t>(complete));
    for (int64_t i = 0; i < complete; ++i) {
      int32_t offset = r.I32();
      int32_t length = r.I32();
      std::string name = r.FixedString(GobNameSize);
      dir.Rows.push_back(MakeRow(std::move(name), offset, length, false));
    }
  } catch (const EOutOfData&) {
    throw EArchiveError("The GOB directory is cut short");
  }
  dir.SkippedEntries = count - complete;
  if (dir.SkippedEntries > 0) dir.Note = SkippedNote(dir.SkippedEntries);
  return dir;
}

namespace {

TArchiveDirectory ReadDirectoryOf(TStream& archive, TArchiveKind kind, const std::string& fileName) {
  try {
    return kind == akPak ? ReadPakDirectory(archive) : ReadGobDirectory(archive);
  } catch (const EArchiveError& e) {
    throw EArchiveError(Format("Cannot list \"%s\". %s", fileName.c_str(), e.what()));
  } catch (const EStreamError& e) {
    throw EArchiveError(Format("Cannot list \"%s\". %s", fileName.c_str(), e.what()));
  }
}

}  // namespace

TArchiveDirectory ReadArchiveDirectory(const std::string& fileName) {
  TArchiveKind kind = ArchiveKindOf(fileName);
  if (kind == akNone)
    throw EArchiveError(Format("\"%s\" is not an archive: the name ends in neither .pak nor .gob", fileName.c_str()));
  TFileStream archive(fileName, fmOpenRead);
  return ReadDirectoryOf(archive, kind, fileName);
}

// ---- Comparison and sorting -------------------------------------------------

int CompareRows(const TArchiveEntryRow& a, const TArchiveEntryRow& b, int column, bool descending) {
  int r;
  switch (column) {
    case acName: r = CompareText(a.Name, b.Name); break;
    case acType: r = CompareText(a.Type, b.Type); break;
    case acSize: r = a.Size > b.Size ? 1 : a.Size < b.Size ? -1 : 0; break;
    case acPath: r = CompareText(a.Path, b.Path); break;
    default: r = 1; break;
  }
  return descending ? -r : r;
}

void TArchiveList::ColumnClick(int column) {
  if (column == SortColumn)
    SortDescending = !SortDescending;
  else
    SortDescending = false;
  SortColumn = column;
  Sorted = true;
  Sort();
}

void TArchiveList::Sort() {
  // The comparison answers 1 for every pair on an unknown column, which is no
  // ordering at all; such a column keeps the present order.
  if (SortColumn < acName || SortColumn > acPath) return;
  std::stable_sort(Rows.begin(), Rows.end(),
                   [this](const TArchiveEntryRow& a, const TArchiveEntryRow& b) { return Compare(a, b) < 0; });
}

bool ListArchive(const std::string& fileName, TArchiveList& list) {
  TArchiveKind kind = ArchiveKindOf(fileName);
  if (kind == akNone) return false;
  list.Sorted = false;
  TFileStream archive(fileName, fmOpenRead);
  list.Rows.clear();
  list.StatusText.clear();
  list.FileName = fileName;
  TArchiveDirectory dir = ReadDirectoryOf(archive, kind, fileName);
  list.StatusText = dir.StatusText();
  list.Rows = std::move(dir.Rows);
  return true;
}

// ---- Choosing members by name -------------------------------------------------

namespace {

std::string MatchForm(const std::string& name) {
  std::string s = ReplaceChar(name, '\\', '/');
  size_t i = 0;
  while (s.compare(i, 2, "./") == 0) i += 2;
  return s.substr(i);
}

}  // namespace

bool MemberMatches(const TArchiveEntryRow& row, const std::string& pattern) {
  std::string p = MatchForm(pattern), n = MatchForm(row.StoredName);
  return ::fnmatch(p.c_str(), n.c_str(), FNM_NOESCAPE | FNM_CASEFOLD) == 0;
}
