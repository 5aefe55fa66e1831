#pragma once
// PNG pictures through libpng. Skins are read from palette, grey, RGB and
// RGBA pictures of any bit depth and written as 8-bit palette pictures.
//
// Reading gives a bitmap in the game palette: a palette picture whose
// colours are the game's (entry for entry, as many as it has) keeps its
// indices; every other colour goes to the nearest game colour, and a fully
// transparent pixel to index 255, the game's see-through index. Pictures
// beyond the bitmap's size limits, and files too short to hold the pixels
// they announce, are refused before anything is allocated for them.

#include <cstddef>
#include <cstdint>
#include <string>

#include "exchange/BitmapFiler.h"

class TStream;
class TWinGBitmap;

class TPNGFormat : public TBmpImpExpFormat {
public:
  bool CanImport() const override { return true; }
  bool CanExport() const override { return true; }
  std::string Description() const override { return "Portable Network Graphics (PNG)"; }
  std::string Extension() const override { return ".PNG"; }
  void Import(TStream& stream, TBitmapFiler& filer) override;
  // The filer's bitmap with its own colour table (a skin's is the game palette).
  void Export(TStream& stream, TBitmapFiler& filer) override;
};

// An 8-bit picture to write: Height rows of Width palette indices, row y at
// Pixels + y * Stride (a bitmap's rows run backwards, so the stride may be
// negative). ColorTable holds 256 entries of blue, green, red and a spare
// byte, as a bitmap's colour table does. Transparent, when 0..255, is the
// index written fully transparent.
struct TPngIndexed {
  int Width = 0;
  int Height = 0;
  const uint8_t* Pixels = nullptr;
  ptrdiff_t Stride = 0;
  const uint8_t* ColorTable = nullptr;
  int Transparent = -1;
};

// A true-colour picture to write: red, green, blue, alpha per pixel.
struct TPngRgba {
  int Width = 0;
  int Height = 0;
  const uint8_t* Pixels = nullptr;
  ptrdiff_t Stride = 0;
};

// Write a PNG to the stream; EImportExportError when the picture is empty
// or libpng refuses it, the stream's own error when it cannot take the bytes.
void WritePng(TStream& stream, const TPngIndexed& picture);
void WritePng(TStream& stream, const TPngRgba& picture);
// A bitmap with its own colour table.
void WritePng(TStream& stream, const TWinGBitmap& picture);

// A skin as an 8-bit palette PNG in the game palette, whatever colour table
// the bitmap carries, saved safely to `fileName` (a failure keeps the old file).
void SaveSkinPng(const std::string& fileName, const TWinGBitmap& skin);

// Reads a PNG held in memory into `picture` (game palette, one index per
// pixel, as described above). EImportExportError for anything that is not a
// sound PNG within the limits; `picture` is then left as it was.
void ReadPng(const uint8_t* data, size_t size, TWinGBitmap& picture);
