#pragma once
// Windows bitmaps: uncompressed 8-bit pictures, read and written by the
// bitmap itself, and 24- and 32-bit pictures read here onto the nearest game
// colours (a 32-bit picture's alpha channel, when it has one in use, sends
// fully transparent pixels to index 255).

#include "exchange/BitmapFiler.h"

class TBMPFormat : public TBmpImpExpFormat {
public:
  bool CanImport() const override { return true; }
  bool CanExport() const override { return true; }
  std::string Description() const override { return "Windows Bitmap (BMP)"; }
  std::string Extension() const override { return ".BMP"; }
  void Import(TStream& stream, TBitmapFiler& filer) override;
  void Export(TStream& stream, TBitmapFiler& filer) override;
};
