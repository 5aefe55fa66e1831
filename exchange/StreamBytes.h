#pragma once
// Helpers the binary exchange readers share: the whole rest of a stream as
// bytes (read until it runs dry, so the buffer grows only by what is really
// there), big-endian numbers, and printable chunk names for messages.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class TStream;

std::vector<uint8_t> ReadRemainingBytes(TStream& stream);

inline uint16_t GetU16BE(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t GetU32BE(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline float GetF32BE(const uint8_t* p) {
  const uint32_t u = GetU32BE(p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

// Four identifier bytes as text, with anything unprintable shown as "?".
std::string PrintableId(const uint8_t* p, size_t n);
