#pragma once
// An 8-bit palettised bitmap whose pixels the program writes directly:
// bottom-up rows in one byte buffer, a row table with row 0 at the top, a
// 256-entry colour table, an optional palette object, and loading and saving
// as an uncompressed 8-bit BMP.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "core/Streams.h"
#include "raster/WinGPalette.h"

TESSEL_DECLARE_EXCEPTION(EWinGError, Exception);
TESSEL_DECLARE_EXCEPTION(EBitmapFormatError, Exception);

// A rectangle; Right and Bottom are exclusive.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};

// The layout of an uncompressed 8-bit BMP as this program writes it.
constexpr int kBitmapFileHeaderSize = 14;
constexpr int kBitmapInfoHeaderSize = 40;
constexpr int kColorTableEntries = 256;
constexpr int kColorTableSize = kColorTableEntries * 4;
constexpr int kBitmapBitsOffset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + kColorTableSize;  // 1078
constexpr uint16_t kBitmapFileType = 0x4D42;  // "BM"

class TByteWriter;

// The 40-byte bitmap info header.
struct TBitmapInfoHeader {
  uint32_t Size = kBitmapInfoHeaderSize;
  int32_t Width = 0;
  int32_t Height = 0;
  uint16_t Planes = 1;
  uint16_t BitCount = 8;
  uint32_t Compression = 0;
  uint32_t SizeImage = 0;
  int32_t XPelsPerMeter = 0;
  int32_t YPelsPerMeter = 0;
  uint32_t ClrUsed = 0;
  uint32_t ClrImportant = 0;

  void Read(const uint8_t* p);
  void Write(TByteWriter& w) const;
};

// A stream over the bitmap's pixel bytes. Writing never grows it: at most
// Size - Position bytes are copied.
class TWinGBitStream : public TCustomMemoryStream {
public:
  int64_t Write(const void* buffer, int64_t count) override;

private:
  friend class TWinGBitmap;
  void Attach(uint8_t* bits, int64_t size) { SetPointer(bits, size); }
};

class TWinGCanvas;

class TWinGBitmap {
public:
  // The row table holds at most this many rows; wider pictures than
  // kMaxWidth are refused too, so a bitmap never passes 32 MiB.
  static constexpr int kMaxHeight = 1024;
  static constexpr int kMaxWidth = 32768;

  TWinGBitmap();
  ~TWinGBitmap();
  TWinGBitmap(const TWinGBitmap&) = delete;
  TWinGBitmap& operator=(const TWinGBitmap&) = delete;

  int GetWidth() const { return Header_.Width; }
  int GetHeight() const { return Header_.Height; }
  bool GetEmpty() const { return false; }
  // Bytes per row: the width rounded up to a multiple of 4.
  int Stride() const { return StrideOf(Header_.Width); }
  static int StrideOf(int width) { return (width + 3) & ~3; }
  // Rows are stored bottom-up.
  int Orientation() const { return 1; }

  // Changing the size loses the pixels (the new ones are 0). Sizes outside
  // 0..kMaxWidth by 0..kMaxHeight raise EWinGError and change nothing.
  void SetWidth(int width);
  void SetHeight(int height);
  void SetSize(int width, int height);

  const TPaletteHandle& GetPalette() const { return Palette_; }
  // Takes the palette object and copies its colours into the colour table.
  void SetPalette(TPaletteHandle palette);

  // Copies header, colour table, pixels and (a copy of) the palette.
  void Assign(const TWinGBitmap& source);

  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  // Not supported; each raises EWinGError.
  [[noreturn]] void ReadData(TStream& stream);
  [[noreturn]] void WriteData(TStream& stream) const;
  [[noreturn]] void LoadFromClipboardFormat();
  [[noreturn]] void SaveToClipboardFormat() const;

  // Row y of the picture, row 0 at the top; EWinGError outside 0..Height-1.
  uint8_t* ScanLine(int y);
  const uint8_t* ScanLine(int y) const;
  uint8_t* Bits() { return Bits_.data(); }
  const uint8_t* Bits() const { return Bits_.data(); }
  TWinGBitStream& BitStream() { return BitStream_; }
  const TBitmapInfoHeader& Header() const { return Header_; }
  // 256 entries of blue, green, red, flags.
  uint8_t* ColorTable() { return ColorTable_.data(); }
  const uint8_t* ColorTable() const { return ColorTable_.data(); }
  // Colour-table entry i as a packed quad (flags in bits 24-31); EWinGError
  // outside 0..255.
  TRGBQuad GetColorEntry(int i) const;
  void SetColorEntry(int i, TRGBQuad quad);

  // Gives the bitmap the colours of `palette` and moves every pixel to the
  // nearest of them.
  void RemapToPalette(const TWinGPalette& palette);

  TWinGCanvas& Canvas();

private:
  static void CheckSize(int64_t width, int64_t height);
  void Recreate(int width, int height);
  void RebuildRows();

  TBitmapInfoHeader Header_;
  std::array<uint8_t, kColorTableSize> ColorTable_{};
  std::vector<uint8_t> Bits_;
  std::vector<uint8_t*> Rows_;
  TWinGBitStream BitStream_;
  TPaletteHandle Palette_;
  std::unique_ptr<TWinGCanvas> Canvas_;
};

// Nearest-neighbour stretched copy of srcRect of `src` onto destRect of
// `dest` (palette indices copied as they are). Destination pixels outside
// `dest`, or whose source pixel lies outside `src`, are left alone. Empty or
// inverted rectangles copy nothing. `dest` and `src` may be one bitmap.
void StretchCopy(TWinGBitmap& dest, const TRect& destRect, const TWinGBitmap& src, const TRect& srcRect);
