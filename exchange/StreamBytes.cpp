#include "exchange/StreamBytes.h"

#include "core/Streams.h"

std::vector<uint8_t> ReadRemainingBytes(TStream& stream) {
  std::vector<uint8_t> bytes;
  constexpr size_t kChunk = 1 << 16;
  for (;;) {
    const size_t old = bytes.size();
    bytes.resize(old + kChunk);
    const int64_t got = stream.Read(bytes.data() + old, static_cast<int64_t>(kChunk));
    bytes.resize(old + static_cast<size_t>(got > 0 ? got : 0));
    if (got <= 0) break;
  }
  return bytes;
}

std::string PrintableId(const uint8_t* p, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += (p[i] >= 32 && p[i] < 127) ? static_cast<char>(p[i]) : '?';
  return s;
}
