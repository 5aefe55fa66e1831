#include "render/ContactSheet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/BitmapFont.h"

namespace {

std::string SheetError(int count, int columns, int w, int h) {
  try {
    LayoutSheet(count, columns, w, h);
  } catch (const ESheetError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(ContactSheet, LayoutPutsCellsInReadingOrder) {
  struct TCase {
    int Count, Columns, W, H;
    int ExpectColumns, ExpectRows, ExpectWidth, ExpectHeight;
  };
  const TCase cases[] = {
      {1, 1, 10, 8, 1, 1, 2 + 12, 2 + 22},
      {5, 2, 10, 8, 2, 3, 2 + 2 * 12, 2 + 3 * 22},
      {6, 3, 160, 120, 3, 2, 2 + 3 * 162, 2 + 2 * 134},
      {3, 8, 20, 10, 3, 1, 2 + 3 * 22, 2 + 24},  // more columns than pictures
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Count << " in " << c.Columns);
    const TSheetLayout l = LayoutSheet(c.Count, c.Columns, c.W, c.H);
    EXPECT_EQ(l.Columns, c.ExpectColumns);
    EXPECT_EQ(l.Rows, c.ExpectRows);
    EXPECT_EQ(l.Width(), c.ExpectWidth);
    EXPECT_EQ(l.Height(), c.ExpectHeight);
    for (int i = 0; i < c.Count; ++i) {
      const TRect p = l.Picture(i), label = l.Label(i);
      EXPECT_EQ(p.Width(), c.W);
      EXPECT_EQ(p.Height(), c.H);
      EXPECT_EQ(label.Top, p.Bottom);
      EXPECT_EQ(label.Left, p.Left);
      EXPECT_EQ(label.Width(), c.W);
      EXPECT_GE(label.Height(), kGlyphRows + 2);
      EXPECT_LE(label.Bottom, l.Height() - TSheetLayout::kGap);
      EXPECT_LE(p.Right, l.Width() - TSheetLayout::kGap);
      if (i == 0) continue;
      // Left to right, then the next row below.
      const TRect q = l.Picture(i - 1);
      if (i % l.Columns) {
        EXPECT_EQ(p.Top, q.Top);
        EXPECT_EQ(p.Left, q.Right + TSheetLayout::kGap);
      } else {
        EXPECT_EQ(p.Left, TSheetLayout::kGap);
        EXPECT_EQ(p.Top, l.Label(i - 1).Bottom + TSheetLayout::kGap);
      }
    }
  }
}

TEST(ContactSheet, RefusesEmptyAndOversizedSheets) {
  EXPECT_NE(SheetError(0, 3, 10, 10).find("needs pictures"), std::string::npos);
  EXPECT_NE(SheetError(3, 0, 10, 10).find("needs pictures"), std::string::npos);
  EXPECT_NE(SheetError(3, 3, 0, 10).find("needs pictures"), std::string::npos);
  EXPECT_EQ(SheetError(100, 10, 1600, 1000).substr(0, 37), "The contact sheet would be 16022 x 10");
  EXPECT_NE(SheetError(101, 1, 4096, 1024).find("at most 16384 x 32768"), std::string::npos);
  EXPECT_NE(SheetError(4000, 4000, 4, 4).find("24002 x"), std::string::npos);
  EXPECT_EQ(SheetError(4000, 2000, 4, 4), "");
}

TEST(ContactSheet, PicturesAndLabelsLandInTheirOwnCells) {
  const TSheetLayout l = LayoutSheet(5, 2, 30, 6);
  std::vector<uint8_t> table(kColorTableSize, 0);
  TContactSheet sheet(l, table.data(), 1, 2);
  ASSERT_EQ(sheet.Width(), l.Width());
  const std::string labels[] = {"a", "stand12", "a name far too long for its cell", "", "Wq"};
  TWinGBitmap picture;
  picture.SetSize(32, 7);  // bigger than a cell: the top left part is taken
  for (int i = 0; i < 5; ++i) {
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 32; ++x) picture.ScanLine(y)[x] = uint8_t(10 + i * 10 + (x + y) % 7);
    sheet.Place(i, picture, labels[i]);
  }
  auto at = [&](int x, int y) { return sheet.Pixels()[size_t(y) * size_t(sheet.Width()) + size_t(x)]; };
  for (int y = 0; y < sheet.Height(); ++y)
    for (int x = 0; x < sheet.Width(); ++x) {
      int cell = -1;
      bool inLabel = false;
      for (int i = 0; i < 5; ++i) {
        const TRect p = l.Picture(i), b = l.Label(i);
        if (x >= p.Left && x < p.Right && y >= p.Top && y < p.Bottom) cell = i;
        if (x >= b.Left && x < b.Right && y >= b.Top && y < b.Bottom) cell = i, inLabel = true;
      }
      const uint8_t v = at(x, y);
      if (cell < 0) {
        ASSERT_EQ(v, 1) << "gap at " << x << "," << y;
      } else if (!inLabel) {
        const TRect p = l.Picture(cell);
        ASSERT_EQ(v, 10 + cell * 10 + (x - p.Left + y - p.Top) % 7) << "cell " << cell;
      } else {
        ASSERT_TRUE(v == 1 || v == 2) << "label " << cell;
      }
    }
  // Each label has text where it has a name, centred when it fits.
  for (int i = 0; i < 5; ++i) {
    const TRect b = l.Label(i);
    int text = 0, left = b.Right, right = b.Left - 1;
    for (int y = b.Top; y < b.Bottom; ++y)
      for (int x = b.Left; x < b.Right; ++x)
        if (at(x, y) == 2) ++text, left = std::min(left, x), right = std::max(right, x);
    EXPECT_EQ(text > 0, !labels[i].empty()) << i;
    if (labels[i] == "a") {
      EXPECT_NEAR((left + right) / 2.0, (b.Left + b.Right - 1) / 2.0, 1.0);
    }
  }
  EXPECT_THROW(sheet.Place(5, picture, "x"), ESheetError);
  TWinGBitmap small;
  small.SetSize(29, 6);
  EXPECT_THROW(sheet.Place(0, small, "x"), ESheetError);
}
