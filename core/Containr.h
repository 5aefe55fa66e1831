#pragma once
// Containers of streamable objects: TContainer holds the policy (optional
// key order, duplicate handling, ownership, change notification with update
// bracketing, storing and loading); descendants supply the storage.
// TCollection keeps the references in a plain list.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "core/Filters.h"

// Every text begins with "Container error: ".
TESSEL_DECLARE_EXCEPTION(EContainerError, Exception);
// Raised by operations a class leaves for its descendants to provide.
TESSEL_DECLARE_EXCEPTION(EAbstractError, Exception);

// A key as the container sees it; KeyOf and Compare give it meaning.
using TContainerKey = const void*;

// What Add and Insert do with an item whose key is already present.
enum : uint8_t {
  dupIgnore = 0,      // drop it silently (the call returns -1; the caller keeps the item)
  dupAccept = 1,      // store it
  dupFreeError = 2,   // free it and raise
  dupError = 3,       // raise; the caller keeps the item
};

class TContainer : public TStreamable {
  TESSEL_STREAMABLE_CLASS()

public:
  using TEvent = std::function<void(TContainer& sender)>;

  TContainer() = default;
  // Storage lives in descendants, so TContainer cannot release the items
  // itself: each descendant that holds items calls DestroyItems() in its
  // destructor (TCollection does).
  ~TContainer() override = default;

  void Load(TFilter& filter) override;
  void Store(TFilter& filter) const override;

  // Calls OnChange unless an update is in progress.
  virtual void Changed();
  // Whether an item may change its key from oldKey to newKey.
  virtual bool KeyAllowed(TContainerKey oldKey, TContainerKey newKey) const;
  // Negative, 0 or positive; here 0 for the same reference and -1 otherwise.
  virtual int Compare(TContainerKey key1, TContainerKey key2) const;
  virtual void FreeItem(TStreamable* item);
  // FreeAll when the container owns its items, else ClearList.
  virtual void ReleaseAll();
  // Frees the item and raises EContainerError "Container error: 0".
  virtual void DuplicateError(TStreamable* item);
  virtual TStreamable* Get(int index) const = 0;
  virtual int Count() const = 0;
  virtual TStreamable* ReadItem(TFilter& filter);
  // Not provided here: raises EAbstractError.
  virtual std::string GetString(TStreamable* item) const;
  // The item itself.
  virtual TContainerKey KeyOf(const TStreamable* item) const;
  // Storage primitives: no checks, no notification; DeleteRaw does not free.
  virtual void InsertRaw(int index, TStreamable* item) = 0;
  virtual void PutRaw(int index, TStreamable* item) = 0;
  virtual void DeleteRaw(int index) = 0;
  // Takes the item at `index` out (without freeing it) and inserts `item`.
  virtual void Replace(int index, TStreamable* item);
  virtual void WriteItem(TStreamable* item, TFilter& filter) const;
  virtual void SetOwnsItems(bool value);
  virtual void SetUpdating(bool updating);
  // Returns the new index, or -1 when a duplicate was dropped.
  virtual int Add(TStreamable* item);
  // Frees or clears the current items, then adds every item of `source`
  // (shared, not copied).
  virtual void AssignFrom(TContainer& source);
  // Frees (or, when not owning, drops) every item, last first; copes with
  // items whose destruction removes other items of this container.
  virtual void FreeAll();
  virtual void FreeAt(int index);
  virtual void Remove(TStreamable* item);
  virtual void Exchange(int i, int j);
  virtual bool Find(const TStreamable* item, int& index) const;
  // Sorted: the position of the key (the first of equal keys' insertion
  // point when duplicates are accepted). Unsorted: the first equal item,
  // or Count when none.
  virtual bool Search(TContainerKey key, int& index) const;
  virtual int IndexOf(const TStreamable* item) const;
  // As Add, at `index` unless Sorted.
  virtual int Insert(int index, TStreamable* item);
  virtual void Move(int from, int to);
  // Removes without freeing.
  virtual void DeleteAt(int index);
  virtual void ClearList();
  // Quicksort by key; nothing when already Sorted, not Sortable or < 2 items.
  virtual void Sort();

  // Update bracketing: OnChange fires once, when the outermost EndUpdate ends.
  void BeginUpdate();
  void EndUpdate();

  bool Sortable() const { return Sortable_; }
  void SetSortable(bool value);
  bool Sorted() const { return Sorted_; }
  void SetSorted(bool value);
  uint8_t Duplicates() const { return Duplicates_; }
  // Leaving dupAccept removes the duplicates present (the first of each
  // run of equal keys stays).
  void SetDuplicates(uint8_t value);
  bool OwnsItems() const { return OwnsItems_; }
  int UpdateCount() const { return UpdateCount_; }

  TEvent OnChange;
  // Fires when Sorted or Duplicates change, unless an update is in progress.
  TEvent OnOptionsChange;

protected:
  // For descendants' destructors: silences the events and releases the items.
  void DestroyItems();
  void OptionsChanged();
  void RemoveDuplicates();
  // Runs `body` between BeginUpdate and EndUpdate, ending the update also
  // when it raises.
  template <class F>
  void Updating(F&& body) {
    BeginUpdate();
    try {
      body();
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
  }

  bool Sortable_ = false;
  uint8_t Duplicates_ = dupIgnore;
  bool OwnsItems_ = false;
  bool Sorted_ = false;
  int UpdateCount_ = 0;

private:
  // Applies the duplicate policy; false when the item is to be dropped.
  bool PassesDuplicateCheck(TStreamable* item, int& foundIndex, bool& searched);
  int InsertChecked(int index, TStreamable* item, bool useIndex);
  void QuickSort(int lo, int hi);
};

class TCollection : public TContainer {
  TESSEL_STREAMABLE_CLASS()

public:
  TCollection() = default;
  ~TCollection() override;

  TStreamable* Get(int index) const override;
  int Count() const override { return static_cast<int>(Items_.size()); }
  void InsertRaw(int index, TStreamable* item) override;
  void PutRaw(int index, TStreamable* item) override;
  void DeleteRaw(int index) override;
  void ReleaseAll() override;
  void ClearList() override;
  void AssignFrom(TContainer& source) override;

  const std::vector<TStreamable*>& Items() const { return Items_; }

protected:
  void CheckIndex(int index, int limit) const;
  std::vector<TStreamable*> Items_;
};
