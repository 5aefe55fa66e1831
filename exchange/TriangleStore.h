#pragma once
// The neutral structure every geometry exchange format reads into and writes
// from: a growable list of loose triangles, each with its three corners.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Exception.h"

// Raised for every error of the exchange formats; the caller shows the text.
TESSEL_DECLARE_EXCEPTION(EImportExportError, Exception);

// Most triangles and vertices an import may produce: what a model can hold.
constexpr int kMaxImportTriangles = 40000;
constexpr int kMaxImportVertices = 40000;

// Largest coordinate an import may give. The model's bounding box is folded
// from +-9999999, so positions beyond it would give a wrong box, and with it
// a wrong origin and scale in the saved file; within it every size, radius
// and area the model computes stays a finite float.
constexpr float kMaxImportCoordinate = 9999999.0f;
// False for NaN and the infinities as well.
inline bool IsImportCoordinate(float v) { return v >= -kMaxImportCoordinate && v <= kMaxImportCoordinate; }
// The end of the importers' messages about coordinates out of range.
inline constexpr const char* kImportCoordinateRange = "a model's positions lie between -9999999 and 9999999";

// One corner: components 0, 1, 2 are the model's frame x, y, z. The fourth
// word has no meaning in the exchange; writers may leave anything there and
// no reader looks at it.
struct TStoreVertex {
  float V[4] = {0, 0, 0, 0};
  float& operator[](int i) { return V[i]; }
  float operator[](int i) const { return V[i]; }
};

struct TStoreTriangle {
  TStoreVertex C[3];
  TStoreVertex& operator[](int i) { return C[i]; }
  const TStoreVertex& operator[](int i) const { return C[i]; }
};

// Where a corner lies on the skin, for the formats that carry it: U across
// from the skin's left edge, V down from its top edge, as fractions of the
// skin's width and height.
struct TStoreSkinCoord {
  float U = 0;
  float V = 0;
};

struct TStoreSkinTriangle {
  TStoreSkinCoord C[3];
  TStoreSkinCoord& operator[](int i) { return C[i]; }
  const TStoreSkinCoord& operator[](int i) const { return C[i]; }
};

static_assert(sizeof(TStoreVertex) == 16, "a corner record is four 32-bit words");
static_assert(sizeof(TStoreTriangle) == 48, "a triangle record is three corners");

class TTriangleStore {
public:
  // The array grows in whole blocks so formats can append one triangle at a
  // time without a reallocation each.
  static constexpr int kGrowBlock = 1000;

  TTriangleStore() = default;
  virtual ~TTriangleStore() = default;
  TTriangleStore(const TTriangleStore&) = delete;
  TTriangleStore& operator=(const TTriangleStore&) = delete;

  int Count() const { return Count_; }
  int Capacity() const { return Capacity_; }
  // Sets the count, growing the array when needed; records below the old
  // count survive and the array never shrinks. A negative count is taken
  // as 0.
  void SetCount(int n);
  // Record i, for 0 <= i < Count() (not range-checked).
  TStoreTriangle* Triangle(int i) { return Triangles_.get() + i; }
  const TStoreTriangle* Triangle(int i) const { return Triangles_.get() + i; }
  // Appends one triangle with every corner zeroed and returns it.
  TStoreTriangle& AddTriangle();

  // Skin coordinates: one record for every triangle, or none. A count set
  // below the records drops the rest, so an import (which starts from
  // count 0) starts without them, and a format that does not give them
  // leaves none.
  bool HasSkinCoords() const { return Count_ > 0 && SkinCoords_.size() == static_cast<size_t>(Count_); }
  // Takes one record per triangle; any other number of records gives none.
  void SetSkinCoords(std::vector<TStoreSkinTriangle>&& coords);
  void ClearSkinCoords() { SkinCoords_.clear(); }
  // Record i, for 0 <= i < Count() while HasSkinCoords().
  TStoreSkinTriangle& SkinTriangle(int i) { return SkinCoords_[static_cast<size_t>(i)]; }
  const TStoreSkinTriangle& SkinTriangle(int i) const { return SkinCoords_[static_cast<size_t>(i)]; }

  // The file being read or written, set by the filer (empty for a stream
  // alone); formats whose files name others beside them find them here.
  std::string FileName;
  // The skin picture that goes with the file: the one it names after an
  // import (a model's base import keeps it only when the picture became
  // the skin), the one its export named (for the caller to write) after an
  // export. Empty when there is none.
  mutable std::string SkinPictureFile;

private:
  std::unique_ptr<TStoreTriangle[]> Triangles_;
  int Capacity_ = 0;
  int Count_ = 0;
  std::vector<TStoreSkinTriangle> SkinCoords_;
};
