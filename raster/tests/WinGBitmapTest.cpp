#include "raster/WinGBitmap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "core/Endian.h"
#include "raster/WinGCanvas.h"

namespace fs = std::filesystem;

namespace {

// A BMP put together byte by byte, independent of the writer under test.
struct TBmp {
  int32_t Width = 4;
  int32_t Height = 2;
  uint16_t BitCount = 8;
  uint32_t Compression = 0;
  uint32_t InfoSize = 40;
  int64_t Offset = -1;              // -1: right after the colours
  std::vector<uint8_t> Colors;      // raw colour-table bytes
  std::vector<uint8_t> Bits;        // raw pixel bytes as stored
  uint16_t Type = 0x4D42;
  uint16_t Reserved = 0;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> b(14 + InfoSize);
    const int64_t offset = Offset >= 0 ? Offset : int64_t(14 + InfoSize + Colors.size());
    PutU16LE(b.data(), Type);
    PutU32LE(b.data() + 2, uint32_t(offset + Bits.size()));
    PutU16LE(b.data() + 6, Reserved);
    PutU32LE(b.data() + 10, uint32_t(offset));
    uint8_t* h = b.data() + 14;
    PutU32LE(h, InfoSize);
    PutI32LE(h + 4, Width);
    PutI32LE(h + 8, Height);
    PutU16LE(h + 12, 1);
    PutU16LE(h + 14, BitCount);
    PutU32LE(h + 16, Compression);
    b.insert(b.end(), Colors.begin(), Colors.end());
    while (int64_t(b.size()) < offset) b.push_back(0xCC);
    b.insert(b.end(), Bits.begin(), Bits.end());
    return b;
  }
};

std::vector<uint8_t> Quads(int n, uint8_t seed) {
  std::vector<uint8_t> c(size_t(n) * 4);
  for (int i = 0; i < n; ++i) {
    c[i * 4] = uint8_t(i + seed);       // blue
    c[i * 4 + 1] = uint8_t(i * 2);      // green
    c[i * 4 + 2] = uint8_t(255 - i);    // red
    c[i * 4 + 3] = 0;
  }
  return c;
}

std::vector<uint8_t> Ramp(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 13 + 1);
  return v;
}

void Load(TWinGBitmap& b, const std::vector<uint8_t>& bytes) {
  TMemoryStream s(bytes);
  b.LoadFromStream(s);
}

template <class E>
std::string MessageOf(const std::vector<uint8_t>& bytes) {
  TWinGBitmap b;
  try {
    Load(b, bytes);
  } catch (const E& e) {
    return e.what();
  }
  return "(no error)";
}

// A 5 x 3 bitmap whose pixel (x, y) is 10 * y + x.
void MakeNumbered(TWinGBitmap& b) {
  b.SetSize(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) b.ScanLine(y)[x] = uint8_t(10 * y + x);
}

}  // namespace

TEST(WinGBitmap, NewBitmapIsEmptyWithDefaultHeader) {
  TWinGBitmap b;
  EXPECT_EQ(b.GetWidth(), 0);
  EXPECT_EQ(b.GetHeight(), 0);
  EXPECT_FALSE(b.GetEmpty());
  EXPECT_EQ(b.Header().Size, 40u);
  EXPECT_EQ(b.Header().Planes, 1);
  EXPECT_EQ(b.Header().BitCount, 8);
  EXPECT_EQ(b.Header().Compression, 0u);
  EXPECT_EQ(b.BitStream().Size(), 0);
  EXPECT_EQ(b.GetPalette(), nullptr);
  EXPECT_EQ(b.Orientation(), 1);
}

TEST(WinGBitmap, RowsAreStoredBottomUpWithAFourByteStride) {
  TWinGBitmap b;
  b.SetSize(5, 3);
  EXPECT_EQ(b.Stride(), 8);
  EXPECT_EQ(b.BitStream().Size(), 24);
  EXPECT_EQ(b.ScanLine(0), b.Bits() + 16);  // top row is stored last
  EXPECT_EQ(b.ScanLine(2), b.Bits());
  for (int i = 0; i < 24; ++i) EXPECT_EQ(b.Bits()[i], 0);
  EXPECT_THROW(b.ScanLine(3), EWinGError);
  EXPECT_THROW(b.ScanLine(-1), EWinGError);

  // Changing one side recreates (and clears) the pixels.
  b.ScanLine(1)[1] = 7;
  b.SetWidth(5);
  EXPECT_EQ(b.ScanLine(1)[1], 7);  // same value: nothing happens
  b.SetWidth(6);
  EXPECT_EQ(b.ScanLine(1)[1], 0);
  b.SetHeight(1);
  EXPECT_EQ(b.GetHeight(), 1);
  EXPECT_EQ(b.BitStream().Size(), 8);
}

TEST(WinGBitmap, SizesBeyondTheLimitsAreRefusedAndChangeNothing) {
  TWinGBitmap b;
  b.SetSize(4, 2);
  b.ScanLine(0)[0] = 9;
  EXPECT_THROW(b.SetHeight(TWinGBitmap::kMaxHeight + 1), EWinGError);
  EXPECT_THROW(b.SetWidth(TWinGBitmap::kMaxWidth + 1), EWinGError);
  EXPECT_THROW(b.SetSize(-1, 2), EWinGError);
  EXPECT_THROW(b.SetSize(4, -2), EWinGError);
  EXPECT_EQ(b.GetWidth(), 4);
  EXPECT_EQ(b.GetHeight(), 2);
  EXPECT_EQ(b.ScanLine(0)[0], 9);
  b.SetSize(3, TWinGBitmap::kMaxHeight);
  EXPECT_EQ(b.GetHeight(), 1024);
}

TEST(WinGBitmap, BitStreamWritesNeverGrow) {
  TWinGBitmap b;
  b.SetSize(4, 2);
  TWinGBitStream& s = b.BitStream();
  s.SetPosition(6);
  const uint8_t data[4] = {1, 2, 3, 4};
  EXPECT_EQ(s.Write(data, 4), 2);
  EXPECT_EQ(s.Size(), 8);
  EXPECT_EQ(b.Bits()[6], 1);
  EXPECT_EQ(b.Bits()[7], 2);
  EXPECT_EQ(s.Write(data, 4), 0);  // nothing left
  s.SetPosition(-1);
  EXPECT_EQ(s.Write(data, 4), 0);
  s.SetPosition(0);
  EXPECT_EQ(s.Write(data, -4), 0);
  s.SetPosition(6);
  EXPECT_THROW(s.WriteBuffer(data, 4), EWriteError);
}

TEST(WinGBitmap, SaveWritesHeadersAllColoursAndTheRows) {
  TWinGBitmap b;
  b.SetSize(10, 3);
  b.SetColorEntry(1, MakeRGBQuad(9, 8, 7));
  b.ScanLine(0)[0] = 1;  // top left: stored in the last row
  TMemoryStream s;
  b.SaveToStream(s);
  auto bytes = s.Bytes();
  ASSERT_EQ(bytes.size(), 1078u + 3 * 12);
  EXPECT_EQ(GetU16LE(&bytes[0]), 0x4D42);
  EXPECT_EQ(GetU32LE(&bytes[2]), 1078u + 36);
  EXPECT_EQ(GetU32LE(&bytes[6]), 0u);
  EXPECT_EQ(GetU32LE(&bytes[10]), 1078u);
  EXPECT_EQ(GetU32LE(&bytes[14]), 40u);
  EXPECT_EQ(GetI32LE(&bytes[18]), 10);
  EXPECT_EQ(GetI32LE(&bytes[22]), 3);
  EXPECT_EQ(GetU16LE(&bytes[28]), 8);
  EXPECT_EQ(GetU32LE(&bytes[54 + 4]), MakeRGBQuad(9, 8, 7));
  EXPECT_EQ(bytes[1078 + 2 * 12], 1);
}

TEST(WinGBitmap, SaveAndLoadGiveBackTheSamePicture) {
  TWinGBitmap a;
  MakeNumbered(a);
  for (int i = 0; i < 256; ++i) a.SetColorEntry(i, MakeRGBQuad(uint8_t(i), uint8_t(255 - i), 3));
  TMemoryStream s;
  a.SaveToStream(s);
  s.SetPosition(0);
  TWinGBitmap b;
  b.LoadFromStream(s);
  EXPECT_EQ(b.GetWidth(), 5);
  EXPECT_EQ(b.GetHeight(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(b.ScanLine(y)[x], 10 * y + x);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(b.GetColorEntry(i), a.GetColorEntry(i));
  EXPECT_EQ(s.Position(), s.Size());
}

TEST(WinGBitmap, FileRoundTripAndMissingFile) {
  const fs::path dir = fs::temp_directory_path() / ("tessel_bmp_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  TWinGBitmap a;
  MakeNumbered(a);
  a.SaveToFile((dir / "x.bmp").string());
  EXPECT_EQ(fs::file_size(dir / "x.bmp"), 1078u + 24);
  TWinGBitmap b;
  b.LoadFromFile((dir / "x.bmp").string());
  EXPECT_EQ(b.ScanLine(2)[4], 24);
  EXPECT_THROW(b.LoadFromFile((dir / "missing.bmp").string()), EFOpenError);
  fs::remove_all(dir);
}

TEST(WinGBitmap, LoadReadsAPictureInTheMiddleOfAStream) {
  TBmp bmp;
  bmp.Colors = Quads(256, 0);
  bmp.Bits = Ramp(8);
  auto bytes = bmp.Bytes();
  const std::vector<uint8_t> pad(37, 0x55);
  TMemoryStream s;
  s.WriteBuffer(pad.data(), 37);
  s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  s.SetPosition(37);
  TWinGBitmap b;
  b.LoadFromStream(s);
  EXPECT_EQ(b.ScanLine(1)[0], bmp.Bits[0]);  // first stored row is the bottom one
  EXPECT_EQ(b.ScanLine(0)[3], bmp.Bits[7]);
}

TEST(WinGBitmap, LoadWithSixteenColoursKeepsTheOtherEntries) {
  TWinGBitmap b;
  for (int i = 0; i < 256; ++i) b.SetColorEntry(i, 0x00ABCDEFu);
  TBmp bmp;
  bmp.Colors = Quads(16, 100);
  bmp.Bits = Ramp(8);
  Load(b, bmp.Bytes());
  EXPECT_EQ(b.GetColorEntry(0), GetU32LE(bmp.Colors.data()));
  EXPECT_EQ(b.GetColorEntry(15), GetU32LE(bmp.Colors.data() + 60));
  EXPECT_EQ(b.GetColorEntry(16), 0x00ABCDEFu);
  EXPECT_EQ(b.GetColorEntry(255), 0x00ABCDEFu);
}

TEST(WinGBitmap, LoadFailuresGiveTheirMessages) {
  TBmp good;
  good.Colors = Quads(256, 0);
  good.Bits = Ramp(8);
  const auto bytes = good.Bytes();

  EXPECT_EQ(MessageOf<EBitmapFormatError>({bytes.begin(), bytes.begin() + 13}),
            "Hit end of stream while reading bitmap file header");
  TBmp bad = good;
  bad.Type = 0x4D43;
  EXPECT_EQ(MessageOf<EBitmapFormatError>(bad.Bytes()), "Unable to load bitmap, Corrupt bitmap file header");
  bad = good;
  bad.Reserved = 1;
  EXPECT_EQ(MessageOf<EBitmapFormatError>(bad.Bytes()), "Unable to load bitmap, Corrupt bitmap file header");
  EXPECT_EQ(MessageOf<EBitmapFormatError>({bytes.begin(), bytes.begin() + 53}),
            "Unable to load bitmap, End of file encountered while reading bitmap info header");
  bad = good;
  bad.BitCount = 24;
  EXPECT_EQ(MessageOf<EBitmapFormatError>(bad.Bytes()),
            "Unable to load bitmap, This is a 24 bpp bitmap, but 8 bpp bitmap required");
  bad = good;
  bad.Compression = 1;
  EXPECT_EQ(MessageOf<EBitmapFormatError>(bad.Bytes()), "Unable to load bitmap, bitmap must be uncompressed");
  EXPECT_EQ(MessageOf<EBitmapFormatError>({bytes.begin(), bytes.begin() + 54 + 1023}),
            "Unable to load bitmap, End of file encountered while reading bitmap colors");
  EXPECT_EQ(MessageOf<EBitmapFormatError>({bytes.begin(), bytes.end() - 1}),
            "Unable to load bitmap, End of file encountered while reading bitmap bits");
}

TEST(WinGBitmap, HostileHeadersGiveClearErrors) {
  TBmp bmp;
  bmp.Colors = Quads(256, 0);
  bmp.Bits = Ramp(8);

  // Data offset inside the headers.
  TBmp bad = bmp;
  bad.Offset = 53;
  EXPECT_EQ(MessageOf<EBitmapFormatError>(bad.Bytes()), "Unable to load bitmap, Corrupt bitmap file header");
  bad.Offset = 0;
  EXPECT_EQ(MessageOf<EBitmapFormatError>(bad.Bytes()), "Unable to load bitmap, Corrupt bitmap file header");
  // Data offset far past the end: no pixels there (and nothing allocated for them).
  auto bytes = bmp.Bytes();
  auto hugeOffset = bytes;
  PutU32LE(hugeOffset.data() + 10, 0xFFFFFFF0u);
  EXPECT_EQ(MessageOf<EBitmapFormatError>(hugeOffset),
            "Unable to load bitmap, End of file encountered while reading bitmap bits");
  // A picture claiming the largest size with almost no data.
  auto big = bytes;
  PutI32LE(big.data() + 18, TWinGBitmap::kMaxWidth);
  PutI32LE(big.data() + 22, TWinGBitmap::kMaxHeight);
  EXPECT_EQ(MessageOf<EBitmapFormatError>(big),
            "Unable to load bitmap, End of file encountered while reading bitmap bits");
  // Too many rows, negative or absurd widths: the size is refused.
  for (auto [w, h] : {std::pair{4, 1025}, {-4, 2}, {TWinGBitmap::kMaxWidth + 1, 1}, {4, INT_MIN}, {INT_MIN, 1}}) {
    auto sized = bytes;
    PutI32LE(sized.data() + 18, w);
    PutI32LE(sized.data() + 22, h);
    EXPECT_NE(MessageOf<EWinGError>(sized), "(no error)") << w << " x " << h;
  }
}

TEST(WinGBitmap, AFailedLoadLeavesTheBitmapAsItWas) {
  TWinGBitmap b;
  MakeNumbered(b);
  b.SetColorEntry(0, 0x00112233u);
  TBmp bmp;
  bmp.Width = 8;
  bmp.Colors = Quads(256, 0);
  bmp.Bits = Ramp(15);  // one byte short
  EXPECT_THROW(Load(b, bmp.Bytes()), EBitmapFormatError);
  EXPECT_EQ(b.GetWidth(), 5);
  EXPECT_EQ(b.GetHeight(), 3);
  EXPECT_EQ(b.ScanLine(2)[4], 24);
  EXPECT_EQ(b.GetColorEntry(0), 0x00112233u);
}

TEST(WinGBitmap, TopDownPicturesLoadTheRightWayUp) {
  TBmp bmp;
  bmp.Height = -3;
  bmp.Colors = Quads(256, 0);
  bmp.Bits = Ramp(12);  // stored top row first
  TWinGBitmap b;
  Load(b, bmp.Bytes());
  EXPECT_EQ(b.GetHeight(), 3);
  EXPECT_EQ(b.Header().Height, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(b.ScanLine(y)[x], bmp.Bits[y * 4 + x]);
}

TEST(WinGBitmap, LoadHonoursTheDataOffsetAndLongerInfoHeaders) {
  // Room for more than 256 colours: the rest is skipped and the pixels are
  // taken where the offset says.
  TBmp gap;
  gap.Colors = Quads(256, 7);
  gap.Offset = 1078 + 100;
  gap.Bits = Ramp(8);
  TWinGBitmap b;
  Load(b, gap.Bytes());
  EXPECT_EQ(b.GetColorEntry(255), GetU32LE(gap.Colors.data() + 1020));
  EXPECT_EQ(b.ScanLine(1)[0], gap.Bits[0]);

  // A colour area that is not a whole number of entries.
  TBmp odd;
  odd.Colors = Quads(2, 3);
  odd.Colors.push_back(0xEE);
  odd.Bits = Ramp(8);
  Load(b, odd.Bytes());
  EXPECT_EQ(b.ScanLine(1)[0], odd.Bits[0]);

  // A 124-byte info header: the colours follow it, and saving writes a
  // plain 40-byte header again.
  TBmp v5;
  v5.InfoSize = 124;
  v5.Colors = Quads(256, 50);
  v5.Bits = Ramp(8);
  Load(b, v5.Bytes());
  EXPECT_EQ(b.GetColorEntry(0), GetU32LE(v5.Colors.data()));
  EXPECT_EQ(b.ScanLine(0)[0], v5.Bits[4]);
  EXPECT_EQ(b.Header().Size, 40u);
  TMemoryStream s;
  b.SaveToStream(s);
  EXPECT_EQ(GetU32LE(s.Memory() + 14), 40u);
  EXPECT_EQ(s.Size(), 1078 + 8);
}

TEST(WinGBitmap, SetPaletteCopiesTheColoursIntoTheColourTable) {
  TWinGBitmap b;
  b.SetSize(4, 1);
  for (int i = 0; i < 256; ++i) b.SetColorEntry(i, 0x00ABCDEFu);
  TWinGPalette p;
  p.AddColor(MakeRGBQuad(10, 20, 30), false);
  p.SetSystemColors(true);
  b.SetPalette(p.NewHandle());
  ASSERT_NE(b.GetPalette(), nullptr);
  EXPECT_EQ(b.GetColorEntry(10), MakeRGBQuad(10, 20, 30) | (uint32_t(kPaletteNoCollapse) << 24));
  EXPECT_EQ(b.GetColorEntry(255), MakeRGBQuad(255, 255, 255));  // system flags 0
  EXPECT_EQ(b.ColorTable()[10 * 4], 30);                         // blue first

  // A palette of two entries sets two; the rest keep their colours.
  for (int i = 0; i < 256; ++i) b.SetColorEntry(i, 0x00ABCDEFu);
  TWinGPalette small;
  small.AddColor(MakeRGBQuad(1, 2, 3), false);
  b.SetPalette(small.NewHandle());
  EXPECT_EQ(b.GetColorEntry(0), MakeRGBQuad(1, 2, 3) | 0x04000000u);
  EXPECT_EQ(b.GetColorEntry(1), 0x04000000u);  // the black after the used colours
  EXPECT_EQ(b.GetColorEntry(2), 0x00ABCDEFu);

  b.SetPalette(nullptr);
  EXPECT_EQ(b.GetPalette(), nullptr);
  EXPECT_EQ(b.GetColorEntry(0), MakeRGBQuad(1, 2, 3) | 0x04000000u);

  EXPECT_THROW(
      {
        try {
          b.SetPalette(std::make_shared<const TPaletteObject>(nullptr, 0));
        } catch (const EWinGError& e) {
          EXPECT_STREQ(e.what(), "GetPaletteEntries failed, could not retrieve colors from a palette");
          throw;
        }
      },
      EWinGError);
}

TEST(WinGBitmap, ColourEntriesOutsideTheTableAreRefused) {
  TWinGBitmap b;
  b.SetColorEntry(255, 0x01020304u);
  EXPECT_EQ(b.GetColorEntry(255), 0x01020304u);
  EXPECT_THROW(b.GetColorEntry(256), EWinGError);
  EXPECT_THROW(b.SetColorEntry(-1, 0), EWinGError);
}

TEST(WinGBitmap, AssignCopiesEverythingAndAPaletteOfItsOwn) {
  TWinGBitmap a;
  MakeNumbered(a);
  a.SetColorEntry(7, 0x00070707u);
  TWinGPalette p;
  p.AddColor(MakeRGBQuad(1, 1, 1), false);
  a.SetPalette(p.NewHandle());
  TWinGBitmap b;
  b.SetSize(100, 100);
  b.Assign(a);
  EXPECT_EQ(b.GetWidth(), 5);
  EXPECT_EQ(b.GetHeight(), 3);
  EXPECT_EQ(b.ScanLine(2)[3], 23);
  EXPECT_EQ(b.GetColorEntry(7), 0x00070707u);
  ASSERT_NE(b.GetPalette(), nullptr);
  EXPECT_NE(b.GetPalette(), a.GetPalette());
  EXPECT_EQ(b.GetPalette()->Entry(0), a.GetPalette()->Entry(0));
  b.ScanLine(0)[0] = 99;
  EXPECT_EQ(a.ScanLine(0)[0], 0);
  b.Assign(b);
  EXPECT_EQ(b.ScanLine(0)[0], 99);
}

TEST(WinGBitmap, RemapToPaletteMovesPixelsToTheNearestNewColour) {
  TWinGBitmap b;
  b.SetSize(3, 1);
  b.SetColorEntry(0, MakeRGBQuad(250, 0, 0));
  b.SetColorEntry(1, MakeRGBQuad(0, 0, 250));
  b.SetColorEntry(2, MakeRGBQuad(0, 240, 10));
  uint8_t* row = b.ScanLine(0);
  row[0] = 0;
  row[1] = 1;
  row[2] = 2;
  TWinGPalette p;
  p.AddColor(MakeRGBQuad(0, 0, 255), false);
  p.AddColor(MakeRGBQuad(0, 255, 0), false);
  p.AddColor(MakeRGBQuad(255, 0, 0), false);
  b.RemapToPalette(p);
  EXPECT_EQ(row[0], 2);
  EXPECT_EQ(row[1], 0);
  EXPECT_EQ(row[2], 1);
  ASSERT_NE(b.GetPalette(), nullptr);
  EXPECT_EQ(b.GetColorEntry(2) & 0xFFFFFFu, MakeRGBQuad(255, 0, 0));
  EXPECT_EQ(b.Stride(), 4);
  EXPECT_EQ(b.Bits()[3], 2) << "row padding goes through the same map";
}

TEST(WinGBitmap, UnsupportedOperationsSaySo) {
  TWinGBitmap b;
  TMemoryStream s;
  auto message = [](auto fn) {
    try {
      fn();
    } catch (const EWinGError& e) {
      return std::string(e.what());
    }
    return std::string("(no error)");
  };
  EXPECT_EQ(message([&] { b.ReadData(s); }), "TWinGBitmap.ReadData NOT IMPLEMENTED YET !");
  EXPECT_EQ(message([&] { b.WriteData(s); }), "TWinGBitmap.WriteData NOT IMPLEMENTED YET !");
  EXPECT_EQ(message([&] { b.LoadFromClipboardFormat(); }), "TWinGBitmap.LoadFromClipboardFormat NOT IMPLEMENTED YET !");
  EXPECT_EQ(message([&] { b.SaveToClipboardFormat(); }), "TWinGBitmap.SaveToClipboardFormat NOT IMPLEMENTED YET !");
}

TEST(WinGBitmap, CanvasBelongsToTheBitmap) {
  TWinGBitmap b;
  b.SetSize(4, 4);
  EXPECT_EQ(&b.Canvas(), &b.Canvas());
  EXPECT_EQ(&b.Canvas().Bitmap(), &b);
  b.Canvas().SetPixel(1, 2, 5);
  EXPECT_EQ(b.ScanLine(2)[1], 5);
}

TEST(StretchCopy, EnlargesShrinksAndClips) {
  TWinGBitmap src;
  MakeNumbered(src);  // 5 x 3
  TWinGBitmap dst;
  dst.SetSize(10, 6);
  StretchCopy(dst, {0, 0, 10, 6}, src, {0, 0, 5, 3});
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(dst.ScanLine(y)[x], 10 * (y / 2) + x / 2) << x << "," << y;

  TWinGBitmap small;
  small.SetSize(2, 1);
  StretchCopy(small, {0, 0, 2, 1}, dst, {0, 0, 10, 6});
  EXPECT_EQ(small.ScanLine(0)[0], 0);
  EXPECT_EQ(small.ScanLine(0)[1], 2);  // column 5 of the big one

  // Partly outside the destination: only the visible part is written.
  TWinGBitmap d2;
  d2.SetSize(4, 4);
  StretchCopy(d2, {-2, -1, 3, 2}, src, {0, 0, 5, 3});
  EXPECT_EQ(d2.ScanLine(0)[0], 12);  // source (2, 1)
  EXPECT_EQ(d2.ScanLine(1)[2], 24);
  EXPECT_EQ(d2.ScanLine(0)[3], 0);   // outside the rectangle: untouched

  // Source samples beyond the source leave their pixels alone.
  TWinGBitmap d3;
  d3.SetSize(4, 1);
  std::fill(d3.Bits(), d3.Bits() + 4, 77);
  StretchCopy(d3, {0, 0, 4, 1}, src, {3, 0, 7, 1});
  EXPECT_EQ(d3.ScanLine(0)[0], 3);
  EXPECT_EQ(d3.ScanLine(0)[1], 4);
  EXPECT_EQ(d3.ScanLine(0)[2], 77);

  // Empty or inverted rectangles copy nothing.
  StretchCopy(d3, {0, 0, 0, 1}, src, {0, 0, 5, 3});
  StretchCopy(d3, {0, 0, 4, 1}, src, {5, 0, 0, 3});
  EXPECT_EQ(d3.ScanLine(0)[0], 3);
}

TEST(StretchCopy, OverlappingCopyWithinOneBitmapReadsTheOriginal) {
  TWinGBitmap b;
  MakeNumbered(b);
  StretchCopy(b, {1, 0, 5, 3}, b, {0, 0, 4, 3});  // shift right by one
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(b.ScanLine(y)[0], 10 * y);
    for (int x = 1; x < 5; ++x) EXPECT_EQ(b.ScanLine(y)[x], 10 * y + x - 1);
  }
}
