#pragma once
// ZSoft PCX pictures. Every layout arrives as one palette index per pixel:
// 1-, 2- and 4-bit pictures (packed or in planes) keep their own colours,
// 8-bit ones their 256-colour palette, and true-colour pictures are mapped
// onto the nearest game colours. Pictures are written as 8-bit, one plane,
// run-length encoded, with the colour table as the 256-colour palette at the end.

#include "exchange/BitmapFiler.h"

class TPCXFormat : public TBmpImpExpFormat {
public:
  bool CanImport() const override { return true; }
  bool CanExport() const override { return true; }
  std::string Description() const override { return "Zsoft Paintbrush (PCX)"; }
  std::string Extension() const override { return ".PCX"; }
  void Import(TStream& stream, TBitmapFiler& filer) override;
  void Export(TStream& stream, TBitmapFiler& filer) override;
};
