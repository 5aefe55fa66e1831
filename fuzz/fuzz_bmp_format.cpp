// The skin importer's BMP format on arbitrary bytes: 8-bit pictures through
// the bitmap's own reader, 24- and 32-bit ones onto the game palette. It
// either refuses the input with a bitmap error or gives a picture within the
// bitmap's limits; a true-colour one in game colours.

#include <cstdint>
#include <vector>

#include "core/Streams.h"
#include "exchange/BmpFormat.h"
#include "raster/ColorTables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TBitmapFiler filer;
  TBMPFormat format;
  try {
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    format.Import(in, filer);
  } catch (const Exception&) {
    return 0;
  }
  const TWinGBitmap& b = filer.Bitmap();
  if (b.GetWidth() < 0 || b.GetHeight() < 0 || b.GetHeight() > TWinGBitmap::kMaxHeight ||
      b.GetWidth() > TWinGBitmap::kMaxWidth)
    __builtin_trap();
  const bool trueColour = size >= 30 && (data[28] == 24 || data[28] == 32) && data[29] == 0;
  if (trueColour)
    for (int i = 0; i < 256; ++i)
      if ((b.GetColorEntry(i) & 0xFFFFFF) != (GamePalette().GetColor(i) & 0xFFFFFF)) __builtin_trap();
  volatile uint8_t sum = 0;
  for (int y = 0; y < b.GetHeight() && b.GetWidth() > 0; ++y) sum = sum + b.ScanLine(y)[b.GetWidth() - 1];
  return 0;
}
