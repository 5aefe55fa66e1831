#include "mdl/MdlSkins.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "mdl/Mdl.h"
#include "raster/ColorTables.h"

namespace {

// Skins named by their first pixel, to follow them through the moves.
std::string Order(TMDL& m) {
  std::string r;
  for (int k = 0; k < m.Skins->Count(); ++k) {
    if (!r.empty()) r += ' ';
    r += std::to_string(m.Skins->Skin(k).Pixel(0, 0));
    if (m.Skins->Group(m.Skins->IndexEntry(k).Group).GroupType != 0) r += 'g';
  }
  return r;
}

void MakeSkins(TMDL& m, int n) {
  m.Clear();
  m.Header->SkinWidth = 4;
  m.Header->SkinHeight = 2;
  for (int k = 0; k < n; ++k) {
    m.Skins->InsertSkin(k);
    m.Skins->Skin(k).Row(0)[0] = static_cast<uint8_t>(k);
  }
}

}  // namespace

TEST(MdlSkinsTest, NewSkinsTakeTheHeaderSizeAndTheFirstSkinsSettings) {
  TMDL m;
  m.Clear();
  m.Header->SkinWidth = 8;
  m.Header->SkinHeight = 6;
  m.Skins->EnsureSkin();
  ASSERT_EQ(m.Skins->Count(), 1);
  TMDLBitmap& s = m.Skins->Skin(0);
  EXPECT_EQ(s.Width, 8);
  EXPECT_EQ(s.Height, 6);
  EXPECT_EQ(s.ColorCount()[0], 48);
  EXPECT_EQ(s.TopColor, 1);
  EXPECT_EQ(s.BottomColor, 6);
  EXPECT_EQ(s.PenSize, 6);
  s.SetTopColor(3);
  s.SetGamma(2);
  m.Skins->EnsureSkin();
  EXPECT_EQ(m.Skins->Count(), 1);
  m.Skins->InsertSkin(0);
  EXPECT_EQ(m.Skins->Skin(0).TopColor, 3);
  EXPECT_EQ(m.Skins->Skin(0).Gamma, 2);
}

TEST(MdlSkinsTest, InsertDeleteAndMoveAcrossSingleSkinsAndTimedGroups) {
  TMDL m;
  MakeSkins(m, 3);
  EXPECT_EQ(Order(m), "0 1 2");
  // Make skin 1 a timed group of two.
  m.Skins->Group(1).GroupType = 1;
  m.Skins->InsertSkin(1);
  m.Skins->Skin(1).Row(0)[0] = 9;
  EXPECT_EQ(Order(m), "0 9g 1g 2");
  EXPECT_EQ(m.Skins->GroupCount(), 3);
  m.Skins->MoveSkin(0, 2);  // before skin 1, inside the timed group
  EXPECT_EQ(Order(m), "9g 0g 1g 2");
  EXPECT_EQ(m.Skins->GroupCount(), 2);  // the emptied single group is gone
  m.Skins->MoveSkin(3, 0);  // flat 0 lies in the timed group: it joins it
  EXPECT_EQ(Order(m), "2g 9g 0g 1g");
  m.Skins->MoveSkin(0, 4);  // past the end: a new group at the end
  EXPECT_EQ(Order(m), "9g 0g 1g 2");
  m.Skins->DuplicateSkin(3, 0);
  EXPECT_EQ(Order(m), "2g 9g 0g 1g 2");  // put inside the timed group at 0
  m.Skins->DeleteSkin(0);
  m.Skins->DeleteSkin(3);
  EXPECT_EQ(Order(m), "9g 0g 1g");
  m.Skins->DeleteSkin(0);
  m.Skins->DeleteSkin(0);
  m.Skins->DeleteSkin(0);
  EXPECT_EQ(m.Skins->Count(), 0);
  EXPECT_EQ(m.Skins->GroupCount(), 0);
}

TEST(MdlSkinsTest, DisplayColoursFollowTheSettings) {
  TMDL m;
  MakeSkins(m, 1);
  TMDLBitmap& s = m.Skins->Skin(0);
  s.DisplayImage();
  EXPECT_TRUE(s.ColorMapValid);
  const TColormap& shade = s.ShadeTable();
  // Index 16 shows top-colour row 1, i.e. game colour 16 + 16 -> row 1's first entry.
  EXPECT_EQ(shade[32 * 256 + 16], DisplayColormap()[32 * 256 + 16]);
  EXPECT_EQ(shade[32 * 256 + 5], DisplayColormap()[32 * 256 + 5]);
  s.SetTopColor(2);
  EXPECT_FALSE(s.ColorMapValid);
  const TColormap& again = s.ShadeTable();
  EXPECT_EQ(again[10 * 256 + 16], DisplayColormap()[10 * 256 + 32]);
  s.SetBottomColor(9);  // rows 8 and above run the other way
  const TColormap& rev = s.ShadeTable();
  EXPECT_EQ(rev[10 * 256 + 96], DisplayColormap()[10 * 256 + 9 * 16 + 15]);
  s.SetGamma(200);  // far out of range: the light row is clamped, nothing breaks
  EXPECT_NO_THROW(s.DisplayImage());
}

TEST(MdlSkinsTest, ColourCountsOfRunsAndOddRowLengths) {
  TMDL m;
  for (int width : {1, 7, 8, 13, 67}) {
    TMDLBitmap skin(&m);
    skin.SetSize(width, 5);
    std::array<int32_t, 256> expected{};
    uint32_t seed = static_cast<uint32_t>(width);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < width; ++x) {
        seed = seed * 1664525u + 1013904223u;
        // Long runs of one colour broken by odd pixels.
        const uint8_t c = (seed >> 24) < 40 ? static_cast<uint8_t>(seed >> 8) : static_cast<uint8_t>(y * 3 + x / 9);
        skin.Row(y)[x] = c;
        ++expected[c];
      }
    skin.RecountColors();
    EXPECT_EQ(skin.ColorCount(), expected) << width;
  }
}

TEST(MdlSkinsTest, SetSizeClearsThePictureWhetherOrNotTheSizeChanges) {
  TMDL m;
  TMDLBitmap s(&m);
  for (const auto& [w, h] : {std::pair{12, 5}, std::pair{12, 5}, std::pair{7, 9}}) {
    s.SetSize(w, h);
    int nonZero = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) nonZero += s.Pixel(x, y) != 0;
    EXPECT_EQ(nonZero, 0) << w << "x" << h;
    EXPECT_EQ(s.ColorCount()[0], w * h);
    for (int y = 0; y < h; ++y) std::memset(s.Row(y), 200, static_cast<size_t>(w));
    s.RecountColors();
    EXPECT_EQ(s.ColorCount()[200], w * h);
  }
}
