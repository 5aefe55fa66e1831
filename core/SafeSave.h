#pragma once
// Saving a file so that a failure never costs the old one: the bytes go to
// a temporary file beside the target, which is flushed to disk and renamed
// over the target only when complete. The target keeps its permission bits;
// a symbolic link is written through (the file it points at is replaced,
// the link stays a link). On any failure the temporary file is removed and
// the error names the file and the system's reason.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/Exception.h"
#include "core/Streams.h"

class TSafeSaveStream;

class TSafeFile {
public:
  // Creates the temporary file. Raises EFCreateError when it cannot.
  explicit TSafeFile(const std::string& fileName);
  // Removes the temporary file unless Commit succeeded; never raises.
  ~TSafeFile();
  TSafeFile(const TSafeFile&) = delete;
  TSafeFile& operator=(const TSafeFile&) = delete;

  // Writes to the temporary file. A write the system refuses moves fewer
  // bytes (so WriteBuffer raises) and is remembered for Fail.
  TStream& Stream();
  int Handle() const;
  // Flushes to disk and renames over the target. Raises EWriteError naming
  // the file; the temporary file is then gone and the target unchanged.
  void Commit();
  // The error to report for a failed write: when the system refused one,
  // EWriteError naming the file and its reason; otherwise null (the
  // failure's own error says more).
  std::exception_ptr SystemFailure() const;
  // Raises EWriteError naming the file with the system's reason for `err`.
  [[noreturn]] void Fail(int err) const;

  // The name as given, and where the bytes end up (links followed).
  const std::string& FileName() const { return FileName_; }
  const std::string& Target() const { return Target_; }
  const std::string& TempName() const { return Temp_; }

private:
  std::string FileName_;
  std::string Target_;
  std::string Temp_;
  std::unique_ptr<TSafeSaveStream> Stream_;
  bool Committed_ = false;
};

// Runs `write` on the temporary file's stream and commits. Whatever `write`
// raises is passed on, except that a write the system refused is reported
// as EWriteError naming the file and the reason.
void SafeSave(const std::string& fileName, const std::function<void(TStream&)>& write);
void SafeSaveBytes(const std::string& fileName, std::string_view bytes);
