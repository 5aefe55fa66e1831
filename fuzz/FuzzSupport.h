// What the fuzz targets and their seed writers share: prompts that answer
// nothing, a whole file as text, and the import of the fuzzer's bytes through
// a triangle format with the check every triangle reader must pass.

#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "core/Streams.h"
#include "exchange/TriangleStore.h"
#include "mdl/Prompts.h"

// Questions are answered "no" and notices dropped, so a run never waits.
class TQuietPrompts : public TPrompts {
public:
  void Information(const std::string&, const std::string&) override {}
  bool Confirm(const std::string&, const std::string&) override { return false; }
};

inline std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Imports the bytes into `store`; false when the reader refused them with
// an error of type `Refusal` (anything else escapes and is a finding).
template <class Refusal = Exception, class Format>
bool ImportFuzzInput(Format& format, const uint8_t* data, size_t size, TTriangleStore& store) {
  try {
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    format.Import(in, store);
  } catch (const Refusal&) {
    return false;
  }
  return true;
}

// What imports stays within the model's limits: the triangle count and
// every corner a coordinate a model can hold.
inline void TrapUnlessWithinModelLimits(const TTriangleStore& store) {
  if (store.Count() > kMaxImportTriangles) __builtin_trap();
  for (int i = 0; i < store.Count(); ++i)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k)
        if (!IsImportCoordinate((*store.Triangle(i))[c][k])) __builtin_trap();
}
