#pragma once
// Reading one member's bytes, exporting one member to a file and extracting
// members into a folder tree. Members are located through their list rows
// (their Size and Offset).

#include <cstdint>
#include <string>
#include <vector>

#include "archive/ArcDirectory.h"

// Where a member's bytes lie. Both fit in 32 bits in the formats; kept wide
// so that offset + size never overflows.
struct TMemberSpan {
  int64_t Offset = 0;
  int64_t Size = 0;
};

// The member's span from its row, checked against the archive's size: a
// negative offset or size, or data that runs past the end of the archive,
// raises EArchiveError naming the member.
TMemberSpan MemberSpan(const TArchiveEntryRow& row, int64_t archiveSize);

// Copies `size` bytes at `offset` of the file `inFd` to `outFd` at its
// current position, in large blocks (in-kernel where the system allows).
// Raises EArchiveError when the input ends early, EWriteError when the
// output refuses bytes.
void CopyArchiveBytes(int inFd, int64_t offset, int64_t size, int outFd);

// The member's bytes (for the hex and text views).
std::vector<uint8_t> ReadArchiveMember(const std::string& archiveName, const TArchiveEntryRow& row);

// Writes the member to `targetFile`, overwriting it. Nothing is created when
// the member's data does not lie inside the archive.
void ExportArchiveMember(const std::string& archiveName, const TArchiveEntryRow& row, const std::string& targetFile);

// What the export dialog proposes for a member: the file name (lower case,
// "player.mdl"), the default extension ("mdl") and the filter.
std::string ExportFileName(const TArchiveEntryRow& row);
std::string ExportDefaultExt(const TArchiveEntryRow& row);
std::string ExportFilter(const TArchiveEntryRow& row);

// The "/"-separated path, relative to the base folder, that a member is
// extracted to: its stored directories, then its name and extension in
// lower case. "." components are dropped. A member that would land outside
// the base folder or names no file (empty, absolute, drive, "..", ending in
// a separator) raises EArchiveError naming it.
std::string MemberTargetPath(const TArchiveEntryRow& row);

struct TExtractFailure {
  std::string Member;   // stored name
  std::string Message;  // names the member and says what went wrong
};

struct TExtractResult {
  int64_t Extracted = 0;
  int64_t Bytes = 0;
  std::vector<std::string> Written;  // full paths of the files written
  std::vector<TExtractFailure> Failures;
};

// Extracts `rows`, in order, below `baseFolder`, creating every missing
// directory (the base folder's own included) and overwriting files. A member
// that fails is recorded and the rest go on; an archive that can't be opened
// or an empty base folder raises.
TExtractResult ExtractArchiveMembers(const std::string& archiveName, const std::vector<TArchiveEntryRow>& rows,
                                     const std::string& baseFolder);
