#pragma once
// The logic of a drawing surface: a control that owns one 8-bit bitmap,
// sizes it from its own size, repaints it through virtual operations and
// turns mouse input into bitmap coordinates with optional capture. It knows
// nothing of the window system: the window it lives in is reached through
// TSurfaceHost, which a toolkit adapter implements (and a test can record).

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "core/TickCount.h"
#include "raster/WinGBitmap.h"
#include "raster/WinGCanvas.h"

// ---- input state ---------------------------------------------------------------

enum TShiftFlag : uint8_t {
  ssShift = 0x01,
  ssAlt = 0x02,
  ssCtrl = 0x04,
  ssLeft = 0x08,
  ssRight = 0x10,
  ssMiddle = 0x20,
  ssDouble = 0x40,
};

// The keys and buttons held during a mouse event.
class TShiftState {
public:
  constexpr TShiftState() = default;
  // A single flag converts, so `ssLeft | ssShift` and `ssLeft` both serve as states.
  constexpr TShiftState(TShiftFlag flag) : Bits_(flag) {}

  constexpr bool Contains(TShiftFlag flag) const { return (Bits_ & flag) != 0; }
  // Any mouse button, or the double-click mark that a held button carries.
  constexpr bool AnyButton() const { return (Bits_ & (ssLeft | ssRight | ssMiddle | ssDouble)) != 0; }
  constexpr uint8_t Bits() const { return Bits_; }

  constexpr TShiftState operator|(TShiftState other) const { return FromBits(Bits_ | other.Bits_); }
  constexpr TShiftState& operator|=(TShiftState other) {
    Bits_ = static_cast<uint8_t>(Bits_ | other.Bits_);
    return *this;
  }
  constexpr TShiftState Without(TShiftFlag flag) const { return FromBits(Bits_ & ~flag); }
  constexpr bool operator==(const TShiftState&) const = default;

  static constexpr TShiftState FromBits(unsigned bits) {
    TShiftState s;
    s.Bits_ = static_cast<uint8_t>(bits & 0x7F);
    return s;
  }

private:
  uint8_t Bits_ = 0;
};

constexpr TShiftState operator|(TShiftFlag a, TShiftFlag b) { return TShiftState(a) | TShiftState(b); }

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// A screen cursor identifier: 0 the default cursor, negative numbers the
// system's cursors, positive numbers the program's own cursor set.
using TCursorId = int;

// ---- the window side -----------------------------------------------------------

// What a surface asks of the window it lives in. Coordinates are in the
// control's own pixels, (0, 0) at its top left corner.
class TSurfaceHost {
public:
  virtual ~TSurfaceHost() = default;

  // Schedule a repaint.
  virtual void Invalidate() = 0;
  // Repaint at once (the surface's Paint runs before this returns).
  virtual void Repaint() = 0;
  virtual void SetCursor(TCursorId cursor) = 0;
  // Pop up the named context menu with its corner at `at`.
  virtual void PopupMenu(std::string_view menu, TPoint at) = 0;
  // The control's place in its parent: Left, Top and its size.
  virtual TRect BoundsRect() const = 0;
  // Move and resize the control. A host that cannot (a control laid out by
  // its parent) keeps its size; BoundsRect tells what it has.
  virtual void SetBounds(int left, int top, int width, int height) = 0;
  // True when the parent lays the control out (it fills an edge or the
  // whole client area), so the control cannot choose its own size.
  virtual bool IsAligned() const = 0;
  // Show `source` of the bitmap stretched into `dest` of the control.
  virtual void ShowBitmap(const TWinGBitmap& bitmap, const TRect& source, const TRect& dest) = 0;
};

// A host without a window: it keeps the bounds it is given and shows
// nothing. Surfaces that draw off screen (a picture written by the command
// line) use it, and test hosts build on it.
class TOffscreenSurfaceHost : public TSurfaceHost {
public:
  void Invalidate() override {}
  void Repaint() override {}
  void SetCursor(TCursorId) override {}
  void PopupMenu(std::string_view, TPoint) override {}
  TRect BoundsRect() const override { return Bounds; }
  void SetBounds(int left, int top, int width, int height) override;
  bool IsAligned() const override { return Aligned; }
  void ShowBitmap(const TWinGBitmap&, const TRect&, const TRect&) override {}

  TRect Bounds;
  bool Aligned = false;
};

// ---- the surface -----------------------------------------------------------------

enum TBitmapFitting : uint8_t {
  bfNone,  // the bitmap has the requested size (width rounded up to 4)
  bfFit,   // the control's aspect ratio within the requested size
  bfGrow,  // one bitmap pixel per control pixel (width rounded up to 4)
};

// The union of two rectangles; an empty one (no area) does not count.
TRect UnionRect(const TRect& a, const TRect& b);

class TWinGSurface {
public:
  using THitMoveEvent = std::function<void(TWinGSurface& sender, TShiftState shift, int x1, int y1, int x2, int y2,
                                           bool& releaseCapture)>;
  using THitReleaseEvent = std::function<void(TWinGSurface& sender, TShiftState shift, int x, int y)>;
  using THitSurfaceEvent =
      std::function<void(TWinGSurface& sender, TShiftState shift, int x, int y, bool& captureMove)>;
  using TPaintSurfaceEvent = std::function<void(TWinGSurface& sender, TWinGBitmap& surf)>;
  using TMouseEvent =
      std::function<void(TWinGSurface& sender, TMouseButton button, TShiftState shift, int x, int y)>;
  using TMouseMoveEvent = std::function<void(TWinGSurface& sender, TShiftState shift, int x, int y)>;

  // Without a host the surface draws off screen (TOffscreenSurfaceHost).
  explicit TWinGSurface(TSurfaceHost* host = nullptr);
  virtual ~TWinGSurface();
  TWinGSurface(const TWinGSurface&) = delete;
  TWinGSurface& operator=(const TWinGSurface&) = delete;

  // Attaches the window (null: back to drawing off screen). The host must
  // outlive the surface or be detached first.
  void SetHost(TSurfaceHost* host);
  TSurfaceHost& Host() const { return *Host_; }

  TWinGBitmap& Bitmap() { return Bitmap_; }
  const TWinGBitmap& Bitmap() const { return Bitmap_; }
  const TPaletteHandle& GetPalette() const { return Bitmap_.GetPalette(); }
  void SetPalette(TPaletteHandle palette) { Bitmap_.SetPalette(std::move(palette)); }

  // ---- properties
  bool AutoSize() const { return AutoSize_; }
  void SetAutoSize(bool value);
  int AutoSizeZoomPctg() const { return AutoSizeZoomPctg_; }
  void SetAutoSizeZoomPctg(int value);
  TColorRef BackgroundColor() const { return BackgroundColor_; }
  void SetBackgroundColor(TColorRef value) { BackgroundColor_ = value; }
  TBitmapFitting BitmapFitting() const { return BitmapFitting_; }
  void SetBitmapFitting(TBitmapFitting value);
  int BitmapHeight() const { return BitmapHeight_; }
  // Heights outside 0..TWinGBitmap::kMaxHeight raise EWinGError.
  void SetBitmapHeight(int value);
  int BitmapWidth() const { return BitmapWidth_; }
  // Widths outside 0..TWinGBitmap::kMaxWidth raise EWinGError.
  void SetBitmapWidth(int value);

  THitMoveEvent OnHitMove;
  THitReleaseEvent OnHitRelease;
  THitSurfaceEvent OnHitSurface;
  TPaintSurfaceEvent OnPaintAdornments;
  TPaintSurfaceEvent OnPaintSurface;
  // The control's plain mouse events, in control coordinates, fired before
  // the surface's own handling.
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

  // ---- geometry
  TRect BoundsRect() const { return Host_->BoundsRect(); }
  int Width() const { return BoundsRect().Width(); }
  int Height() const { return BoundsRect().Height(); }
  TRect ClientRect() const { return {0, 0, Width(), Height()}; }
  // Where a window's move or resize arrives; passes on to SetSurfaceBounds.
  void SetBounds(int left, int top, int width, int height) { SetSurfaceBounds(left, top, width, height); }
  // The bitmap size the next paint will use for the current control size.
  TPoint WantedBitmapSize() const;
  // Maps control coordinates to bitmap coordinates.
  TPoint ControlToBitmap(int x, int y) const;

  // ---- painting
  // Marks `rect` (bitmap coordinates) for the next partial paint, together
  // with the rectangle marked before, so a moving mark is wiped where it was.
  void MarkDirty(const TRect& rect);
  void Invalidate() { Host_->Invalidate(); }
  void Repaint() { Host_->Repaint(); }
  // Sizes and clears the bitmap, draws it, hands it (or the dirty part) to
  // the host, then draws the adornments.
  virtual void Paint();

  // ---- mouse, in control coordinates
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);

  // ---- state
  bool Capturing() const { return Capturing_; }
  int LastHitX() const { return LastHitX_; }
  int LastHitY() const { return LastHitY_; }
  const TRect& DirtyRect() const { return DirtyRect_; }
  const TRect& LastRect() const { return LastRect_; }
  bool PartialPaint() const { return PartialPaint_; }
  void SetPartialPaint(bool value) { PartialPaint_ = value; }
  uint32_t PaintStart() const { return PaintStart_; }
  double PaintTime() const { return PaintTime_; }

  // The clock behind PaintStart and PaintTime.
  TTickSource TickSource = SteadyTickCount;

protected:
  // Hit operations receive bitmap coordinates; each fires its event.
  virtual void HitMove(TShiftState shift, int x1, int y1, int x2, int y2, bool& releaseCapture);
  virtual void HitRelease(TShiftState shift, int x, int y);
  virtual void HitSurface(TShiftState shift, int x, int y, bool& captureMove);
  virtual void PaintAdornments(TWinGBitmap& surf);
  virtual void PaintSurface(TWinGBitmap& surf);
  // Moves and sizes the control: with AutoSize (no fitting, not aligned)
  // the size follows the bitmap size and zoom instead of width x height.
  virtual void SetSurfaceBounds(int left, int top, int width, int height);

  // Resizes the bitmap (width, then height) where it differs from the wanted size.
  void SizeBitmap();

private:
  void ResetBounds() {
    const TRect b = BoundsRect();
    SetSurfaceBounds(b.Left, b.Top, b.Width(), b.Height());
  }

  TOffscreenSurfaceHost OwnHost_;
  TSurfaceHost* Host_;
  TWinGBitmap Bitmap_;

  bool AutoSize_ = false;
  int AutoSizeZoomPctg_ = 100;
  TColorRef BackgroundColor_ = 0;
  TBitmapFitting BitmapFitting_ = bfNone;
  int BitmapHeight_ = 0;
  int BitmapWidth_ = 0;

  bool Capturing_ = false;
  int LastHitX_ = 0;
  int LastHitY_ = 0;
  TRect DirtyRect_;
  bool PartialPaint_ = false;
  TRect LastRect_;
  uint32_t PaintStart_ = 0;
  double PaintTime_ = 0;
};
