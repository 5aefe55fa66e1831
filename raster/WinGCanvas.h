#pragma once
// A small drawing surface on an 8-bit bitmap: a pen (palette index and
// width) for lines and rectangle outlines, a brush colour for fills, and
// single pixels. Everything is clipped to the bitmap; colours are palette
// indices.

#include <cstdint>

#include "raster/WinGBitmap.h"

struct TPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TPoint&) const = default;
};

class TWinGCanvas {
public:
  explicit TWinGCanvas(TWinGBitmap& bitmap) : Bitmap_(bitmap) {}
  TWinGCanvas(const TWinGCanvas&) = delete;
  TWinGCanvas& operator=(const TWinGCanvas&) = delete;

  TWinGBitmap& Bitmap() { return Bitmap_; }

  uint8_t PenColor = 0;
  // Widths below 1 draw as 1.
  int PenWidth = 1;
  uint8_t BrushColor = 0;

  TPoint PenPos() const { return PenPos_; }
  void MoveTo(int x, int y) { PenPos_ = {x, y}; }
  // A straight line from the pen position to (x, y), which becomes the pen
  // position. A one-pixel pen leaves the end point itself undrawn (so joined
  // lines do not draw their joints twice); a wider pen is a round brush
  // swept over the whole line, ends included.
  void LineTo(int x, int y);
  // The outline of the pixels left..right-1 by top..bottom-1, the pen width
  // drawn inside that frame.
  void Rectangle(int left, int top, int right, int bottom);
  // Fills rect (right and bottom exclusive) with the brush colour.
  void FillRect(const TRect& rect);

  // The palette index at (x, y), or -1 outside the bitmap.
  int GetPixel(int x, int y) const;
  // Nothing happens outside the bitmap.
  void SetPixel(int x, int y, uint8_t index);

  // The palette index a colour reference draws with on this bitmap: the low
  // byte of a palette-index reference (flag byte 1), else the colour-table
  // entry nearest to its red, green and blue (lowest index on ties).
  int ColorIndex(TColorRef color) const;

private:
  void FillClipped(int64_t left, int64_t top, int64_t right, int64_t bottom, uint8_t index);

  TWinGBitmap& Bitmap_;
  TPoint PenPos_;
};
