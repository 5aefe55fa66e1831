// The Joint Track Editor on the sample model: the grid's joints and frames,
// key marking, the looping tween calculation and its way back into the
// pivots, the column width buttons, and the Edit Joints dialog.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "core/IniFile.h"
#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "mdl/Pivot.h"
#include "resources/SampleModel.h"
#include "tessel/ui/JointViewer.h"
#include "tessel/ui/JointsEditDlg.h"

namespace {

constexpr int kBody = 1;
constexpr int kTX = 0;

class JointViewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Sample = Dir.filePath("sample.mdl").toStdString();
    TMDL m;
    BuildSampleModel(m);
    m.SaveToFile(Sample, true);
    E().LoadFromFile(Sample);
    TMDLObject& body = E().Model->Objects->Object(kBody);
    body.IsJoint[kTX] = true;
    body.JointNames[kTX] = "sway";
    // A scene of five frames: "wave" and one copy of its first frame.
    E().SetCurrentScene(2);
    E().DuplicateFrame(1);
    ASSERT_EQ(E().SceneFrameCount, 5);
    Viewer = new TJointViewer;
    Viewer->resize(600, 240);
    Viewer->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Viewer));
  }

  void TearDown() override {
    delete Viewer;
    TMDLEditor::Instance().Clear();
  }

  static TMDLEditor& E() { return TMDLEditor::Instance(); }
  static TPivot& Pivot(int frame) { return E().Model->Objects->Object(kBody).Pivot(E().SceneFirstFrame + frame); }
  QString Cell(int row, int column) { return Viewer->Grid()->item(row, column)->text(); }
  void Key(int frame, float value) {
    Pivot(frame).SetChannel(kTX, value);
    Pivot(frame).SetIsKey(kTX, true);
  }

  QTemporaryDir Dir;
  std::string Sample;
  TJointViewer* Viewer = nullptr;
};

TEST(FormatJointValueTest, TwoDecimalsNoLeadingZeroAndAPlainZero) {
  struct {
    double value;
    const char* text;
  } cases[] = {{0, "0"}, {0.001, "0"}, {-0.004, "0"}, {5, "5"}, {6.6666, "6.67"}, {3.3333, "3.33"},
               {0.5, ".5"}, {-0.25, "-.25"}, {-12.5, "-12.5"}, {100.1, "100.1"}};
  for (const auto& c : cases) EXPECT_EQ(FormatJointValue(c.value).toStdString(), c.text) << c.value;
}

TEST_F(JointViewerTest, GridHasAJointRowAndAFrameColumnEach) {
  QTableWidget* g = Viewer->Grid();
  EXPECT_EQ(g->rowCount(), 2);
  EXPECT_EQ(g->columnCount(), 6);
  EXPECT_EQ(Cell(0, 0), "Joints / Frames");
  EXPECT_TRUE(g->item(0, 0)->font().bold());
  EXPECT_EQ(Cell(0, 1), "1");
  EXPECT_EQ(Cell(0, 5), "5");
  EXPECT_EQ(Cell(1, 0), "sway");
  EXPECT_EQ(Viewer->RowObject(1), kBody);
  EXPECT_EQ(Viewer->RowChannel(1), kTX);
  EXPECT_EQ(Cell(1, 3), FormatJointValue(Pivot(2).Channel(kTX)));
  EXPECT_EQ(Viewer->windowTitle().toStdString(), "Joint Track Editor - " + E().CurrentSceneName());
  // Without joints only the headers are left.
  E().Model->Objects->Object(kBody).IsJoint[kTX] = false;
  E().Broadcast(&TMDLObserver::OnJointsChange);
  EXPECT_EQ(g->rowCount(), 2);
  EXPECT_EQ(g->columnCount(), 6);
  EXPECT_EQ(Viewer->JointCount(), 0);
}

TEST_F(JointViewerTest, TweensLoopOverTheScene) {
  for (int f = 0; f < 5; ++f) Pivot(f).SetIsKey(kTX, false);
  Key(1, 0);
  Key(3, 10);
  Viewer->RebuildGrid();
  EXPECT_TRUE(Viewer->Grid()->item(1, 2)->font().bold());
  EXPECT_FALSE(Viewer->Grid()->item(1, 3)->font().bold());
  Viewer->CalculateTweens();
  EXPECT_EQ(Cell(1, 3), "5");
  EXPECT_EQ(Cell(1, 5), "6.67");
  EXPECT_EQ(Cell(1, 1), "3.33");
  EXPECT_EQ(Cell(1, 2), "0");
  EXPECT_EQ(Cell(1, 4), "10");

  // The button stores the values in the pivots.
  E().SetModified(false);
  QTest::mouseClick(Viewer->CalculateBtn(), Qt::LeftButton);
  EXPECT_NEAR(Pivot(2).Channel(kTX), 5.0f, 1e-4);
  EXPECT_NEAR(Pivot(4).Channel(kTX), 6.67f, 1e-4);
  EXPECT_NEAR(Pivot(0).Channel(kTX), 3.33f, 1e-4);
  EXPECT_TRUE(E().Modified);
}

TEST_F(JointViewerTest, OneKeyFillsTheRowAndAOneFrameSceneIsLeftAlone) {
  for (int f = 0; f < 5; ++f) {
    Pivot(f).SetIsKey(kTX, false);
    Pivot(f).SetChannel(kTX, float(f));
  }
  Key(2, 4.5f);
  Viewer->RebuildGrid();
  Viewer->CalculateTweens();
  for (int c = 1; c <= 5; ++c) EXPECT_EQ(Cell(1, c), "4.5") << c;
  // No key at all: the row stays as it is.
  Pivot(2).SetIsKey(kTX, false);
  Viewer->RebuildGrid();
  Viewer->CalculateTweens();
  EXPECT_EQ(Cell(1, 1), "0");
  EXPECT_EQ(Cell(1, 5), "4");

  // "stand" becomes a scene of one frame.
  E().SetCurrentScene(0);
  E().SetCurrentFrame(1);
  E().SplitScene();
  E().SetCurrentScene(0);
  ASSERT_EQ(E().SceneFrameCount, 1);
  Viewer->RebuildGrid();
  const QString before = Cell(1, 1);
  Key(0, 7);
  Viewer->CalculateTweens();
  EXPECT_EQ(Cell(1, 1), before);
}

TEST_F(JointViewerTest, KeyAndTweenButtonsMarkTheSelectedCells) {
  for (int f = 0; f < 5; ++f) Pivot(f).SetIsKey(kTX, false);
  Viewer->RebuildGrid();
  QTableWidget* g = Viewer->Grid();
  g->setRangeSelected(QTableWidgetSelectionRange(1, 2, 1, 4), true);
  QTest::mouseClick(Viewer->LinearBtn(), Qt::LeftButton);
  for (int f : {1, 2, 3}) EXPECT_TRUE(Pivot(f).IsKey(kTX)) << f;
  EXPECT_FALSE(Pivot(0).IsKey(kTX));
  EXPECT_TRUE(g->item(1, 3)->font().bold());
  EXPECT_TRUE(g->item(1, 3)->flags() & Qt::ItemIsEditable);
  g->clearSelection();
  g->setRangeSelected(QTableWidgetSelectionRange(1, 3, 1, 3), true);
  QTest::mouseClick(Viewer->TweenBtn(), Qt::LeftButton);
  EXPECT_FALSE(Pivot(2).IsKey(kTX));
  EXPECT_FALSE(g->item(1, 3)->flags() & Qt::ItemIsEditable);
  // Clicking a cell shows its kind on the buttons.
  QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, g->visualItemRect(g->item(1, 2)).center());
  EXPECT_TRUE(Viewer->LinearBtn()->isChecked());
  QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, g->visualItemRect(g->item(1, 3)).center());
  EXPECT_TRUE(Viewer->TweenBtn()->isChecked());
}

TEST_F(JointViewerTest, ColumnWidthStaysWithinBounds) {
  QHeaderView* h = Viewer->Grid()->horizontalHeader();
  for (int i = 0; i < 40; ++i) QTest::mouseClick(Viewer->WiderBtn(), Qt::LeftButton);
  EXPECT_EQ(h->defaultSectionSize(), TJointViewer::kMaxColumnWidth);
  EXPECT_EQ(Viewer->Grid()->columnWidth(3), TJointViewer::kMaxColumnWidth);
  for (int i = 0; i < 40; ++i) QTest::mouseClick(Viewer->SmallerBtn(), Qt::LeftButton);
  EXPECT_EQ(h->defaultSectionSize(), TJointViewer::kMinColumnWidth);
}

TEST_F(JointViewerTest, SettingsRoundTrip) {
  TIniFile ini;
  ini.WriteInteger("VIEWJOINTS", "Left", 12);
  ini.WriteInteger("VIEWJOINTS", "Width", 400);
  Viewer->ReadSettings(ini);
  EXPECT_EQ(Viewer->StoredBounds().left(), 12);
  EXPECT_EQ(Viewer->StoredBounds().width(), 400);
  TIniFile out;
  Viewer->WriteSettings(out);
  EXPECT_EQ(out.ReadInteger("VIEWJOINTS", "Width", 0), Viewer->width());
  EXPECT_FALSE(out.ReadBool("VIEWJOINTS", "Maximized", true));
}

TEST_F(JointViewerTest, EditJointsDialogChangesTheObjectAndTellsTheWindows) {
  TJointsEditDlg dlg(kBody);
  EXPECT_EQ(dlg.windowTitle(), "Edit Joints");
  EXPECT_TRUE(dlg.JointChk(kTX)->isChecked());
  EXPECT_EQ(dlg.JointEdt(kTX)->text(), "sway");
  EXPECT_EQ(dlg.findChild<QCheckBox*>("RYChk"), dlg.JointChk(4));
  dlg.JointChk(4)->setChecked(true);
  QTest::keyClicks(dlg.JointEdt(4), "twist");
  TMDLObject& body = E().Model->Objects->Object(kBody);
  EXPECT_TRUE(body.IsJoint[4]);
  EXPECT_EQ(body.JointNames[4], "twist");
  E().SetModified(false);
  dlg.reject();
  EXPECT_TRUE(E().Modified);
  // The grid follows the joints change.
  EXPECT_EQ(Viewer->JointCount(), 2);
  EXPECT_EQ(Cell(2, 0), "twist");
}

}  // namespace
