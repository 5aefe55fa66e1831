#include "editor/SkinTransfer.h"

#include <cstring>
#include <memory>

#include "raster/WinGBitmap.h"

namespace {

constexpr char kMagic[4] = {'T', 'S', 'K', 'N'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 16;

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t GetU32(const char* p) {
  const auto* b = reinterpret_cast<const uint8_t*>(p);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

bool SizeAllowed(int64_t w, int64_t h) {
  return w >= 1 && h >= 1 && w <= TWinGBitmap::kMaxWidth && h <= TWinGBitmap::kMaxHeight;
}

// A palette object made of a colour table's 256 quads.
TPaletteHandle PaletteOf(const uint8_t* quads) {
  TPaletteEntry entries[256];
  for (int i = 0; i < 256; ++i) entries[i] = {quads[i * 4 + 2], quads[i * 4 + 1], quads[i * 4], quads[i * 4 + 3]};
  return std::make_shared<const TPaletteObject>(entries, 256);
}

}  // namespace

std::string EncodeSkinTransfer(const TWinGBitmap& bitmap) {
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  std::string out;
  out.reserve(kHeaderSize + kColorTableSize + size_t(w) * size_t(h));
  out.append(kMagic, 4);
  PutU32(out, kVersion);
  PutU32(out, static_cast<uint32_t>(w));
  PutU32(out, static_cast<uint32_t>(h));
  out.append(reinterpret_cast<const char*>(bitmap.ColorTable()), kColorTableSize);
  for (int y = 0; y < h; ++y) out.append(reinterpret_cast<const char*>(bitmap.ScanLine(y)), size_t(w));
  return out;
}

bool DecodeSkinTransfer(std::string_view data, TWinGBitmap& bitmap) {
  if (data.size() < kHeaderSize + kColorTableSize) return false;
  const char* p = data.data();
  if (std::memcmp(p, kMagic, 4) != 0 || GetU32(p + 4) != kVersion) return false;
  const int64_t w = GetU32(p + 8), h = GetU32(p + 12);
  if (!SizeAllowed(w, h)) return false;
  // The sizes are bounded, so this product cannot overflow; the data must
  // hold exactly the pixels it announces.
  if (data.size() != kHeaderSize + kColorTableSize + size_t(w * h)) return false;
  const auto* table = reinterpret_cast<const uint8_t*>(p + kHeaderSize);
  const auto* pixels = table + kColorTableSize;
  TWinGBitmap result;
  result.SetSize(static_cast<int>(w), static_cast<int>(h));
  result.SetPalette(PaletteOf(table));
  for (int y = 0; y < h; ++y) std::memcpy(result.ScanLine(y), pixels + y * w, static_cast<size_t>(w));
  bitmap.Assign(result);
  return true;
}
