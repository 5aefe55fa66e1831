#pragma once
// A contact sheet: many pictures of one size in rows, each with a label
// under it, on one 8-bit picture with one colour table. `tessel render
// --sheet` fills one with every frame of a scene.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "raster/WinGBitmap.h"

TESSEL_DECLARE_EXCEPTION(ESheetError, Exception);

// Where the cells lie. Cell i sits in column i % Columns of row
// i / Columns; kGap pixels of sheet colour surround every cell.
struct TSheetLayout {
  static constexpr int kGap = 2;
  // Room for one line of the label font, with two pixels above and below.
  static constexpr int kLabelHeight = 12;
  static constexpr int kLabelTextTop = 2;
  // The sheet is refused beyond these.
  static constexpr int kMaxWidth = 16384;
  static constexpr int kMaxHeight = 32768;
  static constexpr int64_t kMaxPixels = int64_t{64} << 20;

  int Count = 0;
  int Columns = 1;
  int Rows = 0;
  int CellWidth = 0;
  int CellHeight = 0;

  int Width() const { return kGap + Columns * (CellWidth + kGap); }
  int Height() const { return kGap + Rows * (CellHeight + kLabelHeight + kGap); }
  TRect Picture(int i) const;
  TRect Label(int i) const;
};

// The layout of `count` cells of cellWidth x cellHeight in rows of
// `columns` (fewer when there are fewer cells). ESheetError when the sheet
// would pass its limits.
TSheetLayout LayoutSheet(int count, int columns, int cellWidth, int cellHeight);

class TContactSheet {
public:
  // `colorTable`: 256 entries of blue, green, red, spare, as a bitmap's.
  // The sheet starts in the colour `background`; labels are drawn in `text`.
  TContactSheet(const TSheetLayout& layout, const uint8_t* colorTable, uint8_t background, uint8_t text);

  // Copies the top left CellWidth x CellHeight pixels of `picture` (which
  // must be at least that big) into cell i and writes `label` under it,
  // centred, or from the left edge and cut off where it is too long.
  void Place(int i, const TWinGBitmap& picture, const std::string& label);

  const TSheetLayout& Layout() const { return Layout_; }
  int Width() const { return Layout_.Width(); }
  int Height() const { return Layout_.Height(); }
  const uint8_t* Pixels() const { return Pixels_.data(); }
  const uint8_t* ColorTable() const { return ColorTable_.data(); }

private:
  TSheetLayout Layout_;
  std::vector<uint8_t> Pixels_;
  std::vector<uint8_t> ColorTable_;
  uint8_t Text_;
};
