// The PNG reader on arbitrary bytes. Whatever loads is within the bitmap's
// limits and in the game palette, and writes and reads back index for index.
//
// Chunk check sums are set right before the reader sees the bytes: a
// damaged sum is refused at once, and mutations would hardly ever get
// past it into the header and the pixels.

#include <cstdint>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "core/Streams.h"
#include "exchange/PngFormat.h"
#include "raster/ColorTables.h"
#include "raster/WinGBitmap.h"

namespace {

uint32_t BE32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

void FixCheckSums(std::vector<uint8_t>& b) {
  size_t pos = 8;
  while (b.size() >= pos + 12) {
    const uint32_t length = BE32(&b[pos]);
    if (length > b.size() - pos - 12) return;
    const uint32_t crc = uint32_t(crc32(crc32(0, nullptr, 0), &b[pos + 4], uInt(length + 4)));
    for (int i = 0; i < 4; ++i) b[pos + 8 + length + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    pos += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  // The last byte's low bit chooses: keep the sums as they came (the
  // reader's own refusal of damaged sums) or set them right.
  if (size > 0 && (data[size - 1] & 1)) FixCheckSums(bytes);
  TWinGBitmap picture;
  try {
    ReadPng(bytes.data(), bytes.size(), picture);
  } catch (const EImportExportError&) {
    return 0;
  }
  const int w = picture.GetWidth(), h = picture.GetHeight();
  if (w < 1 || h < 1 || w > TWinGBitmap::kMaxWidth || h > TWinGBitmap::kMaxHeight) __builtin_trap();
  for (int i = 0; i < 256; ++i)
    if ((picture.GetColorEntry(i) & 0xFFFFFF) != (GamePalette().GetColor(i) & 0xFFFFFF)) __builtin_trap();

  TMemoryStream out;
  WritePng(out, picture);
  const std::vector<uint8_t> written = out.Bytes();
  TWinGBitmap again;
  ReadPng(written.data(), written.size(), again);
  if (again.GetWidth() != w || again.GetHeight() != h) __builtin_trap();
  for (int y = 0; y < h; ++y)
    if (std::memcmp(again.ScanLine(y), picture.ScanLine(y), size_t(w)) != 0) __builtin_trap();
  return 0;
}
