// The CAD reader on arbitrary text. Whatever imports must stay within the
// model's limits, coordinates included, and its own export must read back
// to the same number of triangles.

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Streams.h"
#include "core/Tokenizer.h"
#include "exchange/CadFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TCADFormat format;
  TTriangleStore store;
  try {
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    format.Import(in, store);
  } catch (const Exception&) {
    return 0;
  }
  if (store.Count() > kMaxImportTriangles) __builtin_trap();
  for (int i = 0; i < store.Count(); ++i)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k)
        if (!IsImportCoordinate((*store.Triangle(i))[c][k])) __builtin_trap();
  TMemoryStream out;
  format.Export(out, store);
  out.SetPosition(0);
  TTriangleStore back;
  format.Import(out, back);
  if (back.Count() != store.Count()) __builtin_trap();
  return 0;
}
