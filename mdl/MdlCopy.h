#pragma once
// Members that decide how the model's classes copy and compare. The model's
// classes copy themselves with the compiler's member-by-member copy, so a
// member added to a class is copied (and compared) without anyone listing
// it; the members below are the ones whose plain copy would be wrong.
//
// The undo history depends on this: it keeps copies of the model's state
// and tells changed parts from unchanged ones by comparing them.

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

// A part of an object that the object's copies do not take: its children,
// held elsewhere in a copy. A copy starts empty, assigning a copy leaves
// this part as it was, and it compares equal to any other.
template <class T>
class TNotCopied : public T {
public:
  TNotCopied() = default;
  TNotCopied(T&& value) : T(std::move(value)) {}
  TNotCopied(const TNotCopied&) : T() {}
  TNotCopied(TNotCopied&&) = default;
  TNotCopied& operator=(const TNotCopied&) { return *this; }
  TNotCopied& operator=(TNotCopied&&) = default;
  TNotCopied& operator=(T&& value) {
    T::operator=(std::move(value));
    return *this;
  }
  friend bool operator==(const TNotCopied&, const TNotCopied&) { return true; }
};

// Owned items that copies of the owner copy too: a copy holds copies of the
// items, and two lists compare equal when their items do.
template <class T>
class TCopiedList : public std::vector<std::unique_ptr<T>> {
  using Base = std::vector<std::unique_ptr<T>>;

public:
  TCopiedList() = default;
  TCopiedList(Base&& items) : Base(std::move(items)) {}
  TCopiedList(const TCopiedList& other) : Base() {
    this->reserve(other.size());
    for (const auto& p : other) this->push_back(p ? std::make_unique<T>(*p) : nullptr);
  }
  TCopiedList(TCopiedList&&) = default;
  TCopiedList& operator=(const TCopiedList& other) {
    if (this != &other) {
      TCopiedList copy(other);
      this->swap(copy);
    }
    return *this;
  }
  TCopiedList& operator=(TCopiedList&&) = default;
  friend bool operator==(const TCopiedList& a, const TCopiedList& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (!a[i] != !b[i]) return false;
      if (a[i] && !(*a[i] == *b[i])) return false;
    }
    return true;
  }
};

// An atomic value that copies and compares by its value at the time.
template <class T>
class TCopyableAtomic : public std::atomic<T> {
public:
  TCopyableAtomic() = default;
  TCopyableAtomic(T value) : std::atomic<T>(value) {}
  TCopyableAtomic(const TCopyableAtomic& other) : std::atomic<T>(other.load(std::memory_order_acquire)) {}
  TCopyableAtomic& operator=(const TCopyableAtomic& other) {
    this->store(other.load(std::memory_order_acquire), std::memory_order_release);
    return *this;
  }
  friend bool operator==(const TCopyableAtomic& a, const TCopyableAtomic& b) {
    return a.load(std::memory_order_acquire) == b.load(std::memory_order_acquire);
  }
};
