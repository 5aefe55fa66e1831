#pragma once
// Breeze Designer scene files (text). Import reads the decomposed triangle
// objects; export writes a whole scene with a camera, two lights and one
// object holding every triangle.
//
// Axes and scale: file (x, y, z) is store (2x, 2z, 2y).

#include "exchange/TriangleFiler.h"

class TCADFormat : public TTriImpExpFormat {
public:
  bool CanImport() const override { return true; }
  bool CanExport() const override { return true; }
  std::string Description() const override { return "Breeze Designer (CAD)"; }
  std::string Extension() const override { return ".CAD"; }
  void Import(TStream& stream, TTriangleStore& store) override;
  void Export(TStream& stream, const TTriangleStore& store) override;
};
