// The PCX reader on arbitrary bytes. It either refuses the input with its own
// error or gives a picture within the bitmap's limits, which the PCX writer
// writes and the reader reads back index for index.

#include <cstdint>
#include <cstring>
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

  TMemoryStream out;
  format.Export(out, filer);
  static TBitmapFiler again;
  TMemoryStream back(out.Bytes());
  format.Import(back, again);
  const TWinGBitmap& a = again.Bitmap();
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) __builtin_trap();
  for (int y = 0; y < b.GetHeight(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<size_t>(b.GetWidth())) != 0) __builtin_trap();
  for (int i = 0; i < 256; ++i)
    if ((a.GetColorEntry(i) & 0xFFFFFF) != (b.GetColorEntry(i) & 0xFFFFFF)) __builtin_trap();
  return 0;
}
