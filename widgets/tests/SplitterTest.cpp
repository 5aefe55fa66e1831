// Splitters in real layouts: the band during a drag, the neighbour's size
// after it, the reported distance and the band kept inside the parent.

#include "widgets/Splitter.h"

#include <gtest/gtest.h>

#include <QBoxLayout>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

// A window of 400 x 300 with a panel, a splitter and a filling panel in a
// row (or a column).
struct SplitWindow {
  explicit SplitWindow(Qt::Orientation orientation) {
    Window.resize(400, 300);
    QBoxLayout* layout = orientation == Qt::Horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(&Window))
                                                       : static_cast<QBoxLayout*>(new QVBoxLayout(&Window));
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    First = new QWidget;
    Last = new QWidget;
    if (orientation == Qt::Horizontal) {
      auto* split = new THorzSplit;
      First->setFixedWidth(100);
      split->SetLeftControl(First);
      Split = split;
    } else {
      auto* split = new TVertSplit;
      First->setFixedHeight(100);
      split->SetTopControl(First);
      Split = split;
    }
    layout->addWidget(First);
    layout->addWidget(Split);
    layout->addWidget(Last, 1);
    Split->OnSplitChanged = [this](TSplitter* sender, int delta) {
      EXPECT_EQ(sender, Split);
      Reported.push_back(delta);
    };
    Window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Window));
  }

  // Presses at `from` and releases at `to`, both in splitter coordinates,
  // through a move; returns the band's rectangle seen during the drag.
  QRect Drag(QPoint from, QPoint to) {
    QTest::mousePress(Split, Qt::LeftButton, {}, from);
    QTest::mouseMove(Split, to);
    const QRect band = Split->Band() ? Split->Band()->geometry() : QRect();
    QTest::mouseRelease(Split, Qt::LeftButton, {}, to);
    return band;
  }

  QWidget Window;
  QWidget* First = nullptr;
  QWidget* Last = nullptr;
  TSplitter* Split = nullptr;
  std::vector<int> Reported;
};

TEST(SplitterTest, HorzSplitResizesItsControlInALayout) {
  struct Case {
    bool IsRight;
    int Dx;
    int Reported;
    int Width;
  } const cases[] = {
      {false, 30, 30, 130},
      {true, 30, -30, 70},
      {false, -40, -40, 60},
      {false, 0, 0, 100},
  };
  for (const Case& c : cases) {
    SplitWindow w(Qt::Horizontal);
    static_cast<THorzSplit*>(w.Split)->SetIsRight(c.IsRight);
    ASSERT_EQ(w.Split->x(), 100);
    const QRect band = w.Drag(QPoint(2, 50), QPoint(2 + c.Dx, 50));
    EXPECT_EQ(band, QRect(100 + c.Dx, 0, 5, 300)) << c.Dx;
    EXPECT_EQ(w.Split->Band(), nullptr);
    ASSERT_EQ(w.Reported, std::vector<int>{c.Reported});
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.First->width() == c.Width; }, 1000))
        << "width " << w.First->width() << " for " << c.Dx;
    // The layout really moved the splitter with the panel.
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.Split->x() == c.Width; }, 1000));
  }
}

TEST(SplitterTest, BandStaysInsideTheParent) {
  SplitWindow w(Qt::Horizontal);
  QRect band = w.Drag(QPoint(2, 50), QPoint(1000, 50));
  EXPECT_EQ(band.right(), 399);
  ASSERT_EQ(w.Reported.size(), 1u);
  EXPECT_EQ(w.Reported[0], 295);

  SplitWindow v(Qt::Vertical);
  ASSERT_EQ(v.Split->y(), 100);
  band = v.Drag(QPoint(50, 2), QPoint(50, -500));
  EXPECT_EQ(band, QRect(0, 0, 400, 5));
  ASSERT_EQ(v.Reported, std::vector<int>{-100});
  EXPECT_TRUE(QTest::qWaitFor([&] { return v.First->height() == 0; }, 1000));
}

TEST(SplitterTest, VertSplitResizesItsTopControl) {
  SplitWindow w(Qt::Vertical);
  const QRect band = w.Drag(QPoint(100, 1), QPoint(100, 26));
  EXPECT_EQ(band, QRect(0, 125, 400, 5));
  ASSERT_EQ(w.Reported, std::vector<int>{25});
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.First->height() == 125; }, 1000));
}

TEST(SplitterTest, ShapeAndCursorOfEachKind) {
  THorzSplit horz;
  TVertSplit vert;
  EXPECT_EQ(horz.maximumWidth(), 5);
  EXPECT_EQ(horz.minimumWidth(), 5);
  EXPECT_EQ(horz.cursor().shape(), Qt::SplitHCursor);
  EXPECT_EQ(vert.maximumHeight(), 5);
  EXPECT_EQ(vert.cursor().shape(), Qt::SplitVCursor);
  horz.SetSplitColor(Qt::red);
  EXPECT_EQ(horz.SplitColor(), QColor(Qt::red));
}

TEST(SplitterTest, DestroyedControlIsForgotten) {
  SplitWindow w(Qt::Horizontal);
  delete w.First;
  w.First = nullptr;
  EXPECT_EQ(static_cast<THorzSplit*>(w.Split)->LeftControl(), nullptr);
  QSignalSpy spy(w.Split, &TSplitter::splitChanged);
  w.Drag(QPoint(2, 50), QPoint(12, 50));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 10);
}

}  // namespace
