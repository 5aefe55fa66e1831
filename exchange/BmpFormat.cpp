#include "exchange/BmpFormat.h"

#include <bit>
#include <vector>

#include "core/Endian.h"
#include "core/Format.h"
#include "core/Streams.h"
#include "exchange/NearestGameColor.h"
#include "exchange/StreamBytes.h"
#include "raster/ColorTables.h"

namespace {

// Where the fields of the file and info headers lie, from the file's start.
constexpr size_t kBitsOffset = 10;
constexpr size_t kInfoSize = 14;
constexpr size_t kWidth = 18;
constexpr size_t kHeight = 22;
constexpr size_t kBitCount = 28;
constexpr size_t kCompression = 30;
// Channel masks: red, green, blue, then alpha, after the 40-byte header or
// inside the longer ones.
constexpr size_t kMasks = 54;
constexpr size_t kAlphaMask = 66;
constexpr size_t kInfoWithAlphaMask = 56;
constexpr size_t kHeadersSize = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;

constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;
constexpr uint8_t kTransparentIndex = 255;

// One colour channel of a 32-bit pixel, widened or narrowed to 8 bits.
class TChannel {
public:
  explicit TChannel(uint32_t mask)
      : Mask_(mask), Shift_(mask ? std::countr_zero(mask) : 0), Bits_(std::popcount(mask)) {}
  bool Present() const { return Mask_ != 0; }
  uint8_t operator()(uint32_t pixel) const {
    if (!Mask_) return 0;
    const uint32_t v = (pixel & Mask_) >> Shift_;
    if (Bits_ >= 8) return static_cast<uint8_t>(v >> (Bits_ - 8));
    return static_cast<uint8_t>(v * 255 / ((1u << Bits_) - 1));
  }

private:
  uint32_t Mask_;
  int Shift_;
  int Bits_;
};

bool IsTrueColor(const std::vector<uint8_t>& file) {
  if (file.size() < kBitCount + 2 || GetU16LE(file.data()) != kBitmapFileType) return false;
  const uint16_t bits = GetU16LE(file.data() + kBitCount);
  return bits == 24 || bits == 32;
}

// 24- and 32-bit pictures, each pixel to the nearest game colour; a pixel
// whose alpha channel reads 0 becomes the see-through index, unless every
// pixel does (writers that leave the channel empty).
void ReadTrueColor(const std::vector<uint8_t>& file, TWinGBitmap& bitmap) {
  if (file.size() < kHeadersSize) throw EBitmapFormatError("Unable to load bitmap, End of file encountered while reading bitmap info header");
  const uint8_t* f = file.data();
  const uint32_t bitsOffset = GetU32LE(f + kBitsOffset);
  const uint32_t infoSize = GetU32LE(f + kInfoSize);
  const int64_t width = GetI32LE(f + kWidth);
  const int64_t rawHeight = GetI32LE(f + kHeight);
  const int bitCount = GetU16LE(f + kBitCount);
  const uint32_t compression = GetU32LE(f + kCompression);
  const bool topDown = rawHeight < 0;
  const int64_t height = topDown ? -rawHeight : rawHeight;
  if (width < 1 || height < 1 || width > TWinGBitmap::kMaxWidth || height > TWinGBitmap::kMaxHeight)
    throw EBitmapFormatError(Format("Unable to load bitmap, %lld x %lld pixels is outside 1 x 1 to %d x %d",
                                    static_cast<long long>(width), static_cast<long long>(height),
                                    TWinGBitmap::kMaxWidth, TWinGBitmap::kMaxHeight));

  uint32_t masks[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0};
  if (compression == kBitFields || compression == kAlphaBitFields) {
    if (bitCount != 32) throw EBitmapFormatError("Unable to load bitmap, bit fields need 32 bits per pixel");
    const bool alpha = compression == kAlphaBitFields || infoSize >= kInfoWithAlphaMask;
    const size_t end = alpha ? kAlphaMask + 4 : kMasks + 12;
    if (file.size() < end) throw EBitmapFormatError("Unable to load bitmap, End of file encountered while reading bitmap colors");
    for (int i = 0; i < 3; ++i) masks[i] = GetU32LE(f + kMasks + 4 * i);
    if (alpha) masks[3] = GetU32LE(f + kAlphaMask);
  } else if (compression != kUncompressed) {
    throw EBitmapFormatError("Unable to load bitmap, bitmap must be uncompressed");
  }

  const size_t bytesPerPixel = static_cast<size_t>(bitCount) / 8;
  const size_t stride = (static_cast<size_t>(width) * bytesPerPixel + 3) & ~size_t{3};
  const size_t bitsSize = stride * static_cast<size_t>(height);
  if (bitsOffset > file.size() || file.size() - bitsOffset < bitsSize)
    throw EBitmapFormatError("Unable to load bitmap, End of file encountered while reading bitmap bits");
  const uint8_t* bits = f + bitsOffset;
  const size_t w = static_cast<size_t>(width);
  // The file's row for picture row y (row 0 at the top).
  auto fileRow = [&](int64_t y) { return bits + stride * static_cast<size_t>(topDown ? y : height - 1 - y); };

  const TChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
  bool useAlpha = false;
  if (bitCount == 32 && alpha.Present())
    for (int64_t y = 0; y < height && !useAlpha; ++y) {
      const uint8_t* p = fileRow(y);
      for (size_t x = 0; x < w && !useAlpha; ++x) useAlpha = alpha(GetU32LE(p + 4 * x)) != 0;
    }

  TWinGBitmap picture;
  picture.SetSize(static_cast<int>(width), static_cast<int>(height));
  const TWinGPalette& game = GamePalette();
  for (int i = 0; i < kColorTableEntries; ++i) picture.SetColorEntry(i, game.GetColor(i) & 0xFFFFFFu);
  TNearestGameColor nearest;
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* p = fileRow(y);
    uint8_t* out = picture.ScanLine(static_cast<int>(y));
    if (bitCount == 24) {
      for (size_t x = 0; x < w; ++x, p += 3) out[x] = nearest(p[2], p[1], p[0]);
      continue;
    }
    for (size_t x = 0; x < w; ++x, p += 4) {
      const uint32_t px = GetU32LE(p);
      out[x] = useAlpha && alpha(px) == 0 ? kTransparentIndex : nearest(red(px), green(px), blue(px));
    }
  }
  bitmap.Assign(picture);
}

}  // namespace

void TBMPFormat::Import(TStream& stream, TBitmapFiler& filer) {
  std::vector<uint8_t> file = ReadRemainingBytes(stream);
  if (IsTrueColor(file)) {
    ReadTrueColor(file, filer.Bitmap());
    return;
  }
  TMemoryStream in(std::move(file));
  filer.Bitmap().LoadFromStream(in);
}

void TBMPFormat::Export(TStream& stream, TBitmapFiler& filer) { filer.Bitmap().SaveToStream(stream); }
