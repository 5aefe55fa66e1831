#include "core/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "core/Format.h"

namespace {

constexpr size_t ReadChunk = 1 << 16;

std::string SystemError(int err) { return std::strerror(err); }

}  // namespace

TTextFile::TTextFile(const std::string& fileName, uint8_t mode) : FileName_(fileName), Mode_(mode) {
  switch (mode) {
    case 0:
      File_ = std::fopen(fileName.c_str(), "rbe");
      if (File_) {
        // fopen happily opens a folder; reading it would fail later with a
        // less helpful message.
        struct stat st;
        if (::fstat(::fileno(File_), &st) == 0 && S_ISDIR(st.st_mode)) {
          std::fclose(File_);
          File_ = nullptr;
          errno = EISDIR;
        }
      }
      if (!File_)
        throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), SystemError(errno).c_str()));
      Buf_.resize(ReadChunk);
      break;
    case 1:
    case 3:
      File_ = std::fopen(fileName.c_str(), "wbe");
      if (!File_)
        throw EFCreateError(Format("Cannot create file \"%s\". %s", fileName.c_str(), SystemError(errno).c_str()));
      break;
    case 4: {
      // Appending needs the file to be there already.
      const int fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
      if (fd >= 0) {
        File_ = ::fdopen(fd, "ab");
        if (!File_) {
          const int err = errno;
          ::close(fd);
          errno = err;
        }
      }
      if (!File_)
        throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), SystemError(errno).c_str()));
      break;
    }
    default:
      throw ETextFileError("Illegal Mode for TextFile");
  }
}

TTextFile::~TTextFile() {
  if (File_) std::fclose(File_);
}

void TTextFile::Close() {
  if (!File_) return;
  std::FILE* f = File_;
  File_ = nullptr;
  int err = 0;
  if (!Reading() && std::fflush(f) != 0) err = errno;
  if (std::fclose(f) != 0 && err == 0 && !Reading()) err = errno;
  if (err != 0)
    throw EWriteError(Format("Cannot write to file \"%s\". %s", FileName_.c_str(), SystemError(err).c_str()));
}

void TTextFile::CheckOpen() const {
  if (!File_) throw ETextFileError(Format("TextFile \"%s\" is closed", FileName_.c_str()));
}

bool TTextFile::Fill() {
  Pos_ = 0;
  Len_ = std::fread(Buf_.data(), 1, Buf_.size(), File_);
  if (Len_ == 0 && std::ferror(File_))
    throw EReadError(Format("Cannot read from file \"%s\". %s", FileName_.c_str(), SystemError(errno).c_str()));
  return Len_ > 0;
}

bool TTextFile::AtEof() {
  CheckOpen();
  if (!Reading()) return true;
  return Pos_ == Len_ && !Fill();
}

void TTextFile::ReadTextLine(std::string& text) {
  CheckOpen();
  if (!Reading())
    throw EReadError(Format("File \"%s\" is not open for reading", FileName_.c_str()));
  text.clear();
  for (;;) {
    if (Pos_ == Len_ && !Fill()) return;  // last line without a line end
    const char* start = Buf_.data() + Pos_;
    const size_t avail = Len_ - Pos_;
    const void* lf = std::memchr(start, '\n', avail);
    if (lf) {
      const size_t n = static_cast<size_t>(static_cast<const char*>(lf) - start);
      text.append(start, n);
      Pos_ += n + 1;
      if (!text.empty() && text.back() == '\r') text.pop_back();
      return;
    }
    text.append(start, avail);
    Pos_ = Len_;
  }
}

void TTextFile::Rewind() {
  CheckOpen();
  if (!Reading())
    throw ETextFileError(Format("File \"%s\" is open for writing and cannot be rewound", FileName_.c_str()));
  if (std::fseek(File_, 0, SEEK_SET) != 0)
    throw EReadError(Format("Cannot read from file \"%s\". %s", FileName_.c_str(), SystemError(errno).c_str()));
  std::clearerr(File_);
  Pos_ = Len_ = 0;
}

void TTextFile::WriteTextLine(const std::string& text) {
  CheckOpen();
  if (Reading())
    throw EWriteError(Format("File \"%s\" is not open for writing", FileName_.c_str()));
  static const char lineEnd[2] = {'\r', '\n'};
  if (std::fwrite(text.data(), 1, text.size(), File_) != text.size() ||
      std::fwrite(lineEnd, 1, 2, File_) != 2)
    throw EWriteError(Format("Cannot write to file \"%s\". %s", FileName_.c_str(), SystemError(errno).c_str()));
}

void TTextFile::WriteFmt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text;
  try {
    text = FormatV(format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  WriteTextLine(text);
}
