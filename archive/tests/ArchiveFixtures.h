#pragma once
// Archives built in code for tests, benchmarks and fuzz targets, and a
// scratch folder that cleans up after itself.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Endian.h"

struct TFixtureMember {
  std::string Name;  // stored as is; cut to the field's size without terminator when longer
  std::vector<uint8_t> Data;
};

inline std::vector<uint8_t> FixtureBytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Writes a zero-padded name field of `field` bytes at `p`.
inline void PutFixtureName(uint8_t* p, const std::string& name, size_t field) {
  for (size_t i = 0; i < field; ++i) p[i] = i < name.size() ? static_cast<uint8_t>(name[i]) : 0;
}

// A PAK: the 12-byte header, every member's data from offset 12 on, then
// the directory (64 bytes an entry).
inline std::vector<uint8_t> MakePak(const std::vector<TFixtureMember>& members) {
  std::vector<uint8_t> out(12);
  std::vector<int32_t> offsets;
  for (const auto& m : members) {
    offsets.push_back(static_cast<int32_t>(out.size()));
    out.insert(out.end(), m.Data.begin(), m.Data.end());
  }
  size_t dir = out.size();
  out.resize(dir + 64 * members.size());
  for (size_t i = 0; i < members.size(); ++i) {
    uint8_t* e = out.data() + dir + 64 * i;
    PutFixtureName(e, members[i].Name, 56);
    PutI32LE(e + 56, offsets[i]);
    PutI32LE(e + 60, static_cast<int32_t>(members[i].Data.size()));
  }
  std::copy_n("PACK", 4, out.begin());
  PutI32LE(out.data() + 4, static_cast<int32_t>(dir));
  PutI32LE(out.data() + 8, static_cast<int32_t>(64 * members.size()));
  return out;
}

// A GOB: header ("GOB ", version 0x14, directory offset 12), the count and
// the entries (136 bytes each), then every member's data.
inline std::vector<uint8_t> MakeGob(const std::vector<TFixtureMember>& members) {
  size_t dataStart = 16 + 136 * members.size();
  std::vector<uint8_t> out(dataStart);
  std::copy_n("GOB ", 4, out.begin());
  PutI32LE(out.data() + 4, 0x14);
  PutI32LE(out.data() + 8, 12);
  PutI32LE(out.data() + 12, static_cast<int32_t>(members.size()));
  for (size_t i = 0; i < members.size(); ++i) {
    uint8_t* e = out.data() + 16 + 136 * i;
    PutI32LE(e, static_cast<int32_t>(out.size()));
    PutI32LE(e + 4, static_cast<int32_t>(members[i].Data.size()));
    PutFixtureName(e + 8, members[i].Name, 128);
    out.insert(out.end(), members[i].Data.begin(), members[i].Data.end());
  }
  return out;
}

inline void WriteFixtureFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write fixture " + path);
}

inline std::vector<uint8_t> ReadFixtureFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A fresh folder below the system's temporary folder, removed with all it
// holds when the object goes.
class TScratchDir {
public:
  TScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "cairnbox-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    Path_ = tmpl;
  }
  ~TScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path_, ec);
  }
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;
  const std::string& Path() const { return Path_; }
  std::string operator/(const std::string& name) const { return Path_ + "/" + name; }

private:
  std::string Path_;
};
