#include "core/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/ByteReader.h"
#include "core/Endian.h"
#include "core/Format.h"
#include "core/SafeSave.h"

// ---- TStream ---------------------------------------------------------------

int64_t TStream::Size() {
  int64_t pos = Seek(0, soFromCurrent);
  int64_t size = Seek(0, soFromEnd);
  Seek(pos, soFromBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t chunk = 1 << 16;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min(count, chunk)));
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min(left, chunk);
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    left -= n;
  }
  return count;
}

// ---- TFileStream -----------------------------------------------------------

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FileName_(fileName) {
  if (mode == fmCreate) {
    Fd_ = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (Fd_ < 0)
      throw EFCreateError(Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
    return;
  }
  int flags = O_CLOEXEC;
  switch (mode & 3) {
    case fmOpenWrite: flags |= O_WRONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
  }
  Fd_ = ::open(fileName.c_str(), flags);
  if (Fd_ >= 0) {
    struct stat st;
    if (::fstat(Fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(Fd_);
      Fd_ = -1;
      errno = EISDIR;
    }
  }
  if (Fd_ < 0)
    throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
}

TFileStream::~TFileStream() {
  if (Fd_ >= 0) ::close(Fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::read(Fd_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<const uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::write(Fd_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, int origin) {
  int whence = origin == soFromCurrent ? SEEK_CUR : origin == soFromEnd ? SEEK_END : SEEK_SET;
  off_t r = ::lseek(Fd_, static_cast<off_t>(offset), whence);
  if (r < 0) return ::lseek(Fd_, 0, SEEK_CUR);
  return r;
}

int64_t TFileStream::Size() {
  struct stat st;
  if (::fstat(Fd_, &st) == 0) return st.st_size;
  return TStream::Size();
}

void TFileStream::SetSize(int64_t newSize) {
  if (::ftruncate(Fd_, static_cast<off_t>(newSize)) != 0)
    throw EStreamError(Format("Cannot change the size of \"%s\". %s", FileName_.c_str(), std::strerror(errno)));
  if (Position() > newSize) SetPosition(newSize);
}

// ---- TCustomMemoryStream -----------------------------------------------------

void TCustomMemoryStream::SetPointer(uint8_t* memory, int64_t size) {
  Memory_ = memory;
  Size_ = size;
}

int64_t TCustomMemoryStream::Read(void* buffer, int64_t count) {
  if (Position_ < 0 || count <= 0) return 0;
  int64_t n = Size_ - Position_;
  if (n <= 0) return 0;
  if (n > count) n = count;
  std::memcpy(buffer, Memory_ + Position_, static_cast<size_t>(n));
  Position_ += n;
  return n;
}

int64_t TCustomMemoryStream::Write(const void*, int64_t) { return 0; }

int64_t TCustomMemoryStream::Seek(int64_t offset, int origin) {
  switch (origin) {
    case soFromBeginning: Position_ = offset; break;
    case soFromCurrent: Position_ += offset; break;
    case soFromEnd: Position_ = Size_ + offset; break;
    default: break;
  }
  return Position_;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) {
  if (Size_ > 0) stream.WriteBuffer(Memory_, Size_);
}

void TCustomMemoryStream::SaveToFile(const std::string& fileName) {
  SafeSave(fileName, [&](TStream& f) { SaveToStream(f); });
}

// ---- TMemoryStream -----------------------------------------------------------

TMemoryStream::TMemoryStream(std::vector<uint8_t> bytes) : Data_(std::move(bytes)) {
  SetPointer(Data_.data(), static_cast<int64_t>(Data_.size()));
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (Position_ < 0 || count <= 0) return 0;
  int64_t end = Position_ + count;
  if (end > Size_) {
    if (end > static_cast<int64_t>(Data_.size())) {
      size_t cap = std::max<size_t>(static_cast<size_t>(end), Data_.size() + Data_.size() / 2);
      Data_.resize(cap);
    }
    SetPointer(Data_.data(), end);
  }
  std::memcpy(Memory_ + Position_, buffer, static_cast<size_t>(count));
  Position_ = end;
  return count;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) newSize = 0;
  Data_.resize(static_cast<size_t>(newSize));
  SetPointer(Data_.data(), newSize);
  if (Position_ > newSize) Position_ = newSize;
}

void TMemoryStream::Clear() {
  Data_.clear();
  Data_.shrink_to_fit();
  SetPointer(nullptr, 0);
  Position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  int64_t n = stream.Size();
  SetSize(n);
  if (n > 0) stream.ReadBuffer(Data_.data(), n);
  Position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead);
  LoadFromStream(f);
}

std::vector<uint8_t> TMemoryStream::Bytes() const {
  return std::vector<uint8_t>(Data_.begin(), Data_.begin() + Size_);
}

// ---- little-endian helpers ---------------------------------------------------

uint8_t ReadU8(TStream& s) {
  uint8_t b;
  s.ReadBuffer(&b, 1);
  return b;
}
uint16_t ReadU16LE(TStream& s) {
  uint8_t b[2];
  s.ReadBuffer(b, 2);
  return GetU16LE(b);
}
int16_t ReadI16LE(TStream& s) { return static_cast<int16_t>(ReadU16LE(s)); }
uint32_t ReadU32LE(TStream& s) {
  uint8_t b[4];
  s.ReadBuffer(b, 4);
  return GetU32LE(b);
}
int32_t ReadI32LE(TStream& s) { return static_cast<int32_t>(ReadU32LE(s)); }
float ReadF32LE(TStream& s) {
  uint8_t b[4];
  s.ReadBuffer(b, 4);
  return GetF32LE(b);
}
void WriteU8(TStream& s, uint8_t v) { s.WriteBuffer(&v, 1); }
void WriteU16LE(TStream& s, uint16_t v) {
  uint8_t b[2];
  PutU16LE(b, v);
  s.WriteBuffer(b, 2);
}
void WriteI16LE(TStream& s, int16_t v) { WriteU16LE(s, static_cast<uint16_t>(v)); }
void WriteU32LE(TStream& s, uint32_t v) {
  uint8_t b[4];
  PutU32LE(b, v);
  s.WriteBuffer(b, 4);
}
void WriteI32LE(TStream& s, int32_t v) { WriteU32LE(s, static_cast<uint32_t>(v)); }
void WriteF32LE(TStream& s, float v) {
  uint8_t b[4];
  PutF32LE(b, v);
  s.WriteBuffer(b, 4);
}

// ---- TByteReader -------------------------------------------------------------

void TByteReader::Bytes(void* dst, size_t n) {
  const uint8_t* p = Take(n);
  if (n) std::memcpy(dst, p, n);
}

std::string TByteReader::FixedString(size_t n) {
  const uint8_t* p = Take(n);
  size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  return std::string(reinterpret_cast<const char*>(p), len);
}
