#pragma once
// A growable set of booleans indexed from 0, as the editor keeps its
// selections and hidden objects. Reading past the end gives false; setting
// a bit past the end grows the set.

#include <cstddef>
#include <cstdint>
#include <vector>

class TBitSet {
public:
  explicit TBitSet(int initialSize = 0);

  int Size() const { return Size_; }
  // Grows with cleared bits or drops the bits from n on.
  void Resize(int n);
  bool Get(int i) const {
    return i >= 0 && i < Size_ && ((Words_[static_cast<size_t>(i) >> 6] >> (i & 63)) & 1u) != 0;
  }
  // A negative index is ignored.
  void Set(int i, bool on = true);
  // Every bit false, and the size back to the one the set was made with.
  void Clear();
  // The number of set bits, in all of the set or below n.
  int Count() const { return CountBelow(Size_); }
  int CountBelow(int n) const;
  // The first set bit at or after `from`, or -1.
  int NextSet(int from) const;
  // Bits from+1 .. to-1 move down by one; bit to-1 is cleared. Used when an
  // item in the middle of a list goes away.
  void ShiftDown(int from, int to);

private:
  int InitialSize_;
  int Size_ = 0;
  std::vector<uint64_t> Words_;
};
