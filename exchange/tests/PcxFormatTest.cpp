#include "exchange/PcxFormat.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ExchangeTestUtil.h"
#include "core/Endian.h"
#include "raster/ColorTables.h"

using namespace exchange_test;

namespace {

struct TPcx {
  int XMin = 0, YMin = 0, XMax = 0, YMax = 0;
  int BitsPerPixel = 8;
  int Planes = 1;
  int BytesPerLine = 0;
  uint8_t Manufacturer = 10;
  std::vector<uint8_t> HeaderPalette;  // up to 48 bytes
  std::vector<uint8_t> Data;           // encoded picture
  std::vector<uint8_t> Palette;        // 768 bytes for 8-bit pictures, written after a 12

  std::vector<uint8_t> Bytes() const {
    // Sized once: g++ 12 misjudges the bounds of a vector grown from 128 bytes.
    const size_t paletteAt = 128 + Data.size();
    std::vector<uint8_t> b(paletteAt + (Palette.empty() ? 0 : 1 + Palette.size()), 0);
    b[0] = Manufacturer;
    b[1] = 5;
    b[2] = 1;
    b[3] = uint8_t(BitsPerPixel);
    PutU16LE(b.data() + 4, uint16_t(XMin));
    PutU16LE(b.data() + 6, uint16_t(YMin));
    PutU16LE(b.data() + 8, uint16_t(XMax));
    PutU16LE(b.data() + 10, uint16_t(YMax));
    std::copy(HeaderPalette.begin(), HeaderPalette.end(), b.begin() + 16);
    b[65] = uint8_t(Planes);
    PutU16LE(b.data() + 66, uint16_t(BytesPerLine));
    std::copy(Data.begin(), Data.end(), b.begin() + 128);
    if (!Palette.empty()) {
      b[paletteAt] = 12;
      std::copy(Palette.begin(), Palette.end(), b.begin() + paletteAt + 1);
    }
    return b;
  }
};

// Run-length encodes one line the simple way: runs where they pay, and
// every byte of 0xC0 or more as a run of one.
void Encode(const std::vector<uint8_t>& line, std::vector<uint8_t>& out) {
  for (size_t i = 0; i < line.size();) {
    size_t run = 1;
    while (i + run < line.size() && line[i + run] == line[i] && run < 63) ++run;
    if (run > 1 || line[i] >= 0xC0) {
      out.push_back(uint8_t(0xC0 | run));
      out.push_back(line[i]);
    } else {
      out.push_back(line[i]);
    }
    i += run;
  }
}

std::vector<uint8_t> GreyPalette() {
  std::vector<uint8_t> p(768);
  for (int i = 0; i < 256; ++i) p[size_t(i) * 3] = uint8_t(i), p[size_t(i) * 3 + 1] = uint8_t(255 - i), p[size_t(i) * 3 + 2] = 9;
  return p;
}

void Import(const std::vector<uint8_t>& data, TBitmapFiler& filer) {
  TPCXFormat format;
  TMemoryStream stream(data);
  format.Import(stream, filer);
}

std::string ImportError(const std::vector<uint8_t>& data) {
  TBitmapFiler filer;
  return ErrorOf([&] { Import(data, filer); });
}

uint8_t Pixel(TBitmapFiler& f, int x, int y) { return f.Bitmap().ScanLine(y)[x]; }

TRGBQuad Entry(TBitmapFiler& f, int i) { return f.Bitmap().GetColorEntry(i) & 0xFFFFFF; }

}  // namespace

TEST(PcxImport, EightBitPictureWithItsPalette) {
  TPcx pcx;
  pcx.XMax = 319, pcx.YMax = 199, pcx.BytesPerLine = 320;
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < 200; ++y) {
    std::vector<uint8_t> line(320);
    for (int x = 0; x < 320; ++x) line[size_t(x)] = uint8_t(x < 100 ? y : (x * 3 + y) & 0xFF);
    Encode(line, pcx.Data);
    rows.push_back(line);
  }
  pcx.Palette = GreyPalette();
  TBitmapFiler filer;
  Import(pcx.Bytes(), filer);
  ASSERT_EQ(filer.Bitmap().GetWidth(), 320);
  ASSERT_EQ(filer.Bitmap().GetHeight(), 200);
  for (int y = 0; y < 200; ++y) ASSERT_EQ(std::memcmp(filer.Bitmap().ScanLine(y), rows[size_t(y)].data(), 320), 0) << y;
  for (int i = 0; i < 256; ++i) EXPECT_EQ(Entry(filer, i), MakeRGBQuad(uint8_t(i), uint8_t(255 - i), 9)) << i;
}

TEST(PcxImport, RunsAndTheirEdges) {
  TPcx pcx;
  pcx.XMax = 5, pcx.YMax = 1, pcx.BytesPerLine = 6;
  // Row 0: C1 05 = one 5; C0 C0 would store nothing, C1 C0 stores 0xC0; a
  // run of 9 sevens is cut at the line's end and its excess dropped.
  // Row 1: C0 (empty run) 2A, then 3 runs.
  pcx.Data = {0xC1, 0x05, 0xC0, 0xC0, 0xC1, 0xC0, 0xC9, 0x07,
              0xC0, 0x2A, 0x01, 0x02, 0xC3, 0x03, 0xC1, 0xFF};
  pcx.Palette = GreyPalette();
  TBitmapFiler filer;
  Import(pcx.Bytes(), filer);
  const std::vector<uint8_t> row0{0x05, 0xC0, 7, 7, 7, 7};
  const std::vector<uint8_t> row1{0x01, 0x02, 3, 3, 3, 0xFF};
  EXPECT_EQ(std::vector<uint8_t>(filer.Bitmap().ScanLine(0), filer.Bitmap().ScanLine(0) + 6), row0);
  EXPECT_EQ(std::vector<uint8_t>(filer.Bitmap().ScanLine(1), filer.Bitmap().ScanLine(1) + 6), row1);
}

TEST(PcxImport, SizeFromAbsoluteDifferences) {
  TPcx pcx;
  pcx.XMin = 10, pcx.XMax = 9, pcx.YMin = 5, pcx.YMax = 7, pcx.BytesPerLine = 2;
  pcx.Data = {1, 2, 3, 4, 5, 6};
  pcx.Palette = GreyPalette();
  TBitmapFiler filer;
  Import(pcx.Bytes(), filer);
  EXPECT_EQ(filer.Bitmap().GetWidth(), 2);
  EXPECT_EQ(filer.Bitmap().GetHeight(), 3);
  EXPECT_EQ(Pixel(filer, 1, 2), 6);
}

TEST(PcxImport, DataThatEndsEarlyLeavesIndexZero) {
  TPcx pcx;
  pcx.XMax = 3, pcx.YMax = 2, pcx.BytesPerLine = 4;
  pcx.Data = {9, 9, 9, 9, 8, 0xC5};  // the last run has lost its value
  pcx.Palette = GreyPalette();
  TBitmapFiler filer;
  filer.Bitmap().SetSize(4, 3);
  for (int y = 0; y < 3; ++y) std::memset(filer.Bitmap().ScanLine(y), 0x55, 4);
  Import(pcx.Bytes(), filer);
  EXPECT_EQ(Pixel(filer, 3, 0), 9);
  EXPECT_EQ(Pixel(filer, 0, 1), 8);
  // The palette's marker byte is not taken for picture data.
  EXPECT_EQ(Pixel(filer, 1, 1), 0);
  EXPECT_EQ(Pixel(filer, 3, 2), 0);
}

TEST(PcxImport, ShortLinesLeaveTheRestOfTheRowZero) {
  // Bytes per line too small for the width.
  TPcx pcx;
  pcx.XMax = 5, pcx.YMax = 0, pcx.BytesPerLine = 2;
  pcx.Data = {4, 5};
  pcx.Palette = GreyPalette();
  TBitmapFiler filer;
  Import(pcx.Bytes(), filer);
  const std::vector<uint8_t> row{4, 5, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(filer.Bitmap().ScanLine(0), filer.Bitmap().ScanLine(0) + 6), row);
}

TEST(PcxImport, OneBitPictureIsBlackAndWhiteIndices) {
  TPcx pcx;
  pcx.BitsPerPixel = 1, pcx.XMax = 9, pcx.YMax = 0, pcx.BytesPerLine = 2;
  pcx.Data = {0xA5, 0xC0 | 1, 0xC0};  // 1010 0101, 11 (then padding)
  TBitmapFiler filer;
  filer.Bitmap().SetColorEntry(2, MakeRGBQuad(1, 2, 3));
  Import(pcx.Bytes(), filer);
  const std::vector<uint8_t> row{1, 0, 1, 0, 0, 1, 0, 1, 1, 1};
  EXPECT_EQ(std::vector<uint8_t>(filer.Bitmap().ScanLine(0), filer.Bitmap().ScanLine(0) + 10), row);
  EXPECT_EQ(Entry(filer, 0), MakeRGBQuad(0, 0, 0));
  EXPECT_EQ(Entry(filer, 1), MakeRGBQuad(255, 255, 255));
  EXPECT_EQ(Entry(filer, 2), MakeRGBQuad(1, 2, 3));  // untouched
}

TEST(PcxImport, SixteenColoursInFourPlanes) {
  TPcx pcx;
  pcx.BitsPerPixel = 1, pcx.Planes = 4, pcx.XMax = 7, pcx.YMax = 0, pcx.BytesPerLine = 1;
  // Pixel x gets colour x + 8 * (x odd): plane p holds bit p of each index.
  uint8_t planes[4] = {};
  const uint8_t want[8] = {0, 9, 2, 11, 4, 13, 6, 15};
  for (int x = 0; x < 8; ++x)
    for (int p = 0; p < 4; ++p)
      if (want[x] & (1 << p)) planes[p] |= uint8_t(0x80 >> x);
  for (uint8_t b : planes) {
    if (b >= 0xC0) pcx.Data.push_back(0xC1);
    pcx.Data.push_back(b);
  }
  for (int i = 0; i < 16; ++i) pcx.HeaderPalette.insert(pcx.HeaderPalette.end(), {uint8_t(i * 16), uint8_t(i), 7});
  TBitmapFiler filer;
  Import(pcx.Bytes(), filer);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(Pixel(filer, x, 0), want[x]) << x;
  EXPECT_EQ(Entry(filer, 11), MakeRGBQuad(176, 11, 7));
}

TEST(PcxImport, PackedFourBitPixels) {
  TPcx pcx;
  pcx.BitsPerPixel = 4, pcx.XMax = 2, pcx.YMax = 0, pcx.BytesPerLine = 2;
  pcx.Data = {0x3A, 0x70};
  TBitmapFiler filer;
  Import(pcx.Bytes(), filer);
  EXPECT_EQ(Pixel(filer, 0, 0), 3);
  EXPECT_EQ(Pixel(filer, 1, 0), 10);
  EXPECT_EQ(Pixel(filer, 2, 0), 7);
}

TEST(PcxImport, TrueColourGoesToTheNearestGameColour) {
  const TWinGPalette& game = GamePalette();
  TPcx pcx;
  pcx.Planes = 3, pcx.XMax = 3, pcx.YMax = 0, pcx.BytesPerLine = 4;
  // Four game colours exactly, red plane first; the colours are written as
  // runs of one so no byte reads as a run.
  const int indices[4] = {0, 15, 100, 254};
  for (int p = 0; p < 3; ++p)
    for (int idx : indices) {
      const TRGBQuad q = game.GetColor(idx);
      const uint8_t v = p == 0 ? QuadRed(q) : p == 1 ? QuadGreen(q) : QuadBlue(q);
      pcx.Data.push_back(0xC1);
      pcx.Data.push_back(v);
    }
  TBitmapFiler filer;
  Import(pcx.Bytes(), filer);
  for (int x = 0; x < 4; ++x) {
    const TRGBQuad want = game.GetColor(indices[x]);
    const TRGBQuad got = Entry(filer, Pixel(filer, x, 0));
    EXPECT_EQ(got, want & 0xFFFFFF) << x;
  }
}

TEST(PcxImport, Refusals) {
  TPcx pcx;
  pcx.Manufacturer = 9;
  EXPECT_EQ(ImportError(pcx.Bytes()), "Not a valid PCX file");
  EXPECT_EQ(ImportError({}), "Not a valid PCX file");
  EXPECT_EQ(ImportError({10, 5, 1, 8}), "PCX file is too short to hold its header");

  TPcx big;
  big.Planes = 2, big.BytesPerLine = 32761;  // 65522
  big.BitsPerPixel = 8;
  EXPECT_EQ(ImportError(big.Bytes()), "Too big to load");
  big.BytesPerLine = 32760;  // 65520 passes that test; 8 bits in 2 planes does not
  EXPECT_EQ(ImportError(big.Bytes()), "PCX pictures of 8 bits per pixel in 2 planes are not supported");

  TPcx tall;
  tall.YMax = 1024, tall.BytesPerLine = 1;
  tall.Palette = GreyPalette();
  EXPECT_EQ(ImportError(tall.Bytes()), "PCX picture is 1025 rows high; at most 1024 rows can be loaded");
  tall.YMax = 1023;
  TBitmapFiler filer;
  Import(tall.Bytes(), filer);
  EXPECT_EQ(filer.Bitmap().GetHeight(), 1024);

  TPcx wide;
  wide.XMax = 40000, wide.BytesPerLine = 1;
  wide.Palette = GreyPalette();
  EXPECT_EQ(ImportError(wide.Bytes()), "PCX picture is 40001 pixels wide; at most 32768 pixels can be loaded");

  TPcx noPalette;
  noPalette.XMax = 1, noPalette.BytesPerLine = 2, noPalette.Data = {1, 2};
  EXPECT_EQ(ImportError(noPalette.Bytes()), "PCX file is too short to hold its 256-colour palette");

  TPcx odd;
  odd.BitsPerPixel = 3;
  EXPECT_EQ(ImportError(odd.Bytes()), "PCX pictures of 3 bits per pixel in 1 planes are not supported");
  odd.BitsPerPixel = 8, odd.Planes = 0;
  EXPECT_EQ(ImportError(odd.Bytes()), "PCX pictures of 8 bits per pixel in 0 planes are not supported");
}

TEST(PcxImport, FilerPicksPcxByExtension) {
  TTempDir dir;
  TPcx pcx;
  pcx.XMax = 1, pcx.YMax = 0, pcx.BytesPerLine = 2, pcx.Data = {3, 4};
  pcx.Palette = GreyPalette();
  WriteFile(dir.File("skin.Pcx"), pcx.Bytes());
  TBitmapFiler filer;
  RegisterBitmapFormats(filer);
  filer.ImportFromFile(dir.File("skin.Pcx"));
  EXPECT_EQ(filer.Bitmap().GetWidth(), 2);
  EXPECT_EQ(Pixel(filer, 1, 0), 4);
}

TEST(PcxExport, RunsStayWithinEvenLinesAndThePaletteFollowsItsMarker) {
  struct TCase {
    const char* Name;
    int Width, Height;
    std::vector<uint8_t> Pixels;
    std::vector<uint8_t> Data;  // the encoded lines
  };
  std::vector<uint8_t> seventy(70, 9);
  const TCase cases[] = {
      // An odd width gets a zero byte to make the line even.
      {"one run and the pad byte", 3, 1, {5, 5, 5}, {0xC3, 5, 0}},
      {"marker-like bytes are runs of one", 2, 2, {0xC0, 7, 7, 7}, {0xC1, 0xC0, 7, 0xC2, 7}},
      {"runs end with their line", 2, 2, {4, 4, 4, 4}, {0xC2, 4, 0xC2, 4}},
      {"runs of at most 63", 70, 1, seventy, {0xFF, 9, 0xC7, 9}},
      {"single bytes stay single", 4, 1, {1, 2, 0xBF, 0xFF}, {1, 2, 0xBF, 0xC1, 0xFF}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TBitmapFiler filer;
    TWinGBitmap& b = filer.Bitmap();
    b.SetSize(c.Width, c.Height);
    for (int y = 0; y < c.Height; ++y)
      for (int x = 0; x < c.Width; ++x) b.ScanLine(y)[x] = c.Pixels[size_t(y * c.Width + x)];
    for (int i = 0; i < 256; ++i) b.SetColorEntry(i, MakeRGBQuad(uint8_t(i), uint8_t(i ^ 0x5A), uint8_t(255 - i)));
    TMemoryStream out;
    TPCXFormat().Export(out, filer);
    const std::vector<uint8_t> f = out.Bytes();
    ASSERT_EQ(f.size(), 128 + c.Data.size() + 769);
    EXPECT_EQ(f[0], 10);
    EXPECT_EQ(f[1], 5);
    EXPECT_EQ(f[2], 1);
    EXPECT_EQ(f[3], 8);
    EXPECT_EQ(GetU16LE(&f[4]), 0);
    EXPECT_EQ(GetU16LE(&f[6]), 0);
    EXPECT_EQ(GetU16LE(&f[8]), c.Width - 1);
    EXPECT_EQ(GetU16LE(&f[10]), c.Height - 1);
    EXPECT_EQ(f[65], 1);
    EXPECT_EQ(GetU16LE(&f[66]), (c.Width + 1) & ~1);
    EXPECT_EQ(GetU16LE(&f[68]), 1);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 128, f.begin() + 128 + long(c.Data.size())), c.Data);
    const size_t marker = 128 + c.Data.size();
    EXPECT_EQ(f[marker], 12);
    for (int i = 0; i < 256; ++i) {
      EXPECT_EQ(f[marker + 1 + size_t(i) * 3], i);
      EXPECT_EQ(f[marker + 2 + size_t(i) * 3], uint8_t(i ^ 0x5A));
      EXPECT_EQ(f[marker + 3 + size_t(i) * 3], 255 - i);
    }

    // The reader takes it back whole.
    TBitmapFiler back;
    Import(f, back);
    ASSERT_EQ(back.Bitmap().GetWidth(), c.Width);
    for (int y = 0; y < c.Height; ++y)
      EXPECT_EQ(std::memcmp(back.Bitmap().ScanLine(y), b.ScanLine(y), size_t(c.Width)), 0);
    EXPECT_EQ(std::memcmp(back.Bitmap().ColorTable(), b.ColorTable(), kColorTableSize), 0);
  }
  TBitmapFiler empty;
  TMemoryStream none;
  EXPECT_EQ(ErrorOf([&] { TPCXFormat().Export(none, empty); }), "Cannot write an empty 0 x 0 picture as PCX");
}
