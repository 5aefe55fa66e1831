// The 3DS chunk tree reader on arbitrary bytes. It either refuses the input with its
// own error or gives at most the model's limit of triangles, every corner
// finite.

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Streams.h"
#include "fuzz/FuzzSupport.h"
#include "exchange/3dsFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  T3DSFormat format;
  TTriangleStore store;
  if (!ImportFuzzInput<EImportExportError>(format, data, size, store)) return 0;
  TrapUnlessWithinModelLimits(store);
  return 0;
}
