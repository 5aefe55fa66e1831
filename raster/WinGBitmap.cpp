#include "raster/WinGBitmap.h"

#include <algorithm>
#include <cstring>

#include "core/ByteWriter.h"
#include "core/Endian.h"
#include "core/Format.h"
#include "core/SafeSave.h"
#include "raster/WinGCanvas.h"

// ---- TBitmapInfoHeader -------------------------------------------------------

void TBitmapInfoHeader::Read(const uint8_t* p) {
  Size = GetU32LE(p);
  Width = GetI32LE(p + 4);
  Height = GetI32LE(p + 8);
  Planes = GetU16LE(p + 12);
  BitCount = GetU16LE(p + 14);
  Compression = GetU32LE(p + 16);
  SizeImage = GetU32LE(p + 20);
  XPelsPerMeter = GetI32LE(p + 24);
  YPelsPerMeter = GetI32LE(p + 28);
  ClrUsed = GetU32LE(p + 32);
  ClrImportant = GetU32LE(p + 36);
}

void TBitmapInfoHeader::Write(TByteWriter& w) const {
  w.U32(Size);
  w.I32(Width);
  w.I32(Height);
  w.U16(Planes);
  w.U16(BitCount);
  w.U32(Compression);
  w.U32(SizeImage);
  w.I32(XPelsPerMeter);
  w.I32(YPelsPerMeter);
  w.U32(ClrUsed);
  w.U32(ClrImportant);
}

// ---- TWinGBitStream ----------------------------------------------------------

int64_t TWinGBitStream::Write(const void* buffer, int64_t count) {
  if (Position_ < 0 || count <= 0) return 0;
  const int64_t n = std::min(count, Size_ - Position_);
  if (n <= 0) return 0;
  std::memcpy(Memory_ + Position_, buffer, static_cast<size_t>(n));
  Position_ += n;
  return n;
}

// ---- TWinGBitmap -------------------------------------------------------------

TWinGBitmap::TWinGBitmap() { RebuildRows(); }

TWinGBitmap::~TWinGBitmap() = default;

void TWinGBitmap::CheckSize(int64_t width, int64_t height) {
  if (width < 0 || height < 0 || width > kMaxWidth || height > kMaxHeight)
    throw EWinGError(Format("Bitmap size %lld x %lld is not supported (at most %d x %d)",
                            static_cast<long long>(width), static_cast<long long>(height), kMaxWidth,
                            kMaxHeight));
}

void TWinGBitmap::RebuildRows() {
  const int h = Header_.Height;
  const size_t stride = static_cast<size_t>(Stride());
  Rows_.resize(static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) Rows_[static_cast<size_t>(y)] = Bits_.data() + static_cast<size_t>(h - 1 - y) * stride;
  BitStream_.Attach(Bits_.data(), static_cast<int64_t>(Bits_.size()));
}

void TWinGBitmap::Recreate(int width, int height) {
  CheckSize(width, height);
  std::vector<uint8_t> bits(static_cast<size_t>(StrideOf(width)) * static_cast<size_t>(height));
  Header_.Width = width;
  Header_.Height = height;
  Bits_.swap(bits);
  RebuildRows();
}

void TWinGBitmap::SetWidth(int width) {
  if (width != GetWidth()) Recreate(width, GetHeight());
}

void TWinGBitmap::SetHeight(int height) {
  if (height != GetHeight()) Recreate(GetWidth(), height);
}

void TWinGBitmap::SetSize(int width, int height) {
  if (width != GetWidth() || height != GetHeight()) Recreate(width, height);
}

void TWinGBitmap::SetPalette(TPaletteHandle palette) {
  Palette_ = std::move(palette);
  if (!Palette_) return;
  if (Palette_->Count() == 0)
    throw EWinGError("GetPaletteEntries failed, could not retrieve colors from a palette");
  // Only the entries the palette carries are copied; the rest of the colour
  // table keeps its colours.
  for (int i = 0; i < Palette_->Count(); ++i) {
    const TPaletteEntry& e = Palette_->Entry(i);
    uint8_t* q = ColorTable_.data() + i * 4;
    q[0] = e.Blue;
    q[1] = e.Green;
    q[2] = e.Red;
    q[3] = e.Flags;
  }
}

void TWinGBitmap::Assign(const TWinGBitmap& source) {
  if (&source == this) return;
  Header_ = source.Header_;
  ColorTable_ = source.ColorTable_;
  Bits_ = source.Bits_;
  RebuildRows();
  Palette_ = CopyPaletteHandle(source.Palette_);
}

uint8_t* TWinGBitmap::ScanLine(int y) {
  if (y < 0 || y >= GetHeight()) throw EWinGError(Format("Scan line %d is out of range", y));
  return Rows_[static_cast<size_t>(y)];
}

const uint8_t* TWinGBitmap::ScanLine(int y) const { return const_cast<TWinGBitmap*>(this)->ScanLine(y); }

TRGBQuad TWinGBitmap::GetColorEntry(int i) const {
  if (i < 0 || i >= kColorTableEntries) throw EWinGError(Format("Color table index %d is out of range", i));
  return GetU32LE(ColorTable_.data() + i * 4);
}

void TWinGBitmap::SetColorEntry(int i, TRGBQuad quad) {
  if (i < 0 || i >= kColorTableEntries) throw EWinGError(Format("Color table index %d is out of range", i));
  PutU32LE(ColorTable_.data() + i * 4, quad);
}

void TWinGBitmap::RemapToPalette(const TWinGPalette& palette) {
  TWinGPalette current;
  for (int i = 0; i < kColorTableEntries; ++i) current.AddColor(GetColorEntry(i) & 0xFFFFFFu, false);
  SetPalette(palette.NewHandle());
  TWinGPaletteMap map;
  map.MapToPalette(current, palette);
  TColorHistogram histogram;
  map.ApplyToBits(BitStream_, histogram);
}

TWinGCanvas& TWinGBitmap::Canvas() {
  if (!Canvas_) Canvas_ = std::make_unique<TWinGCanvas>(*this);
  return *Canvas_;
}

void TWinGBitmap::ReadData(TStream&) { throw EWinGError("TWinGBitmap.ReadData NOT IMPLEMENTED YET !"); }
void TWinGBitmap::WriteData(TStream&) const { throw EWinGError("TWinGBitmap.WriteData NOT IMPLEMENTED YET !"); }
void TWinGBitmap::LoadFromClipboardFormat() {
  throw EWinGError("TWinGBitmap.LoadFromClipboardFormat NOT IMPLEMENTED YET !");
}
void TWinGBitmap::SaveToClipboardFormat() const {
  throw EWinGError("TWinGBitmap.SaveToClipboardFormat NOT IMPLEMENTED YET !");
}

// ---- BMP reading and writing ---------------------------------------------------

namespace {

// Fields of the 14-byte file header.
constexpr int kFileType = 0;
constexpr int kFileReserved1 = 6;
constexpr int kFileReserved2 = 8;
constexpr int kFileBitsOffset = 10;

// Info headers of later versions begin with the same 40 bytes; their extra
// fields (masks, colour space) mean nothing for an 8-bit palettised picture
// and are skipped.
bool IsKnownLongerInfoHeader(uint32_t size) { return size == 52 || size == 56 || size == 108 || size == 124; }

}  // namespace

void TWinGBitmap::LoadFromStream(TStream& stream) {
  // Everything is read and checked first; the bitmap changes only once the
  // whole picture is in, so a failed load leaves it as it was.
  uint8_t fileHeader[kBitmapFileHeaderSize];
  if (stream.Read(fileHeader, kBitmapFileHeaderSize) != kBitmapFileHeaderSize)
    throw EBitmapFormatError("Hit end of stream while reading bitmap file header");
  if (GetU16LE(fileHeader + kFileType) != kBitmapFileType || GetU16LE(fileHeader + kFileReserved1) != 0 ||
      GetU16LE(fileHeader + kFileReserved2) != 0)
    throw EBitmapFormatError("Unable to load bitmap, Corrupt bitmap file header");
  const int64_t dataOffset = GetU32LE(fileHeader + kFileBitsOffset);

  uint8_t infoBytes[kBitmapInfoHeaderSize];
  if (stream.Read(infoBytes, kBitmapInfoHeaderSize) != kBitmapInfoHeaderSize)
    throw EBitmapFormatError("Unable to load bitmap, End of file encountered while reading bitmap info header");
  TBitmapInfoHeader info;
  info.Read(infoBytes);
  if (info.BitCount != 8)
    throw EBitmapFormatError(
        Format("Unable to load bitmap, This is a %d bpp bitmap, but 8 bpp bitmap required", int(info.BitCount)));
  if (info.Compression != 0) throw EBitmapFormatError("Unable to load bitmap, bitmap must be uncompressed");

  int64_t infoSize = kBitmapInfoHeaderSize;
  if (IsKnownLongerInfoHeader(info.Size) && info.Size <= dataOffset - kBitmapFileHeaderSize) infoSize = info.Size;
  // The colour table fills the room between the headers and the pixels.
  const int64_t colorBytes = dataOffset - kBitmapFileHeaderSize - infoSize;
  if (colorBytes < 0) throw EBitmapFormatError("Unable to load bitmap, Corrupt bitmap file header");
  if (infoSize > kBitmapInfoHeaderSize) stream.Seek(infoSize - kBitmapInfoHeaderSize, soFromCurrent);

  const int colorCount = static_cast<int>(std::min<int64_t>(colorBytes / 4, kColorTableEntries));
  uint8_t colors[kColorTableSize];
  if (stream.Read(colors, colorCount * 4) != colorCount * 4)
    throw EBitmapFormatError("Unable to load bitmap, End of file encountered while reading bitmap colors");

  // A negative height marks rows stored top-down.
  const bool topDown = info.Height < 0;
  const int64_t width = info.Width;
  const int64_t height = topDown ? -static_cast<int64_t>(info.Height) : info.Height;
  CheckSize(width, height);

  const int stride = StrideOf(static_cast<int>(width));
  const int64_t bitsSize = static_cast<int64_t>(stride) * height;
  const int64_t gap = colorBytes - colorCount * 4;
  // Check what is left before allocating anything for the pixels.
  const char* bitsMessage = "Unable to load bitmap, End of file encountered while reading bitmap bits";
  if (stream.Size() - stream.Position() - gap < bitsSize) throw EBitmapFormatError(bitsMessage);
  if (gap > 0) stream.Seek(gap, soFromCurrent);

  std::vector<uint8_t> bits(static_cast<size_t>(bitsSize));
  if (!topDown || height <= 1) {
    if (stream.Read(bits.data(), bitsSize) != bitsSize) throw EBitmapFormatError(bitsMessage);
  } else {
    for (int64_t row = height - 1; row >= 0; --row)
      if (stream.Read(bits.data() + row * stride, stride) != stride) throw EBitmapFormatError(bitsMessage);
  }

  // Commit.
  info.Size = kBitmapInfoHeaderSize;
  info.Width = static_cast<int32_t>(width);
  info.Height = static_cast<int32_t>(height);
  Header_ = info;
  std::memcpy(ColorTable_.data(), colors, static_cast<size_t>(colorCount) * 4);
  Bits_.swap(bits);
  RebuildRows();
}

void TWinGBitmap::SaveToStream(TStream& stream) const {
  TByteWriter head(kBitmapBitsOffset);
  head.U16(kBitmapFileType);
  head.U32(static_cast<uint32_t>(Bits_.size() + kBitmapBitsOffset));
  head.U16(0);  // reserved
  head.U16(0);
  head.U32(kBitmapBitsOffset);
  TBitmapInfoHeader info = Header_;
  // The file always carries all 256 colours; a count beyond that would make
  // the file unreadable elsewhere.
  if (info.ClrUsed > kColorTableEntries) info.ClrUsed = info.ClrImportant = 0;
  info.Write(head);
  head.Bytes(ColorTable_.data(), kColorTableSize);
  head.WriteTo(stream);
  stream.WriteBuffer(Bits_.data(), static_cast<int64_t>(Bits_.size()));
}

void TWinGBitmap::LoadFromFile(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead);
  LoadFromStream(f);
}

void TWinGBitmap::SaveToFile(const std::string& fileName) const {
  SafeSave(fileName, [&](TStream& f) { SaveToStream(f); });
}

// ---- stretched copy ------------------------------------------------------------

void StretchCopy(TWinGBitmap& dest, const TRect& destRect, const TWinGBitmap& src, const TRect& srcRect) {
  const int64_t dw = destRect.Width(), dh = destRect.Height();
  const int64_t sw = srcRect.Width(), sh = srcRect.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  const TWinGBitmap* from = &src;
  TWinGBitmap copy;
  if (&dest == &src) {
    copy.Assign(src);
    from = &copy;
  }
  const int64_t x0 = std::max<int64_t>(destRect.Left, 0), x1 = std::min<int64_t>(destRect.Right, dest.GetWidth());
  const int64_t y0 = std::max<int64_t>(destRect.Top, 0), y1 = std::min<int64_t>(destRect.Bottom, dest.GetHeight());
  if (x0 >= x1 || y0 >= y1) return;
  // Source column of each destination column; -1 where it falls outside.
  std::vector<int> columns(static_cast<size_t>(x1 - x0));
  for (int64_t x = x0; x < x1; ++x) {
    const int64_t sx = srcRect.Left + (x - destRect.Left) * sw / dw;
    columns[static_cast<size_t>(x - x0)] = (sx >= 0 && sx < from->GetWidth()) ? static_cast<int>(sx) : -1;
  }
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t sy = srcRect.Top + (y - destRect.Top) * sh / dh;
    if (sy < 0 || sy >= from->GetHeight()) continue;
    const uint8_t* in = from->ScanLine(static_cast<int>(sy));
    uint8_t* out = dest.ScanLine(static_cast<int>(y)) + x0;
    for (size_t k = 0; k < columns.size(); ++k)
      if (columns[k] >= 0) out[k] = in[columns[k]];
  }
}
