#include "raster/WinGPalette.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "core/Streams.h"

namespace {

constexpr TRGBQuad kRed = MakeRGBQuad(255, 0, 0);
constexpr TRGBQuad kWhite = MakeRGBQuad(255, 255, 255);

// A palette of n distinct colours that are none of the system colours.
void FillDistinct(TWinGPalette& p, int n) {
  for (int i = 0; i < n; ++i) {
    const int index = p.AddColor(MakeRGBQuad(uint8_t(i), 7, 13), false);
    ASSERT_EQ(index, p.Count() - 1);
  }
}

}  // namespace

TEST(WinGPalette, NewPaletteIsEmptyAndBlank) {
  TWinGPalette p;
  EXPECT_EQ(p.Count(), 0);
  EXPECT_FALSE(p.SystemColors());
  EXPECT_EQ(p.ReservedCount(), 0);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(p.GetEntry(i), (TPaletteEntry{0, 0, 0, kPaletteNoCollapse}));
    EXPECT_EQ(p.GetColor(i), 0u);
  }
}

TEST(WinGPalette, ColoursArePackedAsQuadsAndAsColourReferences) {
  TWinGPalette p;
  EXPECT_EQ(p.AddColor(MakeRGBQuad(0x12, 0x34, 0x56), false), 0);
  EXPECT_EQ(p.GetColor(0), 0x00123456u);     // red in bits 16-23
  EXPECT_EQ(p.GetColorRef(0), 0x00563412u);  // red in bits 0-7
  EXPECT_EQ(MakePaletteRGB(0x12, 0x34, 0x56), 0x02563412u);
  TRGBQuad out[1] = {};
  p.GetColors(out, 1);
  EXPECT_EQ(out[0], 0x00123456u);
}

TEST(WinGPalette, AddColorReusesOnlyWhenAskedAndReportsAFullPalette) {
  TWinGPalette p;
  EXPECT_EQ(p.AddColor(kRed, true), 0);
  EXPECT_EQ(p.AddColor(kWhite, true), 1);
  EXPECT_EQ(p.AddColor(kRed, true), 0);
  EXPECT_EQ(p.AddColor(kRed, false), 2);  // appended again
  EXPECT_EQ(p.Count(), 3);
  EXPECT_EQ(p.GetEntry(2).Flags, kPaletteNoCollapse);

  TWinGPalette full;
  FillDistinct(full, 256);
  EXPECT_EQ(full.AddColor(kRed, false), -1);
  EXPECT_EQ(full.AddColor(MakeRGBQuad(3, 7, 13), true), 3);  // reuse still finds
  EXPECT_EQ(full.Count(), 256);
}

TEST(WinGPalette, SetColorKeepsFlagsAndIgnoresBadIndices) {
  TWinGPalette p;
  p.SetSystemColors(true);
  p.SetColor(3, kRed);
  EXPECT_EQ(p.GetColor(3), kRed);
  EXPECT_EQ(p.GetEntry(3).Flags, 0);  // a system entry keeps its flags
  p.SetColor(-1, kRed);
  p.SetColor(256, kRed);
  EXPECT_EQ(p.GetColor(-1), 0u);
  EXPECT_EQ(p.GetColorRef(256), 0u);
}

TEST(WinGPalette, SetColorsTurnsSystemColoursOffAndBlanksTheRest) {
  TWinGPalette p;
  p.SetSystemColors(true);
  const TRGBQuad colors[3] = {kRed, kWhite, MakeRGBQuad(1, 2, 3)};
  p.SetColors(colors, 3);
  EXPECT_FALSE(p.SystemColors());
  EXPECT_EQ(p.ReservedCount(), 0);
  EXPECT_EQ(p.Count(), 3);
  EXPECT_EQ(p.GetColor(2), MakeRGBQuad(1, 2, 3));
  for (int i = 3; i < 256; ++i) EXPECT_EQ(p.GetEntry(i), (TPaletteEntry{0, 0, 0, kPaletteNoCollapse})) << i;
  const std::vector<TRGBQuad> many(1000, kRed);
  p.SetColors(many.data(), 1000);  // at most 256 are taken
  EXPECT_EQ(p.Count(), 256);
  EXPECT_EQ(p.GetColor(255), kRed);
}

TEST(WinGPalette, SystemPaletteHoldsTwentyDistinctStaticColours) {
  const auto& sys = SystemPaletteEntries();
  std::set<uint32_t> seen;
  for (int i = 0; i < 256; ++i) {
    const bool reserved = i < 10 || i >= 246;
    EXPECT_EQ(sys[i].Flags, 0);
    if (reserved) seen.insert(MakeColorRef(sys[i].Red, sys[i].Green, sys[i].Blue));
    else EXPECT_EQ(sys[i], (TPaletteEntry{0, 0, 0, 0})) << i;
  }
  EXPECT_EQ(seen.size(), 20u);
  EXPECT_EQ(sys[0], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(sys[255], (TPaletteEntry{255, 255, 255, 0}));
}

TEST(WinGPalette, SystemColoursOnReservesTheStaticEntriesAndMergesDuplicates) {
  TWinGPalette p;
  p.AddColor(MakeRGBQuad(1, 2, 3), false);
  p.AddColor(MakeRGBQuad(4, 5, 6), false);
  p.AddColor(MakeRGBQuad(1, 2, 3), false);  // duplicate user colour
  p.AddColor(MakeRGBQuad(7, 8, 9), false);
  p.SetSystemColors(true);

  EXPECT_TRUE(p.SystemColors());
  EXPECT_EQ(p.ReservedCount(), 10);
  EXPECT_EQ(p.Count(), 13);
  EXPECT_EQ(p.UserColorCount(), 3);
  const auto& sys = SystemPaletteEntries();
  for (int i : {0, 9, 246, 255}) {
    EXPECT_EQ(p.GetEntry(i), sys[i]);
    EXPECT_EQ(p.GetColor(i), MakeRGBQuad(sys[i].Red, sys[i].Green, sys[i].Blue));  // red and blue swapped
  }
  EXPECT_EQ(p.GetColor(10), MakeRGBQuad(1, 2, 3));
  EXPECT_EQ(p.GetColor(11), MakeRGBQuad(4, 5, 6));
  EXPECT_EQ(p.GetColor(12), MakeRGBQuad(7, 8, 9));
  EXPECT_EQ(p.GetEntry(12).Flags, kPaletteNoCollapse);
  EXPECT_EQ(p.GetEntry(13), (TPaletteEntry{0, 0, 0, kPaletteNoCollapse}));

  // A high system colour is found by reuse; a full palette refuses more.
  EXPECT_EQ(p.AddColor(kWhite, true), 255);
  EXPECT_EQ(p.AddColor(MakeRGBQuad(0, 0, 0), true), 0);
  for (int i = 0; p.Count() < 246; ++i) p.AddColor(MakeRGBQuad(uint8_t(i), 99, 99), false);
  EXPECT_EQ(p.AddColor(MakeRGBQuad(50, 50, 50), false), -1);
  EXPECT_EQ(p.Count(), 246);
  EXPECT_EQ(p.GetEntry(246), sys[246]);  // not overwritten
}

TEST(WinGPalette, SystemColoursOffAgainGivesBackTheUserColoursInOrder) {
  TWinGPalette p;
  p.AddColor(MakeRGBQuad(1, 2, 3), false);
  p.AddColor(MakeRGBQuad(4, 5, 6), false);
  p.AddColor(MakeRGBQuad(1, 2, 3), false);
  p.SetSystemColors(true);
  p.SetSystemColors(false);
  EXPECT_FALSE(p.SystemColors());
  EXPECT_EQ(p.ReservedCount(), 0);
  EXPECT_EQ(p.Count(), 2);
  EXPECT_EQ(p.GetColor(0), MakeRGBQuad(1, 2, 3));
  EXPECT_EQ(p.GetColor(1), MakeRGBQuad(4, 5, 6));
  for (int i = 2; i < 256; ++i) EXPECT_EQ(p.GetEntry(i), (TPaletteEntry{0, 0, 0, kPaletteNoCollapse})) << i;

  // Setting the value it already has only drops the lookup object.
  p.Handle();
  ASSERT_TRUE(p.HasHandle());
  p.SetSystemColors(false);
  EXPECT_FALSE(p.HasHandle());
  EXPECT_EQ(p.Count(), 2);
}

TEST(WinGPalette, AssignCopiesExactlyWithOrWithoutSystemColours) {
  TWinGPalette display;
  display.SetSystemColors(true);
  FillDistinct(display, 236);  // full: 10 + 236
  TWinGPalette copy;
  copy.AddColor(kRed, false);
  copy.Assign(&display);
  EXPECT_TRUE(copy.SystemColors());
  EXPECT_EQ(copy.Count(), 246);
  EXPECT_EQ(copy.ReservedCount(), 10);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(copy.GetColor(i), display.GetColor(i)) << i;
    EXPECT_EQ(copy.GetEntry(i), display.GetEntry(i)) << i;
  }

  TWinGPalette plain;
  plain.AddColor(kRed, false);
  plain.AddColor(kRed, false);
  copy.Assign(&plain);
  EXPECT_FALSE(copy.SystemColors());
  EXPECT_EQ(copy.Count(), 2);  // duplicates kept
  EXPECT_EQ(copy.GetColor(1), kRed);
  EXPECT_EQ(copy.GetColor(255), 0u);

  copy.Assign(nullptr);
  EXPECT_EQ(copy.Count(), 2);
}

TEST(WinGPalette, HandleIsCachedUntilTheNextChange) {
  TWinGPalette p;
  p.AddColor(kRed, false);
  const TPaletteObject* first = &p.Handle();
  EXPECT_EQ(&p.Handle(), first);
  EXPECT_EQ(first->Count(), 2);  // the used colour and the black one after it
  EXPECT_EQ(first->Entry(1), (TPaletteEntry{0, 0, 0, kPaletteNoCollapse}));

  p.SetColor(0, kWhite);
  EXPECT_FALSE(p.HasHandle());
  EXPECT_EQ(p.Handle().Entry(0).Red, 255);
  p.AddColor(kRed, true);
  EXPECT_FALSE(p.HasHandle());
  p.Handle();
  p.SetColors(nullptr, 0);
  EXPECT_FALSE(p.HasHandle());
  p.Handle();
  p.Assign(&p);  // itself: nothing to do
  TWinGPalette other;
  p.Assign(&other);
  EXPECT_FALSE(p.HasHandle());
}

TEST(WinGPalette, NewHandleCarriesAllEntriesWithSystemColoursElseCountPlusOne) {
  TWinGPalette p;
  EXPECT_EQ(p.NewHandle()->Count(), 1);
  FillDistinct(p, 5);
  auto h = p.NewHandle();
  EXPECT_EQ(h->Count(), 6);
  EXPECT_NE(h, p.NewHandle());  // a new object each time
  p.SetSystemColors(true);
  EXPECT_EQ(p.NewHandle()->Count(), 256);
  EXPECT_EQ(p.NewHandle()->Entry(255), SystemPaletteEntries()[255]);
  TWinGPalette full;
  FillDistinct(full, 256);
  EXPECT_EQ(full.NewHandle()->Count(), 256);
}

TEST(PaletteObject, NearestIndexTakesTheLowestOfEqualDistances) {
  const TPaletteEntry e[4] = {{10, 0, 0, 0}, {0, 10, 0, 0}, {10, 0, 0, 0}, {200, 200, 200, 0}};
  TPaletteObject o(e, 4);
  EXPECT_EQ(o.NearestIndex(0, 0, 0), 0);  // 0 and 1 equally near
  EXPECT_EQ(o.NearestIndex(10, 0, 0), 0);  // exact, first of two
  EXPECT_EQ(o.NearestIndex(0, 9, 0), 1);
  EXPECT_EQ(o.NearestIndex(255, 255, 255), 3);
  EXPECT_EQ(o.NearestIndex(255, 255, 255, 3), 0);  // limited search
  EXPECT_EQ(TPaletteObject(e, 0).NearestIndex(1, 2, 3), -1);
  EXPECT_EQ(TPaletteObject(e, -5).Count(), 0);
}

TEST(PaletteObject, CopyPaletteHandleMakesAnEqualNewObjectOrNone) {
  EXPECT_EQ(CopyPaletteHandle(nullptr), nullptr);
  const TPaletteEntry e[2] = {{1, 2, 3, 4}, {5, 6, 7, 0}};
  EXPECT_EQ(CopyPaletteHandle(std::make_shared<const TPaletteObject>(e, 0)), nullptr);
  auto h = std::make_shared<const TPaletteObject>(e, 2);
  auto c = CopyPaletteHandle(h);
  ASSERT_NE(c, nullptr);
  EXPECT_NE(c.get(), h.get());
  EXPECT_EQ(c->Count(), 2);
  EXPECT_EQ(c->Entry(0), e[0]);
  EXPECT_EQ(c->Entry(1), e[1]);
}

TEST(WinGPaletteMap, StartsAsIdentityAndMasksIndices) {
  TWinGPaletteMap m;
  for (int i = 0; i < 256; ++i) EXPECT_EQ(m.Map(i), i);
  m[3] = 9;
  EXPECT_EQ(m.Map(3 + 256), 9);
  EXPECT_EQ(m.Map(-253), 9);
  m.ResetIdentity();
  EXPECT_EQ(m.Map(3), 3);
}

TEST(WinGPaletteMap, MapToPaletteSendsEveryIndexToTheNearestTargetColour) {
  TWinGPalette source, target;
  source.AddColor(MakeRGBQuad(250, 10, 10), false);   // near red
  source.AddColor(MakeRGBQuad(10, 10, 240), false);   // near blue
  source.AddColor(MakeRGBQuad(128, 128, 128), false); // grey
  target.AddColor(MakeRGBQuad(0, 0, 255), false);
  target.AddColor(MakeRGBQuad(255, 0, 0), false);
  target.AddColor(MakeRGBQuad(120, 120, 120), false);
  TWinGPaletteMap m;
  m.MapToPalette(source, target);
  EXPECT_EQ(m.Map(0), 1);
  EXPECT_EQ(m.Map(1), 0);
  EXPECT_EQ(m.Map(2), 2);
  // Source index 3 is the blank black: nearest is the target's extra black entry.
  EXPECT_EQ(m.Map(3), 3);

  // It composes: it maps the colour of the current map entry, not of i.
  TWinGPaletteMap n;
  n[0] = 1;
  n.MapToPalette(source, target);
  EXPECT_EQ(n.Map(0), 0);
}

TEST(WinGPaletteMap, RestrictColorsMovesExcludedEntriesToTheNearestAllowedColour) {
  TWinGPalette p;
  p.AddColor(MakeRGBQuad(0, 0, 0), false);
  p.AddColor(MakeRGBQuad(100, 0, 0), false);
  p.AddColor(MakeRGBQuad(110, 0, 0), false);
  p.AddColor(MakeRGBQuad(0, 0, 200), false);
  p.AddColor(MakeRGBQuad(100, 0, 0), false);  // a duplicate of 1 at 4
  TColorSet excluded;
  excluded.set(2);
  excluded.set(3);
  for (int i = 5; i < 256; ++i) excluded.set(i);
  TWinGPaletteMap m;
  m.RestrictColors(excluded, p);
  EXPECT_EQ(m.Map(0), 0);
  EXPECT_EQ(m.Map(2), 4);  // nearest is the red shared by 1 and 4; the last one seen is kept
  EXPECT_EQ(m.Map(1), 4);
  EXPECT_EQ(m.Map(3), 0);  // blue: black is nearer than red
  for (int i = 0; i < 256; ++i) EXPECT_FALSE(excluded[m.Map(i)]) << i;

  // With every colour excluded the map stays as it was.
  TWinGPaletteMap all;
  all.RestrictColors(TColorSet().set(), p);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(all.Map(i), i);
}

TEST(WinGPaletteMap, ApplyToBitsRewritesFromTheStartAndCountsTheResults) {
  std::vector<uint8_t> bytes(200000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
  TMemoryStream s(bytes);
  s.SetPosition(1234);
  TWinGPaletteMap m;
  for (int i = 0; i < 256; ++i) m[i] = uint8_t(255 - i);
  TColorHistogram h;
  h.fill(99);
  m.ApplyToBits(s, h);
  auto out = s.Bytes();
  ASSERT_EQ(out.size(), bytes.size());
  TColorHistogram expect{};
  for (size_t i = 0; i < bytes.size(); ++i) {
    ASSERT_EQ(out[i], 255 - bytes[i]) << i;
    ++expect[out[i]];
  }
  EXPECT_EQ(h, expect);
}

TEST(WinGPaletteMap, CountColorsCountsFromTheCurrentPosition) {
  TMemoryStream s(std::vector<uint8_t>{5, 5, 6, 7, 7, 7});
  s.SetPosition(2);
  TColorHistogram h;
  h.fill(42);
  TWinGPaletteMap::CountColors(s, h);
  EXPECT_EQ(h[5], 0);
  EXPECT_EQ(h[6], 1);
  EXPECT_EQ(h[7], 3);
  EXPECT_EQ(h[0], 0);
}

TEST(WinGPaletteMap, TranslateColormapTakesColumnsThroughTheMapOnly) {
  auto source = std::make_unique<TColormap>();
  for (int k = 0; k < kColormapSize; ++k) (*source)[k] = uint8_t(k / 256 + k % 256 * 3);
  TWinGPaletteMap m;
  m[1] = 2;
  m[2] = 200;
  auto dest = std::make_unique<TColormap>();
  dest->fill(0xEE);
  m.TranslateColormap(*source, *dest);
  for (int row = 0; row < 64; ++row) {
    EXPECT_EQ((*dest)[row * 256 + 1], (*source)[row * 256 + 2]);
    EXPECT_EQ((*dest)[row * 256 + 2], (*source)[row * 256 + 200]);
    EXPECT_EQ((*dest)[row * 256 + 3], (*source)[row * 256 + 3]);
  }
  EXPECT_EQ((*dest)[16384], 0xEE);  // the trailing byte is not a row

  // In place gives the same result.
  auto inPlace = std::make_unique<TColormap>(*source);
  m.TranslateColormap(*inPlace, *inPlace);
  EXPECT_TRUE(std::equal(inPlace->begin(), inPlace->begin() + 16384, dest->begin()));
}

TEST(WinGPaletteMap, ApplyLightLevelShadesTheMappedIndices) {
  auto cm = std::make_unique<TColormap>();
  for (int k = 0; k < kColormapSize; ++k) (*cm)[k] = uint8_t(k / 256);  // row number
  (*cm)[5 * 256 + 9] = 77;
  TWinGPaletteMap m;
  m[1] = 9;
  m.ApplyLightLevel(*cm, 5);
  EXPECT_EQ(m.Map(1), 77);
  EXPECT_EQ(m.Map(0), 5);
  m.ResetIdentity();
  m.ApplyLightLevel(*cm, 64);  // beyond the last row: the last row
  EXPECT_EQ(m.Map(0), 63);
  m.ResetIdentity();
  m.ApplyLightLevel(*cm, -3);
  EXPECT_EQ(m.Map(0), 0);
}

TEST(WinGPaletteMap, TranslatePaletteCopiesColoursThroughTheMap) {
  TWinGPalette source;
  FillDistinct(source, 10);
  TWinGPaletteMap m;
  m[0] = 4;
  m[4] = 0;
  TWinGPalette target;
  m.TranslatePalette(source, target);
  EXPECT_EQ(target.GetColor(0), source.GetColor(4));
  EXPECT_EQ(target.GetColor(4), source.GetColor(0));
  EXPECT_EQ(target.GetColor(5), source.GetColor(5));
  // Translating a palette onto itself swaps without losing a colour.
  const TRGBQuad c0 = source.GetColor(0), c4 = source.GetColor(4);
  m.TranslatePalette(source, source);
  EXPECT_EQ(source.GetColor(0), c4);
  EXPECT_EQ(source.GetColor(4), c0);
}

TEST(WinGPaletteMap, CopyRangeForwardReversedAndWrapping) {
  TWinGPaletteMap m;
  m.CopyRange(16, 48, false, 16);  // a player colour row, forward
  for (int k = 0; k < 16; ++k) EXPECT_EQ(m.Map(16 + k), 48 + k);
  m.ResetIdentity();
  m.CopyRange(96, 128, true, 16);  // rows 8 and up run the other way
  for (int k = 0; k < 16; ++k) EXPECT_EQ(m.Map(96 + k), 143 - k);
  EXPECT_EQ(m.Map(95), 95);
  EXPECT_EQ(m.Map(112), 112);
  m.ResetIdentity();
  m.CopyRange(254, 10, false, 4);  // indices wrap past 255
  EXPECT_EQ(m.Map(254), 10);
  EXPECT_EQ(m.Map(255), 11);
  EXPECT_EQ(m.Map(0), 12);
  EXPECT_EQ(m.Map(1), 13);
  m.ResetIdentity();
  m.CopyRange(0, 5, false, -3);
  EXPECT_EQ(m.Map(0), 0);
}
