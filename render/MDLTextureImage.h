#pragma once
// The skin texture image: the surface on which the user paints the current
// skin and arranges the skin vertices. One bitmap pixel per skin pixel (the
// window enlarges it with the surface's zoom). Skin vertices on the seam
// show a second time half a skin to the right: the back side of the model,
// which the triangles facing backwards use.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "editor/MDLEdit.h"
#include "raster/WinGSurface.h"

class TStream;

class TMDLTextureImage : public TWinGSurface {
public:
  // The zoom steps of the view tool, in percent.
  static constexpr int kZoomStep = 100;
  static constexpr int kMinZoom = 100;
  static constexpr int kMaxZoom = 1000;
  // Pen segments this long or longer start a new stroke instead.
  static constexpr int kPenReach = 2000;

  // `editor` null: the program-wide editor (made when there is none yet).
  // An editor of the caller's must outlive the image.
  explicit TMDLTextureImage(TMDLEditor* editor = nullptr, TSurfaceHost* host = nullptr);
  ~TMDLTextureImage() override;

  TMDLEditor& Editor() const { return *Editor_; }
  TMDLObserver& Observer() { return Observer_; }
  // Registers the observer once the owner has set the image up.
  void Loaded();
  // There is a valid editor to paint on.
  bool CanEdit() const { return Editor_ && Editor_->IsValid(); }

  // ---- properties
  uint8_t Mode() const { return Mode_; }
  // A different tool clears the triangle and vertex selection.
  void SetMode(uint8_t tool);
  bool ShowTriangles() const { return ShowTriangles_; }
  void SetShowTriangles(bool on);
  bool ShowVertices() const { return ShowVertices_; }
  void SetShowVertices(bool on);
  // The pop-up menu a right click in the vertex tool opens; empty for none.
  std::string PopupMenuName;

  // Bitmap size := the current skin's size, where it differs.
  void UpdateSize();
  void SaveToFile(const std::string& fileName) const { Bitmap().SaveToFile(fileName); }
  void SaveToStream(TStream& stream) const { Bitmap().SaveToStream(stream); }

  // ---- hit tests and state
  // The skin vertex under bitmap point (x, y), -1 for none; `backSide` tells
  // whether it was hit at its copy half a skin to the right.
  int FindVertex(int x, int y, bool& backSide) const;
  int HitVertex() const { return HitVertex_; }
  bool BackSide() const { return BackSide_; }
  bool StrokeDirty() const { return StrokeDirty_; }
  bool RightPressed() const { return RightPressed_; }
  // In bitmap pixels, from the press point to the pointer, not reordered.
  const TRect& RubberBand() const { return RubberBand_; }

  // ---- the repaint timer (the window runs the clock)
  static constexpr int kRepaintInterval = 100;
  bool RepaintTimerRunning() const { return TimerRunning_; }
  // Told when the timer should start (true) or stop (false).
  std::function<void(bool running)> OnRepaintTimer;
  // One tick: repaint the picture.
  void RepaintTimerTick() { Repaint(); }

  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
  void PaintSurface(TWinGBitmap& surf) override;
  void HitSurface(TShiftState shift, int x, int y, bool& captureMove) override;
  void HitMove(TShiftState shift, int x1, int y1, int x2, int y2, bool& releaseCapture) override;
  void HitRelease(TShiftState shift, int x, int y) override;

private:
  void BindObserver();
  void SetTimer(bool running);
  // Skin coordinates of a bitmap point and the other way round.
  int SkinS(int x) const;
  int SkinT(int y) const;
  int BitmapX(int s) const;
  int BitmapY(int t) const;
  // The drag to (x, y) as a move or the release applies it.
  void DragTo(TShiftState shift, int x, int y);
  void SelectInBand();
  // Repaints only the part of the bitmap that `skinRect` covers.
  void RepaintSkinRect(int s0, int t0, int s1, int t1);
  void UpdateColorMap(const TWinGBitmap& image);

  TMDLEditor* Editor_ = nullptr;
  bool SharedEditor_ = false;
  TMDLObserver Observer_;
  // The undo step of the stroke or drag under way, until the release.
  std::optional<TUndoStep> Step_;

  bool BackSide_ = false;
  uint8_t Mode_ = 0;
  int32_t HitVertex_ = -1;
  bool StrokeDirty_ = false;
  bool RightPressed_ = false;
  TRect RubberBand_;
  bool ShowTriangles_ = true;
  bool ShowVertices_ = true;
  bool TimerRunning_ = false;
  TPoint Start_;
  TPoint Last_;

  // Skin colour (with player colours and gamma) to display colour, made
  // again whenever the skin's colour table changes.
  uint8_t ColorMap_[256] = {};
  uint8_t MappedTable_[kColorTableSize] = {};
  bool ColorMapValid_ = false;
};
