#pragma once
// The program's own small bitmap font for labels drawn into 8-bit pictures
// (the contact sheet's frame names): printable ASCII, 5 pixels wide and 7
// high above the baseline, with one row below it for descenders.

#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr int kGlyphWidth = 5;
constexpr int kGlyphRows = 8;
// From one character's left edge to the next.
constexpr int kGlyphAdvance = 6;
constexpr int kFirstGlyph = ' ';
constexpr int kLastGlyph = '~';

// Rows of 8-bit pixels to draw into: row y at Pixels + y * Stride.
struct TPixelTarget {
  uint8_t* Pixels = nullptr;
  ptrdiff_t Stride = 0;
  int Width = 0;
  int Height = 0;
};

// The kGlyphRows rows of a character, bit 4 the leftmost column; characters
// outside printable ASCII look like '?'.
const uint8_t* Glyph(char c);
// Pixels from the first character's left edge to the last one's right edge.
int TextWidth(std::string_view text);
// Sets the glyphs' pixels to `color` with the text's top left corner at
// (x, y); whatever falls outside the target is left out.
void DrawText(const TPixelTarget& target, int x, int y, std::string_view text, uint8_t color);
