#include "exchange/PngFormat.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "core/Format.h"
#include "core/SafeSave.h"
#include "core/Streams.h"
#include "exchange/NearestGameColor.h"
#include "exchange/StreamBytes.h"
#include "raster/ColorTables.h"
#include "raster/WinGBitmap.h"

// libpng reports errors by a long jump back to the routine that set it up.
// Every routine here that calls libpng keeps its state in an object made
// before the jump point, calls nothing between the jump point and libpng
// that needs unwinding, and turns a jump into an exception only once it is
// back in plain C++.

namespace {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr size_t kChunkHeaderSize = 8;  // length, type
constexpr size_t kChunkCrcSize = 4;
constexpr size_t kHeaderDataSize = 13;
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFFu;
// No deflate stream expands beyond this; a file whose image data could not
// hold the rows it announces is refused before the rows are allocated.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 1024;
// Ancillary chunks are skipped unread, but libpng still buffers some
// chunk data; these bound what a hostile file can make it hold.
constexpr png_uint_32 kChunkCacheMax = 128;
constexpr png_alloc_size_t kChunkMallocMax = 8u << 20;
// The fastest deflate level: on skins it is also the quickest of the
// run-length and Huffman-only strategies and packs tighter than both (it
// finds the rows repeated in stretched pictures); the default level takes
// three times as long for a tenth less.
constexpr int kPaletteCompressionLevel = 1;
constexpr int kRgbaCompressionLevel = 1;
constexpr size_t kWriteBufferSize = 1u << 16;
constexpr uint8_t kTransparentIndex = 255;

uint32_t BE32(const uint8_t* p) { return GetU32BE(p); }

// What the chunk walk learns before libpng sees the file.
struct THeaderScan {
  uint32_t Width = 0;
  uint32_t Height = 0;
  int BitDepth = 0;
  int ColorType = 0;
  uint64_t ImageDataBytes = 0;
};

int ChannelsOf(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
      return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 0;
  }
}

bool ValidDepth(int colorType, int depth) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case PNG_COLOR_TYPE_PALETTE:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    default:
      return depth == 8 || depth == 16;
  }
}

// Walks the chunks: the header first, the size against the bitmap's limits,
// and the image data against the rows it has to fill.
THeaderScan ScanChunks(const uint8_t* data, size_t size) {
  if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
    throw EImportExportError("Not a valid PNG file");
  THeaderScan scan;
  size_t pos = sizeof kSignature;
  bool first = true;
  while (size - pos >= kChunkHeaderSize) {
    const uint32_t length = BE32(data + pos);
    const uint8_t* type = data + pos + 4;
    if (length > kMaxChunkLength) throw EImportExportError("PNG file is damaged: a chunk is too long");
    const size_t start = pos + kChunkHeaderSize;
    const size_t present = std::min<size_t>(length, size - start);
    if (first) {
      if (std::memcmp(type, "IHDR", 4) != 0 || length != kHeaderDataSize || present != kHeaderDataSize)
        throw EImportExportError("PNG file is damaged: it does not start with its header");
      const uint8_t* h = data + start;
      scan.Width = BE32(h);
      scan.Height = BE32(h + 4);
      scan.BitDepth = h[8];
      scan.ColorType = h[9];
      first = false;
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      scan.ImageDataBytes += present;
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      break;
    }
    if (present < length) break;
    pos = start + length + std::min(kChunkCrcSize, size - start - length);
  }
  if (first) throw EImportExportError("PNG file is damaged: it does not start with its header");

  if (scan.Width == 0 || scan.Height == 0 || scan.Width > TWinGBitmap::kMaxWidth ||
      scan.Height > TWinGBitmap::kMaxHeight)
    throw EImportExportError(Format("PNG picture is %u x %u pixels; pictures of 1 x 1 to %d x %d can be loaded",
                                    scan.Width, scan.Height, TWinGBitmap::kMaxWidth, TWinGBitmap::kMaxHeight));
  const int channels = ChannelsOf(scan.ColorType);
  if (channels == 0 || !ValidDepth(scan.ColorType, scan.BitDepth))
    throw EImportExportError(Format("PNG file is damaged: colour type %d with %d bits per sample", scan.ColorType,
                                    scan.BitDepth));
  const uint64_t rowBytes = (uint64_t{scan.Width} * channels * scan.BitDepth + 7) / 8;
  const uint64_t rawBytes = uint64_t{scan.Height} * (rowBytes + 1);
  if (rawBytes > scan.ImageDataBytes * kMaxInflateRatio + kInflateSlack)
    throw EImportExportError(Format("PNG file holds too little image data for its %u x %u pixels", scan.Width,
                                    scan.Height));
  return scan;
}

// The part of the state every libpng callback reaches.
struct TPngContext {
  char Message[192] = "unknown libpng error";
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* context = static_cast<TPngContext*>(png_get_error_ptr(png));
  std::snprintf(context->Message, sizeof context->Message, "%s", message ? message : "unknown error");
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// ---- reading ---------------------------------------------------------------------

class TPngDecoder {
public:
  TPngDecoder(const uint8_t* data, size_t size, const THeaderScan& scan) : Data_(data), Size_(size), Scan_(scan) {}
  ~TPngDecoder() {
    if (Png_) png_destroy_read_struct(&Png_, Info_ ? &Info_ : nullptr, nullptr);
  }

  // False with Context_.Message set when libpng gave up.
  bool Run();
  const char* Message() const { return Context_.Message; }
  TWinGBitmap& Picture() { return Picture_; }

private:
  static void ReadData(png_structp png, png_bytep out, size_t count) {
    auto* self = static_cast<TPngDecoder*>(png_get_io_ptr(png));
    if (count > self->Size_ - self->Pos_) png_error(png, "the file ends before its picture");
    std::memcpy(out, self->Data_ + self->Pos_, count);
    self->Pos_ += count;
  }
  void Setup();
  void ChooseMapping();
  void StoreRow(int y, const uint8_t* row);

  const uint8_t* Data_;
  size_t Size_;
  size_t Pos_ = 0;
  THeaderScan Scan_;
  TPngContext Context_;
  png_structp Png_ = nullptr;
  png_infop Info_ = nullptr;
  bool Indexed_ = false;
  // Palette pictures: what each index becomes.
  std::array<uint8_t, 256> IndexMap_{};
  TNearestGameColor Nearest_;
  std::vector<uint8_t> Rows_;
  TWinGBitmap Picture_;
};

void TPngDecoder::Setup() {
  Png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &Context_, OnPngError, OnPngWarning);
  if (!Png_) throw EImportExportError("PNG reader could not be made");
  Info_ = png_create_info_struct(Png_);
  if (!Info_) throw EImportExportError("PNG reader could not be made");
}

bool TPngDecoder::Run() {
  Setup();
  if (setjmp(png_jmpbuf(Png_))) return false;

  png_set_read_fn(Png_, this, &TPngDecoder::ReadData);
  png_set_user_limits(Png_, TWinGBitmap::kMaxWidth, TWinGBitmap::kMaxHeight);
  png_set_chunk_cache_max(Png_, kChunkCacheMax);
  png_set_chunk_malloc_max(Png_, kChunkMallocMax);
  // Only the header, palette, transparency and image data matter here.
  png_set_keep_unknown_chunks(Png_, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(Png_, Info_);

  const int colorType = png_get_color_type(Png_, Info_);
  Indexed_ = colorType == PNG_COLOR_TYPE_PALETTE;
  if (Indexed_) {
    png_set_packing(Png_);
  } else {
    png_set_scale_16(Png_);
    png_set_expand(Png_);
    png_set_gray_to_rgb(Png_);
    png_set_add_alpha(Png_, 0xFF, PNG_FILLER_AFTER);
  }
  const int passes = png_set_interlace_handling(Png_);
  png_read_update_info(Png_, Info_);

  const size_t width = Scan_.Width;
  const size_t height = Scan_.Height;
  const size_t rowBytes = png_get_rowbytes(Png_, Info_);
  if (rowBytes != width * (Indexed_ ? 1 : 4)) png_error(Png_, "unexpected row layout");
  if (Indexed_) ChooseMapping();

  Picture_.SetSize(static_cast<int>(width), static_cast<int>(height));
  const TWinGPalette& game = GamePalette();
  for (int i = 0; i < kColorTableEntries; ++i) Picture_.SetColorEntry(i, game.GetColor(i) & 0xFFFFFFu);

  // Interlaced pictures fill every row in each pass, so they are held whole.
  const bool whole = passes > 1;
  Rows_.resize(rowBytes * (whole ? height : 1));
  for (int pass = 0; pass < passes; ++pass)
    for (size_t y = 0; y < height; ++y) {
      uint8_t* row = Rows_.data() + (whole ? y * rowBytes : 0);
      png_read_row(Png_, row, nullptr);
      if (!whole) StoreRow(static_cast<int>(y), row);
    }
  if (whole)
    for (size_t y = 0; y < height; ++y) StoreRow(static_cast<int>(y), Rows_.data() + y * rowBytes);
  return true;
}

void TPngDecoder::ChooseMapping() {
  png_colorp colors = nullptr;
  int count = 0;
  if (!png_get_PLTE(Png_, Info_, &colors, &count) || !colors) count = 0;
  png_bytep alpha = nullptr;
  int alphaCount = 0;
  if (!png_get_tRNS(Png_, Info_, &alpha, &alphaCount, nullptr) || !alpha) alphaCount = 0;

  const TWinGPalette& game = GamePalette();
  bool gamePalette = count > 0;
  for (int i = 0; i < count && gamePalette; ++i) {
    const TRGBQuad q = game.GetColor(i);
    gamePalette = colors[i].red == QuadRed(q) && colors[i].green == QuadGreen(q) && colors[i].blue == QuadBlue(q);
  }
  for (int i = 0; i < 256; ++i) {
    if (gamePalette) {
      IndexMap_[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    } else if (i < alphaCount && alpha[i] == 0) {
      IndexMap_[static_cast<size_t>(i)] = kTransparentIndex;
    } else if (i < count) {
      IndexMap_[static_cast<size_t>(i)] = Nearest_(colors[i].red, colors[i].green, colors[i].blue);
    } else {
      // An index past the palette shows as black.
      IndexMap_[static_cast<size_t>(i)] = Nearest_(0, 0, 0);
    }
  }
}

void TPngDecoder::StoreRow(int y, const uint8_t* row) {
  uint8_t* out = Picture_.ScanLine(y);
  const size_t width = Scan_.Width;
  if (Indexed_) {
    for (size_t x = 0; x < width; ++x) out[x] = IndexMap_[row[x]];
    return;
  }
  for (size_t x = 0; x < width; ++x, row += 4)
    out[x] = row[3] == 0 ? kTransparentIndex : Nearest_(row[0], row[1], row[2]);
}

// ---- writing ---------------------------------------------------------------------

class TPngEncoder {
public:
  ~TPngEncoder() {
    if (Png_) png_destroy_write_struct(&Png_, Info_ ? &Info_ : nullptr);
  }

  // False with the message set (or Error_ holding what the output raised)
  // when libpng gave up.
  bool Run(const TPngIndexed* indexed, const TPngRgba* rgba);
  const char* Message() const { return Context_.Message; }
  std::exception_ptr Error() const { return Error_; }
  const std::vector<uint8_t>& Bytes() const { return Out_; }

private:
  static void WriteData(png_structp png, png_bytep data, size_t count) {
    auto* self = static_cast<TPngEncoder*>(png_get_io_ptr(png));
    bool failed = false;
    try {
      self->Out_.insert(self->Out_.end(), data, data + count);
    } catch (...) {
      self->Error_ = std::current_exception();
      failed = true;
    }
    if (failed) png_error(png, "out of memory");
  }
  static void Flush(png_structp) {}

  TPngContext Context_;
  png_structp Png_ = nullptr;
  png_infop Info_ = nullptr;
  std::vector<uint8_t> Out_;
  std::exception_ptr Error_;
  std::array<png_color, 256> Palette_{};
  std::array<png_byte, 256> Alpha_{};
};

bool TPngEncoder::Run(const TPngIndexed* indexed, const TPngRgba* rgba) {
  Png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &Context_, OnPngError, OnPngWarning);
  if (!Png_) throw EImportExportError("PNG writer could not be made");
  Info_ = png_create_info_struct(Png_);
  if (!Info_) throw EImportExportError("PNG writer could not be made");
  const int width = indexed ? indexed->Width : rgba->Width;
  const int height = indexed ? indexed->Height : rgba->Height;
  Out_.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) / 2 + 1024);
  if (setjmp(png_jmpbuf(Png_))) return false;

  png_set_write_fn(Png_, this, &TPngEncoder::WriteData, &TPngEncoder::Flush);
  png_set_compression_buffer_size(Png_, kWriteBufferSize);
  if (indexed) {
    png_set_IHDR(Png_, Info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    for (size_t i = 0; i < Palette_.size(); ++i) {
      const uint8_t* q = indexed->ColorTable + 4 * i;
      Palette_[i] = png_color{q[2], q[1], q[0]};
    }
    png_set_PLTE(Png_, Info_, Palette_.data(), static_cast<int>(Palette_.size()));
    if (indexed->Transparent >= 0 && indexed->Transparent <= 255) {
      std::fill(Alpha_.begin(), Alpha_.end(), png_byte{255});
      Alpha_[static_cast<size_t>(indexed->Transparent)] = 0;
      png_set_tRNS(Png_, Info_, Alpha_.data(), indexed->Transparent + 1, nullptr);
    }
    // Filters do not help palette pictures.
    png_set_filter(Png_, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(Png_, kPaletteCompressionLevel);
  } else {
    png_set_IHDR(Png_, Info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(Png_, kRgbaCompressionLevel);
  }
  png_write_info(Png_, Info_);
  const uint8_t* pixels = indexed ? indexed->Pixels : rgba->Pixels;
  const ptrdiff_t stride = indexed ? indexed->Stride : rgba->Stride;
  for (int y = 0; y < height; ++y) png_write_row(Png_, pixels + stride * y);
  png_write_end(Png_, nullptr);
  return true;
}

void Encode(TStream& stream, const TPngIndexed* indexed, const TPngRgba* rgba) {
  const int width = indexed ? indexed->Width : rgba->Width;
  const int height = indexed ? indexed->Height : rgba->Height;
  const void* pixels = indexed ? static_cast<const void*>(indexed->Pixels) : rgba->Pixels;
  if (width <= 0 || height <= 0 || !pixels || (indexed && !indexed->ColorTable))
    throw EImportExportError(Format("Cannot write an empty %d x %d picture as PNG", width, height));
  TPngEncoder encoder;
  if (!encoder.Run(indexed, rgba)) {
    if (encoder.Error()) std::rethrow_exception(encoder.Error());
    throw EImportExportError(Format("PNG could not be written: %s", encoder.Message()));
  }
  stream.WriteBuffer(encoder.Bytes().data(), static_cast<int64_t>(encoder.Bytes().size()));
}

TPngIndexed IndexedOf(const TWinGBitmap& picture, const uint8_t* colorTable) {
  TPngIndexed p;
  p.Width = picture.GetWidth();
  p.Height = picture.GetHeight();
  if (p.Width > 0 && p.Height > 0) {
    p.Pixels = picture.ScanLine(0);
    p.Stride = p.Height > 1 ? picture.ScanLine(1) - picture.ScanLine(0) : 0;
  }
  p.ColorTable = colorTable;
  return p;
}

}  // namespace

void WritePng(TStream& stream, const TPngIndexed& picture) { Encode(stream, &picture, nullptr); }

void WritePng(TStream& stream, const TPngRgba& picture) { Encode(stream, nullptr, &picture); }

void WritePng(TStream& stream, const TWinGBitmap& picture) {
  WritePng(stream, IndexedOf(picture, picture.ColorTable()));
}

void SaveSkinPng(const std::string& fileName, const TWinGBitmap& skin) {
  std::array<uint8_t, kColorTableSize> table{};
  const TWinGPalette& game = GamePalette();
  for (int i = 0; i < kColorTableEntries; ++i) {
    const TRGBQuad q = game.GetColor(i);
    table[static_cast<size_t>(i) * 4 + 0] = QuadBlue(q);
    table[static_cast<size_t>(i) * 4 + 1] = QuadGreen(q);
    table[static_cast<size_t>(i) * 4 + 2] = QuadRed(q);
  }
  const TPngIndexed picture = IndexedOf(skin, table.data());
  SafeSave(fileName, [&](TStream& stream) { WritePng(stream, picture); });
}

void ReadPng(const uint8_t* data, size_t size, TWinGBitmap& picture) {
  const THeaderScan scan = ScanChunks(data, size);
  TPngDecoder decoder(data, size, scan);
  if (!decoder.Run()) throw EImportExportError(Format("PNG file is damaged: %s", decoder.Message()));
  picture.Assign(decoder.Picture());
}

void TPNGFormat::Import(TStream& stream, TBitmapFiler& filer) {
  const std::vector<uint8_t> file = ReadRemainingBytes(stream);
  ReadPng(file.data(), file.size(), filer.Bitmap());
}

void TPNGFormat::Export(TStream& stream, TBitmapFiler& filer) { WritePng(stream, filer.Bitmap()); }
