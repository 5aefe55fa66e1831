#pragma once
// Wavefront OBJ text. Import reads vertices ("v"), texture coordinates
// ("vt") and polygons ("f"), fanning each polygon into triangles; normals
// ("vn") are checked and counted, so faces may name them, but not kept, and
// every other statement (objects, groups, smoothing, lines, materials) is
// passed over. The texture coordinates become the store's skin coordinates
// when every corner of every face has one, and the picture the material
// library names for the faces becomes the store's skin picture.
//
// Export writes each distinct corner position once and, when the store has
// skin coordinates, each distinct one as a texture coordinate. Written to a
// named file it also writes a material library beside it ("NAME.mtl") whose
// one material shows the skin picture "NAME.png"; the store's
// SkinPictureFile names it afterwards, for the caller to write.
//
// Axes: OBJ X is store component 0, OBJ Y (up) component 2 and OBJ Z the
// negated component 1. Texture coordinate v runs up from the picture's
// bottom, the store's V down from its top. Front faces run anticlockwise in
// OBJ and clockwise in the model, so the corner order is reversed both ways.

#include <string>

#include "exchange/TriangleFiler.h"

// Longest statement the reader takes, in bytes (lines joined by a trailing
// backslash count as one); a longer one is refused instead of being held.
constexpr int kObjMaxLineLength = 1 << 20;
// Most texture coordinates and normals a file may define: one for each
// corner of the most triangles a model holds.
constexpr int kObjMaxTexCoords = 3 * kMaxImportTriangles;
constexpr int kObjMaxNormals = 3 * kMaxImportTriangles;
// A material library larger than this is not read.
constexpr int kObjMaxMaterialLibrarySize = 1 << 20;

class TOBJFormat : public TTriImpExpFormat {
public:
  bool CanImport() const override { return true; }
  bool CanExport() const override { return true; }
  std::string Description() const override { return "Wavefront (OBJ)"; }
  std::string Extension() const override { return ".OBJ"; }
  void Import(TStream& stream, TTriangleStore& store) override;
  void Export(TStream& stream, const TTriangleStore& store) override;
};

// The picture a material library's text gives material `material` as its
// diffuse map ("map_Kd"), options skipped; with `material` empty, or not
// in the library, the first material's that has one. "" when none does.
std::string ObjMaterialPicture(const std::string& libraryText, const std::string& material);
