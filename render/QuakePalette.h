#pragma once
// The palette control: the 256 game colours as a grid of cells, one of them
// selected. On its own it keeps a ColorIndex; observing the model it shows
// and sets the editor's current colour, and hides or crosses out the
// colours the current skin does not use.

#include <functional>
#include <memory>

#include "editor/MDLEdit.h"
#include "raster/WinGSurface.h"

class TQuakePalette : public TWinGSurface {
public:
  using TNotifyEvent = std::function<void(TQuakePalette& sender)>;

  static constexpr int kColors = 256;

  // `editor` null: the program-wide editor, looked up (and made) only when
  // ObserveMDL is switched on. An editor of the caller's must outlive the
  // control, or ObserveMDL be switched off first.
  explicit TQuakePalette(TMDLEditor* editor = nullptr, TSurfaceHost* host = nullptr);
  ~TQuakePalette() override;

  // ---- properties
  // Each of the three geometry properties is at least 1 (WidthCount at most
  // 256); a value whose grid would not fit a bitmap raises EWinGError and
  // changes nothing.
  int CellHeight() const { return CellHeight_; }
  void SetCellHeight(int value) { SetGeometry(WidthCount_, CellWidth_, value); }
  int CellWidth() const { return CellWidth_; }
  void SetCellWidth(int value) { SetGeometry(WidthCount_, value, CellHeight_); }
  int WidthCount() const { return WidthCount_; }
  void SetWidthCount(int value) { SetGeometry(value, CellWidth_, CellHeight_); }
  // All three at once, so an intermediate grid need not fit.
  void SetGeometry(int widthCount, int cellWidth, int cellHeight);

  int ColorIndex() const { return ColorIndex_; }
  // Stores the index, fires OnColorIndexChange and invalidates.
  void SetColorIndex(int index);
  bool MarkUnusedColors() const { return MarkUnusedColors_; }
  void SetMarkUnusedColors(bool value);
  bool ShowAllColors() const { return ShowAllColors_; }
  void SetShowAllColors(bool value);
  bool ObserveMDL() const { return ObserveMDL_; }
  // On: follows the editor's current colour and skin from now on (the
  // selection jumps to the editor's colour). Off: the observer goes.
  void SetObserveMDL(bool value);

  TNotifyEvent OnColorIndexChange;
  // A press on the control released again (or the drag ending).
  TNotifyEvent OnClick;

  // ---- geometry
  // Cell rows: one more than full rows when WidthCount does not divide 256.
  int RowCount() const { return (kColors - 1) / WidthCount_ + 1; }
  // The rectangle of colour `index` in bitmap pixels.
  TRect CellRect(int index) const;
  // The colour under bitmap point (x, y); -1 off the grid.
  int CellAt(int x, int y) const;

  // ---- state
  // The editor a model is observed in (null when ObserveMDL is off or the
  // program-wide editor has gone).
  TMDLEditor* ObservedEditor() const;
  TMDLObserver* Observer() const { return Observer_.get(); }
  // An observed model with a current skin.
  bool ModelShown() const;
  const TWinGBitmap& CellImage() const { return CellImage_; }
  bool CellImageValid() const { return CellImageValid_; }
  void InvalidateCellImage() { CellImageValid_ = false; }
  // The game colour unused cells are blanked with: nearest to BackgroundColor.
  int BackgroundGameIndex() const;

protected:
  void HitSurface(TShiftState shift, int x, int y, bool& captureMove) override;
  void HitMove(TShiftState shift, int x1, int y1, int x2, int y2, bool& releaseCapture) override;
  void HitRelease(TShiftState shift, int x, int y) override;
  void PaintSurface(TWinGBitmap& surf) override;

private:
  void BindObserver();
  void Unobserve();
  void SelectCell(int index, bool always);
  void RebuildCellImage(const TWinGBitmap& surf);
  void MarkOrBlankUnused();
  void OnSkinOrModelChange();

  TMDLEditor* Editor_;  // null: the program-wide one
  TMDLEditor* Observed_ = nullptr;
  std::unique_ptr<TMDLObserver> Observer_;

  int CellHeight_ = 16;
  int CellWidth_ = 16;
  int WidthCount_ = 16;
  int ColorIndex_ = 0;
  bool MarkUnusedColors_ = false;
  bool ObserveMDL_ = false;
  bool ShowAllColors_ = false;

  TWinGBitmap CellImage_;
  bool CellImageValid_ = false;
};
