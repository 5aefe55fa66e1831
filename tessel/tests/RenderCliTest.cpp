// Runs the built tessel program's make-sample and render commands and
// checks the files they write.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "mdl/Mdl.h"
#include "mdl/tests/ModelBuilders.h"
#include "raster/WinGBitmap.h"
#include "resources/SampleModel.h"

#include "tessel/tests/RunTessel.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// What a written picture holds: its size as the file states it, and the
// colours (RGB) of its pixels.
struct TPicture {
  int Width = 0;
  int Height = 0;
  std::set<uint32_t> Colours;
  std::vector<uint32_t> Pixels;
};

// Reads the picture and checks that it is an uncompressed 8-bit BMP whose
// sizes agree with its length.
TPicture ReadPicture(const fs::path& p) {
  TPicture pic;
  const std::vector<uint8_t> b = ReadBytes(p);
  EXPECT_GE(b.size(), 1078u) << p;
  if (b.size() < 1078) return pic;
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(b[28] | b[29] << 8, 8) << "bits per pixel";
  EXPECT_EQ(U32(b, 30), 0u) << "compression";
  pic.Width = static_cast<int>(U32(b, 18));
  pic.Height = static_cast<int>(U32(b, 22));
  const size_t stride = (static_cast<size_t>(pic.Width) + 3) & ~size_t{3};
  const size_t bits = U32(b, 10);
  EXPECT_EQ(b.size(), bits + stride * static_cast<size_t>(pic.Height)) << p;
  if (b.size() < bits + stride * static_cast<size_t>(pic.Height)) return pic;
  for (int y = 0; y < pic.Height; ++y)
    for (int x = 0; x < pic.Width; ++x) {
      const uint8_t i = b[bits + static_cast<size_t>(y) * stride + static_cast<size_t>(x)];
      const uint32_t rgb = uint32_t(b[54 + 4 * i + 2]) << 16 | uint32_t(b[54 + 4 * i + 1]) << 8 | b[54 + 4 * i];
      pic.Colours.insert(rgb);
      pic.Pixels.push_back(rgb);
    }
  // The program's own reader takes it too.
  TWinGBitmap check;
  EXPECT_NO_THROW(check.LoadFromFile(p.string())) << p;
  return pic;
}

class RenderCliTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tessel_render_" + std::to_string(::getpid()));
    fs::remove_all(Dir);
    fs::create_directories(Dir / "out");
    BuildSampleModel()->SaveToFile(P("sample.mdl"), true);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string P(const std::string& name) const { return (Dir / name).string(); }
  // Quoted for the shell.
  std::string Q(const std::string& name) const { return "'" + P(name) + "'"; }
  TRun Render(const std::string& options, const std::string& out = "out/r.bmp") const {
    return RunTessel("render " + Q("sample.mdl") + " -o " + Q(out) + " " + options);
  }
  std::vector<std::string> OutFiles() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir / "out")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path Dir;
};

}  // namespace

TEST_F(RenderCliTest, MakeSampleWritesTheModelBuiltInCode) {
  TRun r = RunTessel("make-sample -o " + Q("made.mdl"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("3 scenes"), std::string::npos) << r.Out;
  EXPECT_EQ(ReadBytes(P("made.mdl")), ReadBytes(P("sample.mdl")));
  EXPECT_EQ(RunTessel("make-sample").Status, 2);
  EXPECT_EQ(RunTessel("make-sample extra -o " + Q("x.mdl")).Status, 2);
  EXPECT_FALSE(fs::exists(P("x.mdl")));
}

TEST_F(RenderCliTest, EveryModeAndViewGivesAnEightBitPictureOfTheAskedSize) {
  const char* modes[] = {"textured", "solid", "wire"};
  const char* views[] = {"oblique", "front", "back", "left", "right", "top", "bottom", "weapon"};
  for (const char* mode : modes)
    for (const char* view : views) {
      SCOPED_TRACE(std::string(mode) + " " + view);
      const std::string out = std::string("out/") + mode + "_" + view + ".bmp";
      TRun r = Render(std::string("--mode ") + mode + " --view " + view + " --size 160x120 --name wave2", out);
      ASSERT_EQ(r.Status, 0) << r.Err;
      const TPicture pic = ReadPicture(P(out));
      EXPECT_EQ(pic.Width, 160);
      EXPECT_EQ(pic.Height, 120);
      // Never a single colour: background and lines at least, and faces
      // filled with their own colours outside wire frame.
      EXPECT_GE(pic.Colours.size(), std::string(mode) == "wire" ? 2u : 3u);
    }
  // Textured pictures show the skin's many colours; solid ones a few.
  EXPECT_GT(ReadPicture(P("out/textured_oblique.bmp")).Colours.size(), 20u);
  EXPECT_LT(ReadPicture(P("out/solid_oblique.bmp")).Colours.size(), 8u);
  // A width that is not a whole number of words, and the default size.
  ASSERT_EQ(Render("--size 161x97", "out/odd.bmp").Status, 0);
  const TPicture odd = ReadPicture(P("out/odd.bmp"));
  EXPECT_EQ(odd.Width, 161);
  EXPECT_EQ(odd.Height, 97);
  ASSERT_EQ(Render("", "out/default.bmp").Status, 0);
  EXPECT_EQ(ReadPicture(P("out/default.bmp")).Width, 640);
  EXPECT_EQ(ReadPicture(P("out/default.bmp")).Height, 480);
}

TEST_F(RenderCliTest, FrameSkinAndLightingOptionsChangeThePicture) {
  ASSERT_EQ(Render("--size 200x150", "out/a.bmp").Status, 0);
  ASSERT_EQ(Render("--size 200x150 --scene 1 --frame 2", "out/walk.bmp").Status, 0);
  ASSERT_EQ(Render("--size 200x150 --name walk3", "out/walk3.bmp").Status, 0);
  ASSERT_EQ(Render("--size 200x150 --skin 1", "out/slate.bmp").Status, 0);
  ASSERT_EQ(Render("--size 200x150 --lighting", "out/lit.bmp").Status, 0);
  const TPicture a = ReadPicture(P("out/a.bmp"));
  const TPicture walk = ReadPicture(P("out/walk.bmp"));
  EXPECT_NE(a.Pixels, walk.Pixels);
  // Scene 1, frame 2 is the frame named walk3.
  EXPECT_EQ(walk.Pixels, ReadPicture(P("out/walk3.bmp")).Pixels);
  EXPECT_NE(a.Pixels, ReadPicture(P("out/slate.bmp")).Pixels);
  EXPECT_NE(a.Pixels, ReadPicture(P("out/lit.bmp")).Pixels);
  // The same command draws the same picture.
  ASSERT_EQ(Render("--size 200x150", "out/again.bmp").Status, 0);
  EXPECT_EQ(ReadBytes(P("out/a.bmp")), ReadBytes(P("out/again.bmp")));
}

TEST_F(RenderCliTest, BackFacesShowThroughAnOpenMeshOnlyWhenAsked) {
  // Two boxes with every other triangle gone: their insides face away.
  TMDL m;
  testmodel::MakeTwoBoxes(m, 1);
  for (int t = m.Triangles->Count() - 1; t >= 0; t -= 2) m.Triangles->Delete(t);
  m.SaveToFile(P("open.mdl"), true);
  auto darkRed = [](const TPicture& pic) {
    int n = 0;
    for (uint32_t c : pic.Colours) n += (c >> 16) >= 0x40 && ((c >> 8) & 0xFF) < 0x10 && (c & 0xFF) < 0x10;
    return n;
  };
  for (const char* mode : {"textured", "solid"}) {
    SCOPED_TRACE(mode);
    const std::string base = "render " + Q("open.mdl") + " --size 200x150 --mode " + mode;
    ASSERT_EQ(RunTessel(base + " -o " + Q("out/plain.bmp")).Status, 0);
    ASSERT_EQ(RunTessel(base + " --backsides -o " + Q("out/backs.bmp")).Status, 0);
    EXPECT_EQ(darkRed(ReadPicture(P("out/plain.bmp"))), 0);
    EXPECT_GT(darkRed(ReadPicture(P("out/backs.bmp"))), 0);
  }
}

TEST_F(RenderCliTest, AllFramesWritesOnePictureForEachFrameBesideTheOutput) {
  TRun r = Render("--all-frames --size 80x60", "out/sheet.bmp");
  ASSERT_EQ(r.Status, 0) << r.Err;
  std::vector<std::string> files = OutFiles();
  ASSERT_EQ(files.size(), 14u);
  EXPECT_EQ(files.front(), "sheet_000_stand1.bmp");
  EXPECT_EQ(files[5], "sheet_005_walk4.bmp");
  EXPECT_EQ(files.back(), "sheet_013_wave4.bmp");
  for (const std::string& f : files) EXPECT_EQ(ReadPicture(Dir / "out" / f).Width, 80) << f;
  // The walk's frames differ from each other.
  EXPECT_NE(ReadPicture(Dir / "out" / files[2]).Pixels, ReadPicture(Dir / "out" / files[3]).Pixels);

  fs::remove_all(Dir / "out");
  fs::create_directories(Dir / "out");
  ASSERT_EQ(Render("--all-frames --scene 2 --size 80x60", "out/wave.bmp").Status, 0);
  files = OutFiles();
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files.front(), "wave_010_wave1.bmp");
}

TEST_F(RenderCliTest, FrameNamesFromTheFileNeverLeadOutOfTheFolder) {
  TMDL m;
  testmodel::MakeTwoBoxes(m, 2);
  m.Frames->Scene(0).Frame(0).SetName("../../up");
  m.Frames->Scene(0).Frame(1).SetName("/etc/x");
  m.Frames->SplitScene(0, 1);
  m.SaveToFile(P("names.mdl"), true);
  const std::set<fs::path> before{fs::directory_iterator(Dir), fs::directory_iterator()};
  TRun r = RunTessel("render " + Q("names.mdl") + " --all-frames --size 40x30 -o " + Q("out/n.bmp"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::vector<std::string> files = OutFiles();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], "n_000_up1.bmp");
  EXPECT_EQ(files[1], "n_001_etcx1.bmp");
  const std::set<fs::path> after{fs::directory_iterator(Dir), fs::directory_iterator()};
  EXPECT_EQ(before, after);
  EXPECT_FALSE(fs::exists(Dir.parent_path() / "up1.bmp"));
}

TEST_F(RenderCliTest, RefusesBadOptionsAndBadFilesWritingNothing) {
  const char* bad[] = {
      "--size 640x1025",  "--size 5000x100",      "--size 0x10",     "--size 640",  "--size axb",
      "--view sideways",  "--mode shiny",         "--scene -1",      "--frame x",   "--skin",
      "--frobnicate",     "--name walk3 --frame 1", "--all-frames --frame 1", "--lighting --lighting",
      "extra.mdl",
  };
  for (const char* options : bad) {
    TRun r = Render(options);
    EXPECT_EQ(r.Status, 2) << options;
    EXPECT_NE(r.Err.find("tessel render:"), std::string::npos) << options;
  }
  EXPECT_EQ(RunTessel("render " + Q("sample.mdl")).Status, 2);
  EXPECT_EQ(RunTessel("render " + Q("sample.mdl") + " -o " + Q("out/r.gif")).Status, 2);
  EXPECT_EQ(RunTessel("render -o " + Q("out/r.bmp")).Status, 2);

  // Out of range for this model.
  TRun r = Render("--scene 3");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("no scene 3"), std::string::npos) << r.Err;
  EXPECT_EQ(Render("--scene 0 --frame 2").Status, 1);
  EXPECT_EQ(Render("--name walk9").Status, 1);
  EXPECT_EQ(Render("--skin 2").Status, 1);

  // Files that are not there, damaged, or without anything to draw.
  r = RunTessel("render " + Q("absent.mdl") + " -o " + Q("out/r.bmp"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_FALSE(r.Err.empty());
  const std::vector<uint8_t> whole = ReadBytes(P("sample.mdl"));
  std::ofstream(P("short.mdl"), std::ios::binary).write(reinterpret_cast<const char*>(whole.data()), 300);
  EXPECT_EQ(RunTessel("render " + Q("short.mdl") + " -o " + Q("out/r.bmp")).Status, 1);
  TMDL empty;
  empty.Clear();
  empty.SaveToFile(P("empty.mdl"), true);
  r = RunTessel("render " + Q("empty.mdl") + " -o " + Q("out/r.bmp"));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("no frame"), std::string::npos) << r.Err;
  EXPECT_EQ(Render("", "nosuchfolder/r.bmp").Status, 1);
  EXPECT_TRUE(OutFiles().empty());

  TRun help = RunTessel("render --help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("--all-frames"), std::string::npos);
}

TEST_F(RenderCliTest, RealModelsRenderInEveryMode) {
  const fs::path models = fs::path(TESSEL_DATA_DIR) / "quake" / "models";
  if (!fs::is_directory(models)) GTEST_SKIP() << "no game models in " << models;
  int drawn = 0;
  for (const auto& e : fs::directory_iterator(models)) {
    if (e.path().extension() != ".mdl") continue;
    for (const char* mode : {"textured", "solid", "wire"}) {
      SCOPED_TRACE(e.path().filename().string() + " " + mode);
      TRun r = RunTessel("render '" + e.path().string() + "' --lighting --size 120x90 --mode " + mode + " -o " +
                         Q("out/real.bmp"));
      ASSERT_EQ(r.Status, 0) << r.Err;
      EXPECT_GE(ReadPicture(P("out/real.bmp")).Colours.size(), 2u);
      ++drawn;
    }
  }
  EXPECT_GT(drawn, 0);
}
