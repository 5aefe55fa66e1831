#pragma once
// LightWave objects: the point and polygon lists of the IFF file; only
// triangles are accepted. Import only.

#include "exchange/TriangleFiler.h"

class TLWOFormat : public TTriImpExpFormat {
public:
  bool CanImport() const override { return true; }
  std::string Description() const override { return "LightWave (LWO)"; }
  std::string Extension() const override { return ".LWO"; }
  void Import(TStream& stream, TTriangleStore& store) override;
};
