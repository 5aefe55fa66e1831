// Runs the built tessel program's picture commands: skins through every
// picture format, renders and contact sheets as PNG, and thumbnails the way
// the desktop's thumbnailer entry runs them.

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "mdl/Mdl.h"
#include "mdl/tests/ModelBuilders.h"
#include "raster/WinGBitmap.h"
#include "render/ContactSheet.h"
#include "resources/SampleModel.h"

#include "tessel/tests/RunTessel.h"

namespace fs = std::filesystem;

namespace {

// A picture as red, green, blue, alpha, whatever its file holds.
struct TRgba {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;
  uint32_t At(int x, int y) const {
    const uint8_t* p = &Pixels[(size_t(y) * size_t(Width) + size_t(x)) * 4];
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  }
};

TRgba ReadPng(const fs::path& file) {
  TRgba out;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.c_str())) {
    ADD_FAILURE() << file << ": " << image.message;
    return out;
  }
  image.format = PNG_FORMAT_RGBA;
  out.Pixels.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.Pixels.data(), 0, nullptr)) {
    ADD_FAILURE() << file << ": " << image.message;
    return {};
  }
  out.Width = int(image.width);
  out.Height = int(image.height);
  return out;
}

TRgba ReadBmp(const fs::path& file) {
  TWinGBitmap b;
  b.LoadFromFile(file.string());
  TRgba out{b.GetWidth(), b.GetHeight(), {}};
  for (int y = 0; y < out.Height; ++y)
    for (int x = 0; x < out.Width; ++x) {
      const TRGBQuad q = b.GetColorEntry(b.ScanLine(y)[x]);
      out.Pixels.insert(out.Pixels.end(), {QuadRed(q), QuadGreen(q), QuadBlue(q), 255});
    }
  return out;
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PictureCliTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tessel_piccli_" + std::to_string(::getpid()));
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    BuildSampleModel()->SaveToFile(P("sample.mdl"), true);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string P(const std::string& name) const { return (Dir / name).string(); }
  std::string Q(const std::string& name) const { return "'" + P(name) + "'"; }
  fs::path Dir;
};

}  // namespace

TEST_F(PictureCliTest, SkinsLeaveAndComeBackInEveryPictureFormat) {
  TMDL m;
  testmodel::MakeTwoBoxes(m, 2);
  // Every index, fullbright and see-through ones included.
  m.Header->SkinWidth = 32;
  m.Header->SkinHeight = 8;
  m.Skins->DeleteSkin(0);
  m.Skins->InsertSkin(0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 32; ++x) m.Skins->Skin(0).Row(y)[x] = uint8_t(y * 32 + x);
  m.SaveToFile(P("boxes.mdl"), true);
  for (const char* name : {"skin.bmp", "skin.pcx", "skin.png", "SKIN.PNG"}) {
    SCOPED_TRACE(name);
    TRun r = RunTessel("export-skin " + Q("boxes.mdl") + " 0 " + Q(name));
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = RunTessel("import-skin " + Q("boxes.mdl") + " " + Q(name) + " -o " + Q("back.mdl"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    TMDL back;
    back.LoadFromFile(P("back.mdl"));
    ASSERT_EQ(back.Skins->Count(), 2);
    for (int y = 0; y < 8; ++y)
      ASSERT_EQ(std::memcmp(back.Skins->Skin(1).Row(y), m.Skins->Skin(0).Row(y), 32), 0) << "row " << y;
  }
  EXPECT_EQ(RunTessel("export-skin " + Q("boxes.mdl") + " 0 " + Q("skin.tga")).Status, 2);
  std::ofstream(P("bad.png")) << "\x89PNG\r\n\x1a\n but no more";
  TRun r = RunTessel("import-skin " + Q("boxes.mdl") + " " + Q("bad.png") + " -o " + Q("bad.mdl"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("PNG file is damaged"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(P("bad.mdl")));
}

TEST_F(PictureCliTest, RenderWritesThePngPictureItWritesAsBmp) {
  for (const char* options : {"--name walk3 --size 97x61", "--view top --mode solid --size 64x64 --lighting"}) {
    SCOPED_TRACE(options);
    const std::string base = "render " + Q("sample.mdl") + " " + options;
    ASSERT_EQ(RunTessel(base + " -o " + Q("r.bmp")).Status, 0);
    ASSERT_EQ(RunTessel(base + " -o " + Q("r.png")).Status, 0);
    const TRgba bmp = ReadBmp(Dir / "r.bmp"), png = ReadPng(Dir / "r.png");
    EXPECT_EQ(png.Width, bmp.Width);
    EXPECT_EQ(png.Height, bmp.Height);
    EXPECT_EQ(png.Pixels, bmp.Pixels);
  }
  // One PNG picture per frame beside the output.
  fs::create_directories(Dir / "frames");
  ASSERT_EQ(RunTessel("render " + Q("sample.mdl") + " --all-frames --scene 2 --size 40x30 -o " + Q("frames/f.png"))
                .Status,
            0);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(Dir / "frames")) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names.front(), "f_010_wave1.png");
  EXPECT_EQ(ReadPng(Dir / "frames" / names.back()).Width, 40);
}

TEST_F(PictureCliTest, ContactSheetHoldsEveryFrameInOrderWithItsName) {
  struct TCase {
    const char* Options;
    int Frames;
    int First;  // the first frame's number over all scenes
    int Columns;
  };
  const TCase cases[] = {
      {"--sheet 5", 14, 0, 5},
      {"--sheet", 14, 0, 4},  // about as many rows as columns
      {"--scene 1 --sheet 3", 8, 2, 3},
  };
  const int w = 64, h = 48;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    fs::remove_all(Dir / "frames");
    fs::create_directories(Dir / "frames");
    const std::string base = "render " + Q("sample.mdl") + " --size 64x48 " + std::string(c.Options);
    TRun r = RunTessel(base + " -o " + Q("sheet.png"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("contact sheet of " + std::to_string(c.Frames) + " frames"), std::string::npos) << r.Out;
    // The frames one by one, as --all-frames draws them with the same camera.
    const std::string scene = std::string(c.Options).find("--scene 1") != std::string::npos ? " --scene 1" : "";
    ASSERT_EQ(RunTessel("render " + Q("sample.mdl") + " --size 64x48 --all-frames" + scene + " -o " +
                        Q("frames/f.bmp"))
                  .Status,
              0);
    std::vector<fs::path> frames;
    for (const auto& e : fs::directory_iterator(Dir / "frames")) frames.push_back(e.path());
    std::sort(frames.begin(), frames.end());
    ASSERT_EQ(int(frames.size()), c.Frames);

    const TRgba sheet = ReadPng(Dir / "sheet.png");
    const TSheetLayout layout = LayoutSheet(c.Frames, c.Columns, w, h);
    ASSERT_EQ(sheet.Width, layout.Width());
    ASSERT_EQ(sheet.Height, layout.Height());
    const uint32_t gap = sheet.At(0, 0);
    std::set<std::vector<uint32_t>> labels;
    for (int i = 0; i < c.Frames; ++i) {
      SCOPED_TRACE(frames[size_t(i)].filename().string());
      char number[16];
      std::snprintf(number, sizeof number, "_%03d_", c.First + i);
      EXPECT_NE(frames[size_t(i)].filename().string().find(number), std::string::npos);
      const TRgba one = ReadBmp(frames[size_t(i)]);
      const TRect p = layout.Picture(i);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(sheet.At(p.Left + x, p.Top + y), one.At(x, y)) << x << "," << y;
      // The label band: the sheet's ground and text in one other colour.
      const TRect l = layout.Label(i);
      std::vector<uint32_t> band;
      int text = 0;
      for (int y = l.Top; y < l.Bottom; ++y)
        for (int x = l.Left; x < l.Right; ++x) {
          band.push_back(sheet.At(x, y));
          text += sheet.At(x, y) != gap;
        }
      EXPECT_GT(text, 10);
      labels.insert(band);
    }
    // Every frame of the sample has a name of its own.
    EXPECT_EQ(int(labels.size()), c.Frames);
  }
  const std::string base = "render " + Q("sample.mdl");
  EXPECT_EQ(RunTessel(base + " --sheet -o " + Q("sheet.bmp")).Status, 2);
  EXPECT_EQ(RunTessel(base + " --sheet --frame 1 -o " + Q("x.png")).Status, 2);
  EXPECT_EQ(RunTessel(base + " --sheet 0 -o " + Q("x.png")).Status, 2);
  EXPECT_EQ(RunTessel(base + " --sheet --all-frames -o " + Q("x.png")).Status, 2);
  TRun r = RunTessel(base + " --sheet 14 --size 4096x1024 -o " + Q("x.png"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("contact sheet would be"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(P("x.png")));
}

TEST_F(PictureCliTest, TheThumbnailerEntryDrawsATransparentSquare) {
  // The entry as installed: its types are the ones the program declares.
  const std::string entry = ReadText(fs::path(TESSEL_SOURCE_DIR) / "resources" / "tessel.thumbnailer");
  ASSERT_EQ(entry.rfind("[Thumbnailer Entry]\n", 0), 0u) << entry;
  std::smatch exec, types;
  ASSERT_TRUE(std::regex_search(entry, exec, std::regex("\nExec=tessel (.*)\n")));
  ASSERT_TRUE(std::regex_search(entry, types, std::regex("\nMimeType=(.*)\n")));
  const std::string declared = ReadText(fs::path(TESSEL_SOURCE_DIR) / "resources" / "mime" / "tessel.xml");
  std::string list = types[1];
  for (size_t at = 0; (at = list.find(';')) != std::string::npos; list.erase(0, at + 1))
    EXPECT_NE(declared.find("<mime-type type=\"" + list.substr(0, at) + "\""), std::string::npos) << list;

  for (int size : {32, 128, 256}) {
    SCOPED_TRACE(size);
    std::string args = exec[1];
    args = std::regex_replace(args, std::regex("%i"), Q("sample.mdl"));
    args = std::regex_replace(args, std::regex("%o"), Q("thumb.png"));
    args = std::regex_replace(args, std::regex("%s"), std::to_string(size));
    TRun r = RunTessel(args);
    ASSERT_EQ(r.Status, 0) << r.Err;
    const TRgba t = ReadPng(Dir / "thumb.png");
    ASSERT_EQ(t.Width, size);
    ASSERT_EQ(t.Height, size);
    for (int corner = 0; corner < 4; ++corner)
      EXPECT_EQ(t.At(corner & 1 ? size - 1 : 0, corner & 2 ? size - 1 : 0) & 0xFF, 0u) << corner;
    int opaque = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) opaque += (t.At(x, y) & 0xFF) == 255;
    EXPECT_GT(opaque, size * size / 10);
  }
  for (const std::string bad : {"0", "1025", "big", ""}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(RunTessel("thumbnail " + Q("sample.mdl") + " " + Q("no.png") + " " + bad).Status, 2);
  }
  EXPECT_EQ(RunTessel("thumbnail " + Q("absent.mdl") + " " + Q("no.png") + " 64").Status, 1);
  std::ofstream(P("junk.mdl")) << "IDPO but nothing else";
  EXPECT_EQ(RunTessel("thumbnail " + Q("junk.mdl") + " " + Q("no.png") + " 64").Status, 1);
  EXPECT_FALSE(fs::exists(P("no.png")));
}

#ifdef TESSEL_HAVE_WINDOWS
// The windows are a program of their own that tessel starts in its place:
// arguments and exit status pass through.
TEST_F(PictureCliTest, TheWindowsOpenThroughTheCommandLineProgram) {
  TRun r = RunTessel("--screenshot " + Q("window.png") + " " + Q("sample.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  const TRgba shot = ReadPng(Dir / "window.png");
  EXPECT_GT(shot.Width, 200);
  EXPECT_GT(shot.Height, 150);
  EXPECT_EQ(RunTessel("--screenshot").Status, 2);
}
#endif
