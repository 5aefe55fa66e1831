#include "render/BitmapFont.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

bool Lit(const uint8_t* glyph, int col, int row) { return (glyph[row] >> (kGlyphWidth - 1 - col)) & 1; }

}  // namespace

TEST(BitmapFont, EveryPrintableCharacterHasAGlyphOfItsOwn) {
  std::set<std::vector<uint8_t>> seen;
  std::string descenders;
  for (int c = kFirstGlyph; c <= kLastGlyph; ++c) {
    const uint8_t* g = Glyph(static_cast<char>(c));
    int pixels = 0;
    for (int row = 0; row < kGlyphRows; ++row) {
      EXPECT_LT(g[row], 1 << kGlyphWidth) << char(c) << " is wider than the cell";
      for (int col = 0; col < kGlyphWidth; ++col) pixels += Lit(g, col, row);
    }
    EXPECT_EQ(pixels == 0, c == ' ') << char(c);
    EXPECT_TRUE(seen.insert(std::vector<uint8_t>(g, g + kGlyphRows)).second) << char(c) << " looks like another";
    if (g[kGlyphRows - 1]) descenders += static_cast<char>(c);
  }
  // Only the letters that hang below the line use the bottom row.
  EXPECT_EQ(descenders, "gjpqy");
  for (char c : {'\0', '\t', '\x7f', '\xe9'}) EXPECT_EQ(Glyph(c), Glyph('?'));
}

TEST(BitmapFont, TextIsDrawnInPlaceAndClippedToItsTarget) {
  EXPECT_EQ(TextWidth(""), 0);
  EXPECT_EQ(TextWidth("a"), 5);
  EXPECT_EQ(TextWidth("stand12"), 7 * 6 - 1);
  struct TCase {
    const char* Name;
    int X, Y;
  };
  const TCase cases[] = {
      {"inside", 1, 1}, {"off the left and top", -3, -4}, {"off the right and bottom", 6, 3}, {"far outside", 40, -20},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    // A 9 x 6 target inside a larger buffer whose border must stay untouched.
    const int bw = 13, bh = 10, tw = 9, th = 6;
    std::vector<uint8_t> buffer(size_t(bw * bh), 0);
    TPixelTarget t{buffer.data() + 2 * bw + 2, bw, tw, th};
    DrawText(t, c.X, c.Y, "Wg", 7);
    for (int y = 0; y < bh; ++y)
      for (int x = 0; x < bw; ++x) {
        const int tx = x - 2, ty = y - 2;
        bool expected = false;
        if (tx >= 0 && tx < tw && ty >= 0 && ty < th) {
          for (int k = 0; k < 2; ++k) {
            const int col = tx - c.X - k * kGlyphAdvance, row = ty - c.Y;
            if (col >= 0 && col < kGlyphWidth && row >= 0 && row < kGlyphRows)
              expected = expected || Lit(Glyph("Wg"[k]), col, row);
          }
        }
        ASSERT_EQ(buffer[size_t(y * bw + x)], expected ? 7 : 0) << x << "," << y;
      }
  }
}
