#pragma once
// Little-endian numbers in byte buffers. Formats are read and written
// through these, never by casting structs.

#include <cstdint>
#include <cstring>

inline uint16_t GetU16LE(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t GetI16LE(const uint8_t* p) { return static_cast<int16_t>(GetU16LE(p)); }
inline uint32_t GetU32LE(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t GetI32LE(const uint8_t* p) { return static_cast<int32_t>(GetU32LE(p)); }
inline float GetF32LE(const uint8_t* p) {
  uint32_t u = GetU32LE(p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

inline void PutU16LE(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutI16LE(uint8_t* p, int16_t v) { PutU16LE(p, static_cast<uint16_t>(v)); }
inline void PutU32LE(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void PutI32LE(uint8_t* p, int32_t v) { PutU32LE(p, static_cast<uint32_t>(v)); }
inline void PutF32LE(uint8_t* p, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  PutU32LE(p, u);
}
