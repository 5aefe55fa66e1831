#pragma once
// The one little-endian writer of binary formats: records are built in
// memory, field by field, and handed to a stream in one write. The
// counterpart of TByteReader.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/Endian.h"
#include "core/Streams.h"

class TByteWriter {
public:
  TByteWriter() = default;
  explicit TByteWriter(size_t reserve) { Data_.reserve(reserve); }

  size_t Size() const { return Data_.size(); }
  const uint8_t* Data() const { return Data_.data(); }
  const std::vector<uint8_t>& Bytes() const { return Data_; }
  void Clear() { Data_.clear(); }
  void Reserve(size_t n) { Data_.reserve(n); }

  // Room for n more bytes at the end, to be filled by the caller.
  uint8_t* Grow(size_t n) {
    const size_t at = Data_.size();
    Data_.resize(at + n);
    return Data_.data() + at;
  }

  void U8(uint8_t v) { Data_.push_back(v); }
  void U16(uint16_t v) { PutU16LE(Grow(2), v); }
  void I16(int16_t v) { PutI16LE(Grow(2), v); }
  void U32(uint32_t v) { PutU32LE(Grow(4), v); }
  void I32(int32_t v) { PutI32LE(Grow(4), v); }
  void F32(float v) { PutF32LE(Grow(4), v); }
  void Bytes(const void* src, size_t n) {
    if (n) std::memcpy(Grow(n), src, n);
  }
  void Zeros(size_t n) { Data_.resize(Data_.size() + n, 0); }
  // A fixed-size text field: the first n - 1 characters at most, padded
  // with zeros, so the field always ends in one.
  void FixedString(const std::string& s, size_t n) {
    if (n == 0) return;
    uint8_t* p = Grow(n);
    const size_t len = s.size() < n - 1 ? s.size() : n - 1;
    std::memcpy(p, s.data(), len);
    std::memset(p + len, 0, n - len);
  }
  // A length byte and at most 255 characters.
  void ShortString(std::string_view s) {
    const size_t n = s.size() < 255 ? s.size() : 255;
    U8(static_cast<uint8_t>(n));
    Bytes(s.data(), n);
  }

  // Fields whose value is known only later (sizes, counts), written over
  // bytes already appended.
  void PutU16At(size_t pos, uint16_t v) { PutU16LE(At(pos, 2), v); }
  void PutU32At(size_t pos, uint32_t v) { PutU32LE(At(pos, 4), v); }
  void PutI32At(size_t pos, int32_t v) { PutI32LE(At(pos, 4), v); }

  // Everything written so far, to `stream` (raises EWriteError when it
  // takes less).
  void WriteTo(TStream& stream) const {
    if (!Data_.empty()) stream.WriteBuffer(Data_.data(), static_cast<int64_t>(Data_.size()));
  }

private:
  uint8_t* At(size_t pos, size_t n) {
    if (pos > Data_.size() || n > Data_.size() - pos) throw std::out_of_range("TByteWriter: patch past the end");
    return Data_.data() + pos;
  }
  std::vector<uint8_t> Data_;
};
