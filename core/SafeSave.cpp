#include "core/SafeSave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/Format.h"

namespace fs = std::filesystem;

// The temporary file as a stream that remembers why the system refused a
// write: the stream layer only sees a short count.
class TSafeSaveStream : public TStream {
public:
  explicit TSafeSaveStream(int fd) : Fd(fd) {}

  int64_t Read(void* buffer, int64_t count) override {
    int64_t done = 0;
    auto* p = static_cast<uint8_t*>(buffer);
    while (done < count) {
      const ssize_t n = ::read(Fd, p + done, static_cast<size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
    }
    return done;
  }

  int64_t Write(const void* buffer, int64_t count) override {
    int64_t done = 0;
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (done < count) {
      const ssize_t n = ::write(Fd, p + done, static_cast<size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (Error == 0) Error = errno;
        break;
      }
      if (n == 0) {
        if (Error == 0) Error = ENOSPC;
        break;
      }
      done += n;
    }
    return done;
  }

  int64_t Seek(int64_t offset, int origin) override {
    const int whence = origin == soFromCurrent ? SEEK_CUR : origin == soFromEnd ? SEEK_END : SEEK_SET;
    const off_t r = ::lseek(Fd, static_cast<off_t>(offset), whence);
    return r < 0 ? ::lseek(Fd, 0, SEEK_CUR) : r;
  }

  int64_t Size() override {
    struct stat st;
    return ::fstat(Fd, &st) == 0 ? st.st_size : TStream::Size();
  }

  int Fd;
  int Error = 0;
};

namespace {

// The file a chain of symbolic links ends at (it need not exist yet).
std::string FollowLinks(const std::string& fileName) {
  fs::path p(fileName);
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p.string();
    if (hops == 40)
      throw EFCreateError(Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(ELOOP)));
    std::error_code ec;
    const fs::path to = fs::read_symlink(p, ec);
    if (ec)
      throw EFCreateError(Format("Cannot create file \"%s\". %s", fileName.c_str(), ec.message().c_str()));
    p = to.is_absolute() ? to : p.parent_path() / to;
  }
}

}  // namespace

TSafeFile::TSafeFile(const std::string& fileName) : FileName_(fileName) {
  auto refuse = [&](int err) {
    throw EFCreateError(Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(err)));
  };
  if (fileName.empty()) refuse(ENOENT);
  Target_ = FollowLinks(fileName);
  struct stat old;
  const bool exists = ::stat(Target_.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) refuse(EISDIR);

  const fs::path target(Target_);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  static std::atomic<unsigned> counter{0};
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    Temp_ = (folder / Format(".%s.%d-%u.tmp", target.filename().c_str(), static_cast<int>(::getpid()), counter++)).string();
    // Created as any new file would be (the umask applies); an existing
    // target's bits are put on below.
    fd = ::open(Temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt == 100)) refuse(errno);
  }
  if (exists) {
    // Keeping the group is allowed to the owner where he belongs to it;
    // anything more needs privileges this program does not ask for.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      // the temporary file keeps this process's owner and group
    }
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
      const int err = errno;
      ::close(fd);
      ::unlink(Temp_.c_str());
      refuse(err);
    }
  }
  Stream_ = std::make_unique<TSafeSaveStream>(fd);
}

TSafeFile::~TSafeFile() {
  if (Stream_ && Stream_->Fd >= 0) ::close(Stream_->Fd);
  if (!Committed_) ::unlink(Temp_.c_str());
}

TStream& TSafeFile::Stream() { return *Stream_; }

int TSafeFile::Handle() const { return Stream_->Fd; }

std::exception_ptr TSafeFile::SystemFailure() const {
  if (Stream_->Error == 0) return nullptr;
  try {
    Fail(Stream_->Error);
  } catch (...) {
    return std::current_exception();
  }
}

void TSafeFile::Fail(int err) const {
  throw EWriteError(Format("Cannot write to file \"%s\". %s", FileName_.c_str(), std::strerror(err)));
}

void TSafeFile::Commit() {
  if (Committed_) return;
  if (Stream_->Error != 0) Fail(Stream_->Error);
  const int fd = Stream_->Fd;
  Stream_->Fd = -1;
  // Flushed to disk before the rename, so a crash leaves the old file or
  // the whole new one. close reports what some file systems only find then.
  const int syncErr = ::fsync(fd) != 0 ? errno : 0;
  const int closeErr = ::close(fd) != 0 ? errno : 0;
  if (syncErr != 0 && syncErr != EINVAL) Fail(syncErr);  // EINVAL: a file that cannot be synced
  if (closeErr != 0) Fail(closeErr);
  if (::rename(Temp_.c_str(), Target_.c_str()) != 0) Fail(errno);
  Committed_ = true;
  // Make the rename itself durable; a failure here loses nothing written.
  const fs::path target(Target_);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

void SafeSave(const std::string& fileName, const std::function<void(TStream&)>& write) {
  TSafeFile file(fileName);
  try {
    write(file.Stream());
  } catch (...) {
    // The stream layer's own message ("Stream write error") does not say
    // which file or why; the system's reason does.
    if (std::exception_ptr failure = file.SystemFailure()) std::rethrow_exception(failure);
    throw;
  }
  file.Commit();
}

void SafeSaveBytes(const std::string& fileName, std::string_view bytes) {
  SafeSave(fileName, [&](TStream& s) { s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size())); });
}
