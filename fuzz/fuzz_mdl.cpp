// The model loader on arbitrary bytes: it must load or raise, never crash,
// hang or allocate without bound.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "mdl/Mdl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMDL m;
  try {
    TMemoryStream s(std::vector<uint8_t>(data, data + size));
    m.LoadFromStream(s);
    // What loaded must also save.
    TMemoryStream out;
    m.SaveToStream(out, true);
  } catch (const Exception&) {
  }
  return 0;
}
