// The skin clipboard format on arbitrary bytes. Whatever decodes must encode
// back to the very same bytes, and a refused record leaves the bitmap alone.

#include <cstdint>
#include <cstring>
#include <string_view>

#include "editor/SkinTransfer.h"
#include "raster/WinGBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  TWinGBitmap bitmap;
  bitmap.SetSize(3, 2);
  bitmap.ScanLine(1)[2] = 77;
  if (!DecodeSkinTransfer(in, bitmap)) {
    if (bitmap.GetWidth() != 3 || bitmap.GetHeight() != 2 || bitmap.ScanLine(1)[2] != 77) __builtin_trap();
    return 0;
  }
  if (EncodeSkinTransfer(bitmap) != in) __builtin_trap();
  return 0;
}
