// The palette control: grid geometry, hits and drags, the cell picture with
// unused colours blanked or crossed out, and following the editor.

#include "render/QuakePalette.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "raster/ColorTables.h"
#include "render/tests/FrameFixtures.h"

namespace {

using rendertest::AddMesh;
using rendertest::Display;
using rendertest::MakeSkin;
using rendertest::Square;
using rendertest::SquareFaces;

// A palette whose control is exactly as large as its bitmap, so control and
// bitmap coordinates agree, and that records its selection changes.
struct TPaletteProbe {
  explicit TPaletteProbe(TMDLEditor* editor = nullptr) : Palette(editor) {
    Palette.OnColorIndexChange = [this](TQuakePalette& p) { Changes.push_back(p.ColorIndex()); };
    Palette.OnClick = [this](TQuakePalette&) { ++Clicks; };
    Fit();
  }
  void Fit() { Palette.SetBounds(0, 0, Palette.BitmapWidth(), Palette.BitmapHeight()); }
  const TWinGBitmap& Paint() {
    Palette.Paint();
    return Palette.Bitmap();
  }
  uint8_t Pixel(int x, int y) { return Palette.Bitmap().ScanLine(y)[x]; }
  // A pixel inside cell `i` that no outline or cross touches.
  uint8_t CellInterior(int i) {
    const TRect r = Palette.CellRect(i);
    return Pixel(r.Left + r.Width() / 2, r.Top + 1);
  }
  uint8_t CellCorner(int i) {
    const TRect r = Palette.CellRect(i);
    return Pixel(r.Left, r.Top);
  }

  TQuakePalette Palette;
  std::vector<int> Changes;
  int Clicks = 0;
};

// An editor of the test's own showing a one-frame model whose 16 x 16 skin
// uses exactly the colours `first`..`first + 15`.
struct TSkinnedEditor {
  explicit TSkinnedEditor(int first = 0) {
    MakeSkin(*Editor.Model, 16, 16, 0);
    TMDLBitmap& skin = Editor.Model->Skins->Skin(0);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) skin.Row(y)[x] = static_cast<uint8_t>(first + x);
    skin.RecountColors();
    AddMesh(*Editor.Model, Square(0, 10, 0, 15, 15), SquareFaces(0));
    Editor.SetReady(true);
    Editor.SetCurrentScene(0);
    Editor.SetCurrentSkin(0);
  }
  TMDLEditor Editor;
};

// A background whose nearest game colour lies outside the grey ramp 0..15.
constexpr TColorRef kGreen = MakeColorRef(0, 200, 0);

}  // namespace

TEST(QuakePalette, DefaultsAre16By16CellsOf16Pixels) {
  TPaletteProbe p;
  EXPECT_EQ(p.Palette.Bitmap().GetWidth(), 256) << "sized before the first paint";
  EXPECT_EQ(p.Palette.WidthCount(), 16);
  EXPECT_EQ(p.Palette.CellWidth(), 16);
  EXPECT_EQ(p.Palette.CellHeight(), 16);
  EXPECT_EQ(p.Palette.ColorIndex(), 0);
  EXPECT_FALSE(p.Palette.ObserveMDL());
  const TWinGBitmap& b = p.Paint();
  ASSERT_EQ(b.GetWidth(), 256);
  ASSERT_EQ(b.GetHeight(), 256);
  EXPECT_EQ(p.Palette.CellRect(18), (TRect{32, 16, 48, 32}));
  // Without a model every colour shows, in its display colour.
  for (int i = 0; i < 256; ++i) ASSERT_EQ(p.CellInterior(i), Display(i)) << "cell " << i;
}

TEST(QuakePalette, ClickSelectsTheCellAndOutlinesItInWhite) {
  TPaletteProbe p;
  p.Palette.MouseDown(mbLeft, ssLeft, 40, 20);
  EXPECT_EQ(p.Palette.ColorIndex(), 18);
  EXPECT_EQ(p.Changes, std::vector<int>{18});
  EXPECT_EQ(p.Clicks, 0);
  p.Palette.MouseUp(mbLeft, TShiftState(), 40, 20);
  EXPECT_EQ(p.Clicks, 1);

  p.Paint();
  const uint8_t white = static_cast<uint8_t>(p.Palette.Bitmap().Canvas().ColorIndex(MakeColorRef(255, 255, 255)));
  ASSERT_NE(white, Display(18));
  const TRect r = p.Palette.CellRect(18);
  for (int x = r.Left; x < r.Right; ++x) {
    EXPECT_EQ(p.Pixel(x, r.Top), white);
    EXPECT_EQ(p.Pixel(x, r.Bottom - 1), white);
  }
  for (int y = r.Top; y < r.Bottom; ++y) {
    EXPECT_EQ(p.Pixel(r.Left, y), white);
    EXPECT_EQ(p.Pixel(r.Right - 1, y), white);
  }
  EXPECT_EQ(p.Pixel(r.Left + 1, r.Top + 1), Display(18));
  // The old selection lost its outline.
  EXPECT_EQ(p.CellCorner(0), Display(0));
}

TEST(QuakePalette, DraggingFiresOncePerCellChangeAndStopsAtRelease) {
  TPaletteProbe p;
  p.Palette.MouseDown(mbLeft, ssLeft, 40, 20);   // 18
  p.Palette.MouseMove(ssLeft, 45, 25);           // still 18
  p.Palette.MouseMove(ssLeft, 50, 25);           // 19
  p.Palette.MouseMove(ssLeft, 50, 40);           // 35
  p.Palette.MouseMove(ssLeft, -5, 40);           // off the grid: kept
  p.Palette.MouseMove(ssLeft, 300, 300);         // off the grid: kept
  p.Palette.MouseMove(ssLeft, 0, 255);           // 240
  p.Palette.MouseUp(mbLeft, TShiftState(), 0, 255);
  p.Palette.MouseMove(TShiftState(), 100, 100);  // no button: nothing
  EXPECT_EQ(p.Changes, (std::vector<int>{18, 19, 35, 240}));
  EXPECT_EQ(p.Palette.ColorIndex(), 240);
  EXPECT_EQ(p.Clicks, 1);
}

TEST(QuakePalette, GeometryChangesResizeTheBitmapAndRefuseWhatCannotFit) {
  TPaletteProbe p;
  p.Palette.SetGeometry(64, 8, 6);
  EXPECT_EQ(p.Palette.BitmapWidth(), 512);
  EXPECT_EQ(p.Palette.BitmapHeight(), 24);
  p.Palette.SetWidthCount(4);
  EXPECT_EQ(p.Palette.BitmapWidth(), 32);
  EXPECT_EQ(p.Palette.BitmapHeight(), 64 * 6);
  // 256 rows of 16 pixels pass the bitmap's height limit; nothing changes.
  EXPECT_THROW(p.Palette.SetWidthCount(1), EWinGError);
  EXPECT_THROW(p.Palette.SetCellWidth(0), EWinGError);
  EXPECT_THROW(p.Palette.SetWidthCount(257), EWinGError);
  EXPECT_EQ(p.Palette.WidthCount(), 4);
  EXPECT_EQ(p.Palette.CellWidth(), 8);
  EXPECT_EQ(p.Palette.BitmapHeight(), 64 * 6);
}

// Width counts that leave the last row part empty get room for it; every
// colour keeps its cell, the empty places show the background, and clicks
// there select nothing. (Run under the sanitizer build as well.)
TEST(QuakePalette, OddWidthCountsDrawEveryCellWithinTheBitmap) {
  struct Case {
    int WidthCount, CellWidth, CellHeight;
  };
  for (const Case c : {Case{3, 5, 3}, Case{5, 4, 4}, Case{7, 3, 2}, Case{10, 10, 10}, Case{100, 3, 3},
                       Case{255, 2, 3}, Case{256, 1, 1}, Case{16, 7, 5}}) {
    SCOPED_TRACE(testing::Message() << c.WidthCount << " cells of " << c.CellWidth << " x " << c.CellHeight);
    TPaletteProbe p;
    p.Palette.SetBackgroundColor(kGreen);
    p.Palette.SetGeometry(c.WidthCount, c.CellWidth, c.CellHeight);
    p.Fit();
    const int rows = (255 / c.WidthCount) + 1;
    EXPECT_EQ(p.Palette.RowCount(), rows);
    EXPECT_EQ(p.Palette.BitmapHeight(), rows * c.CellHeight);
    const TWinGBitmap& b = p.Paint();
    ASSERT_GE(b.GetHeight(), rows * c.CellHeight);
    for (int i = 1; i < 256; ++i) {
      const TRect r = p.Palette.CellRect(i);
      ASSERT_LE(r.Bottom, b.GetHeight());
      ASSERT_EQ(p.Pixel(r.Right - 1, r.Bottom - 1), Display(i)) << "cell " << i;
      ASSERT_EQ(p.Palette.CellAt(r.Left, r.Top), i);
    }
    const uint8_t background = Display(p.Palette.BackgroundGameIndex());
    if (256 % c.WidthCount != 0) {
      // The first empty place of the last row.
      const TRect r = p.Palette.CellRect(256);
      EXPECT_EQ(p.Palette.CellAt(r.Left, r.Top), -1);
      EXPECT_EQ(p.Pixel(r.Left, r.Top), background);
      p.Palette.MouseDown(mbLeft, ssLeft, r.Left, r.Top);
      EXPECT_TRUE(p.Changes.empty());
    }
    // The columns a width rounded up to four adds show the background too.
    if (b.GetWidth() > c.WidthCount * c.CellWidth) {
      EXPECT_EQ(p.Pixel(b.GetWidth() - 1, 0), background);
    }
  }
}

TEST(QuakePalette, UnusedColoursBlankedShownOrCrossedOut) {
  TSkinnedEditor model;  // the skin uses colours 0..15
  TPaletteProbe p(&model.Editor);
  p.Palette.SetBackgroundColor(kGreen);
  const int bgGame = p.Palette.BackgroundGameIndex();
  ASSERT_GE(bgGame, 16) << "the background must differ from the skin's colours";
  const uint8_t bg = Display(bgGame), black = Display(0);
  p.Palette.SetObserveMDL(true);
  ASSERT_TRUE(p.Palette.ModelShown());

  struct Case {
    bool ShowAll, Mark;
    uint8_t UnusedInterior;  // 0: the colour itself
    bool Crossed;
  };
  for (const Case c : {Case{false, false, bg, false}, Case{true, false, 0, false}, Case{true, true, 0, true},
                       Case{false, true, bg, true}}) {
    SCOPED_TRACE(testing::Message() << "ShowAllColors " << c.ShowAll << ", MarkUnusedColors " << c.Mark);
    p.Palette.SetShowAllColors(c.ShowAll);
    p.Palette.SetMarkUnusedColors(c.Mark);
    p.Paint();
    for (int i = 1; i < 16; ++i) {
      ASSERT_EQ(p.CellInterior(i), Display(i)) << "used colour " << i;
      ASSERT_EQ(p.CellCorner(i), Display(i)) << "used colour " << i;
    }
    for (int i = 16; i < 256; ++i) {
      ASSERT_EQ(p.CellInterior(i), c.UnusedInterior ? c.UnusedInterior : Display(i)) << "unused colour " << i;
      const TRect r = p.Palette.CellRect(i);
      if (c.Crossed) {
        ASSERT_EQ(p.CellCorner(i), black);
        ASSERT_EQ(p.Pixel(r.Left + 5, r.Top + 5), black) << "on the diagonal";
        ASSERT_EQ(p.Pixel(r.Right - 6, r.Top + 5), black) << "on the other diagonal";
      } else {
        ASSERT_EQ(p.CellCorner(i), c.UnusedInterior ? c.UnusedInterior : Display(i));
      }
    }
  }
  // Without the model every cell shows again.
  p.Palette.SetShowAllColors(false);
  p.Palette.SetMarkUnusedColors(false);
  p.Palette.SetObserveMDL(false);
  p.Paint();
  for (int i = 16; i < 256; ++i) ASSERT_EQ(p.CellInterior(i), Display(i));
}

TEST(QuakePalette, ObservingFollowsAndSetsTheEditorsColour) {
  TSkinnedEditor model;
  model.Editor.SetCurrentColor(77);
  TPaletteProbe p(&model.Editor);
  p.Palette.SetObserveMDL(true);
  EXPECT_EQ(p.Palette.ColorIndex(), 77);
  model.Editor.SetCurrentColor(5);
  EXPECT_EQ(p.Palette.ColorIndex(), 5);
  // A click goes through the editor, and the selection follows it.
  p.Palette.MouseDown(mbLeft, ssLeft, 40, 20);
  EXPECT_EQ(model.Editor.CurrentColor, 18);
  EXPECT_EQ(p.Palette.ColorIndex(), 18);
  p.Palette.MouseMove(ssLeft, 56, 20);
  EXPECT_EQ(model.Editor.CurrentColor, 19);
  p.Palette.MouseUp(mbLeft, TShiftState(), 56, 20);
  EXPECT_EQ(p.Changes, (std::vector<int>{77, 5, 18, 19}));

  // Switched off, the control keeps its own selection.
  p.Palette.SetObserveMDL(false);
  EXPECT_EQ(p.Palette.Observer(), nullptr);
  p.Palette.MouseDown(mbLeft, ssLeft, 0, 0);
  EXPECT_EQ(p.Palette.ColorIndex(), 0);
  EXPECT_EQ(model.Editor.CurrentColor, 19);
  model.Editor.SetCurrentColor(200);
  EXPECT_EQ(p.Palette.ColorIndex(), 0);
}

TEST(QuakePalette, SkinChangesReachTheCellPicture) {
  TSkinnedEditor model;
  TPaletteProbe p(&model.Editor);
  p.Palette.SetBackgroundColor(kGreen);
  const uint8_t bg = Display(p.Palette.BackgroundGameIndex());
  p.Palette.SetObserveMDL(true);
  p.Paint();
  ASSERT_EQ(p.CellInterior(100), bg);

  // Painting colour 100 into the skin and marking the model modified.
  TMDLBitmap& skin = model.Editor.Model->Skins->Skin(0);
  skin.Row(3)[3] = 100;
  skin.RecountColors();
  model.Editor.SetModified(true);
  p.Paint();
  EXPECT_EQ(p.CellInterior(100), Display(100));

  // A second skin of other colours becomes current.
  model.Editor.AddSkin();
  ASSERT_EQ(model.Editor.Model->Skins->Count(), 2);
  const int other = model.Editor.Model->Skins->Skin(0).ColorCount()[100] ? 1 : 0;
  TMDLBitmap& second = model.Editor.Model->Skins->Skin(other);
  for (int y = 0; y < second.Height; ++y)
    for (int x = 0; x < second.Width; ++x) second.Row(y)[x] = 200;
  second.RecountColors();
  model.Editor.SetCurrentSkin(other);
  p.Paint();
  EXPECT_EQ(p.CellInterior(200), Display(200));
  EXPECT_EQ(p.CellInterior(100), bg);

  // A model that is not ready shows every colour again.
  model.Editor.SetReady(false);
  p.Paint();
  EXPECT_EQ(p.CellInterior(100), Display(100));
}

TEST(QuakePalette, ProgramWideEditorMayGoFirst) {
  TMDLEditor::ReleaseInstance();
  TPaletteProbe p;
  p.Palette.SetObserveMDL(true);
  ASSERT_NE(TMDLEditor::Peek(), nullptr);
  TMDLEditor::Instance().SetCurrentColor(42);
  EXPECT_EQ(p.Palette.ColorIndex(), 42);
  TMDLEditor::ReleaseInstance();
  EXPECT_EQ(p.Palette.ObservedEditor(), nullptr);
  // Clicks without the editor keep the control's own selection.
  p.Palette.MouseDown(mbLeft, ssLeft, 40, 20);
  EXPECT_EQ(p.Palette.ColorIndex(), 18);
  p.Paint();
}

// The sample model (and the real models, when the data folder is there):
// exactly the cells of colours the current skin does not use are blanked.
TEST(QuakePalette, RealModelsBlankExactlyTheirUnusedColours) {
  namespace fs = std::filesystem;
  std::vector<std::string> models = rendertest::RealModels();
  const fs::path sample = fs::path(TESSEL_TEST_SOURCE_DIR) / ".." / ".." / "resources" / "sample.mdl";
  if (fs::exists(sample)) models.insert(models.begin(), sample.string());
  if (models.empty()) GTEST_SKIP() << "neither resources/sample.mdl nor " << TESSEL_DATA_DIR << " found";
  if (models.size() > 4) models.resize(4);
  for (const std::string& file : models) {
    SCOPED_TRACE(file);
    TMDLEditor editor;
    editor.LoadFromFile(file);
    ASSERT_TRUE(editor.IsValid());
    TPaletteProbe p(&editor);
    p.Palette.SetBackgroundColor(kGreen);
    const int bgGame = p.Palette.BackgroundGameIndex();
    p.Palette.SetObserveMDL(true);
    p.Paint();
    const auto& counts = editor.CurrentSkinObject()->ColorCount();
    int blank = 0;
    for (int i = 0; i < 256; ++i) {
      if (i == bgGame || i == p.Palette.ColorIndex()) continue;
      const bool used = counts[static_cast<size_t>(i)] != 0;
      blank += !used;
      ASSERT_EQ(p.CellCorner(i), used ? Display(i) : Display(bgGame)) << "colour " << i;
    }
    EXPECT_LT(blank, 255) << "the skin uses some colours";
  }
}
