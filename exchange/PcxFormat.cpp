#include "exchange/PcxFormat.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/ByteWriter.h"
#include "core/Endian.h"
#include "core/Format.h"
#include "exchange/NearestGameColor.h"
#include "exchange/StreamBytes.h"
#include "raster/ColorTables.h"

namespace {

// Header layout.
constexpr size_t kHeaderSize = 128;
constexpr size_t kManufacturer = 0;
constexpr size_t kVersion = 1;
constexpr size_t kEncoding = 2;
constexpr size_t kBitsPerPixel = 3;
constexpr size_t kXMin = 4;
constexpr size_t kYMin = 6;
constexpr size_t kXMax = 8;
constexpr size_t kYMax = 10;
constexpr size_t kHorizontalDpi = 12;
constexpr size_t kVerticalDpi = 14;
constexpr size_t kHeaderPalette = 16;  // 16 red, green, blue triples
constexpr size_t kPlanes = 65;
constexpr size_t kBytesPerLine = 66;
constexpr size_t kPaletteInfo = 68;
constexpr uint8_t kManufacturerZSoft = 10;
// What the writer puts in: the last version, run-length encoded, a colour
// palette, and the customary 72 dots per inch.
constexpr uint8_t kVersionWithPalette = 5;
constexpr uint8_t kEncodingRunLength = 1;
constexpr uint16_t kPaletteInfoColor = 1;
constexpr uint16_t kDotsPerInch = 72;

constexpr size_t kTrailingPaletteSize = 768;
constexpr uint8_t kTrailingPaletteMarker = 12;
constexpr int64_t kMaxLineSize = 65521;
constexpr uint8_t kRunFlags = 0xC0;
constexpr uint8_t kRunLength = 0x3F;
constexpr size_t kMaxRun = 63;

void SetEntry(std::array<uint8_t, kColorTableSize>& table, int i, uint8_t r, uint8_t g, uint8_t b) {
  table[static_cast<size_t>(i) * 4 + 0] = b;
  table[static_cast<size_t>(i) * 4 + 1] = g;
  table[static_cast<size_t>(i) * 4 + 2] = r;
}

// Run-length decoding of one plane line at a time. A run that reaches past
// the end of a line is cut there. When the data ends early, what is left of
// the picture is index 0.
class TRunDecoder {
public:
  TRunDecoder(const uint8_t* data, size_t size) : Data_(data), Size_(size) {}

  void DecodeLine(uint8_t* line, size_t length) {
    size_t filled = 0;
    while (filled < length) {
      if (Pos_ >= Size_) {
        std::memset(line + filled, 0, length - filled);
        return;
      }
      const uint8_t b = Data_[Pos_++];
      size_t run = 1;
      uint8_t value = b;
      if ((b & kRunFlags) == kRunFlags) {
        run = b & kRunLength;
        if (Pos_ >= Size_) continue;  // the value is missing: the data has ended
        value = Data_[Pos_++];
      }
      if (run > length - filled) run = length - filled;
      std::memset(line + filled, value, run);
      filled += run;
    }
  }

private:
  const uint8_t* Data_;
  size_t Size_;
  size_t Pos_ = 0;
};

}  // namespace

void TPCXFormat::Import(TStream& stream, TBitmapFiler& filer) {
  const std::vector<uint8_t> file = ReadRemainingBytes(stream);
  if (file.empty() || file[kManufacturer] != kManufacturerZSoft) throw EImportExportError("Not a valid PCX file");
  if (file.size() < kHeaderSize) throw EImportExportError("PCX file is too short to hold its header");
  const uint8_t* h = file.data();

  const int width = std::abs(int(GetU16LE(h + kXMax)) - int(GetU16LE(h + kXMin))) + 1;
  const int height = std::abs(int(GetU16LE(h + kYMax)) - int(GetU16LE(h + kYMin))) + 1;
  const int bitsPerPixel = h[kBitsPerPixel];
  const int planes = h[kPlanes];
  const size_t bytesPerLine = GetU16LE(h + kBytesPerLine);
  const int64_t lineSize = static_cast<int64_t>(bytesPerLine) * planes;
  if (lineSize > kMaxLineSize) throw EImportExportError("Too big to load");
  if (height > TWinGBitmap::kMaxHeight)
    throw EImportExportError(Format("PCX picture is %d rows high; at most %d rows can be loaded", height,
                                    TWinGBitmap::kMaxHeight));
  if (width > TWinGBitmap::kMaxWidth)
    throw EImportExportError(Format("PCX picture is %d pixels wide; at most %d pixels can be loaded", width,
                                    TWinGBitmap::kMaxWidth));

  const bool trueColor = bitsPerPixel == 8 && (planes == 3 || planes == 4);
  const bool indexed = (bitsPerPixel == 1 || bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8) &&
                       planes >= 1 && bitsPerPixel * planes <= 8;
  if (!trueColor && !indexed)
    throw EImportExportError(Format("PCX pictures of %d bits per pixel in %d planes are not supported",
                                    bitsPerPixel, planes));
  const int depth = bitsPerPixel * planes;

  // The colour table: entries the picture does not define keep their colours.
  TWinGBitmap& bitmap = filer.Bitmap();
  std::array<uint8_t, kColorTableSize> colors;
  std::memcpy(colors.data(), bitmap.ColorTable(), kColorTableSize);
  size_t dataEnd = file.size();
  if (trueColor) {
    const TWinGPalette& game = GamePalette();
    for (int i = 0; i < kColorTableEntries; ++i) {
      const TRGBQuad q = game.GetColor(i);
      SetEntry(colors, i, QuadRed(q), QuadGreen(q), QuadBlue(q));
    }
  } else if (depth == 1) {
    SetEntry(colors, 0, 0, 0, 0);
    SetEntry(colors, 1, 255, 255, 255);
  } else if (depth <= 4) {
    for (int i = 0; i < (1 << depth); ++i) {
      const uint8_t* p = h + kHeaderPalette + i * 3;
      SetEntry(colors, i, p[0], p[1], p[2]);
    }
  } else if (depth == 8) {
    if (file.size() < kHeaderSize + kTrailingPaletteSize)
      throw EImportExportError("PCX file is too short to hold its 256-colour palette");
    dataEnd = file.size() - kTrailingPaletteSize;
    const uint8_t* p = file.data() + dataEnd;
    for (int i = 0; i < kColorTableEntries; ++i) SetEntry(colors, i, p[i * 3], p[i * 3 + 1], p[i * 3 + 2]);
    // The picture data stops at the palette's marker byte.
    if (dataEnd > kHeaderSize && file[dataEnd - 1] == kTrailingPaletteMarker) --dataEnd;
  }

  TRunDecoder decoder(file.data() + kHeaderSize, dataEnd - kHeaderSize);
  std::vector<uint8_t> line(static_cast<size_t>(lineSize));
  TNearestGameColor nearest;

  bitmap.SetSize(width, height);
  std::memcpy(bitmap.ColorTable(), colors.data(), kColorTableSize);
  const size_t w = static_cast<size_t>(width);
  const size_t mask = (1u << bitsPerPixel) - 1;
  for (int y = 0; y < height; ++y) {
    for (int p = 0; p < planes; ++p) decoder.DecodeLine(line.data() + p * bytesPerLine, bytesPerLine);
    uint8_t* row = bitmap.ScanLine(y);
    std::memset(row, 0, static_cast<size_t>(bitmap.Stride()));
    const size_t covered = trueColor || bitsPerPixel == 8 ? bytesPerLine : bytesPerLine * 8 / bitsPerPixel;
    const size_t n = std::min(w, covered);
    if (trueColor) {
      const uint8_t* red = line.data();
      const uint8_t* green = red + bytesPerLine;
      const uint8_t* blue = green + bytesPerLine;
      for (size_t x = 0; x < n; ++x) row[x] = nearest(red[x], green[x], blue[x]);
    } else if (bitsPerPixel == 8) {
      std::memcpy(row, line.data(), n);
    } else {
      // Packed pixels, most significant bits first; plane p gives bits
      // p * bitsPerPixel and up of the index.
      for (size_t x = 0; x < n; ++x) {
        const size_t bit = x * static_cast<size_t>(bitsPerPixel);
        const int shift = 8 - bitsPerPixel - static_cast<int>(bit % 8);
        unsigned value = 0;
        for (int p = 0; p < planes; ++p)
          value |= ((line[p * bytesPerLine + bit / 8] >> shift) & mask) << (p * bitsPerPixel);
        row[x] = static_cast<uint8_t>(value);
      }
    }
  }
}

namespace {

// One line, runs of up to 63 equal bytes; a single byte that could be
// taken for a run marker is written as a run of one.
void EncodeLine(const uint8_t* line, size_t length, TByteWriter& out) {
  size_t x = 0;
  while (x < length) {
    const uint8_t v = line[x];
    size_t run = 1;
    while (run < kMaxRun && x + run < length && line[x + run] == v) ++run;
    if (run > 1 || (v & kRunFlags) == kRunFlags) out.U8(static_cast<uint8_t>(kRunFlags | run));
    out.U8(v);
    x += run;
  }
}

}  // namespace

void TPCXFormat::Export(TStream& stream, TBitmapFiler& filer) {
  const TWinGBitmap& bitmap = filer.Bitmap();
  const int width = bitmap.GetWidth();
  const int height = bitmap.GetHeight();
  if (width < 1 || height < 1)
    throw EImportExportError(Format("Cannot write an empty %d x %d picture as PCX", width, height));
  // Lines hold an even number of bytes.
  const size_t bytesPerLine = (static_cast<size_t>(width) + 1) & ~size_t{1};

  uint8_t header[kHeaderSize] = {};
  header[kManufacturer] = kManufacturerZSoft;
  header[kVersion] = kVersionWithPalette;
  header[kEncoding] = kEncodingRunLength;
  header[kBitsPerPixel] = 8;
  PutU16LE(header + kXMax, static_cast<uint16_t>(width - 1));
  PutU16LE(header + kYMax, static_cast<uint16_t>(height - 1));
  PutU16LE(header + kHorizontalDpi, kDotsPerInch);
  PutU16LE(header + kVerticalDpi, kDotsPerInch);
  header[kPlanes] = 1;
  PutU16LE(header + kBytesPerLine, static_cast<uint16_t>(bytesPerLine));
  PutU16LE(header + kPaletteInfo, kPaletteInfoColor);

  TByteWriter out(kHeaderSize + bytesPerLine * static_cast<size_t>(height) + 1 + kTrailingPaletteSize);
  out.Bytes(header, kHeaderSize);
  std::vector<uint8_t> line(bytesPerLine, 0);
  for (int y = 0; y < height; ++y) {
    std::memcpy(line.data(), bitmap.ScanLine(y), static_cast<size_t>(width));
    EncodeLine(line.data(), bytesPerLine, out);
  }
  out.U8(kTrailingPaletteMarker);
  const uint8_t* table = bitmap.ColorTable();
  for (int i = 0; i < kColorTableEntries; ++i) {
    out.U8(table[i * 4 + 2]);
    out.U8(table[i * 4 + 1]);
    out.U8(table[i * 4 + 0]);
  }
  out.WriteTo(stream);
}
