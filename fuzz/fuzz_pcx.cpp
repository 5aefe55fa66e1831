// The PCX reader on arbitrary bytes. It either refuses the input with its own
// error or gives a picture within the bitmap's limits.

#include <cstdint>
#include <vector>

#include "core/Streams.h"
#include "exchange/PcxFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TBitmapFiler filer;
  TPCXFormat format;
  try {
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    format.Import(in, filer);
  } catch (const EImportExportError&) {
    return 0;
  }
  const TWinGBitmap& b = filer.Bitmap();
  if (b.GetWidth() < 1 || b.GetHeight() < 1 || b.GetHeight() > TWinGBitmap::kMaxHeight ||
      b.GetWidth() > TWinGBitmap::kMaxWidth)
    __builtin_trap();
  // Touch every row so a bad row table shows.
  volatile uint8_t sum = 0;
  for (int y = 0; y < b.GetHeight(); ++y) sum = sum + b.ScanLine(y)[b.GetWidth() - 1];
  return 0;
}
