#include "render/ContactSheet.h"

#include <algorithm>
#include <cstring>

#include "core/Format.h"
#include "render/BitmapFont.h"

TRect TSheetLayout::Picture(int i) const {
  const int x = kGap + (i % Columns) * (CellWidth + kGap);
  const int y = kGap + (i / Columns) * (CellHeight + kLabelHeight + kGap);
  return {x, y, x + CellWidth, y + CellHeight};
}

TRect TSheetLayout::Label(int i) const {
  const TRect p = Picture(i);
  return {p.Left, p.Bottom, p.Right, p.Bottom + kLabelHeight};
}

TSheetLayout LayoutSheet(int count, int columns, int cellWidth, int cellHeight) {
  if (count < 1 || columns < 1 || cellWidth < 1 || cellHeight < 1)
    throw ESheetError(Format("A contact sheet needs pictures and columns (%d pictures, %d columns, %d x %d)", count,
                             columns, cellWidth, cellHeight));
  TSheetLayout l;
  l.Count = count;
  l.Columns = std::min(columns, count);
  l.Rows = (count + l.Columns - 1) / l.Columns;
  l.CellWidth = cellWidth;
  l.CellHeight = cellHeight;
  const int64_t w = TSheetLayout::kGap + int64_t{l.Columns} * (cellWidth + TSheetLayout::kGap);
  const int64_t h =
      TSheetLayout::kGap + int64_t{l.Rows} * (cellHeight + TSheetLayout::kLabelHeight + TSheetLayout::kGap);
  if (w > TSheetLayout::kMaxWidth || h > TSheetLayout::kMaxHeight || w * h > TSheetLayout::kMaxPixels)
    throw ESheetError(Format("The contact sheet would be %lld x %lld pixels; at most %d x %d and %lld million "
                             "pixels: choose a smaller size or other columns",
                             static_cast<long long>(w), static_cast<long long>(h), TSheetLayout::kMaxWidth,
                             TSheetLayout::kMaxHeight, static_cast<long long>(TSheetLayout::kMaxPixels >> 20)));
  return l;
}

TContactSheet::TContactSheet(const TSheetLayout& layout, const uint8_t* colorTable, uint8_t background, uint8_t text)
    : Layout_(layout),
      Pixels_(static_cast<size_t>(layout.Width()) * static_cast<size_t>(layout.Height()), background),
      ColorTable_(colorTable, colorTable + kColorTableSize),
      Text_(text) {}

void TContactSheet::Place(int i, const TWinGBitmap& picture, const std::string& label) {
  if (i < 0 || i >= Layout_.Count) throw ESheetError(Format("No cell %d on a sheet of %d", i, Layout_.Count));
  if (picture.GetWidth() < Layout_.CellWidth || picture.GetHeight() < Layout_.CellHeight)
    throw ESheetError(Format("A %d x %d picture does not fill a %d x %d cell", picture.GetWidth(),
                             picture.GetHeight(), Layout_.CellWidth, Layout_.CellHeight));
  const size_t stride = static_cast<size_t>(Width());
  const TRect p = Layout_.Picture(i);
  for (int y = 0; y < Layout_.CellHeight; ++y)
    std::memcpy(&Pixels_[static_cast<size_t>(p.Top + y) * stride + static_cast<size_t>(p.Left)], picture.ScanLine(y),
                static_cast<size_t>(Layout_.CellWidth));

  // The label draws into its own band only.
  const TRect l = Layout_.Label(i);
  TPixelTarget band;
  band.Pixels = &Pixels_[static_cast<size_t>(l.Top) * stride + static_cast<size_t>(l.Left)];
  band.Stride = static_cast<ptrdiff_t>(stride);
  band.Width = l.Width();
  band.Height = l.Height();
  const int x = std::max(0, (band.Width - TextWidth(label)) / 2);
  DrawText(band, x, TSheetLayout::kLabelTextTop, label, Text_);
}
