#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>

#include "core/Streams.h"
#include "mdl/Mdl.h"
#include "raster/ColorTables.h"
#include "raster/WinGCanvas.h"

namespace {

// Counts recomputed from the pixels, to hold against the kept ColorCount.
std::array<int32_t, 256> Counted(const TMDLBitmap& b) {
  std::array<int32_t, 256> c{};
  for (int y = 0; y < b.Height; ++y)
    for (int x = 0; x < b.Width; ++x) ++c[b.Pixel(x, y)];
  return c;
}

std::set<std::pair<int, int>> PixelsOf(const TMDLBitmap& b, uint8_t color) {
  std::set<std::pair<int, int>> r;
  for (int y = 0; y < b.Height; ++y)
    for (int x = 0; x < b.Width; ++x)
      if (b.Pixel(x, y) == color) r.insert({x, y});
  return r;
}

void Fill(TMDLBitmap& b, const std::function<uint8_t(int, int)>& f) {
  for (int y = 0; y < b.Height; ++y)
    for (int x = 0; x < b.Width; ++x) b.Row(y)[x] = f(x, y);
  b.RecountColors();
}

// The nested fill the iterative one must match pixel for pixel, depth
// limit included.
void ReferenceFill(std::vector<std::vector<uint8_t>>& img, int x, int y, uint8_t old, uint8_t color, int& depth) {
  ++depth;
  if (depth < 3000 && y >= 0 && y < static_cast<int>(img.size()) && x >= 0 &&
      x < static_cast<int>(img[0].size()) && img[static_cast<size_t>(y)][static_cast<size_t>(x)] == old) {
    img[static_cast<size_t>(y)][static_cast<size_t>(x)] = color;
    ReferenceFill(img, x, y + 1, old, color, depth);
    ReferenceFill(img, x - 1, y, old, color, depth);
    ReferenceFill(img, x, y - 1, old, color, depth);
    ReferenceFill(img, x + 1, y, old, color, depth);
  }
  --depth;
}

}  // namespace

TEST(SkinImageTest, PenSquareCoversPenSizePixelsReachingRightAndDown) {
  TMDLBitmap b(nullptr);
  b.SetSize(16, 16);
  b.PenSize = 1;
  b.SetPixel(5, 5, 9);
  EXPECT_EQ(PixelsOf(b, 9), (std::set<std::pair<int, int>>{{5, 5}}));
  b.PenSize = 0;
  b.SetPixel(1, 1, 8);
  EXPECT_EQ(PixelsOf(b, 8).size(), 1u);
  b.PenSize = 2;
  b.SetPixel(10, 10, 7);
  EXPECT_EQ(PixelsOf(b, 7), (std::set<std::pair<int, int>>{{10, 10}, {11, 10}, {10, 11}, {11, 11}}));
  b.PenSize = 6;
  b.SetPixel(8, 3, 6);
  const auto six = PixelsOf(b, 6);
  EXPECT_EQ(six.size(), 36u);
  EXPECT_EQ(six.begin()->first, 6);
  EXPECT_EQ(six.rbegin()->first, 11);
  EXPECT_TRUE(six.count({8, 1}) && six.count({8, 6}) && !six.count({8, 0}) && !six.count({8, 7}));
  EXPECT_EQ(b.ColorCount(), Counted(b));
}

TEST(SkinImageTest, PenIsClippedAtTheEdgesAndCountsStayRight) {
  TMDLBitmap b(nullptr);
  b.SetSize(8, 4);
  b.PenSize = 6;
  b.SetPixel(0, 0, 3);   // covers -2..3 by -2..3, clipped to 0..3 by 0..3
  b.SetPixel(7, 3, 4);   // covers 5..10 by 1..6
  b.SetPixel(-50, 2, 5); // entirely outside
  b.PenSize = 100000;    // a huge pen costs no more than the image
  b.SetPixel(1000000, 1000000, 6);
  EXPECT_EQ(PixelsOf(b, 3).size(), 16u);
  EXPECT_EQ(PixelsOf(b, 4).size(), 9u);
  EXPECT_TRUE(PixelsOf(b, 5).empty());
  EXPECT_EQ(b.ColorCount(), Counted(b));
}

TEST(SkinImageTest, LineToDrawsOnePointPerStepAlongTheLongerAxis) {
  TMDLBitmap b(nullptr);
  b.SetSize(64, 64);
  b.PenSize = 1;
  b.PenReach = 2000;
  b.PenColor = 9;
  b.MoveTo(0, 0);
  b.LineTo(10, 3);
  const std::set<std::pair<int, int>> flat = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2},
                                              {6, 2}, {7, 2}, {8, 2}, {9, 3}, {10, 3}};
  EXPECT_EQ(PixelsOf(b, 9), flat);
  EXPECT_EQ(b.PenX, 10);
  EXPECT_EQ(b.PenY, 3);

  // Steep and backwards: from (20, 30) up to (17, 20), one point per row.
  b.PenColor = 8;
  b.MoveTo(20, 30);
  b.LineTo(17, 20);
  const auto steep = PixelsOf(b, 8);
  EXPECT_EQ(steep.size(), 11u);
  std::set<int> rows;
  for (auto [x, y] : steep) rows.insert(y);
  EXPECT_EQ(rows.size(), 11u);
  EXPECT_TRUE(steep.count({20, 30}) && steep.count({17, 20}));

  // Leftwards flat line.
  b.PenColor = 7;
  b.MoveTo(40, 50);
  b.LineTo(30, 48);
  EXPECT_EQ(PixelsOf(b, 7).size(), 11u);
  EXPECT_TRUE(PixelsOf(b, 7).count({30, 48}));
  EXPECT_EQ(b.ColorCount(), Counted(b));
}

TEST(SkinImageTest, LineToBeyondThePenReachStartsANewStroke) {
  TMDLBitmap b(nullptr);
  b.SetSize(3000, 4);
  b.PenSize = 1;
  b.PenReach = 2000;
  b.PenColor = 5;
  b.MoveTo(0, 0);
  b.LineTo(2000, 1);
  EXPECT_EQ(PixelsOf(b, 5), (std::set<std::pair<int, int>>{{0, 0}, {2000, 1}}));
  // The default reach of 0 makes every LineTo a MoveTo.
  b.PenReach = 0;
  b.PenColor = 6;
  b.LineTo(2002, 1);
  EXPECT_EQ(PixelsOf(b, 6), (std::set<std::pair<int, int>>{{2002, 1}}));
  // The same point again draws nothing new and keeps the pen.
  b.PenReach = 10;
  b.PenColor = 7;
  b.LineTo(2002, 1);
  EXPECT_TRUE(PixelsOf(b, 7).empty());
}

TEST(SkinImageTest, FloodFillFillsTheRegionAndNothingElse) {
  TMDLBitmap b(nullptr);
  b.SetSize(20, 10);
  // A box outline of colour 1 from (2, 2) to (12, 8); inside and outside 0.
  Fill(b, [](int x, int y) {
    const bool edge = (x == 2 || x == 12) && y >= 2 && y <= 8;
    const bool lid = (y == 2 || y == 8) && x >= 2 && x <= 12;
    return static_cast<uint8_t>(edge || lid ? 1 : 0);
  });
  b.FloodFill(5, 5, 4);
  EXPECT_EQ(PixelsOf(b, 4).size(), 9u * 5u);
  EXPECT_EQ(b.Pixel(0, 0), 0);
  EXPECT_EQ(b.ColorCount(), Counted(b));

  const auto before = b.ColorCount();
  b.FloodFill(5, 5, 4);  // already that colour
  b.FloodFill(-1, 5, 9); // outside
  EXPECT_EQ(b.ColorCount(), before);
  EXPECT_EQ(PixelsOf(b, 9).size(), 0u);
}

TEST(SkinImageTest, FloodFillMatchesTheNestedFillIncludingItsDepthLimit) {
  // A 200 x 120 picture of colour 0 with scattered walls: large enough that
  // the depth limit cuts the fill short.
  TMDLBitmap b(nullptr);
  b.SetSize(200, 120);
  uint32_t seed = 12345;
  Fill(b, [&](int, int) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<uint8_t>(((seed >> 16) % 9) == 0 ? 1 : 0);
  });
  std::vector<std::vector<uint8_t>> ref(120, std::vector<uint8_t>(200));
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 200; ++x) ref[static_cast<size_t>(y)][static_cast<size_t>(x)] = b.Pixel(x, y);

  const std::pair<int, int> starts[] = {{100, 60}, {0, 0}, {199, 119}, {50, 10}};
  uint8_t color = 10;
  for (auto [x, y] : starts) {
    const uint8_t old = ref[static_cast<size_t>(y)][static_cast<size_t>(x)];
    if (old != color) {
      int depth = 0;
      ReferenceFill(ref, x, y, old, color, depth);
    }
    b.FloodFill(x, y, color);
    ++color;
  }
  int filled = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 200; ++x) {
      ASSERT_EQ(b.Pixel(x, y), ref[static_cast<size_t>(y)][static_cast<size_t>(x)]) << x << "," << y;
      filled += b.Pixel(x, y) >= 10;
    }
  EXPECT_GT(filled, 3000);
  EXPECT_LT(filled, 200 * 120 * 8 / 9);  // the limit left part of the open area
  EXPECT_EQ(b.ColorCount(), Counted(b));
}

TEST(SkinImageTest, FloodFillOfALongCorridorStopsAtTheLimitAndContinuesWhenRepeated) {
  // A one-pixel-wide snake of 5000 pixels: each step nests one level deeper.
  TMDLBitmap b(nullptr);
  b.SetSize(1000, 12);
  Fill(b, [](int x, int y) {
    // Rows 0, 2, 4, 6, 8 fully open, joined alternately at the right and
    // left ends through rows 1, 3, 5, 7.
    if (y % 2 == 0 && y <= 8) return uint8_t{0};
    if (y % 4 == 1 && y <= 7 && x == 999) return uint8_t{0};
    if (y % 4 == 3 && y <= 7 && x == 0) return uint8_t{0};
    return uint8_t{1};
  });
  const int open = b.ColorCount()[0];
  ASSERT_EQ(open, 5 * 1000 + 4);
  b.FloodFill(0, 0, 2);
  EXPECT_EQ(b.ColorCount()[2], 2999);
  // The first unfilled pixel along the snake continues the fill.
  int x = 0, y = 0;
  bool found = false;
  for (y = 0; y < 12 && !found; ++y)
    for (x = 0; x < 1000 && !found; ++x)
      if (b.Pixel(x, y) == 0) found = true;
  ASSERT_TRUE(found);
  b.FloodFill(x - 1, y - 1, 2);
  EXPECT_EQ(b.ColorCount()[2], open);  // 2999 more would pass the end
  EXPECT_EQ(b.ColorCount(), Counted(b));
}

TEST(SkinImageTest, ReplaceColorAndRestrictColorsRecount) {
  TMDLBitmap b(nullptr);
  b.SetSize(16, 8);
  Fill(b, [](int x, int y) { return static_cast<uint8_t>((x + y) % 16); });
  const auto before = b.ColorCount();
  b.ReplaceColor(5, 5);
  EXPECT_EQ(b.ColorCount(), before);
  EXPECT_EQ(b.Pixel(5, 0), 5);
  b.ReplaceColor(5, 200);
  EXPECT_EQ(b.ColorCount()[5], 0);
  EXPECT_EQ(b.ColorCount()[200], before[5]);
  EXPECT_EQ(b.Pixel(5, 0), 200);

  // Everything but colours 0 and 15 excluded: every pixel goes to whichever
  // of the two is nearer in the game palette.
  TColorSet excluded;
  excluded.set();
  excluded.reset(0);
  excluded.reset(15);
  b.RestrictColors(excluded);
  EXPECT_EQ(b.ColorCount()[0] + b.ColorCount()[15], 16 * 8);
  EXPECT_EQ(b.ColorCount(), Counted(b));
  EXPECT_EQ(b.Pixel(12, 0), 15);  // a light grey
  EXPECT_EQ(b.Pixel(1, 0), 0);   // a dark grey
}

TEST(SkinImageTest, ResizeStretchesThePictureAndKeepsEveryIndex) {
  TMDLBitmap b(nullptr);
  b.SetSize(8, 4);
  // Indices 175 and 247 share their colours with 16 and 76; they must stay.
  Fill(b, [](int x, int) { return static_cast<uint8_t>(x < 4 ? 175 : 247); });
  b.Resize(101, 8);
  EXPECT_EQ(b.Width, 104);
  EXPECT_EQ(b.Height, 8);
  EXPECT_EQ(b.Image.GetWidth(), 104);
  EXPECT_EQ(b.Pixel(0, 0), 175);
  EXPECT_EQ(b.Pixel(51, 7), 175);
  EXPECT_EQ(b.Pixel(52, 0), 247);
  EXPECT_EQ(b.Pixel(103, 7), 247);
  EXPECT_EQ(b.ColorCount()[175], 52 * 8);
  EXPECT_EQ(b.ColorCount(), Counted(b));
  EXPECT_THROW(b.Resize(16, 5000), Exception);
  EXPECT_EQ(b.Width, 104);  // a refused size changes nothing
}

TEST(SkinImageTest, PicturesInOtherColoursArriveAsTheNearestGameColours) {
  TMDLBitmap b(nullptr);
  b.SetSize(4, 2);
  // A 2 x 1 picture whose colour 0 is pure red and colour 1 a near white.
  TWinGBitmap pic;
  pic.SetSize(2, 1);
  pic.SetColorEntry(0, MakeRGBQuad(255, 0, 0));
  pic.SetColorEntry(1, MakeRGBQuad(250, 250, 250));
  pic.ScanLine(0)[0] = 0;
  pic.ScanLine(0)[1] = 1;
  TMemoryStream s;
  pic.SaveToStream(s);
  b.LoadScaled(s);
  const TPaletteObject& game = GamePalette().Handle();
  EXPECT_EQ(b.Pixel(0, 0), game.NearestIndex(255, 0, 0));
  EXPECT_EQ(b.Pixel(1, 1), game.NearestIndex(255, 0, 0));
  EXPECT_EQ(b.Pixel(3, 0), game.NearestIndex(250, 250, 250));
  EXPECT_EQ(b.ColorCount(), Counted(b));

  // A skin saved and loaded back keeps its indices exactly.
  TMDLBitmap c(nullptr);
  c.SetSize(8, 4);
  Fill(c, [](int x, int y) { return static_cast<uint8_t>(x * 32 + y * 8 + 7); });
  TMemoryStream t;
  c.SaveImageToStream(t);
  TMDLBitmap d(nullptr);
  d.SetSize(8, 4);
  d.LoadScaled(t);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(d.Pixel(x, y), c.Pixel(x, y));
}

TEST(SkinImageTest, AssignAndAppendSkin) {
  TMDLBitmap a(nullptr), b(nullptr);
  a.SetSize(8, 4);
  Fill(a, [](int x, int) { return static_cast<uint8_t>(x < 4 ? 1 : 2); });
  b.SetSize(6, 6);
  Fill(b, [](int x, int) { return static_cast<uint8_t>(x < 3 ? 3 : 4); });
  b.Name = "other";
  b.Gamma = 3;
  b.TopColor = 12;

  TMDLBitmap c(nullptr);
  c.Assign(b);
  EXPECT_EQ(c.Name, "other");
  EXPECT_EQ(c.Gamma, 3);
  EXPECT_EQ(c.TopColor, 12);
  EXPECT_EQ(c.Width, 6);
  EXPECT_EQ(c.Pixel(5, 5), 4);
  EXPECT_EQ(c.ColorCount(), Counted(c));

  // 8 + 6 = 14, rounded up to 16; the taller height wins.
  a.AppendSkin(b);
  ASSERT_EQ(a.Width, 16);
  ASSERT_EQ(a.Height, 6);
  std::string row0, row5;
  for (int x = 0; x < 16; ++x) {
    row0 += static_cast<char>('0' + a.Pixel(x, 0));
    row5 += static_cast<char>('0' + a.Pixel(x, 5));
  }
  // [this front | other front | gap | this back | other back | gap]
  EXPECT_EQ(row0, "1111333022224440");
  EXPECT_EQ(row5, "0000333000004440");
  EXPECT_EQ(a.ColorCount(), Counted(a));
}

TEST(SkinImageTest, DrawShowsTheDisplayColoursOnTheTarget) {
  TMDLBitmap b(nullptr);
  b.SetSize(4, 4);
  const uint8_t white = static_cast<uint8_t>(GamePalette().Handle().NearestIndex(255, 255, 255));
  Fill(b, [&](int x, int) { return x < 2 ? uint8_t{0} : white; });
  TWinGBitmap target;
  target.SetSize(8, 8);
  target.SetPalette(GamePalette().NewHandle());
  b.Draw(target.Canvas(), TRect{0, 0, 8, 8});
  // Black stays black; at normal brightness the bright colour stays bright.
  const TRGBQuad left = target.GetColorEntry(target.ScanLine(3)[1]);
  const TRGBQuad right = target.GetColorEntry(target.ScanLine(3)[6]);
  EXPECT_EQ(left & 0xFFFFFF, 0u);
  EXPECT_GT(QuadRed(right) + QuadGreen(right) + QuadBlue(right), 3 * 150);
}

// ---- the skin list -----------------------------------------------------------------

namespace {

// A model with one skin of w x h and the given skin vertices and triangles.
void MakeFlat(TMDL& m, int w, int h, const std::vector<TSkinVertex>& verts, const std::vector<TTriangle>& tris) {
  m.Clear();
  m.Header->SkinWidth = w;
  m.Header->SkinHeight = h;
  m.Skins->InsertSkin(0);
  for (const TSkinVertex& v : verts) m.Vertices->Add(v, kNoObject);
  for (const TTriangle& t : tris) m.Triangles->Add(t);
}

}  // namespace

TEST(SkinImageTest, SkinListResizeScalesVerticesAndEverySkin) {
  TMDL m;
  MakeFlat(m, 8, 4, {{0, 7, 3}, {kOnSeam, 4, 2}}, {});
  m.Skins->InsertSkin(1);
  m.Skins->Skin(0).Row(0)[7] = 9;
  m.Skins->Resize(12, 10);
  EXPECT_EQ(m.Vertices->Get(0).S, 7 * 12 / 8);
  EXPECT_EQ(m.Vertices->Get(0).T, 3 * 10 / 4);
  EXPECT_EQ(m.Vertices->Get(1).S, 6);
  EXPECT_EQ(m.Skins->Skin(0).Width, 12);
  EXPECT_EQ(m.Skins->Skin(1).Height, 10);
  EXPECT_EQ(m.Skins->Skin(0).Pixel(11, 0), 9);
}

TEST(SkinImageTest, PaintTrianglesOutlinesFrontAndBackTriangles) {
  TMDL m;
  // A front triangle on the left half, and a back triangle whose seam corner
  // is drawn in the right half.
  MakeFlat(m, 40, 20, {{0, 2, 2}, {0, 12, 2}, {0, 2, 12}, {kOnSeam, 5, 15}, {0, 30, 15}, {0, 30, 18}},
           {{1, {0, 1, 2}}, {0, {3, 4, 5}}});
  TMDLBitmap& skin = m.Skins->Skin(0);
  Fill(skin, [](int, int) { return uint8_t{175}; });
  m.Skins->PaintTriangles(0);
  const uint8_t white = static_cast<uint8_t>(GamePalette().Handle().NearestIndex(255, 255, 255));
  for (int x = 2; x <= 12; ++x) EXPECT_EQ(skin.Pixel(x, 2), white) << x;
  for (int y = 2; y <= 12; ++y) EXPECT_EQ(skin.Pixel(2, y), white) << y;
  EXPECT_EQ(skin.Pixel(7, 7), white);  // on the slanted edge
  EXPECT_EQ(skin.Pixel(4, 4), 175);    // inside
  EXPECT_EQ(skin.Pixel(25, 15), white); // the seam corner moved to 5 + 20
  EXPECT_EQ(skin.Pixel(5, 15), 175);
  // Everything not on an outline keeps its index.
  EXPECT_EQ(skin.ColorCount()[175] + skin.ColorCount()[white], 40 * 20);
  EXPECT_EQ(skin.ColorCount(), Counted(skin));
}

TEST(SkinImageTest, RearrangeObjectSkinsMovesOnePieceToTwoTwoInBothHalves) {
  TMDL m;
  // One triangle, front corners and one back corner (S > 16).
  MakeFlat(m, 32, 16, {{0, 5, 6}, {0, 8, 6}, {0, 21, 9}}, {{1, {0, 1, 2}}});
  TMDLBitmap& skin = m.Skins->Skin(0);
  skin.Row(6)[5] = 11;   // under vertex 0 (front)
  skin.Row(9)[21] = 12;  // under vertex 2 (back)
  skin.RecountColors();
  m.Skins->RearrangeObjectSkins();
  // Box in half-skin coordinates: s 4..9, T 5..10 -> 5 wide, 5 high.
  // H2 = (2 + 5 + 3) even = 10; width 2 * (7 + 2) = 18 -> 20; height 7.
  EXPECT_EQ(m.Header->SkinWidth, 20);
  EXPECT_EQ(m.Header->SkinHeight, 7);
  EXPECT_EQ(skin.Width, 20);
  EXPECT_EQ(skin.Height, 7);
  EXPECT_EQ(m.Vertices->Get(0).S, 3);  // 5 - 4 + 2
  EXPECT_EQ(m.Vertices->Get(0).T, 3);  // 6 - 5 + 2
  EXPECT_EQ(m.Vertices->Get(1).S, 6);
  EXPECT_EQ(m.Vertices->Get(2).S, 21 - 16 - 4 + 2 + 10);
  EXPECT_EQ(m.Vertices->Get(2).T, 6);
  EXPECT_EQ(skin.Pixel(3, 3), 11);
  EXPECT_EQ(skin.Pixel(13, 6), 12);
  EXPECT_EQ(skin.ColorCount(), Counted(skin));
}

TEST(SkinImageTest, RearrangeObjectSkinsPlacesPiecesSideBySide) {
  TMDL m;
  // Two separate triangles, the second one listed with the lower vertex
  // numbers' piece first.
  MakeFlat(m, 64, 32, {{0, 10, 10}, {0, 12, 10}, {0, 10, 12}, {0, 1, 20}, {0, 3, 20}, {0, 1, 24}},
           {{1, {3, 4, 5}}, {1, {0, 1, 2}}});
  m.Skins->RearrangeObjectSkins();
  // Piece 0 (vertices 0-2): box 9..13 x 9..13 at x = 2; piece 1: box
  // 0..4 x 19..25 at x = 6.
  EXPECT_EQ(m.Vertices->Get(0).S, 3);
  EXPECT_EQ(m.Vertices->Get(3).S, 1 - 0 + 6);
  EXPECT_EQ(m.Vertices->Get(3).T, 20 - 19 + 2);
  EXPECT_EQ(m.Header->SkinHeight, 6 + 2);
  EXPECT_EQ(m.Header->SkinWidth % 4, 0);
}

TEST(SkinImageTest, RearrangeObjectSkinsRefusesALayoutNoSkinCanHold) {
  TMDL m;
  MakeFlat(m, 32, 16, {{0, 5, 6}, {0, 8, 6}, {0, 6, 2000000}}, {{1, {0, 1, 2}}});
  EXPECT_THROW(m.Skins->RearrangeObjectSkins(), EMDLError);
  EXPECT_EQ(m.Vertices->Get(2).T, 2000000);  // nothing changed
  EXPECT_EQ(m.Skins->Skin(0).Width, 32);
}
