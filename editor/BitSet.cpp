#include "editor/BitSet.h"

#include <algorithm>
#include <bit>

TBitSet::TBitSet(int initialSize) : InitialSize_(std::max(initialSize, 0)) { Resize(InitialSize_); }

void TBitSet::Resize(int n) {
  n = std::max(n, 0);
  if (n < Size_) {
    // Bits past the new end are cleared, so growing again finds them false.
    for (int i = n; i < Size_ && (i & 63) != 0; ++i) Words_[static_cast<size_t>(i) >> 6] &= ~(uint64_t{1} << (i & 63));
  }
  Words_.resize((static_cast<size_t>(n) + 63) >> 6, 0);
  Size_ = n;
}

void TBitSet::Set(int i, bool on) {
  if (i < 0) return;
  if (i >= Size_) {
    if (!on) return;
    Resize(i + 1);
  }
  uint64_t& w = Words_[static_cast<size_t>(i) >> 6];
  const uint64_t bit = uint64_t{1} << (i & 63);
  w = on ? (w | bit) : (w & ~bit);
}

void TBitSet::Clear() {
  Words_.clear();
  Size_ = 0;
  Resize(InitialSize_);
}

int TBitSet::CountBelow(int n) const {
  n = std::clamp(n, 0, Size_);
  const size_t full = static_cast<size_t>(n) >> 6;
  int count = 0;
  for (size_t k = 0; k < full; ++k) count += std::popcount(Words_[k]);
  if (n & 63) count += std::popcount(Words_[full] & ((uint64_t{1} << (n & 63)) - 1));
  return count;
}

int TBitSet::NextSet(int from) const {
  if (from < 0) from = 0;
  if (from >= Size_) return -1;
  size_t k = static_cast<size_t>(from) >> 6;
  uint64_t w = Words_[k] & (~uint64_t{0} << (from & 63));
  while (true) {
    if (w != 0) {
      const int i = static_cast<int>(k * 64 + static_cast<size_t>(std::countr_zero(w)));
      return i < Size_ ? i : -1;
    }
    if (++k >= Words_.size()) return -1;
    w = Words_[k];
  }
}

void TBitSet::ShiftDown(int from, int to) {
  from = std::max(from, 0);
  to = std::min(to, Size_);
  for (int i = from; i + 1 < to; ++i) Set(i, Get(i + 1));
  if (to - 1 >= from) Set(to - 1, false);
}
