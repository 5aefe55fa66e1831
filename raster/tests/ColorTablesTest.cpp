#include "raster/ColorTables.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "resources/BuiltinData.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

const fs::path kGameData = fs::path(TESSEL_DATA_DIR) / "quake";

// A fresh empty folder per test.
class ColorTablesFolder : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tessel_colortables_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

// A palette of our own: grey ramp with a twist, nothing like the game's.
std::vector<uint8_t> OwnPalette() {
  std::vector<uint8_t> p(768);
  for (int i = 0; i < 256; ++i) {
    p[i * 3] = uint8_t(255 - i);
    p[i * 3 + 1] = uint8_t(i);
    p[i * 3 + 2] = uint8_t(i / 2);
  }
  return p;
}

}  // namespace

TEST(ColorTables, BuiltinPaletteEqualsTheGameFile) {
  const fs::path file = kGameData / "palette.lmp";
  if (!fs::exists(file)) GTEST_SKIP() << "game data not found: " << file;
  auto bytes = ReadFile(file);
  ASSERT_EQ(bytes.size(), 768u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), kBuiltinPalette));
}

TEST(ColorTables, ComputedColormapEqualsTheGameFile) {
  const fs::path file = kGameData / "colormap.lmp";
  if (!fs::exists(file)) GTEST_SKIP() << "game data not found: " << file;
  auto bytes = ReadFile(file);
  ASSERT_EQ(bytes.size(), size_t(kColormapSize));
  const TColormap& computed = BuiltinColormap();
  for (int k = 0; k < kColormapSize; ++k) ASSERT_EQ(computed[k], bytes[k]) << "byte " << k;
}

TEST(ColorTables, ColormapShape) {
  const TColormap& cm = BuiltinColormap();
  EXPECT_EQ(cm[16384], 32);
  for (int row = 0; row < 64; ++row)
    for (int c = 224; c < 256; ++c) ASSERT_EQ(cm[row * 256 + c], c);
  for (int c = 0; c < 224; ++c) EXPECT_EQ(cm[63 * 256 + c], 0) << c;  // darkest row is black
  int same = 0;
  for (int c = 0; c < 224; ++c) same += cm[32 * 256 + c] == c;
  EXPECT_GT(same, 200);  // row 32 is nearly the identity
}

TEST_F(ColorTablesFolder, WithoutFilesTheBuiltinDataIsUsed) {
  auto t = std::make_unique<TColorTables>();
  BuildColorTables(*t, dir_.string());
  EXPECT_TRUE(t->PaletteFile.empty());
  EXPECT_TRUE(t->ColormapFile.empty());

  // Game palette: all 256 colours at their own indices, duplicates kept.
  EXPECT_FALSE(t->GamePalette.SystemColors());
  EXPECT_EQ(t->GamePalette.Count(), 256);
  for (int i = 0; i < 256; ++i) {
    const uint8_t* c = kBuiltinPalette + i * 3;
    ASSERT_EQ(t->GamePalette.GetColor(i), MakeRGBQuad(c[0], c[1], c[2])) << i;
  }
  EXPECT_EQ(t->GameColormap, BuiltinColormap());
}

TEST_F(ColorTablesFolder, DisplayPaletteHoldsTheSystemColoursAndEveryDistinctBrightGameColour) {
  auto t = std::make_unique<TColorTables>();
  BuildColorTables(*t, dir_.string());
  const TWinGPalette& d = t->DisplayPalette;
  EXPECT_TRUE(d.SystemColors());
  const auto& sys = SystemPaletteEntries();
  std::set<TRGBQuad> system;
  for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255}) {
    EXPECT_EQ(d.GetEntry(i), sys[i]);
    system.insert(d.GetColor(i));
  }
  EXPECT_EQ(system.size(), 20u);

  std::set<TRGBQuad> bright;
  int dark = 0;
  for (int i = 0; i < 256; ++i) {
    const uint8_t* c = kBuiltinPalette + i * 3;
    if (std::lround(std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2])) >= 20)
      bright.insert(MakeRGBQuad(c[0], c[1], c[2]));
    else
      ++dark;
  }
  EXPECT_EQ(dark, 11);
  EXPECT_EQ(bright.size(), 236u);

  // The bright colours that are not static colours fill the user entries,
  // each once; pure red, blue and white are found among the static ones.
  std::set<TRGBQuad> user, expected;
  for (int i = 10; i < d.Count(); ++i) user.insert(d.GetColor(i));
  for (TRGBQuad c : bright)
    if (!system.count(c)) expected.insert(c);
  EXPECT_EQ(expected.size(), 233u);
  EXPECT_EQ(d.UserColorCount(), 233);
  EXPECT_EQ(d.Count(), 243);
  EXPECT_EQ(user, expected);
  for (int i = d.Count(); i < 246; ++i) EXPECT_EQ(d.GetEntry(i), (TPaletteEntry{0, 0, 0, kPaletteNoCollapse}));
}

TEST_F(ColorTablesFolder, MapsBetweenGameAndDisplayIndicesKeepTheColours) {
  auto t = std::make_unique<TColorTables>();
  BuildColorTables(*t, dir_.string());
  for (int i = 0; i < 256; ++i) {
    const TRGBQuad game = t->GamePalette.GetColor(i);
    const int di = t->GameToDisplay.Map(i);
    // Every bright game colour is in the display palette exactly.
    const uint8_t* c = kBuiltinPalette + i * 3;
    if (std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) >= 20) {
      EXPECT_EQ(t->DisplayPalette.GetColor(di), game) << i;
      EXPECT_EQ(t->GamePalette.GetColor(t->DisplayToGame.Map(di)), game) << i;
    }
  }
  EXPECT_EQ(t->GameToDisplay.Map(0), 0);  // black stays the system black
  EXPECT_EQ(t->DisplayToGame.Map(255), t->GamePalette.Handle().NearestIndex(255, 255, 255));
}

TEST_F(ColorTablesFolder, DisplayColormapIsTheGameColormapInDisplayIndices) {
  auto t = std::make_unique<TColorTables>();
  BuildColorTables(*t, dir_.string());
  for (int k = 0; k < kColormapSize; ++k)
    ASSERT_EQ(t->DisplayColormap[k], t->GameToDisplay.Map(t->GameColormap[k])) << k;
  EXPECT_EQ(t->DisplayColormap[16384], t->GameToDisplay.Map(32));
}

TEST_F(ColorTablesFolder, FilesBesideTheProgramTakePrecedence) {
  const auto pal = OwnPalette();
  WriteFile(dir_ / "palette.lmp", pal);
  std::vector<uint8_t> cm(kColormapSize);
  for (int k = 0; k < kColormapSize; ++k) cm[k] = uint8_t(k * 31 + 7);
  WriteFile(dir_ / "colormap.lmp", cm);

  auto t = std::make_unique<TColorTables>();
  BuildColorTables(*t, dir_.string());  // no trailing slash given
  EXPECT_EQ(t->PaletteFile, (dir_ / "palette.lmp").string());
  EXPECT_EQ(t->ColormapFile, (dir_ / "colormap.lmp").string());
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(t->GamePalette.GetColor(i), MakeRGBQuad(pal[i * 3], pal[i * 3 + 1], pal[i * 3 + 2]));
  EXPECT_EQ(t->GamePalette.GetColor(1) >> 16, 254u);  // red in bits 16-23
  EXPECT_TRUE(std::equal(cm.begin(), cm.end(), t->GameColormap.begin()));
  for (int k = 0; k < kColormapSize; ++k) ASSERT_EQ(t->DisplayColormap[k], t->GameToDisplay.Map(cm[k]));
}

TEST_F(ColorTablesFolder, ShortFilesFallBackToTheBuiltinData) {
  auto pal = OwnPalette();
  pal.resize(767);
  WriteFile(dir_ / "palette.lmp", pal);
  WriteFile(dir_ / "colormap.lmp", std::vector<uint8_t>(16384, 9));
  auto t = std::make_unique<TColorTables>();
  BuildColorTables(*t, dir_.string() + "/");
  EXPECT_TRUE(t->PaletteFile.empty());
  EXPECT_TRUE(t->ColormapFile.empty());
  EXPECT_EQ(t->GamePalette.GetColor(255), MakeRGBQuad(kBuiltinPalette[765], kBuiltinPalette[766], kBuiltinPalette[767]));
  EXPECT_EQ(t->GameColormap, BuiltinColormap());
}

TEST_F(ColorTablesFolder, LongerFilesUseTheirFirstBytes) {
  auto pal = OwnPalette();
  pal.resize(5000, 0xAB);
  WriteFile(dir_ / "palette.lmp", pal);
  auto t = std::make_unique<TColorTables>();
  BuildColorTables(*t, dir_.string());
  EXPECT_FALSE(t->PaletteFile.empty());
  EXPECT_EQ(t->GamePalette.GetColor(0), MakeRGBQuad(255, 0, 0));
}

TEST_F(ColorTablesFolder, AFolderNamedLikeTheFileIsNotTheFile) {
  fs::create_directories(dir_ / "palette.lmp");
  auto t = std::make_unique<TColorTables>();
  BuildColorTables(*t, dir_.string());
  EXPECT_TRUE(t->PaletteFile.empty());
}

TEST(ColorTables, ProcessWideTablesAreBuiltOnceAndStayConsistent) {
  const TColorTables& t = ColorTables();
  EXPECT_EQ(&t, &ColorTables());
  EXPECT_EQ(&GamePalette(), &t.GamePalette);
  EXPECT_EQ(&DisplayColormap(), &t.DisplayColormap);
  EXPECT_EQ(GamePalette().Count(), 256);
  EXPECT_TRUE(DisplayPalette().SystemColors());
  EXPECT_EQ(DisplayColormap()[16384], GameToDisplay().Map(GameColormap()[16384]));
  // Start-up leaves the lookup objects made, so nothing writes to the tables later.
  EXPECT_TRUE(GamePalette().HasHandle());
  EXPECT_TRUE(DisplayPalette().HasHandle());
  if (t.PaletteFile.empty()) {
    EXPECT_EQ(DisplayPalette().UserColorCount(), 233);
  }
}
