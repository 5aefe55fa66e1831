// The CAD reader on arbitrary text. Whatever imports must stay within the
// model's limits, coordinates included, and its own export must read back
// to the same number of triangles.

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Streams.h"
#include "fuzz/FuzzSupport.h"
#include "core/Tokenizer.h"
#include "exchange/CadFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TCADFormat format;
  TTriangleStore store;
  if (!ImportFuzzInput(format, data, size, store)) return 0;
  TrapUnlessWithinModelLimits(store);
  TMemoryStream out;
  format.Export(out, store);
  out.SetPosition(0);
  TTriangleStore back;
  format.Import(out, back);
  if (back.Count() != store.Count()) __builtin_trap();
  return 0;
}
