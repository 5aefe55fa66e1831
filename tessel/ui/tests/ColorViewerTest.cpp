// The Skin Color Editor with the sample model: usage marks and row sums,
// substitution only of colours the skin uses, re-mapping of excluded rows,
// the substitution palette's double click, settings and the options page.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/IniFile.h"
#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "resources/SampleModel.h"
#include "tessel/ui/ColorViewer.h"
#include "widgets/SurfaceWidget.h"

namespace fs = std::filesystem;

namespace {

class ColorViewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    fs::remove(SettingsFileName());
    TColorViewer::ShowError = [this](QWidget*, const QString& text) { Errors << text; };
    Sample = Dir.filePath("sample.mdl").toStdString();
    TMDL m;
    BuildSampleModel(m);
    m.SaveToFile(Sample, true);
    TMDLEditor::Instance().LoadFromFile(Sample);
    Viewer = std::make_unique<TColorViewer>();
    Viewer->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Viewer.get()));
  }
  void TearDown() override {
    Viewer.reset();
    TMDLEditor::Instance().Clear();
  }

  static TMDLBitmap& Skin() { return *TMDLEditor::Instance().CurrentSkinObject(); }
  static std::vector<uint8_t> Pixels() {
    std::vector<uint8_t> out;
    for (int y = 0; y < Skin().Height; ++y)
      for (int x = 0; x < Skin().Width; ++x) out.push_back(Skin().Pixel(x, y));
    return out;
  }
  // A colour the skin uses and one it does not.
  static void UsedAndUnused(int& used, int& unused) {
    used = unused = -1;
    const auto& counts = Skin().ColorCount();
    for (int i = 0; i < 256; ++i) (counts[static_cast<size_t>(i)] ? used : unused) = i;
  }

  QTemporaryDir Dir;
  std::string Sample;
  std::unique_ptr<TColorViewer> Viewer;
  QStringList Errors;
};

}  // namespace

TEST_F(ColorViewerTest, CaptionPalettesAndRowSums) {
  TColorViewer& v = *Viewer;
  EXPECT_EQ(v.objectName(), "ColorViewer");
  EXPECT_EQ(v.windowTitle(), "Skin Color Editor - " + QString::fromStdString(Skin().Name));
  EXPECT_TRUE(v.QuakePalette().ObserveMDL());
  EXPECT_TRUE(v.QuakePalette().MarkUnusedColors());
  EXPECT_TRUE(v.QuakePalette().ShowAllColors());
  EXPECT_FALSE(v.SubstPalette().ObserveMDL());
  const char* captions[] = {"0-15", "Shirt >", "32-47", "48-63", "64-79", "80-95", "Pants >", "Skin >"};
  for (int r = 0; r < 8; ++r) EXPECT_EQ(v.RowBox(r)->text(), captions[r]);
  EXPECT_EQ(v.RowBox(15)->text(), "240-255");
  int total = 0;
  for (int r = 0; r < TColorViewer::kRows; ++r) {
    EXPECT_TRUE(v.RowBox(r)->isChecked());
    total += v.RowUsage(r);
  }
  EXPECT_EQ(total, Skin().Width * Skin().Height);
  EXPECT_EQ(v.SubstituteButton()->toolTip(), "Substitute skin color");
  EXPECT_EQ(v.RemapButton()->toolTip(), "Remap skin colors to non excluded colors");

  TMDLEditor::Instance().SetReady(false);
  EXPECT_EQ(v.windowTitle(), "Skin Color Editor");
}

TEST_F(ColorViewerTest, SubstitutesOnlyColoursTheSkinUses) {
  TColorViewer& v = *Viewer;
  TMDLEditor& e = TMDLEditor::Instance();
  int used = 0, unused = 0;
  UsedAndUnused(used, unused);
  ASSERT_GE(used, 0);
  ASSERT_GE(unused, 0);
  e.SetCurrentColor(static_cast<uint8_t>(unused));
  EXPECT_FALSE(v.SubstituteButton()->isEnabled());
  e.SetCurrentColor(static_cast<uint8_t>(used));
  ASSERT_TRUE(v.SubstituteButton()->isEnabled());
  const int before = Skin().ColorCount()[static_cast<size_t>(used)];
  v.SubstPalette().SetColorIndex(unused);
  e.Modified = false;
  QTest::mouseClick(v.SubstituteButton(), Qt::LeftButton);
  EXPECT_EQ(Skin().ColorCount()[static_cast<size_t>(used)], 0);
  EXPECT_EQ(Skin().ColorCount()[static_cast<size_t>(unused)], before);
  EXPECT_TRUE(e.Modified);
  EXPECT_FALSE(v.SubstituteButton()->isEnabled());
}

TEST_F(ColorViewerTest, RemapMovesExcludedRowsAndAllTickedChangesNothing) {
  TColorViewer& v = *Viewer;
  const std::vector<uint8_t> before = Pixels();
  QTest::mouseClick(v.RemapButton(), Qt::LeftButton);
  EXPECT_EQ(Pixels(), before) << "nothing excluded";

  // Clearing the rows the skin uses most leaves no pixel in them.
  int row = 0;
  for (int r = 1; r < TColorViewer::kRows; ++r)
    if (v.RowUsage(r) > v.RowUsage(row)) row = r;
  ASSERT_GT(v.RowUsage(row), 0);
  v.RowBox(row)->click();
  EXPECT_FALSE(v.RowBox(row)->isChecked());
  QTest::mouseClick(v.RemapButton(), Qt::LeftButton);
  EXPECT_EQ(v.RowUsage(row), 0);
  for (int i = 16 * row; i < 16 * row + 16; ++i) EXPECT_EQ(Skin().ColorCount()[static_cast<size_t>(i)], 0) << i;
  const std::vector<uint8_t> after = Pixels();
  EXPECT_NE(after, before);
  int others = 0, kept = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    if (before[i] / 16 == row) continue;
    ++others;
    kept += after[i] == before[i];
  }
  EXPECT_EQ(kept, others) << "pixels of other rows keep their colours";
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(ColorViewerTest, DoubleClickOnSubstitutionColourMakesItCurrent) {
  TColorViewer& v = *Viewer;
  TMDLEditor& e = TMDLEditor::Instance();
  e.SetCurrentColor(0);
  const TRect cell = v.SubstPalette().CellRect(37);
  const QPoint at(cell.Left + 2, cell.Top + 2);
  QTest::mouseClick(v.SubstPaletteWidget(), Qt::LeftButton, {}, at);
  EXPECT_EQ(v.SubstPalette().ColorIndex(), 37);
  EXPECT_EQ(e.CurrentColor, 0) << "a single click only selects";
  QTest::mouseDClick(v.SubstPaletteWidget(), Qt::LeftButton, {}, at);
  EXPECT_EQ(e.CurrentColor, 37);
}

TEST_F(ColorViewerTest, OptionsPageAndSettings) {
  TColorViewer& v = *Viewer;
  TColorViewerOptions page;
  EXPECT_EQ(page.ShowUnusedColors()->text(), "Show Unused Colors");
  v.LoadOptions(page);
  EXPECT_TRUE(page.ShowUnusedColors()->isChecked());
  page.ShowUnusedColors()->setChecked(false);
  v.ApplyOptions(page);
  EXPECT_FALSE(v.QuakePalette().ShowAllColors());
  v.close();
  TIniFile ini(SettingsFileName());
  EXPECT_FALSE(ini.ReadBool("VIEWCOLORS", "ShowAllColors", true));
  EXPECT_FALSE(ini.ReadBool("VIEWCOLORS", "Maximized", true));
  Viewer = std::make_unique<TColorViewer>();
  EXPECT_FALSE(Viewer->QuakePalette().ShowAllColors());
}
