// The progress window driven through the process-wide progressor, as the
// model loader and the importers drive it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include "core/Progress.h"
#include "tessel/ui/ProgressForm.h"

namespace {

class ProgressFormTest : public ::testing::Test {
protected:
  void TearDown() override {
    while (Progressor().Active()) Progressor().Finish();
    Progressor().SetBusyCursor(crHourGlass);
  }
  // Main line, main bar, detail line, detail bar as one comparable string.
  std::string Lines() const {
    return Form.MainLabel()->text().toStdString() + "|" + std::to_string(Form.MainBar()->value()) + "|" +
           Form.DetailLabel()->text().toStdString() + "|" + std::to_string(Form.DetailBar()->value());
  }
  static Qt::CursorShape Cursor() {
    const QCursor* c = QApplication::overrideCursor();
    return c ? c->shape() : Qt::BlankCursor;  // Blank stands for "no override"
  }
  QWidget Parent;
  TProgressForm Form{&Parent};
};

TEST_F(ProgressFormTest, MainAndDetailStepsGoToTheirOwnLines) {
  EXPECT_EQ(Form.windowTitle(), "Loading...");
  EXPECT_TRUE(Form.windowFlags() & Qt::Tool);
  EXPECT_FALSE(Form.isVisible());
  TProgressor& p = Progressor();
  p.Start(0, "Loading model.mdl");
  EXPECT_TRUE(Form.isVisible());
  EXPECT_EQ(Lines(), "Loading model.mdl|0||0");

  struct Step {
    const char* Description;  // null: leave it
    int Position;
    const char* Expected;
  };
  const Step steps[] = {
      {nullptr, 20, "Loading model.mdl|20||0"},
      {">Loading Frame 3", 20, "Loading model.mdl|20|Loading Frame 3|0"},
      {nullptr, 55, "Loading model.mdl|20|Loading Frame 3|55"},
      {">Loading Frame 4", 80, "Loading model.mdl|20|Loading Frame 4|80"},
      // A main step resets the detail line and bar and takes the bar moves again.
      {"Loading Skins", 80, "Loading Skins|20||0"},
      {nullptr, 90, "Loading Skins|90||0"},
      // A lone ">" is a detail step with no text.
      {">", 95, "Loading Skins|90||95"},
  };
  for (const Step& s : steps) {
    if (s.Description) p.SetDescription(s.Description);
    p.SetPosition(s.Position);
    EXPECT_EQ(Lines(), s.Expected) << (s.Description ? s.Description : "") << " at " << s.Position;
  }

  p.Finish();
  EXPECT_FALSE(Form.isVisible());
  EXPECT_EQ(Lines(), "|0||0");
}

TEST_F(ProgressFormTest, NestedOperationUsesTheDetailLineAndGivesTheMainLineBack) {
  TProgressor& p = Progressor();
  p.Start(0, "Merging");
  p.SetPosition(40);
  p.Start(0, ">Loading Frame 0");
  EXPECT_EQ(Lines(), "Merging|40|Loading Frame 0|0");
  p.SetDescription(">Loading Frame 7");
  p.SetPosition(70);
  EXPECT_EQ(Lines(), "Merging|40|Loading Frame 7|70");

  p.Finish();  // the outer description and position come back
  EXPECT_TRUE(Form.isVisible());
  EXPECT_EQ(Lines(), "Merging|40||0");
  p.SetPosition(60);
  EXPECT_EQ(Lines(), "Merging|60||0");

  p.Finish();
  EXPECT_FALSE(Form.isVisible());
}

TEST_F(ProgressFormTest, BusyCursorWhileAnOperationRuns) {
  TProgressor& p = Progressor();
  ASSERT_EQ(QApplication::overrideCursor(), nullptr);
  p.Start(0, "Saving");
  EXPECT_EQ(Cursor(), Qt::WaitCursor);
  p.Start(0, ">Saving Frame 0");
  EXPECT_EQ(Cursor(), Qt::WaitCursor);
  p.Finish();
  EXPECT_EQ(Cursor(), Qt::WaitCursor);
  // A new busy cursor shows at once and replaces ours rather than stacking.
  p.SetBusyCursor(-17);
  EXPECT_EQ(Cursor(), Qt::BusyCursor);
  p.Finish();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // An override someone else set stays when the operation ends.
  QApplication::setOverrideCursor(Qt::CrossCursor);
  p.Start(0, "Again");
  p.Finish();
  EXPECT_EQ(Cursor(), Qt::CrossCursor);
  QApplication::restoreOverrideCursor();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ProgressFormTest, PendingEventsRunDuringTheOperation) {
  TProgressor& p = Progressor();
  p.Start(0, "Importing");
  int ran = 0;
  QMetaObject::invokeMethod(qApp, [&ran] { ++ran; }, Qt::QueuedConnection);
  p.SetDescription(">Reading file 1");  // no return to the event loop in between
  EXPECT_EQ(ran, 1);
  QMetaObject::invokeMethod(qApp, [&ran] { ++ran; }, Qt::QueuedConnection);
  p.SetPosition(50);
  EXPECT_EQ(ran, 2);
  p.Finish();
}

}  // namespace
