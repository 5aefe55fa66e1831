#pragma once
// TZSorter: a fixed-capacity container of (depth, index) pairs that the
// vertex picker sorts from near to far.

#include <cstdint>
#include <memory>

#include "core/Containr.h"

// One pair: the depth and the vertex it belongs to.
class TZPair : public TStreamable {
public:
  float Key = 0;
  int32_t Index = 0;
};

class TZSorter : public TContainer {
public:
  // Room for `capacity` pairs (negative counts as 0); the pairs are made
  // once, here, and handed out by AddPair.
  explicit TZSorter(int capacity);
  ~TZSorter() override;

  int Capacity() const { return Capacity_; }
  // Appends the pair (Key, Index). A sorter that is full raises
  // EContainerError instead of writing past its end.
  void AddPair(int32_t index, float key);
  // Copies pair i (EContainerError outside 0..Count-1).
  void GetPair(int i, TZPair& pair) const;
  // The pair at i without a copy; i must lie in 0..Count-1.
  const TZPair& Pair(int i) const { return *Items_[static_cast<size_t>(i)]; }

  // Ascending Key: the nearest first.
  int Compare(TContainerKey a, TContainerKey b) const override;
  TStreamable* Get(int index) const override;
  int Count() const override { return Count_; }
  // Not supported: raises "Method TZBuffer.GetString not implemented".
  std::string GetString(TStreamable* item) const override;
  // Storage primitives: nothing is shifted. Indices outside the capacity
  // raise EContainerError.
  void InsertRaw(int index, TStreamable* item) override;
  void PutRaw(int index, TStreamable* item) override;
  void DeleteRaw(int index) override;
  TContainerKey KeyOf(const TStreamable* item) const override { return item; }

private:
  void CheckSlot(int index) const;

  int Capacity_ = 0;
  int Count_ = 0;
  int Used_ = 0;  // pairs of the pool handed out so far
  std::unique_ptr<TZPair[]> Pool_;
  std::unique_ptr<TZPair*[]> Items_;
};
