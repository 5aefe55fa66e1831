// The tool-properties window: pages per tool, the boxes writing the editor's
// transform settings, and the nine pivot fields applying TransformObject to
// the frames of the scope.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "mdl/Pivot.h"
#include "resources/SampleModel.h"
#include "tessel/ui/ToolPropsEditor.h"
#include "widgets/NumericEdit.h"

namespace {

class ToolPropsEditorTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    const std::string file = Dir.filePath("sample.mdl").toStdString();
    TMDL m;
    BuildSampleModel(m);
    m.SaveToFile(file, true);
    TMDLEditor& e = TMDLEditor::Instance();
    e.LoadFromFile(file);
    e.SetCurrentScene(1);  // "walk", eight frames
    e.SetCurrentObject(1);
    e.TransformScope = e.TransformMode = e.TransformSubject = 0;
    Props = std::make_unique<TToolPropsEditor>();
    Props->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Props.get()));
    Props->UpdateFields();
  }
  void TearDown() override {
    Props.reset();
    TMDLEditor::Instance().Clear();
  }

  // The channel of the current object's pivot in absolute frame `f`.
  float ChannelAt(int f, int c) const {
    TMDLEditor& e = TMDLEditor::Instance();
    return e.CurrentObjectObject()->Pivot(f).Channel(c);
  }

  // Types `text` into the field of `channel` and presses Enter.
  void Type(int channel, const QString& text) {
    TNumberEdit* f = Props->Field(channel);
    f->setFocus();
    f->selectAll();
    QTest::keyClicks(f, text);
    QTest::keyClick(f, Qt::Key_Return);
  }

  void Choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
  }

  QTemporaryDir Dir;
  std::unique_ptr<TToolPropsEditor> Props;
};

TEST_F(ToolPropsEditorTest, PagesFollowTheTool) {
  const struct {
    int Tool;
    const char* Page;
    const char* Inner;
  } cases[] = {{0, "CameraProps", nullptr}, {1, "VertexProps", nullptr}, {2, "TriangleProps", nullptr},
               {3, "PenProps", nullptr},    {4, "DropperProps", nullptr}, {5, "FloodProps", nullptr},
               {6, "MoveObjProps", "Move"}, {7, "MoveObjProps", "Rotate"}, {8, "MoveObjProps", "Scale"},
               {42, "CameraProps", nullptr}};
  for (const auto& c : cases) {
    Props->SetTool(c.Tool);
    EXPECT_EQ(Props->PageName(), c.Page) << c.Tool;
    if (c.Inner) {
      EXPECT_EQ(Props->InnerPageName(), c.Inner) << c.Tool;
    }
  }
}

TEST_F(ToolPropsEditorTest, BoxesSetTheEditorFields) {
  TMDLEditor& e = TMDLEditor::Instance();
  Choose(Props->PenSizeBox(), 4);
  EXPECT_EQ(e.PenSize, 5);
  EXPECT_FALSE(Props->ModeBox()->isEnabled());
  Choose(Props->ScopeBox(), 2);
  EXPECT_EQ(e.TransformScope, 2);
  EXPECT_TRUE(Props->ModeBox()->isEnabled());
  Choose(Props->ModeBox(), 1);
  Choose(Props->SubjectBox(), 1);
  EXPECT_EQ(e.TransformMode, 1);
  EXPECT_EQ(e.TransformSubject, 1);
  // Shown again, the boxes come back as chosen.
  Props->hide();
  Props->PenSizeBox()->setCurrentIndex(0);
  Props->show();
  EXPECT_EQ(Props->PenSizeBox()->currentIndex(), 4);
  EXPECT_EQ(Props->ScopeBox()->currentIndex(), 2);
}

TEST_F(ToolPropsEditorTest, FieldsMoveThePivotOverTheScope) {
  TMDLEditor& e = TMDLEditor::Instance();
  const int first = e.SceneFirstFrame, cur = e.AbsoluteFrame();
  const float x0 = ChannelAt(cur, 0), xNext = ChannelAt(cur + 1, 0);
  Props->SetTool(6);

  // Scope "Frame": only the current frame changes.
  Type(0, QString::number(x0 + 3, 'f', 2));
  EXPECT_NEAR(ChannelAt(cur, 0), x0 + 3, 0.01);
  EXPECT_FLOAT_EQ(ChannelAt(cur + 1, 0), xNext);
  EXPECT_TRUE(e.Modified);

  // The value already shown changes nothing.
  e.SetModified(false);
  QTest::qWait(30);
  const float y0 = ChannelAt(cur, 1);
  Type(1, Props->Field(1)->text());
  EXPECT_FLOAT_EQ(ChannelAt(cur, 1), y0);
  EXPECT_FALSE(e.Modified);

  // "Whole Scene", absolute: every frame of the scene ends with the same value.
  Choose(Props->ScopeBox(), 2);
  Choose(Props->ModeBox(), 1);
  Props->UpdateFields();
  Type(2, "7.5");
  for (int f = first; f < first + e.SceneFrameCount; ++f) EXPECT_NEAR(ChannelAt(f, 2), 7.5, 0.01) << f;

  // A scale of 0 lies inside the field's range and reaches the pivot, which
  // keeps its smallest scale.
  Choose(Props->ScopeBox(), 0);
  Props->SetTool(8);
  Props->UpdateFields();
  Type(6, "0");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Props->Field(6)->text() == "0.10"; }));
  EXPECT_FLOAT_EQ(ChannelAt(cur, 6), TPivot::kMinScale);
}

}  // namespace
