#include "core/Containr.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "core/Format.h"

TESSEL_ABSTRACT_STREAMABLE_IMPL(TContainer, TStreamable);
TESSEL_STREAMABLE_IMPL(TCollection, TContainer);

namespace {
// The containers are streamable from start-up on.
const bool CollectionRegistered = (RegisterStreamable(TCollection::StreamableClass), true);

[[noreturn]] void RaiseDuplicate() { throw EContainerError("Container error: 0"); }

// Makes every container among the items (at any depth) own what it holds,
// so that freeing the items frees everything a failed load made.
void OwnNestedItems(TContainer& c) {
  for (int i = 0; i < c.Count(); ++i) {
    if (auto* inner = dynamic_cast<TContainer*>(c.Get(i))) {
      OwnNestedItems(*inner);
      inner->SetOwnsItems(true);
    }
  }
}
}  // namespace

// ---- streaming -----------------------------------------------------------------

void TContainer::Load(TFilter& filter) {
  TStreamable::Load(filter);
  try {
    Updating([&] {
      Sortable_ = ReadU8(filter) != 0;
      Duplicates_ = ReadU8(filter);
      OwnsItems_ = ReadU8(filter) != 0;
      Sorted_ = ReadU8(filter) != 0;
      int32_t count = ReadI32LE(filter);
      if (count < 0) throw EStreamError(Format("Invalid item count %d in container stream", count));
      // Items are read one at a time: a damaged count runs the stream out
      // rather than reserving memory.
      for (int32_t i = 0; i < count; ++i) {
        std::unique_ptr<TStreamable> item(ReadItem(filter));
        TStreamable* raw = item.get();
        // Under dupFreeError Add frees an item it rejects; any other item it
        // does not take (a dropped duplicate) was made here and is freed here.
        if (Duplicates_ == dupFreeError) item.release();
        if (Add(raw) >= 0) item.release();
      }
    });
  } catch (...) {
    // Everything this load created is garbage now. A non-owning container
    // (here or among the items) would lose its items with it: free them.
    OwnNestedItems(*this);
    if (!OwnsItems_) {
      std::vector<TStreamable*> made;
      for (int i = 0; i < Count(); ++i) made.push_back(Get(i));
      ClearList();
      for (TStreamable* p : made) FreeItem(p);
    }
    throw;
  }
}

void TContainer::Store(TFilter& filter) const {
  TStreamable::Store(filter);
  WriteU8(filter, Sortable_ ? 1 : 0);
  WriteU8(filter, Duplicates_);
  WriteU8(filter, OwnsItems_ ? 1 : 0);
  WriteU8(filter, Sorted_ ? 1 : 0);
  int n = Count();
  WriteI32LE(filter, n);
  for (int i = 0; i < n; ++i) WriteItem(Get(i), filter);
}

TStreamable* TContainer::ReadItem(TFilter& filter) { return filter.ReadObject().release(); }

void TContainer::WriteItem(TStreamable* item, TFilter& filter) const {
  if (!item) throw EStreamError("Cannot store an empty item");
  filter.WriteObject(*item);
}

// ---- notification -------------------------------------------------------------

void TContainer::Changed() {
  if (OnChange && UpdateCount_ == 0) OnChange(*this);
}

void TContainer::OptionsChanged() {
  if (OnOptionsChange && UpdateCount_ == 0) OnOptionsChange(*this);
}

void TContainer::SetUpdating(bool updating) {
  if (!updating) Changed();
}

void TContainer::BeginUpdate() {
  if (UpdateCount_ == 0) SetUpdating(true);
  ++UpdateCount_;
}

void TContainer::EndUpdate() {
  // An unmatched EndUpdate must not leave the count negative, which would
  // silence every later change.
  if (UpdateCount_ <= 0) return;
  --UpdateCount_;
  if (UpdateCount_ == 0) SetUpdating(false);
}

void TContainer::DestroyItems() {
  OnChange = nullptr;
  OnOptionsChange = nullptr;
  ReleaseAll();
}

// ---- keys and items ---------------------------------------------------------------

bool TContainer::KeyAllowed(TContainerKey oldKey, TContainerKey newKey) const {
  if (Duplicates_ == dupAccept || Compare(oldKey, newKey) == 0) return true;
  int index;
  return !Search(newKey, index);
}

int TContainer::Compare(TContainerKey key1, TContainerKey key2) const { return key1 == key2 ? 0 : -1; }

void TContainer::FreeItem(TStreamable* item) { delete item; }

void TContainer::ReleaseAll() {
  if (OwnsItems_)
    FreeAll();
  else
    ClearList();
}

void TContainer::DuplicateError(TStreamable* item) {
  FreeItem(item);
  RaiseDuplicate();
}

std::string TContainer::GetString(TStreamable*) const { throw EAbstractError("Abstract Error"); }

TContainerKey TContainer::KeyOf(const TStreamable* item) const { return item; }

void TContainer::SetOwnsItems(bool value) { OwnsItems_ = value; }

// ---- adding -----------------------------------------------------------------------

bool TContainer::PassesDuplicateCheck(TStreamable* item, int& foundIndex, bool& searched) {
  searched = false;
  if (Duplicates_ == dupAccept) return true;
  searched = true;
  if (!Find(item, foundIndex)) return true;
  switch (Duplicates_) {
    case dupFreeError: DuplicateError(item); RaiseDuplicate();  // in case an override returns
    case dupError: RaiseDuplicate();
    default: return false;  // dupIgnore, and any unknown setting read from a file
  }
}

int TContainer::InsertChecked(int index, TStreamable* item, bool useIndex) {
  int found = 0;
  bool searched = false;
  if (!PassesDuplicateCheck(item, found, searched)) return -1;
  if (Sorted_) {
    // The failed search above already gave the sorted position.
    if (!searched) Search(KeyOf(item), found);
    index = found;
  } else if (!useIndex) {
    index = Count();
  }
  InsertRaw(index, item);
  Changed();
  return index;
}

int TContainer::Add(TStreamable* item) { return InsertChecked(0, item, false); }

int TContainer::Insert(int index, TStreamable* item) { return InsertChecked(index, item, true); }

void TContainer::Replace(int index, TStreamable* item) {
  Updating([&] {
    DeleteAt(index);
    Insert(index, item);
  });
}

void TContainer::AssignFrom(TContainer& source) {
  // Freeing our items first would empty the source too.
  if (&source == this) return;
  Updating([&] {
    FreeAll();
    int n = source.Count();
    for (int i = 0; i < n; ++i) Add(source.Get(i));
  });
}

// ---- removing ---------------------------------------------------------------------

void TContainer::FreeAll() {
  Updating([&] {
    int i = Count() - 1;
    while (i >= 0) {
      FreeAt(i);
      // Freeing an item may have removed others.
      i = std::min(i, Count()) - 1;
    }
  });
}

void TContainer::FreeAt(int index) {
  TStreamable* item = Get(index);
  // Out of the list before it is freed, so that its destruction cannot
  // find it here again.
  DeleteRaw(index);
  if (OwnsItems_) FreeItem(item);
  Changed();
}

void TContainer::Remove(TStreamable* item) {
  int index;
  if (Find(item, index)) FreeAt(index);
}

void TContainer::DeleteAt(int index) {
  DeleteRaw(index);
  Changed();
}

void TContainer::ClearList() {
  Updating([&] {
    for (int i = Count() - 1; i >= 0; --i) DeleteAt(i);
  });
}

// ---- order ---------------------------------------------------------------------------

void TContainer::Exchange(int i, int j) {
  TStreamable* a = Get(i);
  TStreamable* b = Get(j);
  PutRaw(i, b);
  PutRaw(j, a);
  Changed();
}

void TContainer::Move(int from, int to) {
  if (from == to) return;
  Updating([&] {
    TStreamable* item = Get(from);
    DeleteAt(from);
    Insert(to, item);
  });
}

bool TContainer::Find(const TStreamable* item, int& index) const { return Search(KeyOf(item), index); }

bool TContainer::Search(TContainerKey key, int& index) const {
  if (!Sorted_) {
    int n = Count();
    for (int i = 0; i < n; ++i) {
      if (Compare(KeyOf(Get(i)), key) == 0) {
        index = i;
        return true;
      }
    }
    index = n;
    return false;
  }
  int lo = 0;
  int hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = Compare(KeyOf(Get(mid)), key);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates_ != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

int TContainer::IndexOf(const TStreamable* item) const {
  int index;
  return Find(item, index) ? index : -1;
}

void TContainer::Sort() {
  if (Sorted_ || !Sortable_ || Count() < 2) return;
  Updating([&] { QuickSort(0, Count() - 1); });
}

void TContainer::QuickSort(int lo, int hi) {
  // The smaller part is sorted by recursion and the larger by the loop, so
  // the stack stays shallow whatever the keys; the parts are disjoint, so
  // the order in which they are sorted does not change the result.
  while (lo < hi) {
    TStreamable* pivot = Get(lo + (hi - lo) / 2);
    TContainerKey pivotKey = KeyOf(pivot);
    int i = lo;
    int j = hi;
    do {
      // The bounds only matter for a Compare that contradicts itself; a
      // consistent one stops at the pivot.
      while (i <= hi && Compare(KeyOf(Get(i)), pivotKey) < 0) ++i;
      while (j >= lo && Compare(KeyOf(Get(j)), pivotKey) > 0) --j;
      if (i > hi || j < lo) return;
      if (i <= j) {
        Exchange(i, j);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - lo < hi - i) {
      if (j > lo) QuickSort(lo, j);
      lo = i;
    } else {
      if (i < hi) QuickSort(i, hi);
      hi = j;
    }
  }
}

// ---- options ---------------------------------------------------------------------------

void TContainer::SetSortable(bool value) {
  Sortable_ = value;
  if (!value) SetSorted(false);
}

void TContainer::SetSorted(bool value) {
  if (value == Sorted_) return;
  if (value && Sortable_) Sort();
  bool old = Sorted_;
  Sorted_ = value && Sortable_;
  if (Sorted_ != old) OptionsChanged();
}

void TContainer::SetDuplicates(uint8_t value) {
  if (value == Duplicates_) return;
  if (Duplicates_ == dupAccept) RemoveDuplicates();
  Duplicates_ = value;
  OptionsChanged();
}

void TContainer::RemoveDuplicates() {
  if (Count() < 2) return;
  Updating([&] {
    if (Sorted_) {
      int i = Count() - 1;
      while (i > 0) {
        TContainerKey key = KeyOf(Get(i));
        int j = i - 1;
        while (j >= 0 && Compare(key, KeyOf(Get(j))) == 0) --j;
        // Keep the first of the run, j + 1.
        for (int k = i; k >= j + 2; --k)
          if (k < Count()) FreeAt(k);
        i = std::min(j, Count() - 1);
      }
    } else {
      for (int i = 0; i < Count(); ++i) {
        int j = Count() - 1;
        while (j > i) {
          if (Compare(KeyOf(Get(j)), KeyOf(Get(i))) == 0) FreeAt(j);
          j = std::min(j, Count()) - 1;
        }
      }
    }
  });
}

// ---- TCollection -------------------------------------------------------------------------

TCollection::~TCollection() { DestroyItems(); }

void TCollection::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit)
    throw EContainerError(Format("Container error: index %d out of bounds", index));
}

TStreamable* TCollection::Get(int index) const {
  CheckIndex(index, Count());
  return Items_[static_cast<size_t>(index)];
}

void TCollection::InsertRaw(int index, TStreamable* item) {
  CheckIndex(index, Count() + 1);
  if (Items_.size() >= static_cast<size_t>(INT_MAX)) throw EContainerError("Container error: too many items");
  Items_.insert(Items_.begin() + index, item);
}

void TCollection::PutRaw(int index, TStreamable* item) {
  CheckIndex(index, Count());
  Items_[static_cast<size_t>(index)] = item;
}

void TCollection::DeleteRaw(int index) {
  CheckIndex(index, Count());
  Items_.erase(Items_.begin() + index);
}

void TCollection::ReleaseAll() {
  TContainer::ReleaseAll();
  Items_.clear();
  Items_.shrink_to_fit();
}

void TCollection::ClearList() {
  Updating([&] { Items_.clear(); });
}

void TCollection::AssignFrom(TContainer& source) {
  if ((Duplicates_ != dupAccept && source.Duplicates() == dupAccept) || Sorted_) {
    TContainer::AssignFrom(source);
    return;
  }
  if (&source == this) return;
  Updating([&] {
    // An owning container frees what it held, as the general path does;
    // otherwise the old items would be lost.
    if (OwnsItems_) FreeAll();
    if (auto* other = dynamic_cast<TCollection*>(&source)) {
      Items_ = other->Items_;
    } else {
      int n = source.Count();
      Items_.assign(static_cast<size_t>(n), nullptr);
      for (int i = 0; i < n; ++i) PutRaw(i, source.Get(i));
    }
  });
}
