#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "exchange/TriangleStore.h"
#include "mdl/Mdl.h"
#include "raster/ColorTables.h"

namespace fs = std::filesystem;

namespace {

class SkinPictureTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tessel_skinpic_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string File(const std::string& name) const { return (Dir / name).string(); }
  fs::path Dir;
};

// An 8-bit PCX of w x h whose pixel (x, y) is pixels[y * w + x], with the
// given 256-colour palette.
void WritePcx(const std::string& file, int w, int h, const std::vector<uint8_t>& pixels,
              const std::vector<uint8_t>& palette768) {
  std::vector<uint8_t> b(128, 0);
  b[0] = 10;
  b[1] = 5;
  b[2] = 1;
  b[3] = 8;
  b[8] = static_cast<uint8_t>(w - 1);
  b[9] = static_cast<uint8_t>((w - 1) >> 8);
  b[10] = static_cast<uint8_t>(h - 1);
  b[11] = static_cast<uint8_t>((h - 1) >> 8);
  b[65] = 1;
  b[66] = static_cast<uint8_t>(w);
  b[67] = static_cast<uint8_t>(w >> 8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t v = pixels[static_cast<size_t>(y * w + x)];
      if (v >= 0xC0) b.push_back(0xC1);
      b.push_back(v);
    }
  b.push_back(12);
  b.insert(b.end(), palette768.begin(), palette768.end());
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void Fill(TMDLBitmap& s) {
  for (int y = 0; y < s.Height; ++y)
    for (int x = 0; x < s.Width; ++x) s.Row(y)[x] = static_cast<uint8_t>(x * 16 + y * 3 + 7);
  s.RecountColors();
}

}  // namespace

TEST_F(SkinPictureTest, ExportedSkinImportsBackWithEveryIndex) {
  TMDLBitmap a(nullptr);
  a.SetSize(16, 8);
  Fill(a);  // includes 192 and 247, whose colours lower indices share
  a.ExportPicture(File("skin.bmp"));
  TMDLBitmap b(nullptr);
  b.SetSize(16, 8);
  b.ImportPicture(File("skin.bmp"));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(b.Pixel(x, y), a.Pixel(x, y)) << x << "," << y;
  EXPECT_EQ(b.ColorCount(), a.ColorCount());

  // Into a skin of another size the picture is stretched; the skin keeps
  // its size.
  TMDLBitmap c(nullptr);
  c.SetSize(32, 4);
  c.ImportPicture(File("skin.bmp"));
  EXPECT_EQ(c.Width, 32);
  EXPECT_EQ(c.Pixel(31, 3), a.Pixel(15, 6));
}

TEST_F(SkinPictureTest, PcxColoursArriveAsTheNearestGameColours) {
  std::vector<uint8_t> palette(768, 0);
  palette[3 * 1 + 0] = 250;  // colour 1: almost pure red
  palette[3 * 2 + 1] = 255;  // colour 2: pure green
  palette[3 * 2 + 2] = 10;
  WritePcx(File("two.pcx"), 2, 2, {1, 2, 2, 1}, palette);
  TMDLBitmap s(nullptr);
  s.SetSize(4, 4);
  s.ImportPicture(File("two.pcx"));
  const TPaletteObject& game = GamePalette().Handle();
  EXPECT_EQ(s.Pixel(0, 0), game.NearestIndex(250, 0, 0));
  EXPECT_EQ(s.Pixel(3, 0), game.NearestIndex(0, 255, 10));
  EXPECT_EQ(s.Pixel(3, 3), game.NearestIndex(250, 0, 0));
  EXPECT_EQ(s.ColorCount()[game.NearestIndex(250, 0, 0)], 8);
}

TEST_F(SkinPictureTest, FailedImportsLeaveTheSkinAlone) {
  TMDLBitmap s(nullptr);
  s.SetSize(8, 4);
  Fill(s);
  const auto counts = s.ColorCount();
  // A good picture first, so the filer holds something that must not leak
  // into the later failures.
  TMDLBitmap other(nullptr);
  other.SetSize(8, 4);
  other.ExportPicture(File("zero.bmp"));

  std::ofstream(File("bad.bmp")) << "BM but nothing more";
  EXPECT_THROW(s.ImportPicture(File("bad.bmp")), Exception);
  EXPECT_THROW(s.ImportPicture(File("absent.pcx")), Exception);
  std::ofstream(File("picture.tga")) << "whatever";
  EXPECT_THROW(s.ImportPicture(File("picture.tga")), EImportExportError);
  EXPECT_THROW(s.ImportPicture(File("noextension")), EImportExportError);
  EXPECT_EQ(s.ColorCount(), counts);
  EXPECT_EQ(s.Pixel(1, 1), 16 + 3 + 7);
}

// Every skin of every real model leaves in each picture format and comes
// back index for index, fullbright and duplicate colours included.
TEST_F(SkinPictureTest, RealSkinsRoundTripInEveryPictureFormat) {
  std::vector<fs::path> models;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::path(TESSEL_DATA_DIR) / "quake" / "models", ec))
    if (e.path().extension() == ".mdl") models.push_back(e.path());
  if (models.empty()) GTEST_SKIP() << "no real models in " TESSEL_DATA_DIR "/quake/models";
  std::sort(models.begin(), models.end());
  int skins = 0;
  for (const fs::path& path : models) {
    TMDL m;
    m.LoadFromFile(path.string());
    for (int k = 0; k < m.Skins->Count(); ++k) {
      TMDLBitmap& skin = m.Skins->Skin(k);
      for (const char* ext : {".bmp", ".pcx", ".png"}) {
        SCOPED_TRACE(path.filename().string() + " skin " + std::to_string(k) + " " + ext);
        const std::string file = File("skin" + std::string(ext));
        skin.ExportPicture(file);
        TMDLBitmap back(nullptr);
        back.SetSize(skin.Width, skin.Height);
        back.ImportPicture(file);
        for (int y = 0; y < skin.Height; ++y)
          ASSERT_EQ(std::memcmp(back.Row(y), skin.Row(y), static_cast<size_t>(skin.Width)), 0) << "row " << y;
      }
      ++skins;
    }
  }
  EXPECT_GT(skins, 0);
}
