// The "Color Palette" bar's contents and the colour-choosing dialog, driven
// through real mouse clicks.

#include "tessel/ui/PaletteBar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "tessel/ui/SelectColorDlg.h"
#include "widgets/SurfaceWidget.h"

namespace {

// The white outline the selected cell wears, as seen on screen.
bool Outlined(SurfaceWidget* w, const TQuakePalette& p, int index) {
  const QImage shot = w->grab().toImage();
  const TRect r = p.CellRect(index);
  const QRgb c = shot.pixel(r.Left, r.Top);
  return qRed(c) == 255 && qGreen(c) == 255 && qBlue(c) == 255;
}

}  // namespace

TEST(PaletteBar, ClicksSetTheEditorsColourAndBothControlsFollowIt) {
  TMDLEditor editor;
  TPaletteBarContent bar(&editor);
  bar.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
  EXPECT_EQ(bar.HorizontalWidget()->size(), QSize(512, 24));
  EXPECT_EQ(bar.VerticalPalette().BitmapWidth(), 24);
  EXPECT_EQ(bar.VerticalPalette().BitmapHeight(), 512);

  struct Case {
    Qt::Orientation Orientation;
    QPoint At;
    int Color;
  };
  for (const Case c : {Case{Qt::Horizontal, QPoint(43, 14), 2 * 64 + 5}, Case{Qt::Vertical, QPoint(19, 81), 43},
                       Case{Qt::Horizontal, QPoint(511, 23), 255}, Case{Qt::Vertical, QPoint(1, 1), 0}}) {
    SCOPED_TRACE(c.Color);
    bar.setOrientation(c.Orientation);
    SurfaceWidget* shown = c.Orientation == Qt::Horizontal ? bar.HorizontalWidget() : bar.VerticalWidget();
    SurfaceWidget* hidden = c.Orientation == Qt::Horizontal ? bar.VerticalWidget() : bar.HorizontalWidget();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown->isVisible() && !hidden->isVisible(); }));
    QTest::mouseClick(shown, Qt::LeftButton, Qt::NoModifier, c.At);
    EXPECT_EQ(editor.CurrentColor, c.Color);
    EXPECT_EQ(bar.HorizontalPalette().ColorIndex(), c.Color);
    EXPECT_EQ(bar.VerticalPalette().ColorIndex(), c.Color);
    EXPECT_TRUE(Outlined(shown, c.Orientation == Qt::Horizontal ? bar.HorizontalPalette() : bar.VerticalPalette(),
                         c.Color));
  }

  // The other way round: the editor's colour moves the selection on screen.
  editor.SetCurrentColor(77);
  EXPECT_EQ(bar.HorizontalPalette().ColorIndex(), 77);
  EXPECT_EQ(bar.VerticalPalette().ColorIndex(), 77);
  EXPECT_TRUE(Outlined(bar.HorizontalWidget(), bar.HorizontalPalette(), 77));
  EXPECT_FALSE(Outlined(bar.HorizontalWidget(), bar.HorizontalPalette(), 0));
}

TEST(SelectColorDlg, ClickOnACellClosesWithItAndEscapeKeepsTheStartIndex) {
  QWidget anchor;
  anchor.setGeometry(200, 150, 40, 20);
  anchor.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&anchor));

  struct Case {
    bool Click;
    int Expected;
  };
  for (const Case c : {Case{true, 18}, Case{false, 9}}) {
    bool acted = false;
    QPoint placed;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dlg = qobject_cast<TSelectColorDlg*>(QApplication::activeModalWidget());
      if (!dlg || acted) return;
      acted = true;
      placed = dlg->pos();
      EXPECT_EQ(dlg->PaletteWidget()->size(), QSize(160, 160));
      EXPECT_EQ(dlg->QuakePalette().ColorIndex(), 9);
      if (c.Click)
        QTest::mouseClick(dlg->PaletteWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(25, 15));
      else
        QTest::keyClick(dlg, Qt::Key_Escape);
    });
    poll.start(10);
    EXPECT_EQ(SelectColor(9, &anchor), c.Expected);
    EXPECT_TRUE(acted);
    EXPECT_EQ(placed, anchor.mapToGlobal(QPoint(0, 0)));
  }
}
