#include "exchange/PngFormat.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ExchangeTestUtil.h"
#include "raster/ColorTables.h"

using namespace exchange_test;

namespace {

// A picture for libpng to write: samples row by row, channel by channel,
// at the picture's own bit depth.
struct TPngSpec {
  int Width = 0;
  int Height = 0;
  int ColorType = PNG_COLOR_TYPE_RGB;
  int BitDepth = 8;
  bool Interlaced = false;
  std::vector<uint16_t> Samples;
  std::vector<png_color> Palette;
  std::vector<uint8_t> PaletteAlpha;
  std::optional<png_color_16> TransparentColor;

  int Channels() const {
    switch (ColorType) {
      case PNG_COLOR_TYPE_RGB:
        return 3;
      case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
      case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
      default:
        return 1;
    }
  }
};

void Append(png_structp png, png_bytep data, size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

// The rows packed as the file stores them (most significant bits first,
// 16-bit samples big-endian).
std::vector<std::vector<uint8_t>> PackRows(const TPngSpec& s) {
  std::vector<std::vector<uint8_t>> rows;
  const size_t perRow = static_cast<size_t>(s.Width * s.Channels());
  for (int y = 0; y < s.Height; ++y) {
    std::vector<uint8_t> row((perRow * s.BitDepth + 7) / 8, 0);
    for (size_t i = 0; i < perRow; ++i) {
      const uint16_t v = s.Samples[y * perRow + i];
      if (s.BitDepth == 16) {
        row[2 * i] = uint8_t(v >> 8);
        row[2 * i + 1] = uint8_t(v);
      } else {
        const size_t bit = i * s.BitDepth;
        row[bit / 8] |= uint8_t(v << (8 - s.BitDepth - bit % 8));
      }
    }
    rows.push_back(row);
  }
  return rows;
}

std::vector<uint8_t> MakePng(const TPngSpec& s) {
  std::vector<uint8_t> out;
  std::vector<std::vector<uint8_t>> rows = PackRows(s);
  std::vector<png_bytep> pointers;
  for (auto& r : rows) pointers.push_back(r.data());
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng refused the test picture";
    return {};
  }
  png_set_write_fn(png, &out, Append, nullptr);
  png_set_IHDR(png, info, png_uint_32(s.Width), png_uint_32(s.Height), s.BitDepth, s.ColorType,
               s.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!s.Palette.empty()) png_set_PLTE(png, info, s.Palette.data(), int(s.Palette.size()));
  if (!s.PaletteAlpha.empty())
    png_set_tRNS(png, info, s.PaletteAlpha.data(), int(s.PaletteAlpha.size()), nullptr);
  if (s.TransparentColor) png_set_tRNS(png, info, nullptr, 0, &*s.TransparentColor);
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// What libpng reads back from a palette PNG.
struct TIndexedFile {
  int Width = 0, Height = 0, ColorType = -1, BitDepth = 0;
  std::vector<png_color> Palette;
  std::vector<uint8_t> Alpha;
  std::vector<uint8_t> Pixels;
};

struct TReadSource {
  const std::vector<uint8_t>* Data;
  size_t Pos = 0;
};

void Take(png_structp png, png_bytep out, size_t n) {
  auto* src = static_cast<TReadSource*>(png_get_io_ptr(png));
  if (n > src->Data->size() - src->Pos) png_error(png, "short");
  std::memcpy(out, src->Data->data() + src->Pos, n);
  src->Pos += n;
}

TIndexedFile ReadBack(const std::vector<uint8_t>& bytes, bool rgba) {
  TIndexedFile f;
  TReadSource src{&bytes};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    ADD_FAILURE() << "libpng could not read the written picture";
    return {};
  }
  png_set_read_fn(png, &src, Take);
  png_read_info(png, info);
  f.Width = int(png_get_image_width(png, info));
  f.Height = int(png_get_image_height(png, info));
  f.ColorType = png_get_color_type(png, info);
  f.BitDepth = png_get_bit_depth(png, info);
  png_colorp colors;
  int n = 0;
  if (png_get_PLTE(png, info, &colors, &n)) f.Palette.assign(colors, colors + n);
  png_bytep alpha;
  int na = 0;
  if (png_get_valid(png, info, PNG_INFO_tRNS) && png_get_tRNS(png, info, &alpha, &na, nullptr) && alpha)
    f.Alpha.assign(alpha, alpha + na);
  const size_t rowBytes = png_get_rowbytes(png, info);
  EXPECT_EQ(rowBytes, size_t(f.Width) * (rgba ? 4 : 1));
  f.Pixels.resize(rowBytes * size_t(f.Height));
  for (int y = 0; y < f.Height; ++y) png_read_row(png, f.Pixels.data() + rowBytes * size_t(y), nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return f;
}

png_color GameColor(int i) {
  const TRGBQuad q = GamePalette().GetColor(i);
  return png_color{QuadRed(q), QuadGreen(q), QuadBlue(q)};
}

std::vector<uint16_t> RandomSamples(size_t n, int depth, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint16_t> v(n);
  // 16-bit samples are multiples of 257 so that they scale to 8 bits exactly.
  for (auto& s : v) s = depth == 16 ? uint16_t((rng() & 255) * 257) : uint16_t(rng() & ((1u << depth) - 1));
  return v;
}

void ReadInto(const std::vector<uint8_t>& bytes, TWinGBitmap& b) { ReadPng(bytes.data(), bytes.size(), b); }

std::string ReadError(const std::vector<uint8_t>& bytes) {
  TWinGBitmap b;
  b.SetSize(3, 2);
  b.ScanLine(1)[2] = 77;
  const std::string error = ErrorOf([&] { ReadInto(bytes, b); });
  // A refused file leaves the picture alone.
  EXPECT_EQ(b.GetWidth(), 3);
  EXPECT_EQ(b.ScanLine(1)[2], 77);
  return error;
}

void PutBE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

// A chunk with its length and check sum.
void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  // Sized once: g++ 12 misjudges the bounds of small vectors grown a byte at a time.
  std::vector<uint8_t> c(12 + data.size());
  PutBE32(c.data(), uint32_t(data.size()));
  std::memcpy(c.data() + 4, type, 4);
  std::copy(data.begin(), data.end(), c.begin() + 8);
  PutBE32(c.data() + 8 + data.size(), uint32_t(crc32(crc32(0, nullptr, 0), c.data() + 4, uInt(4 + data.size()))));
  out.insert(out.end(), c.begin(), c.end());
}

std::vector<uint8_t> HeaderOnly(uint32_t w, uint32_t h, int depth, int colorType, size_t idatBytes) {
  std::vector<uint8_t> out = {137, 80, 78, 71, 13, 10, 26, 10};
  std::vector<uint8_t> ihdr(13, 0);
  PutBE32(ihdr.data(), w);
  PutBE32(ihdr.data() + 4, h);
  ihdr[8] = uint8_t(depth);
  ihdr[9] = uint8_t(colorType);
  PutChunk(out, "IHDR", ihdr);
  if (idatBytes) PutChunk(out, "IDAT", std::vector<uint8_t>(idatBytes, 0));
  PutChunk(out, "IEND", {});
  return out;
}

}  // namespace

TEST(PngRead, EveryKindOfPictureGoesToTheNearestGameColour) {
  // Grey, grey with alpha, RGB and RGBA at each depth the format allows,
  // with and without transparency: the reader expands every kind to
  // RGBA and takes the nearest game colour, or 255 where alpha is 0.
  struct TCase {
    const char* Name;
    int ColorType;
    int Depth;
    bool Interlaced;
    std::optional<png_color_16> Transparent;
  };
  const png_color_16 greyKey{0, 0, 0, 0, 3};    // grey sample 3 is transparent
  const png_color_16 rgbKey{0, 7, 7, 7, 0};     // never drawn at random below: a fixed pixel uses it
  const TCase cases[] = {
      {"grey 1", PNG_COLOR_TYPE_GRAY, 1, false, {}},
      {"grey 2", PNG_COLOR_TYPE_GRAY, 2, false, {}},
      {"grey 4 with a transparent sample", PNG_COLOR_TYPE_GRAY, 4, false, greyKey},
      {"grey 8", PNG_COLOR_TYPE_GRAY, 8, false, {}},
      {"grey 16", PNG_COLOR_TYPE_GRAY, 16, false, {}},
      {"grey and alpha 8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {}},
      {"grey and alpha 16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, {}},
      {"RGB 8", PNG_COLOR_TYPE_RGB, 8, false, {}},
      {"RGB 8 with a transparent colour", PNG_COLOR_TYPE_RGB, 8, false, rgbKey},
      {"RGB 16", PNG_COLOR_TYPE_RGB, 16, false, {}},
      {"RGB 8 interlaced", PNG_COLOR_TYPE_RGB, 8, true, {}},
      {"RGBA 8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}},
      {"RGBA 16 interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 16, true, {}},
  };
  unsigned seed = 1;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TPngSpec s;
    s.Width = 13, s.Height = 7, s.ColorType = c.ColorType, s.BitDepth = c.Depth, s.Interlaced = c.Interlaced;
    s.TransparentColor = c.Transparent;
    const int channels = s.Channels();
    s.Samples = RandomSamples(size_t(s.Width * s.Height * channels), c.Depth, seed++);
    const bool hasAlpha = c.ColorType & PNG_COLOR_MASK_ALPHA;
    // Some fully transparent pixels in the pictures that can have them.
    if (hasAlpha)
      for (size_t p = 0; p < s.Samples.size() / channels; p += 5) s.Samples[p * channels + channels - 1] = 0;
    if (c.Transparent && channels == 3) s.Samples[0] = s.Samples[1] = s.Samples[2] = 7;

    TWinGBitmap b;
    ReadInto(MakePng(s), b);
    ASSERT_EQ(b.GetWidth(), 13);
    ASSERT_EQ(b.GetHeight(), 7);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(b.GetColorEntry(i) & 0xFFFFFF, GamePalette().GetColor(i) & 0xFFFFFF);
    int transparent = 0;
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x) {
        const uint16_t* px = &s.Samples[size_t((y * 13 + x) * channels)];
        auto eight = [&](uint16_t v) { return c.Depth == 16 ? v / 257 : v * 255 / ((1 << c.Depth) - 1); };
        const int r = eight(px[0]);
        const int g = channels >= 3 ? eight(px[1]) : r;
        const int bl = channels >= 3 ? eight(px[2]) : r;
        bool clear = hasAlpha && px[channels - 1] == 0;
        if (c.Transparent && channels == 1) clear = px[0] == c.Transparent->gray;
        if (c.Transparent && channels == 3)
          clear = px[0] == c.Transparent->red && px[1] == c.Transparent->green && px[2] == c.Transparent->blue;
        transparent += clear;
        ASSERT_EQ(b.ScanLine(y)[x], clear ? 255 : NearestGameIndex(r, g, bl)) << x << "," << y;
      }
    if (hasAlpha || c.Transparent) {
      EXPECT_GT(transparent, 0);
    }
  }
}

TEST(PngRead, PalettePicturesKeepGameIndicesAndMapOthers) {
  struct TCase {
    const char* Name;
    int Depth;
    std::vector<png_color> Palette;
    std::vector<uint8_t> Alpha;
    bool KeepsIndices;
  };
  std::vector<png_color> game, first16, almost, mine;
  for (int i = 0; i < 256; ++i) game.push_back(GameColor(i));
  first16.assign(game.begin(), game.begin() + 16);
  almost = game;
  almost[200].red ^= 1;
  for (int i = 0; i < 16; ++i) mine.push_back(png_color{uint8_t(i * 16), uint8_t(255 - i * 9), uint8_t(i * 3)});
  const TCase cases[] = {
      // The game palette has equal colours at several indices; they stay apart.
      {"the game palette", 8, game, {}, true},
      {"the game palette, transparency ignored", 8, game, {255, 0, 255}, true},
      {"the game palette's first 16 colours in 4 bits", 4, first16, {}, true},
      {"the game palette with one colour changed", 8, almost, {}, false},
      {"a palette of its own with a transparent entry", 4, mine, {255, 255, 0, 128}, false},
      {"a palette of its own in 2 bits", 2, {mine.begin(), mine.begin() + 4}, {}, false},
  };
  unsigned seed = 40;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TPngSpec s;
    s.Width = 17, s.Height = 5, s.ColorType = PNG_COLOR_TYPE_PALETTE, s.BitDepth = c.Depth;
    s.Palette = c.Palette;
    s.PaletteAlpha = c.Alpha;
    s.Samples = RandomSamples(size_t(17 * 5), c.Depth, seed++);
    for (auto& v : s.Samples) v = uint16_t(v % c.Palette.size());
    s.Samples[0] = 1;  // transparent in the second case
    TWinGBitmap b;
    ReadInto(MakePng(s), b);
    ASSERT_EQ(b.GetWidth(), 17);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 17; ++x) {
        const uint16_t v = s.Samples[size_t(y * 17 + x)];
        const png_color col = c.Palette[v];
        const bool clear = v < c.Alpha.size() && c.Alpha[v] == 0;
        const int expected = c.KeepsIndices ? v : clear ? 255 : NearestGameIndex(col.red, col.green, col.blue);
        ASSERT_EQ(b.ScanLine(y)[x], expected) << x << "," << y;
      }
  }
}

TEST(PngRead, HostileFilesAreRefusedWithAClearMessage) {
  std::vector<uint8_t> good;
  {
    TPngSpec s;
    s.Width = 40, s.Height = 30, s.Samples = RandomSamples(40 * 30 * 3, 8, 9);
    good = MakePng(s);
  }
  std::vector<uint8_t> truncated(good.begin(), good.begin() + long(good.size() / 2));
  std::vector<uint8_t> badCrc = good;
  badCrc[badCrc.size() - 20] ^= 0x55;  // inside the image data
  std::vector<uint8_t> headerLast = {137, 80, 78, 71, 13, 10, 26, 10};
  PutChunk(headerLast, "tEXt", {'a', 0, 'b'});
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    const char* Message;
  };
  const TCase cases[] = {
      {"empty", {}, "Not a valid PNG file"},
      {"another format", Bytes("GIF89a and more bytes"), "Not a valid PNG file"},
      {"30000 x 30000", HeaderOnly(30000, 30000, 8, PNG_COLOR_TYPE_RGB, 1000),
       "PNG picture is 30000 x 30000 pixels; pictures of 1 x 1 to 32768 x 1024 can be loaded"},
      {"too wide", HeaderOnly(32769, 1, 8, PNG_COLOR_TYPE_PALETTE, 1000), "PNG picture is 32769 x 1 pixels"},
      {"no pixels", HeaderOnly(0, 10, 8, PNG_COLOR_TYPE_GRAY, 10), "PNG picture is 0 x 10 pixels"},
      // Within the limits, but 128 MiB of pixels cannot come out of 100 bytes.
      {"a bomb that cannot be", HeaderOnly(32768, 1024, 8, PNG_COLOR_TYPE_RGB_ALPHA, 100),
       "PNG file holds too little image data for its 32768 x 1024 pixels"},
      {"no header chunk first", headerLast, "it does not start with its header"},
      {"a depth the colour type cannot have", HeaderOnly(4, 4, 4, PNG_COLOR_TYPE_RGB, 100),
       "colour type 2 with 4 bits per sample"},
      {"cut in half", truncated, "PNG file is damaged: "},
      {"a damaged check sum", badCrc, "PNG file is damaged: "},
      {"zero-filled image data", HeaderOnly(4, 4, 8, PNG_COLOR_TYPE_GRAY, 64), "PNG file is damaged: "},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string error = ReadError(c.Bytes);
    EXPECT_NE(error.find(c.Message), std::string::npos) << error;
  }
  TWinGBitmap b;
  ReadInto(good, b);
  EXPECT_EQ(b.GetWidth(), 40);
}

TEST(PngWrite, PalettePicturesCarryTheirColourTableAndIndices) {
  TWinGBitmap b;
  b.SetSize(19, 6);
  for (int i = 0; i < 256; ++i) b.SetColorEntry(i, MakeRGBQuad(uint8_t(i), uint8_t(i * 3), uint8_t(255 - i)));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 19; ++x) b.ScanLine(y)[x] = uint8_t(x * 31 + y * 7 + (x == y ? 200 : 0));
  TMemoryStream out;
  WritePng(out, b);
  const TIndexedFile f = ReadBack(out.Bytes(), false);
  EXPECT_EQ(f.ColorType, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(f.BitDepth, 8);
  ASSERT_EQ(f.Palette.size(), 256u);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(f.Palette[i].red, i);
    EXPECT_EQ(f.Palette[i].green, uint8_t(i * 3));
    EXPECT_EQ(f.Palette[i].blue, 255 - i);
  }
  EXPECT_TRUE(f.Alpha.empty());
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 19; ++x) ASSERT_EQ(f.Pixels[size_t(y * 19 + x)], b.ScanLine(y)[x]);

  // One index written see-through.
  TPngIndexed p{19, 6, b.ScanLine(0), b.ScanLine(1) - b.ScanLine(0), b.ColorTable(), 5};
  TMemoryStream clear;
  WritePng(clear, p);
  const TIndexedFile g = ReadBack(clear.Bytes(), false);
  ASSERT_EQ(g.Alpha.size(), 6u);
  EXPECT_EQ(g.Alpha[5], 0);
  EXPECT_EQ(g.Alpha[4], 255);
}

TEST(PngWrite, SkinsGoOutInTheGamePaletteAndComeBackIndexForIndex) {
  TTempDir dir;
  TWinGBitmap skin;
  skin.SetSize(256, 3);
  for (int x = 0; x < 256; ++x) skin.ScanLine(0)[x] = skin.ScanLine(2)[255 - x] = uint8_t(x);
  // Whatever table the bitmap carries, a skin is written in game colours.
  for (int i = 0; i < 256; ++i) skin.SetColorEntry(i, 0);
  SaveSkinPng(dir.File("skin.png"), skin);
  const std::vector<uint8_t> bytes = ReadFile(dir.File("skin.png"));
  const TIndexedFile f = ReadBack(bytes, false);
  ASSERT_EQ(f.Palette.size(), 256u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(f.Palette[i].red, GameColor(i).red) << i;

  TWinGBitmap back;
  ReadInto(bytes, back);
  for (int y = 0; y < 3; ++y)
    EXPECT_EQ(std::memcmp(back.ScanLine(y), skin.ScanLine(y), 256), 0) << y;
}

TEST(PngWrite, TrueColourPicturesAndEmptyOnes) {
  std::vector<uint8_t> rgba(5 * 4 * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 13);
  TMemoryStream out;
  WritePng(out, TPngRgba{5, 4, rgba.data(), 5 * 4});
  const TIndexedFile f = ReadBack(out.Bytes(), true);
  EXPECT_EQ(f.ColorType, PNG_COLOR_TYPE_RGB_ALPHA);
  EXPECT_EQ(f.Pixels, rgba);

  TMemoryStream none;
  EXPECT_EQ(ErrorOf([&] { WritePng(none, TPngRgba{0, 4, rgba.data(), 0}); }),
            "Cannot write an empty 0 x 4 picture as PNG");
  TWinGBitmap empty;
  EXPECT_NE(ErrorOf([&] { WritePng(none, empty); }), "");
  EXPECT_EQ(none.Size(), 0);
}
