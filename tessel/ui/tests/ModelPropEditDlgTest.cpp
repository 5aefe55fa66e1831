// The model properties dialog on a model built in code: what it shows, what
// OK writes through the editor and that Cancel writes nothing.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "editor/MDLEdit.h"
#include "editor/tests/EditorFixtures.h"
#include "mdl/Mdl.h"
#include "mdl/MdlFiler.h"
#include "tessel/ui/ModelPropEditDlg.h"
#include "widgets/NumericEdit.h"

namespace {

class ModelPropEditDlgTest : public ::testing::Test {
protected:
  void SetUp() override {
    TMDLEditor::ReleaseInstance();
    Editor = &TMDLEditor::Instance();
    Editor->Clear();
    edtest::MakeModel(*Editor->Model);
    TMDLFiler& h = *Editor->Model->Header;
    h.Flags = 8 | 64 | 0x1000;  // Rotate, the yellow tracer and a bit no box shows
    h.SyncType = 0;
    h.EyePosition[0] = 0, h.EyePosition[1] = 0, h.EyePosition[2] = 22;
    Editor->SetCurrentScene(2);  // "run", its first frame: flat frame 4
    Editor->SetCurrentSkin(0);
    Editor->Model->Skins->Skin(0).Row(3)[5] = 77;
    Editor->SetModified(false);
  }
  void TearDown() override { TMDLEditor::ReleaseInstance(); }

  static void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  // Check boxes take clicks only once they are laid out on the screen.
  static void ShowAndWait(QDialog& dlg) {
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  }
  // On the box itself: a short caption leaves the middle of the widget empty.
  static void Tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }
  static void Press(TModelPropEditDlg& dlg, QDialogButtonBox::StandardButton which) {
    auto* buttons = dlg.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    buttons->button(which)->click();
  }
  TMDLFiler& Header() { return *Editor->Model->Header; }

  TMDLEditor* Editor = nullptr;
};

TEST_F(ModelPropEditDlgTest, ShowsContentsHeaderValuesAndBounds) {
  TModelPropEditDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), "Edit Model Properties");
  const struct {
    const char* Caption;
    const char* Count;
  } counts[] = {{"Skins", "1"}, {"Frames", "6"}, {"Vertices", "16"}, {"Triangles", "24"}, {"Objects", "3"}};
  for (const auto& c : counts) {
    ASSERT_NE(dlg.CountLabel(c.Caption), nullptr) << c.Caption;
    EXPECT_EQ(dlg.CountLabel(c.Caption)->text(), c.Count) << c.Caption;
  }
  EXPECT_EQ(dlg.WidthEdit()->Value(), 8);
  EXPECT_EQ(dlg.HeightEdit()->Value(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(dlg.FlagBox(i)->isChecked(), i == 3 || i == 6) << i;
  EXPECT_EQ(dlg.FlagBox(0)->text(), "Rocket Smoke Trail");
  EXPECT_EQ(dlg.FlagBox(7)->toolTip(), "Short purple smoke trail, doesn't rise");
  EXPECT_FALSE(dlg.RandBox()->isChecked());
  EXPECT_EQ(dlg.EyeEdit(2)->Value(), 22.0);

  // Box 1 is centred at x = k/2 with half size 1, box 2 at x = 10 - k/4
  // with half size 2, in flat frame k = 0..5.
  const struct {
    int Row;
    bool Frame;
    const char* Text;
  } bounds[] = {{0, false, "12,2,2"}, {1, false, "-1,-2,-2"}, {2, false, "13,4,4"},
                {0, true, "11,2,2"},  {1, true, "1,-2,-2"},   {2, true, "10,4,4"}};
  for (const auto& b : bounds) EXPECT_EQ(dlg.BoundsLabel(b.Row, b.Frame)->text(), b.Text) << b.Row << b.Frame;
  EXPECT_EQ(TModelPropEditDlg::FormatCorner(1.4f, -2.6f, 0), "1,-3,0");
}

TEST_F(ModelPropEditDlgTest, SkinSizeIsLimitedOnOk) {
  const struct {
    const char* Width;
    const char* Height;
    int SkinWidth, SkinHeight;
  } cases[] = {
      {"4000", "600", 3072, 512},  // the editor's limit
      {"5000", "8", 3072, 8},      // the field's own limit first
      {"100", "40", 100, 40},
  };
  for (const auto& c : cases) {
    TModelPropEditDlg dlg;
    Type(dlg.WidthEdit(), c.Width);
    Type(dlg.HeightEdit(), c.Height);
    Press(dlg, QDialogButtonBox::Ok);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(Header().SkinWidth, c.SkinWidth) << c.Width;
    EXPECT_EQ(Header().SkinHeight, c.SkinHeight) << c.Height;
    EXPECT_EQ(Editor->Model->Skins->Skin(0).Width, c.SkinWidth) << c.Width;
    EXPECT_EQ(Editor->Model->Skins->Skin(0).Height, c.SkinHeight) << c.Height;
  }
}

TEST_F(ModelPropEditDlgTest, OkWithoutChangesMarksModifiedAndKeepsTheModel) {
  std::vector<std::string> log;
  edtest::TRecorder recorder(log);
  {
    TModelPropEditDlg dlg;
    Press(dlg, QDialogButtonBox::Ok);
  }
  EXPECT_TRUE(Editor->Modified);
  EXPECT_NE(std::find(log.begin(), log.end(), "Modified(1)"), log.end());
  EXPECT_EQ(Header().SkinWidth, 8);
  EXPECT_EQ(Header().SkinHeight, 8);
  EXPECT_EQ(Editor->Model->Skins->Skin(0).Row(3)[5], 77);
  EXPECT_EQ(Header().Flags, 8 | 64 | 0x1000);
  EXPECT_EQ(Header().SyncType, 0);
  EXPECT_EQ(Header().EyePosition[2], 22.0f);
}

TEST_F(ModelPropEditDlgTest, FlagsSyncTypeAndEyePositionRoundTrip) {
  {
    TModelPropEditDlg dlg;
    ShowAndWait(dlg);
    for (int i : {0, 3, 7}) Tick(dlg.FlagBox(i));
    Tick(dlg.RandBox());
    Type(dlg.EyeEdit(0), "1.5");
    Type(dlg.EyeEdit(1), "-3");
    Type(dlg.EyeEdit(2), "40.25");
    Press(dlg, QDialogButtonBox::Ok);
  }
  // Rocket and purple on, Rotate off, the yellow tracer and the unknown bit kept.
  EXPECT_EQ(Header().Flags, 1 | 64 | 128 | 0x1000);
  EXPECT_EQ(Header().SyncType, 1);
  EXPECT_EQ(Header().EyePosition[0], 1.5f);
  EXPECT_EQ(Header().EyePosition[1], -3.0f);
  EXPECT_EQ(Header().EyePosition[2], 40.25f);

  TModelPropEditDlg again;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(again.FlagBox(i)->isChecked(), i == 0 || i == 6 || i == 7) << i;
  EXPECT_TRUE(again.RandBox()->isChecked());
  EXPECT_EQ(again.EyeEdit(0)->Value(), 1.5);
  EXPECT_EQ(again.EyeEdit(1)->Value(), -3.0);
  EXPECT_EQ(again.EyeEdit(2)->Value(), 40.25);
}

TEST_F(ModelPropEditDlgTest, CancelChangesNothing) {
  {
    TModelPropEditDlg dlg;
    ShowAndWait(dlg);
    Type(dlg.WidthEdit(), "64");
    Type(dlg.HeightEdit(), "32");
    for (int i = 0; i < 8; ++i) Tick(dlg.FlagBox(i));
    Tick(dlg.RandBox());
    Type(dlg.EyeEdit(2), "99");
    ASSERT_TRUE(dlg.RandBox()->isChecked());
    ASSERT_FALSE(dlg.FlagBox(3)->isChecked());
    Press(dlg, QDialogButtonBox::Cancel);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
  }
  EXPECT_FALSE(Editor->Modified);
  EXPECT_EQ(Header().SkinWidth, 8);
  EXPECT_EQ(Editor->Model->Skins->Skin(0).Width, 8);
  EXPECT_EQ(Header().Flags, 8 | 64 | 0x1000);
  EXPECT_EQ(Header().SyncType, 0);
  EXPECT_EQ(Header().EyePosition[2], 22.0f);
}

}  // namespace
