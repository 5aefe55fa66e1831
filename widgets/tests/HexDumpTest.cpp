// The hex dump control with real widgets: rows and bytes per row from the
// size and the font, keys, mouse and scroll bar, and what a scroll repaints.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTest>
#include <vector>

#include "widgets/HexDump.h"

namespace {

QFont FixedFont() {
  QFont f("Courier New", 8);
  f.setStyleHint(QFont::TypeWriter);
  return f;
}

// Collects the rectangles the control's picture is repainted in.
struct TPaintSpy : QObject {
  QRegion Painted;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) Painted += static_cast<QPaintEvent*>(e)->region();
    return false;
  }
};

struct THexDumpFixture : ::testing::Test {
  THexDump Dump;
  std::vector<uint8_t> Bytes;

  void Fill(size_t n) {
    Bytes.resize(n);
    for (size_t i = 0; i < n; ++i) Bytes[i] = static_cast<uint8_t>(i * 7);
    Dump.SetData(Bytes.data());
    Dump.SetDataSize(static_cast<int64_t>(n));
  }
  void SetUp() override {
    Dump.setFont(FixedFont());
    Dump.resize(800, 300);
  }
  // The client width that holds exactly `bytes` bytes a row.
  int WidthFor(int bytes) const {
    const auto& l = Dump.Layout();
    const int chars = bytes * (l.ShowCharacters() ? 4 : 3) + (l.ShowAddress() ? THexDumpLayout::AddressChars : 0);
    return chars * l.CharWidth() + Dump.width() - Dump.viewport()->width();
  }
  void Settle() {
    Dump.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Dump));
    QApplication::processEvents();
  }
};

TEST_F(THexDumpFixture, RowsAndBytesPerRowFollowSizeAndWidth) {
  Fill(33);
  Settle();
  struct {
    int Bytes;        // bytes per row the width is made for (0: as narrow as can be)
    int Expected;
    int64_t Rows;
    int LastRowBytes;
  } cases[] = {
      {16, 16, 3, 1},  // 33 bytes 16 a row: the last row holds one byte
      {11, 11, 3, 11},
      {4, 4, 9, 1},
      {0, 1, 33, 1},     // too narrow for one byte still shows one
      {40, 16, 3, 1},    // wider than needed: never more than 16
  };
  for (const auto& c : cases) {
    Dump.resize(c.Bytes ? WidthFor(c.Bytes) : 5, 300);
    const auto& l = Dump.Layout();
    EXPECT_EQ(l.BytesPerRow(), c.Expected) << c.Bytes;
    EXPECT_EQ(l.RowCount(), c.Rows) << c.Bytes;
    EXPECT_EQ(l.RowByteCount(c.Rows - 1), c.LastRowBytes) << c.Bytes;
    EXPECT_EQ(Dump.verticalScrollBar()->maximum(), c.Rows - 1) << c.Bytes;
  }
  // Without the character column three characters a byte suffice.
  Dump.resize(WidthFor(8), 300);
  Dump.SetShowCharacters(false);
  EXPECT_EQ(Dump.Layout().BytesPerRow(), 10);
}

TEST_F(THexDumpFixture, KeysMouseAndScrollBarMoveTheRows) {
  Dump.resize(WidthFor(16), 200);
  Fill(16 * 1000);
  Settle();
  const auto& l = Dump.Layout();
  const int visible = l.VisibleRows();
  ASSERT_GT(visible, 3);
  QTest::keyClick(&Dump, Qt::Key_PageDown);
  EXPECT_EQ(l.CurrentRow(), visible);
  EXPECT_EQ(l.TopRow(), 2);  // the current row kept in sight
  QTest::keyClick(&Dump, Qt::Key_End);
  EXPECT_EQ(l.CurrentRow(), 999);
  EXPECT_EQ(Dump.verticalScrollBar()->value(), l.TopRow());
  QTest::keyClick(&Dump, Qt::Key_Down);
  EXPECT_EQ(l.CurrentRow(), 999);
  QTest::keyClick(&Dump, Qt::Key_Home);
  EXPECT_EQ(l.CurrentRow(), 0);
  EXPECT_EQ(l.TopRow(), 0);
  QTest::keyClick(&Dump, Qt::Key_Up);
  EXPECT_EQ(l.CurrentRow(), 0);
  QTest::keyClick(&Dump, Qt::Key_A);
  EXPECT_EQ(l.CurrentRow(), 0);

  QTest::mouseClick(Dump.viewport(), Qt::LeftButton, {}, QPoint(20, 2 * l.RowHeight() + 1));
  EXPECT_EQ(l.CurrentRow(), 2);
  EXPECT_TRUE(Dump.hasFocus());

  QScrollBar* bar = Dump.verticalScrollBar();
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(l.TopRow(), 1);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(l.TopRow(), 1 + visible - 1);
  bar->setValue(5000);
  EXPECT_EQ(l.TopRow(), 999);
}

TEST_F(THexDumpFixture, ScrollingOneRowRepaintsOneRow) {
  Dump.resize(WidthFor(16), 200);
  Fill(16 * 1000);
  Settle();
  TPaintSpy spy;
  Dump.viewport()->installEventFilter(&spy);
  const int rowHeight = Dump.Layout().RowHeight();
  Dump.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !spy.Painted.isEmpty(); }));
  EXPECT_LE(spy.Painted.boundingRect().height(), rowHeight);
  spy.Painted = QRegion();
  Dump.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !spy.Painted.isEmpty(); }));
  EXPECT_EQ(spy.Painted.boundingRect(), Dump.viewport()->rect());
}

TEST_F(THexDumpFixture, WithoutDataOnlyTheBackgroundShowsAndInputIsIgnored) {
  Dump.SetDataSize(100);
  Settle();
  QTest::keyClick(&Dump, Qt::Key_PageDown);
  QTest::mouseClick(Dump.viewport(), Qt::LeftButton, {}, QPoint(20, 40));
  EXPECT_EQ(Dump.Layout().CurrentRow(), 0);
  const QImage empty = Dump.viewport()->grab().toImage();
  EXPECT_EQ(empty.pixelColor(empty.width() / 2, 3), QColor(Qt::white));
  bool allWhite = true;
  for (int y = 0; y < empty.height(); ++y)
    for (int x = 0; x < empty.width(); ++x) allWhite = allWhite && empty.pixel(x, y) == qRgb(255, 255, 255);
  EXPECT_TRUE(allWhite);

  // With data, the hex digits darken the first row.
  Fill(100);
  const QImage shown = Dump.viewport()->grab().toImage();
  int dark = 0;
  for (int y = 0; y < Dump.Layout().RowHeight(); ++y)
    for (int x = 0; x < shown.width(); ++x) dark += qGray(shown.pixel(x, y)) < 128;
  EXPECT_GT(dark, 20);
}

}  // namespace
