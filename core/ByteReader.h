#pragma once
// The one bounds-checked reader of binary formats held in memory. Every read
// that would pass the end raises EOutOfData; loaders catch that at one place
// and turn it into their own error.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Endian.h"
#include "core/Exception.h"

class TByteReader {
public:
  TByteReader(const uint8_t* data, size_t size) : Data_(data), Size_(size) {}

  size_t Position() const { return Pos_; }
  size_t Size() const { return Size_; }
  size_t Remaining() const { return Size_ - Pos_; }
  bool AtEnd() const { return Pos_ >= Size_; }
  const uint8_t* Data() const { return Data_; }

  void Seek(size_t pos) {
    if (pos > Size_) Fail();
    Pos_ = pos;
  }
  void Skip(size_t n) { Take(n); }
  // Returns a pointer to the next n bytes and moves past them.
  const uint8_t* Take(size_t n) {
    if (n > Size_ - Pos_) Fail();
    const uint8_t* p = Data_ + Pos_;
    Pos_ += n;
    return p;
  }

  uint8_t U8() { return *Take(1); }
  uint16_t U16() { return GetU16LE(Take(2)); }
  int16_t I16() { return GetI16LE(Take(2)); }
  uint32_t U32() { return GetU32LE(Take(4)); }
  int32_t I32() { return GetI32LE(Take(4)); }
  float F32() { return GetF32LE(Take(4)); }
  void Bytes(void* dst, size_t n);
  // A fixed-size text field: the characters up to the first NUL, or all n.
  std::string FixedString(size_t n);

private:
  [[noreturn]] static void Fail() { throw EOutOfData("Unexpected end of data"); }
  const uint8_t* Data_;
  size_t Size_;
  size_t Pos_ = 0;
};
