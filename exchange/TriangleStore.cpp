#include "exchange/TriangleStore.h"

#include <algorithm>
#include <limits>

void TTriangleStore::SetCount(int n) {
  if (n < 0) n = 0;
  if (n > std::numeric_limits<int>::max() - kGrowBlock) throw EImportExportError("Too many triangles");
  Count_ = n;
  if (SkinCoords_.size() > static_cast<size_t>(n)) SkinCoords_.resize(static_cast<size_t>(n));
  const int64_t blocks = n / kGrowBlock + 1;
  if (blocks * kGrowBlock > Capacity_) {
    const int newCapacity = static_cast<int>(blocks * kGrowBlock);
    std::unique_ptr<TStoreTriangle[]> grown(new TStoreTriangle[static_cast<size_t>(newCapacity)]);
    if (Triangles_) std::copy(Triangles_.get(), Triangles_.get() + Capacity_, grown.get());
    Triangles_ = std::move(grown);
    Capacity_ = newCapacity;
  }
}

TStoreTriangle& TTriangleStore::AddTriangle() {
  SetCount(Count_ + 1);
  TStoreTriangle& t = Triangles_[static_cast<size_t>(Count_ - 1)];
  t = TStoreTriangle{};
  return t;
}

void TTriangleStore::SetSkinCoords(std::vector<TStoreSkinTriangle>&& coords) {
  if (coords.size() == static_cast<size_t>(Count_))
    SkinCoords_ = std::move(coords);
  else
    SkinCoords_.clear();
}
