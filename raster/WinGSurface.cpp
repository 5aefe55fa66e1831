#include "raster/WinGSurface.h"

#include <algorithm>
#include <climits>

#include "core/Format.h"

TRect UnionRect(const TRect& a, const TRect& b) {
  const bool aEmpty = a.Left >= a.Right || a.Top >= a.Bottom;
  const bool bEmpty = b.Left >= b.Right || b.Top >= b.Bottom;
  if (aEmpty && bEmpty) return {};
  if (aEmpty) return b;
  if (bEmpty) return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

namespace {

int64_t RoundUp4(int64_t v) { return (v + 3) & ~int64_t(3); }

int ClampToInt(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, 0, INT_MAX)); }

// A control far larger than the bitmap may be (over 1024 rows, say) gets
// the largest bitmap of the same shape that fits; the paint stretches it
// over the control, so the picture only loses resolution.
TPoint FitWithinLimits(int64_t w, int64_t h) {
  constexpr int64_t maxW = TWinGBitmap::kMaxWidth;
  constexpr int64_t maxH = TWinGBitmap::kMaxHeight;
  w = std::max<int64_t>(w, 0);
  h = std::max<int64_t>(h, 0);
  if (h > maxH) {
    w = w * maxH / h;
    h = maxH;
  }
  if (w > maxW) {
    h = h * maxW / w;
    w = maxW;
  }
  w = std::min(RoundUp4(w), maxW);
  return {static_cast<int>(w), static_cast<int>(h)};
}

}  // namespace

void TOffscreenSurfaceHost::SetBounds(int left, int top, int width, int height) {
  // Right and bottom saturate rather than overflow for absurd sizes.
  Bounds = {left, top, static_cast<int>(std::clamp<int64_t>(int64_t(left) + width, INT_MIN, INT_MAX)),
            static_cast<int>(std::clamp<int64_t>(int64_t(top) + height, INT_MIN, INT_MAX))};
}

// ---- construction and host --------------------------------------------------------

TWinGSurface::TWinGSurface(TSurfaceHost* host) : Host_(host ? host : &OwnHost_) {}

TWinGSurface::~TWinGSurface() = default;

void TWinGSurface::SetHost(TSurfaceHost* host) {
  if (!host) {
    // Off screen again: keep the size the window had.
    if (Host_ != &OwnHost_) OwnHost_.Bounds = Host_->BoundsRect();
    host = &OwnHost_;
  }
  Host_ = host;
}

// ---- properties ---------------------------------------------------------------------

void TWinGSurface::SetAutoSize(bool value) {
  AutoSize_ = value;
  if (value) ResetBounds();
}

void TWinGSurface::SetAutoSizeZoomPctg(int value) {
  AutoSizeZoomPctg_ = value;
  ResetBounds();
}

void TWinGSurface::SetBitmapFitting(TBitmapFitting value) {
  BitmapFitting_ = value;
  Invalidate();
}

void TWinGSurface::SetBitmapHeight(int value) {
  // Refused here rather than at the next paint, where the error would come
  // from a window's paint handler long after the mistake.
  if (value < 0 || value > TWinGBitmap::kMaxHeight)
    throw EWinGError(Format("Bitmap height %d is not supported (at most %d)", value, TWinGBitmap::kMaxHeight));
  BitmapHeight_ = value;
  ResetBounds();
}

void TWinGSurface::SetBitmapWidth(int value) {
  if (value < 0 || value > TWinGBitmap::kMaxWidth)
    throw EWinGError(Format("Bitmap width %d is not supported (at most %d)", value, TWinGBitmap::kMaxWidth));
  BitmapWidth_ = value;
  ResetBounds();
}

// ---- geometry -------------------------------------------------------------------------

void TWinGSurface::SetSurfaceBounds(int left, int top, int width, int height) {
  if (AutoSize_ && BitmapFitting_ == bfNone && !Host_->IsAligned()) {
    width = ClampToInt(int64_t(BitmapWidth_) * AutoSizeZoomPctg_ / 100);
    height = ClampToInt(int64_t(BitmapHeight_) * AutoSizeZoomPctg_ / 100);
  }
  Host_->SetBounds(left, top, width, height);
  LastRect_ = {0, 0, Width(), Height()};
}

TPoint TWinGSurface::WantedBitmapSize() const {
  const int64_t cw = std::max(Width(), 0);
  const int64_t ch = std::max(Height(), 0);
  const int64_t w0 = RoundUp4(BitmapWidth_);
  const int64_t h0 = BitmapHeight_;
  switch (BitmapFitting_) {
    case bfFit: {
      // A control without area shows nothing; the requested size stands.
      if (cw == 0 || ch == 0) return FitWithinLimits(w0, h0);
      const int64_t aw = RoundUp4(cw * h0 / ch);
      const int64_t bh = ch * w0 / cw;
      if (aw * h0 <= w0 * bh) return FitWithinLimits(aw, h0);
      return FitWithinLimits(w0, bh);
    }
    case bfGrow:
      return FitWithinLimits(RoundUp4(cw), ch);
    case bfNone:
    default:
      return FitWithinLimits(w0, h0);
  }
}

TPoint TWinGSurface::ControlToBitmap(int x, int y) const {
  const int64_t cw = Width();
  const int64_t ch = Height();
  const int bx = cw > 0 ? static_cast<int>(int64_t(Bitmap_.GetWidth()) * x / cw) : 0;
  const int by = ch > 0 ? static_cast<int>(int64_t(Bitmap_.GetHeight()) * y / ch) : 0;
  return {bx, by};
}

void TWinGSurface::SizeBitmap() {
  const TPoint size = WantedBitmapSize();
  if (Bitmap_.GetWidth() != size.X) Bitmap_.SetWidth(size.X);
  if (Bitmap_.GetHeight() != size.Y) Bitmap_.SetHeight(size.Y);
}

// ---- painting ---------------------------------------------------------------------------

void TWinGSurface::MarkDirty(const TRect& rect) {
  DirtyRect_ = UnionRect(LastRect_, rect);
  LastRect_ = rect;
}

void TWinGSurface::Paint() {
  auto clock = [this] { return TickSource ? TickSource() : SteadyTickCount(); };
  PaintStart_ = clock();
  SizeBitmap();
  const int bw = Bitmap_.GetWidth();
  const int bh = Bitmap_.GetHeight();
  TWinGCanvas& canvas = Bitmap_.Canvas();
  canvas.BrushColor = static_cast<uint8_t>(canvas.ColorIndex(BackgroundColor_));
  canvas.FillRect({0, 0, bw, bh});

  PaintSurface(Bitmap_);

  const TRect client = ClientRect();
  if (!PartialPaint_) {
    Host_->ShowBitmap(Bitmap_, {0, 0, bw, bh}, client);
  } else {
    // Only the part of the dirty rectangle that lies on the bitmap can be
    // shown; the rest would ask the host to read outside the picture.
    TRect source{std::max(DirtyRect_.Left, 0), std::max(DirtyRect_.Top, 0), std::min(DirtyRect_.Right, bw),
                 std::min(DirtyRect_.Bottom, bh)};
    if (source.Left >= source.Right || source.Top >= source.Bottom) source = {};
    TRect dest;
    if (bw > 0 && bh > 0) {
      const int64_t cw = client.Width(), ch = client.Height();
      dest = {static_cast<int>(source.Left * cw / bw), static_cast<int>(source.Top * ch / bh),
              static_cast<int>(source.Right * cw / bw), static_cast<int>(source.Bottom * ch / bh)};
    }
    Host_->ShowBitmap(Bitmap_, source, dest);
    PartialPaint_ = false;
  }

  PaintAdornments(Bitmap_);
  PaintTime_ = TicksBetween(PaintStart_, clock());
}

void TWinGSurface::PaintAdornments(TWinGBitmap& surf) {
  if (OnPaintAdornments) OnPaintAdornments(*this, surf);
}

void TWinGSurface::PaintSurface(TWinGBitmap& surf) {
  if (OnPaintSurface) OnPaintSurface(*this, surf);
}

// ---- mouse ---------------------------------------------------------------------------------

void TWinGSurface::HitMove(TShiftState shift, int x1, int y1, int x2, int y2, bool& releaseCapture) {
  if (OnHitMove) OnHitMove(*this, shift, x1, y1, x2, y2, releaseCapture);
}

void TWinGSurface::HitRelease(TShiftState shift, int x, int y) {
  if (OnHitRelease) OnHitRelease(*this, shift, x, y);
}

void TWinGSurface::HitSurface(TShiftState shift, int x, int y, bool& captureMove) {
  if (OnHitSurface) OnHitSurface(*this, shift, x, y, captureMove);
}

void TWinGSurface::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
  const TPoint p = ControlToBitmap(x, y);
  LastHitX_ = p.X;
  LastHitY_ = p.Y;
  Capturing_ = false;
  HitSurface(shift, p.X, p.Y, Capturing_);
}

void TWinGSurface::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(*this, shift, x, y);
  if (!Capturing_) return;
  const TPoint p = ControlToBitmap(x, y);
  if (!shift.AnyButton()) {
    // The button went up where we could not see it (outside the window,
    // say): end the drag where the pointer is now.
    Capturing_ = false;
    HitRelease(shift, p.X, p.Y);
    return;
  }
  bool releaseCapture = false;
  HitMove(shift, LastHitX_, LastHitY_, p.X, p.Y, releaseCapture);
  LastHitX_ = p.X;
  LastHitY_ = p.Y;
  if (releaseCapture) {
    Capturing_ = false;
    HitRelease(shift, LastHitX_, LastHitY_);
  }
}

void TWinGSurface::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
  if (!Capturing_) return;
  Capturing_ = false;
  // The release reports the last point the drag reported, so a handler
  // sees no jump between its last move and the end.
  HitRelease(shift, LastHitX_, LastHitY_);
}
