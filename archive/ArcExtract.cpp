#include "archive/ArcExtract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "core/Format.h"
#include "core/SafeSave.h"
#include "core/Streams.h"
#include "core/TextCase.h"

namespace {

constexpr int64_t CopyBlock = 1 << 20;

// The member's file name as written: name and extension in lower case. A
// member without extension gets no trailing ".".
std::string TargetFileName(const TArchiveEntryRow& row) {
  std::string name = LowerCase(row.Name);
  if (!row.Type.empty()) {
    name += '.';
    name += LowerCase(row.Type);
  }
  return name;
}

// Splits a "/"-separated relative name into the components to create,
// dropping "." and empty ones; gives why it is refused, or nullptr.
const char* SplitSafe(const std::string& name, std::vector<std::string>& parts) {
  parts.clear();
  if (name.empty()) return "the name is empty";
  if (name[0] == '/') return "an absolute path would leave the base folder";
  if (name.find(':') != std::string::npos) return "a drive name would leave the base folder";
  if (name.back() == '/') return "the name ends in a separator";
  size_t start = 0;
  std::string last;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(start, end - start);
    if (part == "..") return "a \"..\" component would leave the base folder";
    if (!part.empty() && part != ".") parts.push_back(part);
    last = part;
    start = end + 1;
  }
  if (last == ".") return "the name ends in \".\" and names no file";
  if (parts.empty()) return "the name reduces to nothing";
  return nullptr;
}

[[noreturn]] void Refuse(const TArchiveEntryRow& row, const char* why) {
  throw EArchiveError(Format("Refused to extract \"%s\": %s", row.StoredName.c_str(), why));
}

// A refused write, named after the file being saved when there is one.
[[noreturn]] void WriteFailed(const TSafeFile* file, int err) {
  if (file) file->Fail(err);
  throw EWriteError(Format("Stream write error. %s", err ? std::strerror(err) : "Nothing written"));
}

void WriteAll(int fd, const uint8_t* p, int64_t n, const TSafeFile* file) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, static_cast<size_t>(n));
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) WriteFailed(file, errno);
    if (w == 0) WriteFailed(file, file ? ENOSPC : 0);
    p += w;
    n -= w;
  }
}

[[noreturn]] void EndedEarly() { throw EArchiveError("The archive ends before the member's data does"); }

// Creates `dir` and its missing parents; `made` remembers the ones known to
// exist so that a run of members in one folder costs one check.
void ForceDirectories(const std::string& dir, std::set<std::string>& made) {
  if (dir.empty() || made.count(dir)) return;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = dir.find('/', pos + 1);
    std::string sub = dir.substr(0, pos);
    if (sub.empty() || made.count(sub)) continue;
    if (::mkdir(sub.c_str(), 0777) != 0) {
      int err = errno;
      struct stat st;
      if (!(err == EEXIST && ::stat(sub.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
        throw EArchiveError(Format("Unable to create directory \"%s\". %s", sub.c_str(),
                                   std::strerror(err == EEXIST ? ENOTDIR : err)));
    }
    made.insert(sub);
  }
}

}  // namespace

// ---- Member data ----------------------------------------------------------

TMemberSpan MemberSpan(const TArchiveEntryRow& row, int64_t archiveSize) {
  TMemberSpan span;
  span.Offset = row.Offset;
  span.Size = row.Size;
  if (span.Offset < 0 || span.Size < 0)
    throw EArchiveError(Format("Member \"%s\" has a negative offset or size (offset %lld, size %lld)",
                               row.StoredName.c_str(), static_cast<long long>(span.Offset),
                               static_cast<long long>(span.Size)));
  // Both are at most 2^31 - 1 in the formats, so the sum cannot overflow;
  // compared by subtraction all the same.
  if (span.Offset > archiveSize || span.Size > archiveSize - span.Offset)
    throw EArchiveError(Format("Member \"%s\" runs past the end of the archive (offset %lld, size %lld, "
                               "archive %lld bytes)",
                               row.StoredName.c_str(), static_cast<long long>(span.Offset),
                               static_cast<long long>(span.Size), static_cast<long long>(archiveSize)));
  return span;
}

namespace {

void CopyBytes(int inFd, int64_t offset, int64_t size, int outFd, const TSafeFile* file) {
  off_t in = static_cast<off_t>(offset);
  int64_t left = size;
  // In-kernel copy first; pipes, terminals and some file systems refuse it,
  // and the buffered loop below takes over from where it stopped.
  while (left > 0) {
    ssize_t n = ::copy_file_range(inFd, &in, outFd, nullptr, static_cast<size_t>(std::min<int64_t>(left, 1 << 30)), 0);
    if (n > 0) {
      left -= n;
      continue;
    }
    if (n == 0) EndedEarly();
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF ||
        errno == ETXTBSY || errno == EPERM)
      break;
    WriteFailed(file, errno);
  }
  if (left == 0) return;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min(left, CopyBlock)));
  while (left > 0) {
    ssize_t n = ::pread(inFd, buf.data(), static_cast<size_t>(std::min<int64_t>(left, CopyBlock)), in);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError(Format("Stream read error. %s", std::strerror(errno)));
    if (n == 0) EndedEarly();
    WriteAll(outFd, buf.data(), n, file);
    in += n;
    left -= n;
  }
}

}  // namespace

void CopyArchiveBytes(int inFd, int64_t offset, int64_t size, int outFd) { CopyBytes(inFd, offset, size, outFd, nullptr); }

std::vector<uint8_t> ReadArchiveMember(const std::string& archiveName, const TArchiveEntryRow& row) {
  TFileStream archive(archiveName, fmOpenRead);
  TMemberSpan span = MemberSpan(row, archive.Size());
  std::vector<uint8_t> bytes(static_cast<size_t>(span.Size));
  int64_t done = 0;
  while (done < span.Size) {
    ssize_t n = ::pread(archive.Handle(), bytes.data() + done, static_cast<size_t>(std::min(span.Size - done, CopyBlock)),
                        static_cast<off_t>(span.Offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError(Format("Stream read error. %s", std::strerror(errno)));
    if (n == 0) EndedEarly();
    done += n;
  }
  return bytes;
}

void ExportArchiveMember(const std::string& archiveName, const TArchiveEntryRow& row, const std::string& targetFile) {
  TFileStream archive(archiveName, fmOpenRead);
  TMemberSpan span = MemberSpan(row, archive.Size());
  struct stat archiveStat, st;
  if (::fstat(archive.Handle(), &archiveStat) == 0 && ::stat(targetFile.c_str(), &st) == 0 &&
      st.st_dev == archiveStat.st_dev && st.st_ino == archiveStat.st_ino)
    throw EArchiveError(Format("Cannot export \"%s\" over the archive itself", row.StoredName.c_str()));
  TSafeFile out(targetFile);
  CopyBytes(archive.Handle(), span.Offset, span.Size, out.Handle(), &out);
  out.Commit();
}

std::string ExportFileName(const TArchiveEntryRow& row) { return TargetFileName(row); }

std::string ExportDefaultExt(const TArchiveEntryRow& row) { return LowerCase(row.Type); }

std::string ExportFilter(const TArchiveEntryRow& row) {
  std::string ext = ExportDefaultExt(row);
  return Format("Export File (*.%s)|*.%s|All Files (*.*)|*.*", ext.c_str(), ext.c_str());
}

// ---- Extraction -----------------------------------------------------------

std::string MemberTargetPath(const TArchiveEntryRow& row) {
  std::vector<std::string> parts;
  // The stored name itself must be sound, and so must the path built from
  // the row: cutting the extension can turn "..." into "..".
  if (const char* why = SplitSafe(ReplaceChar(row.StoredName, '\\', '/'), parts)) Refuse(row, why);
  if (const char* why = SplitSafe(ReplaceChar(row.Path, '\\', '/') + TargetFileName(row), parts)) Refuse(row, why);
  std::string rel;
  for (const auto& p : parts) {
    if (!rel.empty()) rel += '/';
    rel += p;
  }
  return rel;
}

TExtractResult ExtractArchiveMembers(const std::string& archiveName, const std::vector<TArchiveEntryRow>& rows,
                                     const std::string& baseFolder) {
  if (baseFolder.empty()) throw EArchiveError("No base folder was given to extract into");
  TFileStream archive(archiveName, fmOpenRead);
  int64_t archiveSize = archive.Size();
  struct stat archiveStat;
  if (::fstat(archive.Handle(), &archiveStat) != 0) throw EReadError(Format("Stream read error. %s", std::strerror(errno)));
  const std::string base = IncludeTrailingSeparator(baseFolder);
  std::set<std::string> made;
  TExtractResult result;
  for (const auto& row : rows) {
    // Refusals and spans outside the archive already name the member.
    std::string rel;
    TMemberSpan span;
    try {
      rel = MemberTargetPath(row);
      span = MemberSpan(row, archiveSize);
    } catch (const EArchiveError& e) {
      result.Failures.push_back({row.StoredName, e.what()});
      continue;
    }
    const std::string target = base + rel;
    try {
      ForceDirectories(target.substr(0, target.find_last_of('/')), made);
      // Saving over the archive would replace it with one of its members.
      struct stat st;
      if (::stat(target.c_str(), &st) == 0 && st.st_dev == archiveStat.st_dev && st.st_ino == archiveStat.st_ino)
        throw EArchiveError("Its target is the archive itself");
      // A failed copy leaves whatever was there before, never a partial file.
      TSafeFile out(target);
      CopyBytes(archive.Handle(), span.Offset, span.Size, out.Handle(), &out);
      out.Commit();
      result.Extracted++;
      result.Bytes += span.Size;
      result.Written.push_back(target);
    } catch (const Exception& e) {
      result.Failures.push_back({row.StoredName, Format("Cannot extract \"%s\". %s", row.StoredName.c_str(), e.what())});
    }
  }
  return result;
}
