// The "Rendered Skin" question: each button gives its answer; closing the
// dialog any other way discards.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tessel/ui/TextureDestinationDialog.h"

namespace {

TEST(TextureDestinationDialogTest, EachButtonGivesItsAnswer) {
  const struct {
    const char* Caption;
    TRenderedSkinChoice Choice;
  } cases[] = {{"Insert New", rsInsertNew}, {"Replace Current", rsReplaceCurrent}, {"Discard", rsDiscard}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Caption);
    TTextureDestinationDialog dlg;
    EXPECT_EQ(dlg.windowTitle(), "Rendered Skin");
    ASSERT_NE(dlg.findChild<QLabel*>(), nullptr);
    EXPECT_EQ(dlg.findChild<QLabel*>()->text(), "Where should the rendered skin go ?");
    QPushButton* button = dlg.Button(c.Choice);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), c.Caption);
    QTimer::singleShot(0, &dlg, [button] { QTest::mouseClick(button, Qt::LeftButton); });
    EXPECT_EQ(dlg.Ask(), c.Choice);
  }
}

TEST(TextureDestinationDialogTest, EscapeDiscards) {
  TTextureDestinationDialog dlg;
  // A first answer must not stick to the next question.
  QTimer::singleShot(0, &dlg, [&] { QTest::mouseClick(dlg.Button(rsInsertNew), Qt::LeftButton); });
  ASSERT_EQ(dlg.Ask(), rsInsertNew);
  QTimer::singleShot(0, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
  EXPECT_EQ(dlg.Ask(), rsDiscard);
  EXPECT_EQ(dlg.Button(static_cast<TRenderedSkinChoice>(7)), nullptr);
}

}  // namespace
