#include "exchange/BmpFormat.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ExchangeTestUtil.h"
#include "core/Endian.h"
#include "raster/ColorTables.h"

using namespace exchange_test;

namespace {

struct TPixel {
  uint8_t R, G, B, A;
};

// A true-colour BMP of the pixels (row 0 at the top): 24 bits, 32 bits
// plain, or 32 bits with channel masks in a header of `infoSize` bytes.
std::vector<uint8_t> MakeBmp(int w, int h, const std::vector<TPixel>& px, int bits, uint32_t compression,
                             uint32_t infoSize, bool topDown, const uint32_t masks[4] = nullptr) {
  const size_t stride = (size_t(w) * (bits / 8) + 3) & ~size_t{3};
  const bool masksAfter = compression == 3 && infoSize == 40;
  const uint32_t offset = 14 + infoSize + (masksAfter ? 12 : 0);
  TByteBuilder b;
  b.Text("BM").U32LE(uint32_t(offset + stride * h)).U32LE(0).U32LE(offset);
  b.U32LE(infoSize).U32LE(uint32_t(w)).U32LE(uint32_t(topDown ? -h : h)).U16LE(1).U16LE(uint16_t(bits));
  b.U32LE(compression).U32LE(0).U32LE(2835).U32LE(2835).U32LE(0).U32LE(0);
  if (infoSize > 40 || masksAfter)
    for (int i = 0; i < (masksAfter ? 3 : 4); ++i) b.U32LE(masks ? masks[i] : 0);
  while (b.Size() < offset) b.U8(0);
  for (int row = 0; row < h; ++row) {
    const int y = topDown ? row : h - 1 - row;
    const size_t start = b.Size();
    for (int x = 0; x < w; ++x) {
      const TPixel& p = px[size_t(y * w + x)];
      if (bits == 24) {
        b.U8(p.B).U8(p.G).U8(p.R);
      } else if (!masks) {
        b.U8(p.B).U8(p.G).U8(p.R).U8(p.A);
      } else {
        // Each channel narrowed to its mask's width, then placed there.
        uint32_t v = 0;
        const uint8_t c[4] = {p.R, p.G, p.B, p.A};
        for (int i = 0; i < 4; ++i) {
          if (!masks[i]) continue;
          const int shift = __builtin_ctz(masks[i]), width = __builtin_popcount(masks[i]);
          v |= (uint32_t(c[i]) >> (8 - width)) << shift;
        }
        b.U32LE(v);
      }
    }
    while (b.Size() - start < stride) b.U8(0);
  }
  return b.B;
}

std::vector<TPixel> RandomPixels(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<TPixel> v(n);
  for (auto& p : v) p = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng() % 3 == 0 ? 0 : 255)};
  return v;
}

void Import(const std::vector<uint8_t>& data, TBitmapFiler& filer) {
  TBMPFormat format;
  TMemoryStream stream(data);
  format.Import(stream, filer);
}

}  // namespace

TEST(BmpImport, TrueColourPicturesGoToTheNearestGameColour) {
  const uint32_t rgba8888[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
  const uint32_t abgr8888[4] = {0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0xFF000000u};
  const uint32_t rgb555[4] = {0x7C00u, 0x03E0u, 0x001Fu, 0};
  struct TCase {
    const char* Name;
    int Bits;
    uint32_t Compression;
    uint32_t InfoSize;
    bool TopDown;
    const uint32_t* Masks;
    bool UsesAlpha;
    int Narrow;  // bits of each colour channel that survive the masks
  };
  const TCase cases[] = {
      {"24 bits, bottom up, odd width pads rows", 24, 0, 40, false, nullptr, false, 8},
      {"24 bits, top down", 24, 0, 40, true, nullptr, false, 8},
      {"32 bits without masks: the fourth byte means nothing", 32, 0, 40, false, nullptr, false, 8},
      {"32 bits, masks after a 40-byte header", 32, 3, 40, false, abgr8888, false, 8},
      {"32 bits, version 5 header with alpha", 32, 3, 124, true, rgba8888, true, 8},
      {"32 bits, version 4 header, narrow masks", 32, 3, 108, false, rgb555, false, 5},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const int w = 7, h = 5;
    std::vector<TPixel> px = RandomPixels(size_t(w * h), unsigned(c.Bits + c.InfoSize));
    TBitmapFiler filer;
    Import(MakeBmp(w, h, px, c.Bits, c.Compression, c.InfoSize, c.TopDown, c.Masks), filer);
    const TWinGBitmap& b = filer.Bitmap();
    ASSERT_EQ(b.GetWidth(), w);
    ASSERT_EQ(b.GetHeight(), h);
    EXPECT_EQ(b.GetColorEntry(17) & 0xFFFFFF, GamePalette().GetColor(17) & 0xFFFFFF);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const TPixel& p = px[size_t(y * w + x)];
        // Channels narrower than 8 bits widen back over the whole range.
        auto widen = [&](uint8_t v) {
          const int kept = v >> (8 - c.Narrow);
          return kept * 255 / ((1 << c.Narrow) - 1);
        };
        const int expected = c.UsesAlpha && p.A == 0 ? 255 : NearestGameIndex(widen(p.R), widen(p.G), widen(p.B));
        ASSERT_EQ(b.ScanLine(y)[x], expected) << x << "," << y;
      }
  }
}

TEST(BmpImport, AnAlphaChannelLeftEmptyMeansOpaque) {
  const uint32_t masks[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
  std::vector<TPixel> px(6, TPixel{250, 10, 10, 0});
  TBitmapFiler filer;
  Import(MakeBmp(3, 2, px, 32, 3, 124, false, masks), filer);
  EXPECT_EQ(filer.Bitmap().ScanLine(1)[2], NearestGameIndex(250, 10, 10));
}

TEST(BmpImport, DamagedTrueColourPicturesAreRefused) {
  const std::vector<TPixel> px = RandomPixels(12, 3);
  const std::vector<uint8_t> good = MakeBmp(4, 3, px, 24, 0, 40, false);
  auto withField = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> b = good;
    PutU32LE(b.data() + at, value);
    return b;
  };
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    const char* Message;
  };
  const TCase cases[] = {
      {"cut short", std::vector<uint8_t>(good.begin(), good.end() - 5), "End of file encountered while reading bitmap bits"},
      {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 30), "End of file encountered while reading bitmap info header"},
      {"too wide", withField(18, 40000), "40000 x 3 pixels is outside 1 x 1 to 32768 x 1024"},
      {"too tall, top down", withField(22, uint32_t(-5000)), "4 x 5000 pixels is outside"},
      {"the tallest negative height", withField(22, 0x80000000u), "4 x 2147483648 pixels is outside"},
      {"no width", withField(18, 0), "0 x 3 pixels is outside"},
      {"pixels past the end", withField(10, 0xFFFFFFF0u), "End of file encountered while reading bitmap bits"},
      {"run-length compressed", withField(30, 1), "bitmap must be uncompressed"},
      {"bit fields in 24 bits", withField(30, 3), "bit fields need 32 bits per pixel"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TBitmapFiler filer;
    filer.Bitmap().SetSize(2, 2);
    try {
      Import(c.Bytes, filer);
      ADD_FAILURE() << "accepted";
    } catch (const EBitmapFormatError& e) {
      EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
    }
    EXPECT_EQ(filer.Bitmap().GetWidth(), 2);
  }
  // 8-bit pictures still go through the bitmap's own reader.
  TBitmapFiler filer;
  filer.Bitmap().SetSize(5, 2);
  filer.Bitmap().ScanLine(1)[4] = 9;
  TMemoryStream eight;
  filer.Bitmap().SaveToStream(eight);
  TBitmapFiler back;
  Import(eight.Bytes(), back);
  EXPECT_EQ(back.Bitmap().ScanLine(1)[4], 9);
}
