#include "mdl/MdlSkins.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>
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

namespace {

// Skins 0 and 1 as single skins, then a timed group of two (flat 2 and 3)
// with intervals 0.25 and 0.5.
void MakeTimedGroup(TMDL& m) {
  MakeSkins(m, 3);
  TMDLBitmapGroup& g = m.Skins->Group(2);
  g.GroupType = 1;
  g.SetInterval(0, 0.25f);
  m.Skins->InsertSkin(2);
  g.SetInterval(0, 0.25f);
  g.SetInterval(1, 0.5f);
}

std::vector<float> GroupIntervals(TMDLBitmapGroup& g) {
  std::vector<float> r;
  for (int i = 0; i < g.Count(); ++i) r.push_back(g.Interval(i));
  return r;
}

}  // namespace

TEST(MdlSkinsTest, EveryWayIntoATimedGroupKeepsItsIntervalsClimbing) {
  const struct {
    const char* what;
    void (*act)(TMDL&);
  } cases[] = {
      {"insert", [](TMDL& m) { m.Skins->InsertSkin(3); }},
      {"duplicate", [](TMDL& m) { m.Skins->DuplicateSkin(0, 3); }},
      {"move in from before", [](TMDL& m) { m.Skins->MoveSkin(0, 3); }},
      {"move in from after", [](TMDL& m) {
         m.Skins->InsertSkin(4);
         m.Skins->MoveSkin(4, 2);
       }},
      {"grow", [](TMDL& m) { m.Skins->Group(m.Skins->IndexEntry(2).Group).SetCount(3); }},
  };
  for (const auto& c : cases) {
    TMDL m;
    MakeTimedGroup(m);
    c.act(m);
    TMDLBitmapGroup& g = m.Skins->Group(m.Skins->IndexEntry(2).Group);
    ASSERT_EQ(g.Count(), 3) << c.what;
    EXPECT_EQ(GroupIntervals(g), (std::vector<float>{0.25f, 0.5f, 0.75f})) << c.what;
  }
}

TEST(MdlSkinsTest, NewMembersOfAGroupAreCalledNewSkin) {
  TMDL m;
  MakeTimedGroup(m);
  EXPECT_EQ(m.Skins->Skin(2).Name, "new skin");  // inserted into the group
  TMDLBitmapGroup& g = m.Skins->Group(2);
  g.SetCount(4);
  EXPECT_EQ(g.Bitmap(2).Name, "new skin");
  EXPECT_EQ(g.Bitmap(3).Name, "new skin");
}

TEST(MdlSkinsTest, SavedIntervalsArePositiveAndStrictlyIncreasing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    std::vector<float> held, saved;
  } cases[] = {
      {{0.25f, 0.5f, 0.75f}, {0.25f, 0.5f, 0.75f}},  // already sound: kept
      {{0.25f, 0.5f, 0.0f}, {0.25f, 0.5f, 0.75f}},
      {{0.2f, 0.2f, 0.1f}, {0.2f, 0.4f, 0.6f}},  // equal is not enough
      {{0.0f, 0.0f}, {0.1f, 0.2f}},
      {{-1.0f, 0.5f}, {0.1f, 0.5f}},
      {{nan, nan, 3.0f}, {0.1f, 0.2f, 3.0f}},
      {{0.5f, inf}, {0.5f, 1.0f}},
  };
  for (const auto& c : cases) {
    TIntervals iv;
    for (size_t i = 0; i < c.held.size(); ++i) iv.Set(static_cast<int>(i), c.held[i]);
    const std::vector<float> out = iv.Ascending(static_cast<int>(c.held.size()));
    ASSERT_EQ(out.size(), c.saved.size());
    for (size_t i = 0; i < out.size(); ++i) EXPECT_FLOAT_EQ(out[i], c.saved[i]) << c.held[0] << " entry " << i;
  }
  // Far up the range a step of interval 0 vanishes in rounding: still above.
  TIntervals big;
  big.Set(0, 1e-3f);
  big.Set(1, 3e30f);
  big.Set(2, 3e30f);
  const std::vector<float> out = big.Ascending(3);
  EXPECT_GT(out[2], out[1]);
}
