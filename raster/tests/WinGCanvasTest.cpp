#include "raster/WinGCanvas.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct TPixel {
  int X, Y;
};

std::vector<TPixel> Drawn(const TWinGBitmap& b, uint8_t color) {
  std::vector<TPixel> out;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x)
      if (b.ScanLine(y)[x] == color) out.push_back({x, y});
  return out;
}

// True when (x, y) lies within half a pixel, across the major axis, of the
// exact line from (x0, y0) to (x1, y1).
bool NearTheLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t x, int64_t y) {
  using i128 = __int128;
  const i128 dx = x1 - x0, dy = y1 - y0;
  const bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
  // Cross-axis error times the major extent, doubled: |2*(c - c(t))*major| <= |major|.
  if (xMajor) {
    const i128 err = 2 * ((y - y0) * dx - (x - x0) * dy);
    const i128 lim = dx < 0 ? -dx : dx;
    return (err < 0 ? -err : err) <= lim;
  }
  const i128 err = 2 * ((x - x0) * dy - (y - y0) * dx);
  const i128 lim = dy < 0 ? -dy : dy;
  return (err < 0 ? -err : err) <= lim;
}

}  // namespace

TEST(WinGCanvas, PixelsAreClipped) {
  TWinGBitmap b;
  b.SetSize(3, 2);
  TWinGCanvas c(b);
  c.SetPixel(2, 1, 9);
  EXPECT_EQ(c.GetPixel(2, 1), 9);
  EXPECT_EQ(b.ScanLine(1)[2], 9);
  c.SetPixel(3, 0, 9);
  c.SetPixel(-1, 0, 9);
  c.SetPixel(0, 2, 9);
  EXPECT_EQ(Drawn(b, 9).size(), 1u);
  EXPECT_EQ(c.GetPixel(3, 0), -1);
  EXPECT_EQ(c.GetPixel(0, -1), -1);
}

TEST(WinGCanvas, FillRectExcludesRightAndBottomAndClips) {
  TWinGBitmap b;
  b.SetSize(6, 5);
  TWinGCanvas c(b);
  c.BrushColor = 4;
  c.FillRect({1, 1, 3, 4});
  EXPECT_EQ(Drawn(b, 4).size(), 6u);
  EXPECT_EQ(c.GetPixel(1, 1), 4);
  EXPECT_EQ(c.GetPixel(2, 3), 4);
  EXPECT_EQ(c.GetPixel(3, 1), 0);
  EXPECT_EQ(c.GetPixel(1, 4), 0);
  c.BrushColor = 5;
  c.FillRect({-100, 3, 100, 1000});
  EXPECT_EQ(Drawn(b, 5).size(), 12u);
  c.FillRect({4, 4, 2, 2});  // inverted: nothing
  EXPECT_EQ(Drawn(b, 5).size(), 12u);
}

TEST(WinGCanvas, LineToLeavesTheEndPointAndMovesThePen) {
  TWinGBitmap b;
  b.SetSize(10, 10);
  TWinGCanvas c(b);
  c.PenColor = 7;
  c.MoveTo(2, 3);
  c.LineTo(6, 3);
  EXPECT_EQ(c.PenPos(), (TPoint{6, 3}));
  auto px = Drawn(b, 7);
  ASSERT_EQ(px.size(), 4u);
  EXPECT_EQ(px.front().X, 2);
  EXPECT_EQ(px.back().X, 5);
  // Drawing on from there does not draw the joint twice but does draw it.
  c.LineTo(6, 7);
  EXPECT_EQ(c.GetPixel(6, 3), 7);
  EXPECT_EQ(c.GetPixel(6, 7), 0);
  EXPECT_EQ(Drawn(b, 7).size(), 8u);
  // A line of no length draws nothing.
  c.MoveTo(0, 0);
  c.LineTo(0, 0);
  EXPECT_EQ(c.GetPixel(0, 0), 0);
}

TEST(WinGCanvas, LinesStepOnePixelAlongTheMajorAxisAndStayOnTheLine) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> coord(0, 39);
  for (int n = 0; n < 300; ++n) {
    TWinGBitmap b;
    b.SetSize(40, 40);
    TWinGCanvas c(b);
    c.PenColor = 1;
    const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
    c.MoveTo(x0, y0);
    c.LineTo(x1, y1);
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    auto px = Drawn(b, 1);
    ASSERT_EQ(int(px.size()), steps) << x0 << "," << y0 << " -> " << x1 << "," << y1;
    if (steps == 0) continue;
    EXPECT_EQ(c.GetPixel(x0, y0), 1);
    EXPECT_EQ(c.GetPixel(x1, y1), 0);
    for (const auto& p : px) ASSERT_TRUE(NearTheLine(x0, y0, x1, y1, p.X, p.Y)) << p.X << "," << p.Y;
  }
}

TEST(WinGCanvas, ClippedLinesAreTheSameLinesCropped) {
  std::mt19937 rng(777);
  std::uniform_int_distribution<int> coord(-150, 190);
  const int ox = 160, oy = 170;  // where the small bitmap sits inside the big one
  for (int n = 0; n < 300; ++n) {
    const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
    TWinGBitmap small, big;
    small.SetSize(40, 30);
    big.SetSize(ox + 200, oy + 200);
    for (int w : {1, 3}) {
      TWinGCanvas cs(small), cb(big);
      cs.PenWidth = cb.PenWidth = w;
      cs.PenColor = cb.PenColor = uint8_t(w);
      cs.MoveTo(x0, y0);
      cs.LineTo(x1, y1);
      cb.MoveTo(x0 + ox, y0 + oy);
      cb.LineTo(x1 + ox, y1 + oy);
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
          ASSERT_EQ(small.ScanLine(y)[x], big.ScanLine(y + oy)[x + ox])
              << "width " << w << ": " << x0 << "," << y0 << " -> " << x1 << "," << y1 << " at " << x << "," << y;
    }
  }
}

TEST(WinGCanvas, HugeCoordinatesAreClippedWithoutWalkingTheWholeLine) {
  TWinGBitmap b;
  b.SetSize(64, 64);
  TWinGCanvas c(b);
  c.PenColor = 3;
  const int x0 = -2000000000, y0 = -1000000000, x1 = 2000000000, y1 = 1000000001;
  c.MoveTo(x0, y0);
  c.LineTo(x1, y1);
  auto px = Drawn(b, 3);
  ASSERT_FALSE(px.empty());
  std::vector<int> perColumn(64);
  for (const auto& p : px) {
    ++perColumn[size_t(p.X)];
    EXPECT_TRUE(NearTheLine(x0, y0, x1, y1, p.X, p.Y)) << p.X << "," << p.Y;
  }
  // The visible part runs from about (0, 0.5) to (63, 32): one pixel in every column.
  for (int x = 0; x < 64; ++x) EXPECT_EQ(perColumn[size_t(x)], 1) << x;
  // Entirely outside: nothing.
  c.PenColor = 4;
  c.MoveTo(-5, -5);
  c.LineTo(100, -1);
  c.MoveTo(INT32_MIN, INT32_MAX);
  c.LineTo(INT32_MAX, INT32_MAX);
  EXPECT_TRUE(Drawn(b, 4).empty());
}

TEST(WinGCanvas, WidePensAreRoundAndDrawTheEnds) {
  TWinGBitmap b;
  b.SetSize(12, 12);
  TWinGCanvas c(b);
  c.PenColor = 2;
  c.PenWidth = 3;
  c.MoveTo(2, 5);
  c.LineTo(6, 5);
  EXPECT_EQ(Drawn(b, 2).size(), 7u * 3u);  // columns 1..7, rows 4..6
  EXPECT_EQ(c.GetPixel(1, 4), 2);
  EXPECT_EQ(c.GetPixel(7, 6), 2);
  EXPECT_EQ(c.GetPixel(8, 5), 0);
  EXPECT_EQ(c.GetPixel(4, 7), 0);

  TWinGBitmap d;
  d.SetSize(12, 12);
  TWinGCanvas cd(d);
  cd.PenColor = 1;
  cd.PenWidth = 5;  // a dot: a round blob, corners left out
  cd.MoveTo(5, 5);
  cd.LineTo(5, 5);
  EXPECT_EQ(cd.GetPixel(5, 3), 1);
  EXPECT_EQ(cd.GetPixel(7, 5), 1);
  EXPECT_EQ(cd.GetPixel(3, 3), 0);
  EXPECT_EQ(cd.GetPixel(5, 2), 0);
}

TEST(WinGCanvas, RectangleDrawsTheOutlineInsideTheFrame) {
  TWinGBitmap b;
  b.SetSize(10, 10);
  TWinGCanvas c(b);
  c.PenColor = 6;
  c.Rectangle(7, 6, 2, 1);  // corners in any order
  EXPECT_EQ(Drawn(b, 6).size(), 2u * 5 + 2u * 3);
  for (int x = 2; x < 7; ++x) {
    EXPECT_EQ(c.GetPixel(x, 1), 6);
    EXPECT_EQ(c.GetPixel(x, 5), 6);
  }
  EXPECT_EQ(c.GetPixel(2, 3), 6);
  EXPECT_EQ(c.GetPixel(6, 3), 6);
  EXPECT_EQ(c.GetPixel(4, 3), 0);  // hollow
  EXPECT_EQ(c.GetPixel(7, 3), 0);

  c.PenColor = 8;
  c.PenWidth = 2;
  c.Rectangle(-1, -1, 5, 5);  // partly outside
  EXPECT_EQ(c.GetPixel(0, 0), 8);
  EXPECT_EQ(c.GetPixel(3, 3), 8);
  EXPECT_EQ(c.GetPixel(2, 2), 6);
}

TEST(WinGCanvas, ColorIndexResolvesColourReferencesAgainstTheColourTable) {
  TWinGBitmap b;
  b.SetSize(1, 1);
  for (int i = 0; i < 256; ++i) b.SetColorEntry(i, MakeRGBQuad(200, 200, 200));
  b.SetColorEntry(5, MakeRGBQuad(255, 0, 0));
  b.SetColorEntry(9, MakeRGBQuad(255, 0, 0));
  b.SetColorEntry(12, MakeRGBQuad(0, 0, 0));
  TWinGCanvas c(b);
  EXPECT_EQ(c.ColorIndex(MakePaletteRGB(250, 10, 0)), 5);  // lowest of the equal reds
  EXPECT_EQ(c.ColorIndex(MakeColorRef(0, 0, 0)), 12);
  EXPECT_EQ(c.ColorIndex(0x01000021u), 0x21);  // a palette index
}

TEST(WinGCanvas, NothingHappensOnAnEmptyBitmap) {
  TWinGBitmap b;
  TWinGCanvas c(b);
  c.PenWidth = 5;
  c.LineTo(10, 10);
  c.Rectangle(0, 0, 5, 5);
  c.FillRect({0, 0, 5, 5});
  c.SetPixel(0, 0, 1);
  EXPECT_EQ(c.GetPixel(0, 0), -1);
  EXPECT_EQ(c.PenPos(), (TPoint{10, 10}));
}
