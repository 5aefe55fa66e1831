#pragma once
// The hex dump: rows of hex bytes with an optional address column and
// character column. THexDumpLayout holds the control's layout, scrolling and
// keyboard logic without any toolkit; a window only measures its font, feeds
// sizes and events in, and paints the texts it gets back. HexDumpLine gives
// the same layout as plain text for a terminal.

#include <cstdint>
#include <string>

enum THexKey { hkPageUp, hkPageDown, hkEnd, hkHome, hkUp, hkDown, hkOther };
enum THexScroll { hsLineUp, hsLineDown, hsPageUp, hsPageDown, hsThumbPosition, hsThumbTrack };

class THexDumpLayout {
public:
  static constexpr int MaxBytesPerRow = 16;
  static constexpr int AddressChars = 10;  // "XXXXXXXX:" in a box ten characters wide

  bool ShowAddress() const { return ShowAddress_; }
  bool ShowAddressFromZero() const { return ShowAddressFromZero_; }
  bool ShowCharacters() const { return ShowCharacters_; }
  void SetShowAddress(bool v);
  void SetShowAddressFromZero(bool v) { ShowAddressFromZero_ = v; }
  void SetShowCharacters(bool v);

  // The data is not owned; a null pointer means no data.
  void SetData(const uint8_t* data) { Data_ = data; }
  void SetDataSize(int64_t bytes);
  bool HasData() const { return Data_ != nullptr; }
  const uint8_t* Data() const { return Data_; }
  int64_t DataSize() const { return DataSize_; }

  // Font metrics as the window measures them: the height of "A" and the width
  // of "D". Row height and character width follow with their margins.
  void SetFontMetrics(int heightOfA, int widthOfD);
  void SetClientSize(int width, int height);

  int RowHeight() const { return RowHeight_; }
  int CharWidth() const { return CharWidth_; }
  int BytesPerRow() const { return BytesPerRow_; }
  int64_t RowCount() const { return RowCount_; }
  int VisibleRows() const { return VisibleRows_; }
  int64_t TopRow() const { return TopRow_; }
  int64_t CurrentRow() const { return CurrentRow_; }
  // Scroll range: 0 to RowCount() - 1.
  int64_t ScrollMax() const { return RowCount_ > 0 ? RowCount_ - 1 : 0; }

  // Navigation; all do nothing without data. Each gives the change of the
  // top row, so that a window can scroll its picture by one row when the
  // change is exactly one and repaint everything otherwise.
  int64_t KeyDown(THexKey key);
  int64_t MouseDown(int y);
  int64_t SetCurrentRow(int64_t row);
  int64_t Scroll(THexScroll code, int64_t pos = 0);

  // Painting texts of row `row` (0-based from the top of the data).
  int RowByteCount(int64_t row) const;
  std::string AddressText(int64_t row) const;  // "%08X:", empty without ShowAddress
  std::string HexText(int64_t row) const;      // "XX\tXX\t...XX": tab stops every 3 characters
  std::string CharText(int64_t row) const;     // the bytes unchanged
  // Pixel x where the hex and the character columns start.
  int HexColumnX() const { return 1 + (ShowAddress_ ? AddressChars * CharWidth_ : 0); }
  int CharColumnX() const;

private:
  void Recalc();
  int64_t SetTopRow(int64_t row);

  const uint8_t* Data_ = nullptr;
  int64_t DataSize_ = 0;
  bool ShowAddress_ = true;
  bool ShowAddressFromZero_ = false;
  bool ShowCharacters_ = true;
  int ClientWidth_ = 300;
  int ClientHeight_ = 200;
  int RowHeight_ = 0;
  int CharWidth_ = 0;
  int BytesPerRow_ = 1;
  int64_t RowCount_ = 0;
  int VisibleRows_ = 0;
  int64_t TopRow_ = 0;
  int64_t CurrentRow_ = 0;
};

// One row of a hex dump as terminal text: "XXXXXXXX: " (when `showAddress`),
// then "XX " per byte padded to `bytesPerRow` bytes, then (when
// `showCharacters`) the bytes as characters, with "." for anything that is
// not printable ASCII. No trailing padding.
std::string HexDumpLine(const uint8_t* bytes, int count, int bytesPerRow, uint32_t address, bool showAddress = true,
                        bool showCharacters = true);
