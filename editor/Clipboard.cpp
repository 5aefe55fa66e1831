#include "editor/Clipboard.h"

#include <atomic>

#include "raster/WinGBitmap.h"

TMemoryClipboard::TMemoryClipboard() = default;
TMemoryClipboard::~TMemoryClipboard() = default;

void TMemoryClipboard::SetText(const std::string& text) {
  Bitmap_.reset();
  Text_ = text;
  HasText_ = true;
}

bool TMemoryClipboard::GetBitmap(TWinGBitmap& bitmap) const {
  if (!Bitmap_) return false;
  bitmap.Assign(*Bitmap_);
  return true;
}

void TMemoryClipboard::SetBitmap(const TWinGBitmap& bitmap) {
  auto copy = std::make_unique<TWinGBitmap>();
  copy->Assign(bitmap);
  Bitmap_ = std::move(copy);
  HasText_ = false;
  Text_.clear();
}

void TMemoryClipboard::Clear() {
  Bitmap_.reset();
  HasText_ = false;
  Text_.clear();
}

namespace {

TMemoryClipboard& DefaultClipboard() {
  static TMemoryClipboard clipboard;
  return clipboard;
}

std::atomic<TClipboard*> Current{nullptr};

}  // namespace

TClipboard& Clipboard() {
  TClipboard* c = Current.load();
  return c ? *c : DefaultClipboard();
}

TClipboard* SetClipboard(TClipboard* clipboard) { return Current.exchange(clipboard); }
