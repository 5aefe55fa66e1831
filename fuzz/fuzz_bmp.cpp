// The BMP reader on arbitrary bytes. Whatever loads must save and load back
// to the same picture.

#include <cstdint>
#include <cstring>

#include "raster/WinGBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TWinGBitmap bitmap;
  try {
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    bitmap.LoadFromStream(in);
  } catch (const Exception&) {
    return 0;
  }
  TMemoryStream out;
  bitmap.SaveToStream(out);
  out.SetPosition(0);
  TWinGBitmap again;
  again.LoadFromStream(out);
  if (again.GetWidth() != bitmap.GetWidth() || again.GetHeight() != bitmap.GetHeight() ||
      std::memcmp(again.ColorTable(), bitmap.ColorTable(), kColorTableSize) != 0 ||
      again.BitStream().Size() != bitmap.BitStream().Size() ||
      (bitmap.BitStream().Size() > 0 &&
       std::memcmp(again.Bits(), bitmap.Bits(), static_cast<size_t>(bitmap.BitStream().Size())) != 0))
    __builtin_trap();
  return 0;
}
