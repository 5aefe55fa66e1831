// The model loader on arbitrary bytes: it must load or raise, never crash,
// hang or allocate without bound; and the saver on what it loads.

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
    // What loaded must also save, and what it saved is saved again as it
    // is: a part kept as loaded is never one that changed.
    TMemoryStream out;
    m.SaveToStream(out, true);
    TMDL again;
    out.SetPosition(0);
    again.LoadFromStream(out);
    TMemoryStream second;
    again.SaveToStream(second, true);
    if (second.Bytes() != out.Bytes()) __builtin_trap();
  } catch (const Exception&) {
  }
  return 0;
}
