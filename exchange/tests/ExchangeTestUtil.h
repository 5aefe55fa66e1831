#pragma once
// Helpers for the exchange tests: running a format over bytes in memory,
// building binary fixtures, temporary files and the real sample folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Streams.h"
#include "exchange/TriangleFiler.h"
#include "raster/ColorTables.h"

namespace exchange_test {

inline std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// The game colour nearest to (r, g, b), lowest index on ties, worked out
// the slow way: the rule picture readers must keep.
inline uint8_t NearestGameIndex(int r, int g, int b) {
  int best = 0, bestDistance = 1 << 30;
  for (int i = 0; i < 256; ++i) {
    const TRGBQuad q = GamePalette().GetColor(i);
    const int d = (QuadRed(q) - r) * (QuadRed(q) - r) + (QuadGreen(q) - g) * (QuadGreen(q) - g) +
                  (QuadBlue(q) - b) * (QuadBlue(q) - b);
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return uint8_t(best);
}

// Imports `data` with `format` into a fresh store.
inline void ImportBytes(TTriImpExpFormat& format, const std::vector<uint8_t>& data, TTriangleStore& store) {
  TMemoryStream stream(data);
  format.Import(stream, store);
}

inline std::vector<uint8_t> ExportBytes(TTriImpExpFormat& format, const TTriangleStore& store) {
  TMemoryStream stream;
  format.Export(stream, store);
  return stream.Bytes();
}

inline std::string ExportText(TTriImpExpFormat& format, const TTriangleStore& store) {
  const std::vector<uint8_t> b = ExportBytes(format, store);
  return std::string(b.begin(), b.end());
}

// The message of the EImportExportError that `f` raises ("" when none).
template <class F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const EImportExportError& e) {
    return e.what();
  }
  return "";
}

// Appends little- and big-endian numbers to a byte vector.
struct TByteBuilder {
  std::vector<uint8_t> B;
  TByteBuilder& U8(uint8_t v) {
    B.push_back(v);
    return *this;
  }
  TByteBuilder& U16LE(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
  TByteBuilder& U32LE(uint32_t v) { return U16LE(uint16_t(v)).U16LE(uint16_t(v >> 16)); }
  TByteBuilder& F32LE(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return U32LE(u);
  }
  TByteBuilder& U16BE(uint16_t v) { return U8(uint8_t(v >> 8)).U8(uint8_t(v)); }
  TByteBuilder& U32BE(uint32_t v) { return U16BE(uint16_t(v >> 16)).U16BE(uint16_t(v)); }
  TByteBuilder& F32BE(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return U32BE(u);
  }
  TByteBuilder& Text(const std::string& s) {
    B.insert(B.end(), s.begin(), s.end());
    return *this;
  }
  TByteBuilder& Append(const std::vector<uint8_t>& v) {
    B.insert(B.end(), v.begin(), v.end());
    return *this;
  }
  size_t Size() const { return B.size(); }
};

// A folder of its own under the system's temporary folder, removed at the end.
class TTempDir {
public:
  TTempDir() {
    Path_ = std::filesystem::temp_directory_path() /
            ("tessel_exchange_" + std::to_string(::getpid()) + "_" + std::to_string(Counter()++));
    std::filesystem::create_directories(Path_);
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path_, ec);
  }
  std::string File(const std::string& name) const { return (Path_ / name).string(); }

private:
  static int& Counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path Path_;
};

inline void WriteFile(const std::string& name, const std::vector<uint8_t>& data) {
  TFileStream f(name, fmCreate);
  f.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& name) {
  TMemoryStream m;
  m.LoadFromFile(name);
  return m.Bytes();
}

// The folder of real sample files of one kind ("dxf", "3ds", "lwo"), or ""
// when it is not there.
inline std::string SampleDir(const std::string& kind) {
  const std::filesystem::path dir = std::filesystem::path(TESSEL_DATA_DIR) / "exchange" / kind;
  std::error_code ec;
  return std::filesystem::is_directory(dir, ec) ? dir.string() : std::string();
}

inline TStoreTriangle Tri(float a0, float a1, float a2, float b0, float b1, float b2, float c0, float c1,
                          float c2) {
  TStoreTriangle t;
  t[0][0] = a0, t[0][1] = a1, t[0][2] = a2;
  t[1][0] = b0, t[1][1] = b1, t[1][2] = b2;
  t[2][0] = c0, t[2][1] = c1, t[2][2] = c2;
  return t;
}

inline void ExpectCorner(const TStoreVertex& v, float x, float y, float z, float tolerance = 0) {
  EXPECT_NEAR(v[0], x, tolerance);
  EXPECT_NEAR(v[1], y, tolerance);
  EXPECT_NEAR(v[2], z, tolerance);
}

}  // namespace exchange_test
