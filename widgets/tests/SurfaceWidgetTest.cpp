// The surface widget with a real surface: the picture on screen, mouse input
// in bitmap coordinates, partial repaints, cursors and pop-up menus.

#include "widgets/SurfaceWidget.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <vector>

namespace {

constexpr int kW = 8, kH = 6;

// Colour i of the test picture; every index distinct.
QRgb ColorOf(int i) { return qRgb(i, 255 - i, (i * 37) & 255); }

// Pixel (x, y) of the bitmap holds x + 10 y; the surface records its hits.
class TTestSurface : public TWinGSurface {
public:
  TTestSurface() {
    std::vector<TPaletteEntry> entries(256);
    for (int i = 0; i < 256; ++i)
      entries[size_t(i)] = {uint8_t(qRed(ColorOf(i))), uint8_t(qGreen(ColorOf(i))), uint8_t(qBlue(ColorOf(i))), 0};
    SetPalette(std::make_shared<const TPaletteObject>(entries.data(), 256));
    SetBitmapWidth(kW);
    SetBitmapHeight(kH);
  }
  struct THit {
    char Kind;  // 'd'own, 'm'ove, 'r'elease
    uint8_t Shift;
    int X, Y;
    bool operator==(const THit&) const = default;
  };
  std::vector<THit> Hits;
  int Base = 0;  // added to every pixel

protected:
  void PaintSurface(TWinGBitmap& surf) override {
    for (int y = 0; y < surf.GetHeight(); ++y)
      for (int x = 0; x < surf.GetWidth(); ++x) surf.ScanLine(y)[x] = uint8_t(Base + x + 10 * y);
  }
  void HitSurface(TShiftState shift, int x, int y, bool& capture) override {
    Hits.push_back({'d', shift.Bits(), x, y});
    capture = true;
  }
  void HitMove(TShiftState shift, int, int, int x, int y, bool&) override { Hits.push_back({'m', shift.Bits(), x, y}); }
  void HitRelease(TShiftState shift, int x, int y) override { Hits.push_back({'r', shift.Bits(), x, y}); }
};

// Records what each paint asked to show.
class TRecordingWidget : public SurfaceWidget {
public:
  void ShowBitmap(const TWinGBitmap& bitmap, const TRect& source, const TRect& dest) override {
    Shown.push_back({source, dest});
    SurfaceWidget::ShowBitmap(bitmap, source, dest);
  }
  std::vector<std::pair<TRect, TRect>> Shown;
};

struct TShown {
  TShown() {
    Widget.SetSurface(&Surface);
    Widget.resize(2 * kW, 2 * kH);
    Widget.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Widget));
  }
  ~TShown() { Widget.SetSurface(nullptr); }
  void Move(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods, QPoint at) {
    QMouseEvent e(QEvent::MouseMove, QPointF(at), Widget.mapToGlobal(QPointF(at)), Qt::NoButton, buttons, mods);
    QApplication::sendEvent(&Widget, &e);
  }
  TTestSurface Surface;
  TRecordingWidget Widget;
};

}  // namespace

TEST(SurfaceWidget, PictureIsTheBitmapRightWayUpScaledByPixelDoubling) {
  TShown s;
  EXPECT_EQ(s.Surface.Width(), 2 * kW) << "the surface knows the widget's size";
  const QImage shot = s.Widget.grab().toImage();
  ASSERT_EQ(shot.size(), QSize(2 * kW, 2 * kH));
  for (int y = 0; y < 2 * kH; ++y)
    for (int x = 0; x < 2 * kW; ++x)
      ASSERT_EQ(shot.pixel(x, y) & 0xFFFFFF, ColorOf(x / 2 + 10 * (y / 2)) & 0xFFFFFF) << x << ", " << y;

  // New colours for the same indices reach the screen.
  s.Surface.SetPalette(std::make_shared<const TPaletteObject>(std::vector<TPaletteEntry>(256).data(), 256));
  const QImage black = s.Widget.grab().toImage();
  EXPECT_EQ(black.pixel(5, 5) & 0xFFFFFF, 0u);
}

TEST(SurfaceWidget, MouseReachesTheSurfaceInBitmapCoordinatesWithShiftState) {
  TShown s;
  QTest::mousePress(&s.Widget, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 7));
  s.Move(Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(15, 11));
  QTest::mouseRelease(&s.Widget, Qt::LeftButton, Qt::NoModifier, QPoint(15, 11));
  // (A null point would mean the widget's centre to Qt Test.)
  QTest::mousePress(&s.Widget, Qt::RightButton, Qt::AltModifier, QPoint(1, 1));
  s.Move(Qt::NoButton, Qt::NoModifier, QPoint(3, 3));  // the button went up unseen
  QTest::mouseRelease(&s.Widget, Qt::RightButton, Qt::NoModifier, QPoint(3, 3));  // nothing more
  QTest::mousePress(&s.Widget, Qt::MiddleButton, Qt::NoModifier, QPoint(8, 2));
  QTest::mouseRelease(&s.Widget, Qt::MiddleButton, Qt::NoModifier, QPoint(8, 2));
  using H = TTestSurface::THit;
  auto b = [](TShiftState st) { return st.Bits(); };
  const std::vector<H> want{{'d', b(ssLeft | ssShift), 2, 3}, {'m', b(ssLeft | ssShift | ssCtrl), 7, 5},
                            {'r', 0, 7, 5},                   {'d', b(ssRight | ssAlt), 0, 0},
                            {'r', 0, 1, 1},                   {'d', b(ssMiddle), 4, 1},
                            {'r', 0, 4, 1}};
  ASSERT_EQ(s.Surface.Hits.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(s.Surface.Hits[i].Kind, want[i].Kind) << i;
    EXPECT_EQ(s.Surface.Hits[i].Shift, want[i].Shift) << i;
    EXPECT_EQ(s.Surface.Hits[i].X, want[i].X) << i;
    EXPECT_EQ(s.Surface.Hits[i].Y, want[i].Y) << i;
  }
}

TEST(SurfaceWidget, DoubleClickCarriesTheDoubleMark) {
  TShown s;
  QTest::mouseClick(&s.Widget, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  QTest::mouseDClick(&s.Widget, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  std::vector<uint8_t> downs;
  for (const auto& h : s.Surface.Hits)
    if (h.Kind == 'd') downs.push_back(h.Shift);
  ASSERT_GE(downs.size(), 2u);
  EXPECT_FALSE(TShiftState::FromBits(downs.front()).Contains(ssDouble));
  EXPECT_TRUE(TShiftState::FromBits(downs.back()).Contains(ssDouble));
  EXPECT_TRUE(TShiftState::FromBits(downs.back()).Contains(ssLeft));
}

TEST(SurfaceWidget, PartialPaintShowsOnlyTheDirtyRectangle) {
  TShown s;
  s.Widget.repaint();
  s.Widget.Shown.clear();
  s.Surface.MarkDirty({2, 1, 4, 3});
  s.Surface.MarkDirty({2, 1, 4, 3});  // the union with the last mark is itself
  s.Surface.SetPartialPaint(true);
  s.Surface.Repaint();
  ASSERT_EQ(s.Widget.Shown.size(), 1u);
  EXPECT_EQ(s.Widget.Shown[0].first, (TRect{2, 1, 4, 3}));
  EXPECT_EQ(s.Widget.Shown[0].second, (TRect{4, 2, 8, 6}));
  EXPECT_FALSE(s.Surface.PartialPaint());
  const QRect painted = s.Widget.LastPaintedRect();
  EXPECT_TRUE(painted.contains(QRect(4, 2, 4, 4)));
  EXPECT_LT(painted.width() * painted.height(), 2 * kW * 2 * kH / 2) << "a small part of the widget";
  // A full repaint shows the whole bitmap again.
  s.Widget.repaint();
  EXPECT_EQ(s.Widget.Shown.back().first, (TRect{0, 0, kW, kH}));
}

TEST(SurfaceWidget, PartialPaintOnAHiddenWidgetBecomesAWholeOne) {
  TTestSurface surface;
  TRecordingWidget widget;
  widget.SetSurface(&surface);
  widget.resize(2 * kW, 2 * kH);
  surface.MarkDirty({0, 0, 1, 1});
  surface.SetPartialPaint(true);
  surface.Repaint();
  EXPECT_FALSE(surface.PartialPaint());
  widget.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !widget.Shown.empty(); }));
  EXPECT_EQ(widget.Shown.back().first, (TRect{0, 0, kW, kH}));
  widget.SetSurface(nullptr);
}

TEST(SurfaceWidget, CursorAndPopupRequestsArrive) {
  TShown s;
  s.Surface.Host().SetCursor(-11);
  EXPECT_EQ(s.Widget.CurrentCursorId(), -11);
  EXPECT_EQ(s.Widget.cursor().shape(), Qt::WaitCursor);
  s.Surface.Host().SetCursor(0);
  EXPECT_EQ(s.Widget.cursor().shape(), Qt::ArrowCursor);

  QSignalSpy spy(&s.Widget, &SurfaceWidget::popupMenuRequested);
  s.Surface.Host().PopupMenu("ViewPopup", {3, 4});
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy[0][0].toString(), QString("ViewPopup"));
  EXPECT_EQ(spy[0][1].toPoint(), s.Widget.mapToGlobal(QPoint(3, 4)));
}

TEST(SurfaceWidget, FreeStandingAutoSizedSurfaceSetsTheWidgetsSize) {
  TTestSurface surface;
  SurfaceWidget widget;
  widget.SetAligned(false);
  surface.SetAutoSizeZoomPctg(300);
  surface.SetAutoSize(true);
  widget.SetSurface(&surface);
  EXPECT_EQ(widget.size(), QSize(3 * kW, 3 * kH));
  EXPECT_EQ(widget.sizeHint(), QSize(3 * kW, 3 * kH));
  // A widget its parent lays out keeps the size it is given.
  SurfaceWidget aligned;
  aligned.resize(50, 40);
  TTestSurface other;
  other.SetAutoSize(true);
  aligned.SetSurface(&other);
  EXPECT_EQ(aligned.size(), QSize(50, 40));
  widget.SetSurface(nullptr);
  aligned.SetSurface(nullptr);
}
