// "Export Multiple Frames": the formats it offers come from the triangle
// filer's export filter, each with the extension its frame files get.

#include "tessel/ui/MultiFrameSaveDlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>

TEST(MultiFrameSaveDlg, OffersEveryWritableGeometryFormat) {
  TMultiFrameSaveDlg dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QComboBox* box = dlg.FormatBox();
  ASSERT_EQ(box->count(), 3);
  const struct {
    const char* Label;
    const char* Extension;
  } formats[] = {{"AutoCAD (DXF)", ".DXF"}, {"Breeze Designer (CAD)", ".CAD"}, {"Wavefront (OBJ)", ".OBJ"}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(box->itemText(i).toStdString(), formats[i].Label);
    box->setCurrentIndex(i);
    EXPECT_EQ(dlg.Extension().toStdString(), formats[i].Extension);
  }
  // Nothing to save to until a list file is named.
  EXPECT_FALSE(dlg.SaveButton()->isEnabled());
  dlg.SetFileName("/tmp/walk.frs");
  EXPECT_TRUE(dlg.SaveButton()->isEnabled());
}
