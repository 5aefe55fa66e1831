#pragma once
// AutoCAD DXF (the text form): every 3DFACE entity becomes one or two
// triangles; everything else in the file is skipped. Export writes one
// 3DFACE per triangle.
//
// Axes: DXF X is store component 1, DXF Y component 0, DXF Z component 2.

#include "exchange/TriangleFiler.h"

class TDXFFormat : public TTriImpExpFormat {
public:
  bool CanImport() const override { return true; }
  bool CanExport() const override { return true; }
  std::string Description() const override { return "AutoCAD (DXF)"; }
  std::string Extension() const override { return ".DXF"; }
  void Import(TStream& stream, TTriangleStore& store) override;
  void Export(TStream& stream, const TTriangleStore& store) override;
};
