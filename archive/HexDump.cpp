#include "archive/HexDump.h"

#include <algorithm>
#include <cstdio>

namespace {
const char HexDigits[] = "0123456789ABCDEF";
}

void THexDumpLayout::SetShowAddress(bool v) {
  ShowAddress_ = v;
  Recalc();
}

void THexDumpLayout::SetShowCharacters(bool v) {
  ShowCharacters_ = v;
  Recalc();
}

void THexDumpLayout::SetDataSize(int64_t bytes) {
  DataSize_ = std::max<int64_t>(bytes, 0);
  Recalc();
}

void THexDumpLayout::SetFontMetrics(int heightOfA, int widthOfD) {
  RowHeight_ = heightOfA + 2;
  CharWidth_ = widthOfD + 1;
  Recalc();
}

void THexDumpLayout::SetClientSize(int width, int height) {
  ClientWidth_ = width;
  ClientHeight_ = height;
  Recalc();
}

void THexDumpLayout::Recalc() {
  if (RowHeight_ <= 0 || CharWidth_ <= 0) return;
  VisibleRows_ = std::max(ClientHeight_, 0) / RowHeight_ + 1;
  int columns = std::max(ClientWidth_, 0) / CharWidth_;
  if (ShowAddress_) columns -= AddressChars;
  columns /= ShowCharacters_ ? 4 : 3;
  BytesPerRow_ = std::clamp(columns, 1, MaxBytesPerRow);
  RowCount_ = DataSize_ / BytesPerRow_ + (DataSize_ % BytesPerRow_ ? 1 : 0);
  TopRow_ = std::clamp<int64_t>(TopRow_, 0, ScrollMax());
  CurrentRow_ = std::clamp<int64_t>(CurrentRow_, 0, ScrollMax());
}

int64_t THexDumpLayout::SetTopRow(int64_t row) {
  int64_t old = TopRow_;
  TopRow_ = std::clamp<int64_t>(row, 0, ScrollMax());
  return TopRow_ - old;
}

int64_t THexDumpLayout::SetCurrentRow(int64_t row) {
  if (!HasData()) return 0;
  CurrentRow_ = std::clamp<int64_t>(row, 0, ScrollMax());
  int64_t top = TopRow_;
  if (CurrentRow_ < top)
    top = CurrentRow_;
  else if (CurrentRow_ >= top + VisibleRows_ - 1)
    top = CurrentRow_ - VisibleRows_ + 2;
  return SetTopRow(top);
}

int64_t THexDumpLayout::KeyDown(THexKey key) {
  if (!HasData()) return 0;
  switch (key) {
    case hkPageUp: return SetCurrentRow(CurrentRow_ - VisibleRows_);
    case hkPageDown: return SetCurrentRow(CurrentRow_ + VisibleRows_);
    case hkEnd: return SetCurrentRow(RowCount_ - 1);
    case hkHome: return SetCurrentRow(0);
    case hkUp: return SetCurrentRow(CurrentRow_ - 1);
    case hkDown: return SetCurrentRow(CurrentRow_ + 1);
    default: return 0;
  }
}

int64_t THexDumpLayout::MouseDown(int y) {
  if (!HasData() || RowHeight_ <= 0) return 0;
  return SetCurrentRow(y / RowHeight_ + TopRow_);
}

int64_t THexDumpLayout::Scroll(THexScroll code, int64_t pos) {
  if (!HasData()) return 0;
  switch (code) {
    case hsLineUp: return SetTopRow(TopRow_ - 1);
    case hsLineDown: return SetTopRow(TopRow_ + 1);
    case hsPageUp: return SetTopRow(TopRow_ - (VisibleRows_ - 1));
    case hsPageDown: return SetTopRow(TopRow_ + (VisibleRows_ - 1));
    case hsThumbPosition:
    case hsThumbTrack: return SetTopRow(pos);
  }
  return 0;
}

int THexDumpLayout::RowByteCount(int64_t row) const {
  if (row < 0 || row >= RowCount_) return 0;
  int rest = static_cast<int>(DataSize_ % BytesPerRow_);
  return (row == RowCount_ - 1 && rest != 0) ? rest : BytesPerRow_;
}

std::string THexDumpLayout::AddressText(int64_t row) const {
  if (!ShowAddress_) return std::string();
  uint32_t value = static_cast<uint32_t>(row * BytesPerRow_);
  if (!ShowAddressFromZero_) value += static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Data_));
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X:", value);
  return buf;
}

std::string THexDumpLayout::HexText(int64_t row) const {
  int n = RowByteCount(row);
  if (!HasData() || n == 0) return std::string();
  std::string s;
  const uint8_t* p = Data_ + row * BytesPerRow_;
  for (int i = 0; i < n; ++i) {
    if (i) s += '\t';
    s += HexDigits[p[i] >> 4];
    s += HexDigits[p[i] & 15];
  }
  return s;
}

std::string THexDumpLayout::CharText(int64_t row) const {
  int n = RowByteCount(row);
  if (!HasData() || !ShowCharacters_ || n == 0) return std::string();
  const char* p = reinterpret_cast<const char*>(Data_ + row * BytesPerRow_);
  return std::string(p, static_cast<size_t>(n));
}

int THexDumpLayout::CharColumnX() const {
  return BytesPerRow_ * CharWidth_ * 3 + (ShowAddress_ ? AddressChars * CharWidth_ : 0);
}

std::string HexDumpLine(const uint8_t* bytes, int count, int bytesPerRow, uint32_t address, bool showAddress,
                        bool showCharacters) {
  std::string s;
  s.reserve(static_cast<size_t>(THexDumpLayout::AddressChars + bytesPerRow * 4));
  if (showAddress) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X: ", address);
    s += buf;
  }
  for (int i = 0; i < bytesPerRow; ++i) {
    if (i < count) {
      s += HexDigits[bytes[i] >> 4];
      s += HexDigits[bytes[i] & 15];
      s += ' ';
    } else {
      s += "   ";
    }
  }
  if (showCharacters)
    for (int i = 0; i < count; ++i) s += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<char>(bytes[i]) : '.';
  // Only the padding goes: a space among the characters is data.
  if (!showCharacters || count == 0)
    while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}
