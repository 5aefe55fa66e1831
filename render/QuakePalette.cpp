#include "render/QuakePalette.h"

#include <algorithm>
#include <cstring>

#include "core/Format.h"
#include "raster/ColorTables.h"
#include "raster/WinGCanvas.h"

TQuakePalette::TQuakePalette(TMDLEditor* editor, TSurfaceHost* host) : TWinGSurface(host), Editor_(editor) {
  CellImage_.SetPalette(GamePalette().NewHandle());
  SetGeometry(16, 16, 16);
  SetPalette(DisplayPalette().NewHandle());
}

TQuakePalette::~TQuakePalette() {
  if (TMDLEditor* e = ObservedEditor()) e->RemoveObserver(Observer_.get());
}

// ---- properties -------------------------------------------------------------------

void TQuakePalette::SetGeometry(int widthCount, int cellWidth, int cellHeight) {
  if (widthCount < 1 || widthCount > kColors || cellWidth < 1 || cellHeight < 1)
    throw EWinGError(Format("Palette grid of %d cells of %d x %d pixels a row is not supported", widthCount,
                            cellWidth, cellHeight));
  // Room for the last, partly filled row as well.
  const int64_t width = int64_t(widthCount) * cellWidth;
  const int64_t height = int64_t((kColors - 1) / widthCount + 1) * cellHeight;
  if (width > TWinGBitmap::kMaxWidth || height > TWinGBitmap::kMaxHeight)
    throw EWinGError(Format("Palette grid of %lld x %lld pixels is too large", static_cast<long long>(width),
                            static_cast<long long>(height)));
  WidthCount_ = widthCount;
  CellWidth_ = cellWidth;
  CellHeight_ = cellHeight;
  SetBitmapWidth(static_cast<int>(width));
  SetBitmapHeight(static_cast<int>(height));
  // The bitmap gets its size now rather than at the next paint, so a click
  // that comes first already finds its cell.
  SizeBitmap();
  CellImageValid_ = false;
  Invalidate();
}

void TQuakePalette::SetColorIndex(int index) {
  ColorIndex_ = index;
  if (OnColorIndexChange) OnColorIndexChange(*this);
  Invalidate();
}

void TQuakePalette::SetMarkUnusedColors(bool value) {
  MarkUnusedColors_ = value;
  CellImageValid_ = false;
  Invalidate();
}

void TQuakePalette::SetShowAllColors(bool value) {
  ShowAllColors_ = value;
  CellImageValid_ = false;
  Invalidate();
}

void TQuakePalette::SetObserveMDL(bool value) {
  if (value == ObserveMDL_) return;
  if (!value) {
    Unobserve();
    CellImageValid_ = false;
    Invalidate();
    return;
  }
  Observed_ = Editor_ ? Editor_ : &TMDLEditor::Instance();
  Observer_ = std::make_unique<TMDLObserver>();
  BindObserver();
  Observed_->AddObserver(Observer_.get());
  ObserveMDL_ = true;
  CellImageValid_ = false;
  SetColorIndex(Observed_->CurrentColor);
}

void TQuakePalette::Unobserve() {
  if (TMDLEditor* e = ObservedEditor()) e->RemoveObserver(Observer_.get());
  Observer_.reset();
  Observed_ = nullptr;
  ObserveMDL_ = false;
}

TMDLEditor* TQuakePalette::ObservedEditor() const {
  if (!ObserveMDL_ || !Observed_) return nullptr;
  if (Editor_) return Editor_;
  // The program-wide editor may have been freed since we registered.
  return TMDLEditor::Peek() == Observed_ ? Observed_ : nullptr;
}

bool TQuakePalette::ModelShown() const {
  const TMDLEditor* e = ObservedEditor();
  return Observer_ && e && e->IsValid() && e->CurrentSkinObject();
}

void TQuakePalette::BindObserver() {
  Observer_->OnCurrentColorChange = [this](TMDLObserver*) {
    if (TMDLEditor* e = ObservedEditor()) SetColorIndex(e->CurrentColor);
  };
  Observer_->OnCurrentSkinChange = [this](TMDLObserver*) { OnSkinOrModelChange(); };
  Observer_->OnModifyChange = [this](TMDLObserver*, bool) { OnSkinOrModelChange(); };
  // Another model has other colours, and a closed one none to hide.
  Observer_->OnMDLChange = [this](TMDLObserver*) {
    CellImageValid_ = false;
    Invalidate();
  };
}

void TQuakePalette::OnSkinOrModelChange() {
  // Rebuilt also when the model stops being shown, so hidden cells return.
  if (!ShowAllColors_ || MarkUnusedColors_) CellImageValid_ = false;
  Invalidate();
}

int TQuakePalette::BackgroundGameIndex() const {
  const TColorRef c = BackgroundColor();
  int r = RefRed(c), g = RefGreen(c), b = RefBlue(c);
  if (RefFlags(c) == 1) {
    // An index into the surface's own (display) colours.
    const TRGBQuad q = DisplayPalette().GetColor(c & 0xFF);
    r = QuadRed(q), g = QuadGreen(q), b = QuadBlue(q);
  }
  return std::max(GamePalette().Handle().NearestIndex(r, g, b), 0);
}

// ---- geometry -------------------------------------------------------------------------

TRect TQuakePalette::CellRect(int index) const {
  const int left = (index % WidthCount_) * CellWidth_;
  const int top = (index / WidthCount_) * CellHeight_;
  return {left, top, left + CellWidth_, top + CellHeight_};
}

int TQuakePalette::CellAt(int x, int y) const {
  if (x < 0 || y < 0) return -1;
  const int column = x / CellWidth_;
  if (column >= WidthCount_) return -1;
  const int64_t index = int64_t(y / CellHeight_) * WidthCount_ + column;
  return index < kColors ? static_cast<int>(index) : -1;
}

// ---- mouse ------------------------------------------------------------------------------

void TQuakePalette::SelectCell(int index, bool always) {
  // Points off the grid (a drag leaving the control, the empty end of the
  // last row) leave the selection alone.
  if (index < 0) return;
  if (TMDLEditor* e = ObservedEditor()) {
    if (always || e->CurrentColor != index) e->SetCurrentColor(static_cast<uint8_t>(index));
  } else if (always || ColorIndex_ != index) {
    SetColorIndex(index);
  }
}

void TQuakePalette::HitSurface(TShiftState shift, int x, int y, bool& captureMove) {
  TWinGSurface::HitSurface(shift, x, y, captureMove);
  captureMove = true;
  SelectCell(CellAt(x, y), true);
}

void TQuakePalette::HitMove(TShiftState shift, int x1, int y1, int x2, int y2, bool& releaseCapture) {
  TWinGSurface::HitMove(shift, x1, y1, x2, y2, releaseCapture);
  // Only a change of cell selects: a drag within one cell fires nothing.
  SelectCell(CellAt(x2, y2), false);
}

void TQuakePalette::HitRelease(TShiftState shift, int x, int y) {
  TWinGSurface::HitRelease(shift, x, y);
  if (OnClick) OnClick(*this);
}

// ---- painting -----------------------------------------------------------------------------

void TQuakePalette::RebuildCellImage(const TWinGBitmap& surf) {
  const int w = surf.GetWidth(), h = surf.GetHeight();
  if (CellImage_.GetWidth() != w || CellImage_.GetHeight() != h) CellImage_.SetSize(w, h);
  const uint8_t background = static_cast<uint8_t>(BackgroundGameIndex());
  const int gridWidth = WidthCount_ * CellWidth_;
  // Each cell row: its first line cell by cell, then copies of it. Places
  // that hold no colour (past the grid, past colour 255) show the background.
  for (int top = 0; top < h; top += CellHeight_) {
    const int row = top / CellHeight_;
    uint8_t* line = CellImage_.ScanLine(top);
    for (int x = 0; x < w; ++x) {
      const int index = row * WidthCount_ + x / CellWidth_;
      line[x] = (x < gridWidth && index < kColors) ? static_cast<uint8_t>(index) : background;
    }
    for (int y = top + 1; y < std::min(top + CellHeight_, h); ++y)
      std::memcpy(CellImage_.ScanLine(y), line, static_cast<size_t>(w));
  }
  if (ModelShown() && (!ShowAllColors_ || MarkUnusedColors_)) MarkOrBlankUnused();
  CellImageValid_ = true;
}

void TQuakePalette::MarkOrBlankUnused() {
  const TMDLEditor* e = ObservedEditor();
  const std::array<int32_t, 256>& counts = e->CurrentSkinObject()->ColorCount();
  TWinGCanvas& canvas = CellImage_.Canvas();
  canvas.BrushColor = static_cast<uint8_t>(BackgroundGameIndex());
  canvas.PenColor = static_cast<uint8_t>(std::max(GamePalette().Handle().NearestIndex(0, 0, 0), 0));
  canvas.PenWidth = 1;
  for (int i = 0; i < kColors; ++i) {
    if (counts[static_cast<size_t>(i)] != 0) continue;
    const TRect r = CellRect(i);
    if (!ShowAllColors_) canvas.FillRect(r);
    if (MarkUnusedColors_) {
      canvas.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
      canvas.MoveTo(r.Left, r.Top);
      canvas.LineTo(r.Right - 1, r.Bottom - 1);
      canvas.MoveTo(r.Right - 1, r.Top);
      canvas.LineTo(r.Left, r.Bottom - 1);
    }
  }
}

void TQuakePalette::PaintSurface(TWinGBitmap& surf) {
  TWinGSurface::PaintSurface(surf);
  const int w = surf.GetWidth(), h = surf.GetHeight();
  if (!CellImageValid_ || CellImage_.GetWidth() != w || CellImage_.GetHeight() != h) RebuildCellImage(surf);

  // Game colours to the display colours the surface shows.
  const std::array<uint8_t, 256>& toDisplay = GameToDisplay().Table();
  for (int y = 0; y < h; ++y) {
    const uint8_t* in = CellImage_.ScanLine(y);
    uint8_t* out = surf.ScanLine(y);
    for (int x = 0; x < w; ++x) out[x] = toDisplay[in[x]];
  }

  if (ColorIndex_ >= 0 && ColorIndex_ < kColors) {
    TWinGCanvas& canvas = surf.Canvas();
    canvas.PenColor = static_cast<uint8_t>(canvas.ColorIndex(MakeColorRef(255, 255, 255)));
    canvas.PenWidth = 1;
    const TRect r = CellRect(ColorIndex_);
    canvas.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
  }
}
