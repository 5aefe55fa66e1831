#include "render/ZSorter.h"

#include <algorithm>

#include "core/Format.h"

TZSorter::TZSorter(int capacity)
    : Capacity_(std::max(capacity, 0)),
      Pool_(new TZPair[static_cast<size_t>(Capacity_)]),
      Items_(new TZPair*[static_cast<size_t>(Capacity_)]()) {
  Sortable_ = true;
  Duplicates_ = dupAccept;
}

// The pairs live in one pool that goes with the sorter; dropping the list
// first keeps the container's own release from touching them.
TZSorter::~TZSorter() { Count_ = 0; }

void TZSorter::CheckSlot(int index) const {
  if (index < 0 || index >= Capacity_)
    throw EContainerError(Format("Container error: index %d outside the sorter's %d places", index, Capacity_));
}

void TZSorter::AddPair(int32_t index, float key) {
  if (Used_ >= Capacity_ || Count_ >= Capacity_)
    throw EContainerError(Format("Container error: the sorter holds at most %d pairs", Capacity_));
  TZPair& pair = Pool_[static_cast<size_t>(Used_++)];
  pair.Key = key;
  pair.Index = index;
  Add(&pair);
}

void TZSorter::GetPair(int i, TZPair& pair) const {
  if (i < 0 || i >= Count_ || !Items_[static_cast<size_t>(i)])
    throw EContainerError(Format("Container error: no pair at index %d", i));
  const TZPair& p = *Items_[static_cast<size_t>(i)];
  pair.Key = p.Key;
  pair.Index = p.Index;
}

int TZSorter::Compare(TContainerKey a, TContainerKey b) const {
  // An emptied place sorts after every pair.
  const auto* pa = static_cast<const TZPair*>(static_cast<const TStreamable*>(a));
  const auto* pb = static_cast<const TZPair*>(static_cast<const TStreamable*>(b));
  if (!pa || !pb) return pa == pb ? 0 : (pa ? -1 : 1);
  if (pa->Key < pb->Key) return -1;
  if (pa->Key > pb->Key) return 1;
  return 0;
}

TStreamable* TZSorter::Get(int index) const {
  if (index < 0 || index >= Count_) throw EContainerError(Format("Container error: no pair at index %d", index));
  return Items_[static_cast<size_t>(index)];
}

std::string TZSorter::GetString(TStreamable*) const {
  throw EAbstractError("Method TZBuffer.GetString not implemented");
}

void TZSorter::InsertRaw(int index, TStreamable* item) {
  CheckSlot(index);
  auto* pair = dynamic_cast<TZPair*>(item);
  if (item && !pair) throw EContainerError("Container error: a depth sorter holds depth pairs only");
  Items_[static_cast<size_t>(index)] = pair;
  if (index >= Count_) Count_ = index + 1;
}

void TZSorter::PutRaw(int index, TStreamable* item) {
  CheckSlot(index);
  auto* pair = dynamic_cast<TZPair*>(item);
  if (item && !pair) throw EContainerError("Container error: a depth sorter holds depth pairs only");
  Items_[static_cast<size_t>(index)] = pair;
}

void TZSorter::DeleteRaw(int index) {
  CheckSlot(index);
  // The pair itself belongs to the pool; its place is emptied. Emptying the
  // last place shortens the list, so clearing the sorter leaves it empty.
  Items_[static_cast<size_t>(index)] = nullptr;
  if (index == Count_ - 1) {
    while (Count_ > 0 && !Items_[static_cast<size_t>(Count_ - 1)]) --Count_;
  }
}
