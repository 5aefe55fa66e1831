// The LightWave object reader on arbitrary bytes. It either refuses the input with its
// own error or gives at most the model's limit of triangles, every corner
// finite.

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Streams.h"
#include "exchange/LwoFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLWOFormat format;
  TTriangleStore store;
  try {
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    format.Import(in, store);
  } catch (const EImportExportError&) {
    return 0;
  }
  if (store.Count() > kMaxImportTriangles) __builtin_trap();
  for (int i = 0; i < store.Count(); ++i)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 4; ++k)
        if (!std::isfinite((*store.Triangle(i))[c][k])) __builtin_trap();
  return 0;
}
