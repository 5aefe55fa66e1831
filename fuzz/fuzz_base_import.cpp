// A "base" frame built from arbitrary triangle corners (NaN, infinities,
// huge and coincident values included), then the skin layout operations
// on the model it gives: nothing may crash, hang or allocate without bound.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/Streams.h"
#include "exchange/TriangleFiler.h"
#include "mdl/Mdl.h"
#include "mdl/Prompts.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TQuietPrompts quiet;
  SetPrompts(&quiet);
  if (size < 4) return 0;
  // First bytes: the skin size to start from (0 = none), then corners.
  const int w = data[0] * 4, h = data[1] * 2;
  const uint8_t flags = data[2];
  data += 4;
  size -= 4;
  constexpr size_t kTriangleBytes = 36;
  const size_t count = std::min<size_t>(size / kTriangleBytes, 3000);
  TTriangleFiler& filer = TTriangleFiler::Instance();
  filer.SetCount(static_cast<int>(count));
  for (size_t i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) {
      float v[3];
      std::memcpy(v, data + i * kTriangleBytes + static_cast<size_t>(c) * 12, 12);
      filer.Triangle(static_cast<int>(i))->C[c] = TStoreVertex{{v[0], v[1], v[2], 0}};
    }
  try {
    TMDL m;
    m.Clear();
    m.Header->SkinWidth = w;
    m.Header->SkinHeight = h;
    m.Skins->InsertSkin(0);
    m.Frames->CreateBaseFrame();
    m.Frames->Frame(0).ImportBase();
    if (flags & 1) m.Skins->PaintTriangles(0);
    if (flags & 2) {
      try {
        m.Skins->RearrangeObjectSkins();
      } catch (const EMDLError&) {
      }
    }
    if (flags & 4) m.Frames->Frame(0).RebuildFromSkin();
    if (flags & 8) m.Skins->Resize(w / 2 + 4, h / 2 + 1);
    TMemoryStream out;
    m.SaveToStream(out, true);
  } catch (const Exception&) {
  }
  return 0;
}
