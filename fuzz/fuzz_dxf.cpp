// The DXF reader on arbitrary text. Whatever imports must stay within the
// model's limits, coordinates included, and survive its own export:
// writing and reading back gives the same triangles to six decimals.

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Streams.h"
#include "fuzz/FuzzSupport.h"
#include "exchange/DxfFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TDXFFormat format;
  TTriangleStore store;
  if (!ImportFuzzInput(format, data, size, store)) return 0;
  TrapUnlessWithinModelLimits(store);
  TMemoryStream out;
  format.Export(out, store);
  out.SetPosition(0);
  TTriangleStore back;
  format.Import(out, back);
  if (back.Count() != store.Count()) __builtin_trap();
  for (int i = 0; i < store.Count(); ++i)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) {
        const float a = (*store.Triangle(i))[c][k], b = (*back.Triangle(i))[c][k];
        if (std::fabs(a - b) > 1e-6 + std::fabs(a) * 1e-6) __builtin_trap();
      }
  return 0;
}
