#pragma once
// The stream classes every reader and writer works on: an abstract stream,
// a file stream, a growable memory stream and a stream over memory that
// someone else owns. Positions and counts are 64-bit; negative counts move
// nothing.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Exception.h"

enum TSeekOrigin : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream {
public:
  virtual ~TStream() = default;
  // Moves up to `count` bytes and returns how many moved; never raises for
  // a short transfer.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t newSize);

  int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soFromBeginning); }

  // Raise EReadError / EWriteError when fewer bytes move than asked.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies `count` bytes from `source` at its position; 0 copies the whole
  // of `source` from its start. Returns the count copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// File open modes. fmCreate creates or truncates the file for reading and writing.
enum : unsigned {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmCreate = 0xFF00,
};

class TFileStream : public TStream {
public:
  TFileStream(const std::string& fileName, unsigned mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override;
  void SetSize(int64_t newSize) override;
  const std::string& FileName() const { return FileName_; }
  int Handle() const { return Fd_; }

private:
  std::string FileName_;
  int Fd_ = -1;
};

// A stream over memory that it does not own. Reading and seeking work;
// writing moves nothing unless a descendant says otherwise.
class TCustomMemoryStream : public TStream {
public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return Size_; }
  uint8_t* Memory() const { return Memory_; }
  void SaveToStream(TStream& stream);
  void SaveToFile(const std::string& fileName);

protected:
  void SetPointer(uint8_t* memory, int64_t size);
  uint8_t* Memory_ = nullptr;
  int64_t Size_ = 0;
  int64_t Position_ = 0;
};

// A memory stream that owns its bytes and grows as it is written.
class TMemoryStream : public TCustomMemoryStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes);
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t newSize) override;
  void Clear();
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  // The bytes from 0 to Size().
  std::vector<uint8_t> Bytes() const;

private:
  std::vector<uint8_t> Data_;
};

// Little-endian numbers on any stream, through ReadBuffer/WriteBuffer.
uint8_t ReadU8(TStream& s);
uint16_t ReadU16LE(TStream& s);
int16_t ReadI16LE(TStream& s);
uint32_t ReadU32LE(TStream& s);
int32_t ReadI32LE(TStream& s);
float ReadF32LE(TStream& s);
void WriteU8(TStream& s, uint8_t v);
void WriteU16LE(TStream& s, uint16_t v);
void WriteI16LE(TStream& s, int16_t v);
void WriteU32LE(TStream& s, uint32_t v);
void WriteI32LE(TStream& s, int32_t v);
void WriteF32LE(TStream& s, float v);
