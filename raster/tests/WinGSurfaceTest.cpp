#include "raster/WinGSurface.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// Remembers what the surface asked of its window.
class TRecordingHost : public TOffscreenSurfaceHost {
public:
  struct TShown {
    TRect Source, Dest;
    int BitmapWidth, BitmapHeight;
  };

  void Invalidate() override { ++Invalidations; }
  void ShowBitmap(const TWinGBitmap& bitmap, const TRect& source, const TRect& dest) override {
    Shown.push_back({source, dest, bitmap.GetWidth(), bitmap.GetHeight()});
    if (Log) Log->push_back("show");
  }

  int Invalidations = 0;
  std::vector<TShown> Shown;
  std::vector<std::string>* Log = nullptr;
};

// A surface on a recording host whose hit events are logged as text.
struct TSurfaceRig {
  TRecordingHost Host;
  TWinGSurface Surface{&Host};
  std::vector<std::string> Hits;
  bool CaptureOnHit = true;
  bool ReleaseOnMove = false;

  TSurfaceRig() {
    Surface.OnHitSurface = [this](TWinGSurface&, TShiftState, int x, int y, bool& capture) {
      Hits.push_back("hit " + std::to_string(x) + "," + std::to_string(y));
      capture = CaptureOnHit;
    };
    Surface.OnHitMove = [this](TWinGSurface&, TShiftState, int x1, int y1, int x2, int y2, bool& release) {
      Hits.push_back("move " + std::to_string(x1) + "," + std::to_string(y1) + "->" + std::to_string(x2) + "," +
                     std::to_string(y2));
      release = ReleaseOnMove;
    };
    Surface.OnHitRelease = [this](TWinGSurface&, TShiftState, int x, int y) {
      Hits.push_back("release " + std::to_string(x) + "," + std::to_string(y));
    };
  }

  // A bfNone surface with a bitmap of w x h shown on a control of cw x ch.
  void Setup(int w, int h, int cw, int ch) {
    Surface.SetBitmapWidth(w);
    Surface.SetBitmapHeight(h);
    Surface.SetBounds(0, 0, cw, ch);
    Surface.Paint();
  }
};

TPoint BitmapSize(const TWinGSurface& s) { return {s.Bitmap().GetWidth(), s.Bitmap().GetHeight()}; }

}  // namespace

// ---- bitmap size -------------------------------------------------------------------

TEST(WinGSurface, GrowRoundsTheWidthUpAndMapsTheRightEdgeInside) {
  TSurfaceRig rig;
  rig.Surface.SetBitmapFitting(bfGrow);
  rig.Surface.SetBounds(0, 0, 101, 50);
  rig.Surface.Paint();
  EXPECT_EQ(BitmapSize(rig.Surface), (TPoint{104, 50}));

  EXPECT_EQ(rig.Surface.ControlToBitmap(0, 0), (TPoint{0, 0}));
  const TPoint corner = rig.Surface.ControlToBitmap(100, 49);
  EXPECT_LE(corner.X, 103);
  EXPECT_EQ(corner, (TPoint{102, 49}));
  // The full picture goes to the whole control.
  ASSERT_EQ(rig.Host.Shown.size(), 1u);
  EXPECT_EQ(rig.Host.Shown[0].Source, (TRect{0, 0, 104, 50}));
  EXPECT_EQ(rig.Host.Shown[0].Dest, (TRect{0, 0, 101, 50}));
}

TEST(WinGSurface, FitTakesTheControlsShapeWithinTheRequestedSize) {
  TWinGSurface s;
  s.SetBitmapWidth(160);
  s.SetBitmapHeight(100);
  s.SetBitmapFitting(bfFit);

  s.SetBounds(0, 0, 320, 100);  // wider than the request: full width, fewer rows
  EXPECT_EQ(s.WantedBitmapSize(), (TPoint{160, 50}));
  s.SetBounds(0, 0, 100, 200);  // taller: full height, width 50 rounded up to 52
  EXPECT_EQ(s.WantedBitmapSize(), (TPoint{52, 100}));
  s.SetBounds(0, 0, 320, 200);  // same shape: the request itself
  EXPECT_EQ(s.WantedBitmapSize(), (TPoint{160, 100}));
  // A control without area shows nothing and must not divide by zero.
  s.SetBounds(0, 0, 0, 0);
  EXPECT_EQ(s.WantedBitmapSize(), (TPoint{160, 100}));
  s.SetBounds(0, 0, 300, 0);
  EXPECT_EQ(s.WantedBitmapSize(), (TPoint{160, 100}));

  s.SetBounds(0, 0, 320, 100);
  s.Paint();
  EXPECT_EQ(BitmapSize(s), (TPoint{160, 50}));
}

TEST(WinGSurface, NoFittingUsesTheRequestWithTheWidthRoundedUp) {
  TWinGSurface s;
  s.SetBitmapWidth(10);
  s.SetBitmapHeight(7);
  s.SetBounds(0, 0, 500, 500);
  s.Paint();
  EXPECT_EQ(BitmapSize(s), (TPoint{12, 7}));
  EXPECT_EQ(s.BitmapWidth(), 10);
}

TEST(WinGSurface, HugeControlsGetTheLargestBitmapOfTheirShape) {
  TSurfaceRig rig;
  rig.Surface.SetBitmapFitting(bfGrow);
  rig.Surface.SetBounds(0, 0, 3000, 5000);
  ASSERT_NO_THROW(rig.Surface.Paint());
  EXPECT_EQ(BitmapSize(rig.Surface), (TPoint{616, 1024}));  // 3000 * 1024 / 5000 = 614, rounded up
  // Stretched over the whole control; the bottom row is still reachable.
  EXPECT_EQ(rig.Host.Shown.back().Dest, (TRect{0, 0, 3000, 5000}));
  EXPECT_EQ(rig.Surface.ControlToBitmap(2999, 4999), (TPoint{615, 1023}));

  rig.Surface.SetBounds(0, 0, 100000, 10);
  ASSERT_NO_THROW(rig.Surface.Paint());
  EXPECT_EQ(BitmapSize(rig.Surface), (TPoint{TWinGBitmap::kMaxWidth, 3}));

  // Negative sizes from a confused window are taken as empty.
  rig.Surface.SetBounds(0, 0, -5, -5);
  ASSERT_NO_THROW(rig.Surface.Paint());
  EXPECT_EQ(BitmapSize(rig.Surface), (TPoint{0, 0}));
}

TEST(WinGSurface, RequestsTheBitmapCannotHoldAreRefused) {
  TWinGSurface s;
  s.SetBitmapHeight(1024);
  s.SetBitmapWidth(TWinGBitmap::kMaxWidth);
  EXPECT_THROW(s.SetBitmapHeight(1025), EWinGError);
  EXPECT_THROW(s.SetBitmapHeight(-1), EWinGError);
  EXPECT_THROW(s.SetBitmapWidth(TWinGBitmap::kMaxWidth + 1), EWinGError);
  EXPECT_EQ(s.BitmapHeight(), 1024);
  EXPECT_EQ(s.BitmapWidth(), TWinGBitmap::kMaxWidth);
  s.SetBounds(0, 0, 10, 10);
  EXPECT_NO_THROW(s.Paint());
  EXPECT_EQ(BitmapSize(s), (TPoint{TWinGBitmap::kMaxWidth, 1024}));
}

// ---- AutoSize ------------------------------------------------------------------------

TEST(WinGSurface, AutoSizeFollowsBitmapSizeAndZoomUnlessAligned) {
  TSurfaceRig rig;
  TWinGSurface& s = rig.Surface;
  s.SetBounds(7, 9, 10, 10);
  s.SetBitmapWidth(64);
  s.SetBitmapHeight(32);
  s.SetAutoSizeZoomPctg(200);
  EXPECT_EQ(s.BoundsRect(), (TRect{7, 9, 17, 19}));  // not yet on

  s.SetAutoSize(true);
  EXPECT_EQ(s.BoundsRect(), (TRect{7, 9, 7 + 128, 9 + 64}));
  EXPECT_EQ(s.LastRect(), (TRect{0, 0, 128, 64}));
  // A resize from the window is overruled; zoom changes apply at once.
  s.SetBounds(1, 2, 500, 500);
  EXPECT_EQ(s.BoundsRect(), (TRect{1, 2, 129, 66}));
  s.SetAutoSizeZoomPctg(150);
  EXPECT_EQ(s.BoundsRect(), (TRect{1, 2, 97, 50}));  // 64 * 1.5 = 96, 32 * 1.5 = 48

  // With the zoom the bitmap pixel under the right edge is the last column.
  s.SetAutoSizeZoomPctg(200);
  s.Paint();
  EXPECT_EQ(BitmapSize(s), (TPoint{64, 32}));
  EXPECT_EQ(s.ControlToBitmap(127, 63), (TPoint{63, 31}));

  // Laid out by its parent, or fitted: the window's size stands.
  rig.Host.Aligned = true;
  s.SetBounds(0, 0, 300, 200);
  EXPECT_EQ(s.BoundsRect(), (TRect{0, 0, 300, 200}));
  rig.Host.Aligned = false;
  s.SetBitmapFitting(bfGrow);
  s.SetBounds(0, 0, 300, 200);
  EXPECT_EQ(s.BoundsRect(), (TRect{0, 0, 300, 200}));
}

TEST(WinGSurface, AutoSizeWithAnAbsurdZoomStaysInRange) {
  TWinGSurface s;
  s.SetBitmapWidth(TWinGBitmap::kMaxWidth);
  s.SetBitmapHeight(1024);
  s.SetAutoSize(true);
  s.SetAutoSizeZoomPctg(INT_MAX);
  EXPECT_EQ(s.Width(), INT_MAX);
  EXPECT_EQ(s.Height(), INT_MAX);
  s.SetAutoSizeZoomPctg(-100);
  EXPECT_EQ(s.Width(), 0);
  EXPECT_EQ(s.Height(), 0);
  EXPECT_NO_THROW(s.Paint());
}

// ---- mouse ------------------------------------------------------------------------------

TEST(WinGSurface, CapturedDragReportsEachStepAndReleasesAtTheLastReportedPoint) {
  TSurfaceRig rig;
  rig.Setup(100, 50, 200, 100);  // two control pixels per bitmap pixel
  std::vector<std::string> plain;
  rig.Surface.OnMouseDown = [&](TWinGSurface&, TMouseButton, TShiftState, int x, int y) {
    plain.push_back("down " + std::to_string(x) + "," + std::to_string(y));
  };

  rig.Surface.MouseDown(mbLeft, ssLeft, 20, 41);
  EXPECT_TRUE(rig.Surface.Capturing());
  rig.Surface.MouseMove(ssLeft, 30, 50);
  rig.Surface.MouseMove(ssLeft | ssShift, 61, 99);
  rig.Surface.MouseUp(mbLeft, TShiftState(), 190, 10);
  EXPECT_FALSE(rig.Surface.Capturing());
  EXPECT_EQ(rig.Hits, (std::vector<std::string>{"hit 10,20", "move 10,20->15,25", "move 15,25->30,49",
                                                "release 30,49"}));
  EXPECT_EQ(plain, (std::vector<std::string>{"down 20,41"}));  // control coordinates

  // Nothing is captured afterwards.
  rig.Hits.clear();
  rig.Surface.MouseMove(ssLeft, 10, 10);
  rig.Surface.MouseUp(mbLeft, TShiftState(), 10, 10);
  EXPECT_TRUE(rig.Hits.empty());
}

TEST(WinGSurface, MovesWithoutButtonsEndTheCaptureWhereThePointerIs) {
  TSurfaceRig rig;
  rig.Setup(100, 50, 100, 50);
  rig.Surface.MouseDown(mbRight, ssRight, 5, 5);
  rig.Surface.MouseMove(ssShift, 40, 30);  // a key, but no button
  EXPECT_FALSE(rig.Surface.Capturing());
  rig.Surface.MouseUp(mbRight, TShiftState(), 40, 30);  // no second release
  EXPECT_EQ(rig.Hits, (std::vector<std::string>{"hit 5,5", "release 40,30"}));

  // Any held button, or the double-click mark, keeps it going.
  for (TShiftFlag held : {ssMiddle, ssRight, ssDouble}) {
    rig.Hits.clear();
    rig.Surface.MouseDown(mbLeft, held, 1, 1);
    rig.Surface.MouseMove(held, 2, 2);
    EXPECT_TRUE(rig.Surface.Capturing()) << int(held);
    rig.Surface.MouseUp(mbLeft, TShiftState(), 3, 3);
    EXPECT_EQ(rig.Hits, (std::vector<std::string>{"hit 1,1", "move 1,1->2,2", "release 2,2"})) << int(held);
  }
}

TEST(WinGSurface, HandlersDecideAboutCapture) {
  TSurfaceRig rig;
  rig.Setup(100, 50, 100, 50);
  // Not asked for: moves and the release go unreported.
  rig.CaptureOnHit = false;
  rig.Surface.MouseDown(mbLeft, ssLeft, 5, 6);
  rig.Surface.MouseMove(ssLeft, 7, 8);
  rig.Surface.MouseUp(mbLeft, TShiftState(), 7, 8);
  EXPECT_EQ(rig.Hits, (std::vector<std::string>{"hit 5,6"}));

  // Given up during a move: released at that move's point.
  rig.Hits.clear();
  rig.CaptureOnHit = true;
  rig.ReleaseOnMove = true;
  rig.Surface.MouseDown(mbLeft, ssLeft, 5, 6);
  rig.Surface.MouseMove(ssLeft, 7, 8);
  rig.Surface.MouseMove(ssLeft, 9, 9);
  rig.Surface.MouseUp(mbLeft, TShiftState(), 9, 9);
  EXPECT_EQ(rig.Hits, (std::vector<std::string>{"hit 5,6", "move 5,6->7,8", "release 7,8"}));
}

// ---- painting ----------------------------------------------------------------------------

TEST(WinGSurface, PaintClearsDrawsShowsThenAdorns) {
  TSurfaceRig rig;
  std::vector<std::string> log;
  rig.Host.Log = &log;
  TWinGSurface& s = rig.Surface;
  s.Bitmap().SetColorEntry(5, MakeRGBQuad(250, 0, 0));
  s.SetBackgroundColor(MakeColorRef(255, 10, 0));  // nearest colour: entry 5
  bool allBackground = false;
  s.OnPaintSurface = [&](TWinGSurface&, TWinGBitmap& surf) {
    log.push_back("surface");
    allBackground = surf.GetWidth() == 8 && surf.GetHeight() == 3;
    for (int y = 0; y < surf.GetHeight(); ++y)
      for (int x = 0; x < surf.GetWidth(); ++x) allBackground = allBackground && surf.ScanLine(y)[x] == 5;
    surf.ScanLine(0)[0] = 9;
  };
  s.OnPaintAdornments = [&](TWinGSurface&, TWinGBitmap&) { log.push_back("adornments"); };
  rig.Setup(8, 3, 16, 6);
  EXPECT_TRUE(allBackground);
  EXPECT_EQ(log, (std::vector<std::string>{"surface", "show", "adornments"}));

  // Every paint starts from a clean bitmap; a palette-index colour is used as is.
  s.SetBackgroundColor(0x01000007);
  s.OnPaintSurface = [&](TWinGSurface&, TWinGBitmap& surf) { allBackground = surf.ScanLine(0)[0] == 7; };
  s.Paint();
  EXPECT_TRUE(allBackground);
}

TEST(WinGSurface, MarkDirtyJoinsThePreviousMark) {
  TWinGSurface s;
  s.SetBounds(0, 0, 50, 40);
  EXPECT_EQ(s.LastRect(), (TRect{0, 0, 50, 40}));  // a resize marks everything
  s.MarkDirty({10, 10, 20, 20});
  EXPECT_EQ(s.DirtyRect(), (TRect{0, 0, 50, 40}));
  s.MarkDirty({30, 5, 35, 12});
  EXPECT_EQ(s.DirtyRect(), (TRect{10, 5, 35, 20}));
  EXPECT_EQ(s.LastRect(), (TRect{30, 5, 35, 12}));
  // An empty mark adds nothing but is remembered as the last one.
  s.MarkDirty({3, 3, 3, 9});
  EXPECT_EQ(s.DirtyRect(), (TRect{30, 5, 35, 12}));
  s.MarkDirty({1, 1, 2, 2});
  EXPECT_EQ(s.DirtyRect(), (TRect{1, 1, 2, 2}));
}

TEST(WinGSurface, PartialPaintShowsOnlyTheDirtyPartScaledToTheControl) {
  TSurfaceRig rig;
  TWinGSurface& s = rig.Surface;
  rig.Setup(40, 30, 100, 45);
  s.MarkDirty({10, 10, 12, 12});
  s.MarkDirty({15, 20, 21, 29});
  ASSERT_EQ(s.DirtyRect(), (TRect{10, 10, 21, 29}));
  s.SetPartialPaint(true);
  s.Paint();
  EXPECT_FALSE(s.PartialPaint());
  ASSERT_EQ(rig.Host.Shown.size(), 2u);
  EXPECT_EQ(rig.Host.Shown[1].Source, (TRect{10, 10, 21, 29}));
  // 10*100/40, 10*45/30, 21*100/40 = 52.5, 29*45/30 = 43.5: truncated.
  EXPECT_EQ(rig.Host.Shown[1].Dest, (TRect{25, 15, 52, 43}));

  // The next paint is whole again.
  s.Paint();
  EXPECT_EQ(rig.Host.Shown[2].Source, (TRect{0, 0, 40, 30}));
  EXPECT_EQ(rig.Host.Shown[2].Dest, (TRect{0, 0, 100, 45}));

  // A mark reaching past the picture is cut to it.
  s.MarkDirty({-5, 25, 50, 40});
  s.SetPartialPaint(true);
  s.Paint();
  EXPECT_EQ(rig.Host.Shown[3].Source, (TRect{0, 20, 40, 30}));
  EXPECT_EQ(rig.Host.Shown[3].Dest, (TRect{0, 30, 100, 45}));
}

TEST(WinGSurface, PaintTimeBridgesAWrappedTickCount) {
  TWinGSurface s;
  std::vector<uint32_t> ticks{0xFFFFFFF0u, 0x10u};
  size_t next = 0;
  s.TickSource = [&] { return ticks[next++ % ticks.size()]; };
  s.SetBounds(0, 0, 4, 4);
  s.Paint();
  EXPECT_EQ(s.PaintStart(), 0xFFFFFFF0u);
  EXPECT_DOUBLE_EQ(s.PaintTime(), 32.0);
}

TEST(WinGSurface, FittingChangesRepaintAndHostsCanBeSwapped) {
  TRecordingHost host;
  TWinGSurface s;
  s.SetBounds(3, 4, 20, 10);
  s.SetHost(&host);
  s.SetBitmapFitting(bfGrow);
  EXPECT_EQ(host.Invalidations, 1);
  host.SetBounds(0, 0, 8, 8);
  // Detached again, the surface keeps the size the window had.
  s.SetHost(nullptr);
  EXPECT_EQ(s.BoundsRect(), (TRect{0, 0, 8, 8}));
  s.Paint();
  EXPECT_EQ(BitmapSize(s), (TPoint{8, 8}));
  EXPECT_TRUE(host.Shown.empty());
}
