#pragma once
// 3D Studio: the faces of every triangle mesh in the chunk tree become store
// triangles. Materials, mapping, smoothing, matrices, lights, cameras and key
// frames are skipped. Import only.

#include "exchange/TriangleFiler.h"

class T3DSFormat : public TTriImpExpFormat {
public:
  bool CanImport() const override { return true; }
  std::string Description() const override { return "3D Studio (3DS)"; }
  std::string Extension() const override { return ".3DS"; }
  void Import(TStream& stream, TTriangleStore& store) override;
};
