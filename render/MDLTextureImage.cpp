// The skin texture image: the skin with its player colours and gamma, the
// triangle mesh, the skin-vertex markers, and the tools that paint on the
// skin or move its vertices.

#include "render/MDLTextureImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "raster/ColorTables.h"

namespace {

// Game palette indices of the overlay colours.
constexpr int kBlack = 0;
constexpr int kWhite = 254;
constexpr int kBlue = 208;

uint8_t Display(int gameIndex) { return GameToDisplay().Map(gameIndex); }

enum : uint8_t { kView = 0, kVertex = 1, kPen = 3, kDropper = 4, kFill = 5 };

}  // namespace

TMDLTextureImage::TMDLTextureImage(TMDLEditor* editor, TSurfaceHost* host)
    : TWinGSurface(host),
      Editor_(editor ? editor : &TMDLEditor::Instance()),
      SharedEditor_(Editor_ == TMDLEditor::Peek()) {
  SetPalette(DisplayPalette().NewHandle());
  BindObserver();
}

TMDLTextureImage::~TMDLTextureImage() {
  // The program-wide editor may have gone before this window.
  const bool editorAlive = !SharedEditor_ || TMDLEditor::Peek() == Editor_;
  if (Step_ && !editorAlive) Step_->Dismiss();
  Step_.reset();
  if (editorAlive) Editor_->RemoveObserver(&Observer_);
}

void TMDLTextureImage::Loaded() {
  Observer_.SetEnabled(true);
  Editor_->AddObserver(&Observer_);
  UpdateSize();
}

void TMDLTextureImage::BindObserver() {
  auto invalidate = [this](TMDLObserver*) { Invalidate(); };
  Observer_.OnCurrentSkinChange = invalidate;
  Observer_.OnCurrentTriangleChange = invalidate;
  Observer_.OnCurrentVertexChange = invalidate;
  Observer_.OnGammaChange = invalidate;
  Observer_.OnPantsColorChange = invalidate;
  Observer_.OnSelectionChange = invalidate;
  Observer_.OnShirtColorChange = invalidate;
  Observer_.OnSkinCountChange = invalidate;
  Observer_.OnMDLChange = [this](TMDLObserver*) {
    UpdateSize();
    Invalidate();
  };
  Observer_.OnModifyChange = [this](TMDLObserver*, bool) {
    UpdateSize();
    Invalidate();
  };
}

// ---- properties -------------------------------------------------------------------

void TMDLTextureImage::SetMode(uint8_t tool) {
  if (tool != Mode_) Editor_->SetCurrentTriangle(-1);
  Mode_ = tool;
  Invalidate();
}

void TMDLTextureImage::SetShowTriangles(bool on) {
  ShowTriangles_ = on;
  Invalidate();
}

void TMDLTextureImage::SetShowVertices(bool on) {
  ShowVertices_ = on;
  Invalidate();
}

void TMDLTextureImage::UpdateSize() {
  if (!CanEdit()) return;
  const TMDLBitmap* skin = Editor_->CurrentSkinObject();
  if (!skin) return;
  // A skin larger than a bitmap can hold is shown scaled down.
  const int w = std::clamp(skin->Width, 0, TWinGBitmap::kMaxWidth);
  const int h = std::clamp(skin->Height, 0, TWinGBitmap::kMaxHeight);
  if (BitmapWidth() != w) SetBitmapWidth(w);
  if (BitmapHeight() != h) SetBitmapHeight(h);
}

void TMDLTextureImage::SetTimer(bool running) {
  if (running == TimerRunning_) return;
  TimerRunning_ = running;
  if (OnRepaintTimer) OnRepaintTimer(running);
}

// ---- coordinates --------------------------------------------------------------------

int TMDLTextureImage::SkinS(int x) const {
  const int bw = BitmapWidth();
  return bw > 0 ? static_cast<int>(int64_t{x} * Editor_->Model->Header->SkinWidth / bw) : 0;
}

int TMDLTextureImage::SkinT(int y) const {
  const int bh = BitmapHeight();
  return bh > 0 ? static_cast<int>(int64_t{y} * Editor_->Model->Header->SkinHeight / bh) : 0;
}

int TMDLTextureImage::BitmapX(int s) const {
  const int sw = Editor_->Model->Header->SkinWidth;
  return sw > 0 ? static_cast<int>(int64_t{s} * BitmapWidth() / sw) : 0;
}

int TMDLTextureImage::BitmapY(int t) const {
  const int sh = Editor_->Model->Header->SkinHeight;
  return sh > 0 ? static_cast<int>(int64_t{t} * BitmapHeight() / sh) : 0;
}

int TMDLTextureImage::FindVertex(int x, int y, bool& backSide) const {
  backSide = false;
  if (!CanEdit()) return -1;
  const int s = SkinS(x), t = SkinT(y);
  const int backS = SkinS(x - BitmapWidth() / 2);
  const TMDLVertexList& verts = *Editor_->Model->Vertices;
  for (int v = 0; v < verts.Count(); ++v) {
    const TSkinVertex sv = verts.Get(v);
    if (std::abs(int64_t{sv.T} - t) >= 2) continue;
    if (std::abs(int64_t{sv.S} - s) < 2) return v;
    if (std::abs(int64_t{sv.S} - backS) < 2) {
      backSide = true;
      return v;
    }
  }
  return -1;
}

// ---- painting -----------------------------------------------------------------------

void TMDLTextureImage::UpdateColorMap(const TWinGBitmap& image) {
  if (ColorMapValid_ && std::memcmp(MappedTable_, image.ColorTable(), kColorTableSize) == 0) return;
  std::memcpy(MappedTable_, image.ColorTable(), kColorTableSize);
  const TPaletteObject& display = DisplayPalette().Handle();
  for (int i = 0; i < 256; ++i) {
    const uint8_t* q = MappedTable_ + 4 * i;  // blue, green, red, flags
    ColorMap_[i] = static_cast<uint8_t>(std::max(display.NearestIndex(q[2], q[1], q[0]), 0));
  }
  ColorMapValid_ = true;
}

void TMDLTextureImage::PaintSurface(TWinGBitmap& surf) {
  TMDLBitmap* skin = CanEdit() ? Editor_->CurrentSkinObject() : nullptr;
  if (skin && skin->Width > 0 && skin->Height > 0) {
    // 1. The skin, stretched over the whole bitmap.
    const TWinGBitmap& image = skin->DisplayImage();
    UpdateColorMap(image);
    const int bw = std::min(BitmapWidth(), surf.GetWidth());
    const int bh = std::min(BitmapHeight(), surf.GetHeight());
    const int sw = std::min(skin->Width, image.GetWidth());
    const int sh = std::min(skin->Height, image.GetHeight());
    std::vector<int> column(static_cast<size_t>(std::max(bw, 0)));
    for (int x = 0; x < bw; ++x) column[static_cast<size_t>(x)] = static_cast<int>(int64_t{x} * sw / bw);
    for (int y = 0; y < bh; ++y) {
      const uint8_t* src = image.ScanLine(static_cast<int>(int64_t{y} * sh / bh));
      uint8_t* dst = surf.ScanLine(y);
      if (bw == sw) {
        for (int x = 0; x < bw; ++x) dst[x] = ColorMap_[src[x]];
      } else {
        for (int x = 0; x < bw; ++x) dst[x] = ColorMap_[src[column[static_cast<size_t>(x)]]];
      }
    }

    TWinGCanvas& canvas = surf.Canvas();
    const TMDL& model = *Editor_->Model;
    const TMDLVertexList& verts = *model.Vertices;
    const int half = model.Header->SkinWidth / 2;
    // 2. The mesh; a triangle facing back uses the seam copies of its corners.
    if (ShowTriangles_) {
      canvas.PenColor = Display(kWhite);
      canvas.PenWidth = 1;
      const int vc = verts.Count();
      for (const TTriangle& tri : model.Triangles->Items()) {
        TPoint p[3];
        bool ok = true;
        for (int c = 0; c < 3; ++c) {
          const int v = tri.Vertex[c];
          if (v < 0 || v >= vc) {
            ok = false;
            break;
          }
          const TSkinVertex sv = verts.Get(v);
          const int s = (tri.FacesFront == 0 && (sv.Flags & kOnSeam)) ? sv.S + half : sv.S;
          p[c] = {BitmapX(s), BitmapY(sv.T)};
        }
        if (!ok) continue;
        canvas.MoveTo(p[0].X, p[0].Y);
        canvas.LineTo(p[1].X, p[1].Y);
        canvas.LineTo(p[2].X, p[2].Y);
        canvas.LineTo(p[0].X, p[0].Y);
      }
    }
    // 3. The vertex markers.
    if (Mode_ == kVertex && ShowVertices_) {
      for (int v = 0; v < verts.Count(); ++v) {
        const TSkinVertex sv = verts.Get(v);
        canvas.BrushColor = Display(Editor_->IsVertexSelected(v) ? kBlue : kBlack);
        const int x = BitmapX(sv.S), y = BitmapY(sv.T);
        canvas.FillRect({x - 1, y - 1, x + 2, y + 2});
        if (sv.Flags & kOnSeam) {
          const int bx = BitmapX(sv.S + half);
          canvas.FillRect({bx - 1, y - 1, bx + 2, y + 2});
        }
      }
    }
    // 4. The rubber band.
    if (RubberBand_.Width() != 0 || RubberBand_.Height() != 0) {
      canvas.PenColor = Display(kBlue);
      canvas.PenWidth = 1;
      canvas.Rectangle(std::min(RubberBand_.Left, RubberBand_.Right), std::min(RubberBand_.Top, RubberBand_.Bottom),
                       std::max(RubberBand_.Left, RubberBand_.Right) + 1,
                       std::max(RubberBand_.Top, RubberBand_.Bottom) + 1);
    }
  }
  // 5. The window sizes its panel here.
  TWinGSurface::PaintSurface(surf);
}

void TMDLTextureImage::RepaintSkinRect(int s0, int t0, int s1, int t1) {
  const int pen = std::max(Editor_->PenSize, 1) + 1;
  const TRect r{BitmapX(std::min(s0, s1)) - pen, BitmapY(std::min(t0, t1)) - pen,
                BitmapX(std::max(s0, s1)) + pen + 1, BitmapY(std::max(t0, t1)) + pen + 1};
  MarkDirty(r);
  SetPartialPaint(true);
  Repaint();
}

// ---- the tools --------------------------------------------------------------------

void TMDLTextureImage::HitSurface(TShiftState shift, int x, int y, bool& captureMove) {
  TWinGSurface::HitSurface(shift, x, y, captureMove);
  RightPressed_ = shift.Contains(ssRight);
  bool handled = false;
  switch (Mode_) {
    case kView:
      if (shift.Contains(ssLeft))
        SetAutoSizeZoomPctg(std::min(AutoSizeZoomPctg() + kZoomStep, kMaxZoom));
      else
        SetAutoSizeZoomPctg(std::max(AutoSizeZoomPctg() - kZoomStep, kMinZoom));
      break;
    case kVertex: {
      if (!CanEdit()) break;
      HitVertex_ = FindVertex(x, y, BackSide_);
      if (HitVertex_ < 0) {
        if (!shift.Contains(ssShift)) Editor_->SetCurrentVertex(-1);
        Start_ = {x, y};
        RubberBand_ = {x, y, x, y};
      } else if (shift.Contains(ssShift)) {
        Editor_->BeginSelect();
        Editor_->SelectVertex(HitVertex_, !Editor_->IsVertexSelected(HitVertex_));
        Editor_->EndSelect();
      } else {
        Editor_->SetCurrentVertex(HitVertex_);
      }
      handled = true;
      break;
    }
    case kPen: {
      if (!CanEdit()) break;
      TMDLBitmap& skin = *Editor_->CurrentSkinObject();
      const int s = SkinS(x), t = SkinT(y);
      skin.PenSize = Editor_->PenSize;
      if (shift.Contains(ssRight)) {
        if (s >= 0 && t >= 0 && s < skin.Width && t < skin.Height) Editor_->SetCurrentColor(skin.Pixel(s, t));
        break;
      }
      // One stroke, button down to button up, is one step.
      if (!Step_) Step_.emplace(*Editor_, "Pen", Editor_->CurrentSkin);
      skin.PenColor = Editor_->CurrentColor;
      skin.PenReach = kPenReach;
      skin.MoveTo(s, t);
      StrokeDirty_ = true;
      handled = true;
      RepaintSkinRect(s, t, s, t);
      break;
    }
    case kDropper: {
      if (!CanEdit()) break;
      TMDLBitmap& skin = *Editor_->CurrentSkinObject();
      const int s = SkinS(x), t = SkinT(y);
      if (s < 0 || t < 0 || s >= skin.Width || t >= skin.Height) break;
      const uint8_t under = skin.Pixel(s, t);
      if (shift.Contains(ssAlt) && shift.Contains(ssLeft)) {
        if (under != Editor_->CurrentColor) {
          TUndoStep step(*Editor_, "Replace Color", Editor_->CurrentSkin);
          skin.ReplaceColor(under, Editor_->CurrentColor);
          Editor_->SetModified(true);
        }
      } else {
        Editor_->SetCurrentColor(under);
      }
      break;
    }
    case kFill: {
      if (!CanEdit()) break;
      TMDLBitmap& skin = *Editor_->CurrentSkinObject();
      const int s = SkinS(x), t = SkinT(y);
      if (s < 0 || t < 0 || s >= skin.Width || t >= skin.Height) break;
      if (shift.Contains(ssRight)) {
        Editor_->SetCurrentColor(skin.Pixel(s, t));
        break;
      }
      if (skin.Pixel(s, t) == Editor_->CurrentColor) break;
      TUndoStep step(*Editor_, "Flood Fill", Editor_->CurrentSkin);
      skin.FloodFill(s, t, Editor_->CurrentColor);
      StrokeDirty_ = true;
      handled = true;
      Repaint();
      break;
    }
    default:
      break;
  }
  Last_ = {x, y};
  // Moves and the release matter after every handled press, and the right
  // button's release may open the menu.
  captureMove = captureMove || handled || RightPressed_;
  SetTimer(handled && (Mode_ == kVertex || Mode_ == kPen));
}

void TMDLTextureImage::DragTo(TShiftState shift, int x, int y) {
  if (!CanEdit()) return;
  if (Mode_ == kVertex) {
    if (HitVertex_ >= 0) {
      if (HitVertex_ >= Editor_->Model->Vertices->Count()) return;
      const int s = SkinS(BackSide_ ? x - BitmapWidth() / 2 : x);
      const int t = SkinT(y);
      const TSkinVertex sv = Editor_->Model->Vertices->Get(HitVertex_);
      const int dx = s - sv.S, dy = t - sv.T;
      if (dx == 0 && dy == 0) return;
      // The whole drag is one step.
      if (!Step_) Step_.emplace(*Editor_, "Move Skin Vertices");
      if (shift.Contains(ssCtrl))
        Editor_->MoveSkinVertices(dx, dy);
      else
        Editor_->MoveSelectedSkinVertices(dx, dy);
      StrokeDirty_ = true;
    } else {
      RubberBand_ = {Start_.X, Start_.Y, x, y};
    }
  } else if (Mode_ == kPen && StrokeDirty_) {
    TMDLBitmap& skin = *Editor_->CurrentSkinObject();
    const int s0 = skin.PenX, t0 = skin.PenY;
    const int s = SkinS(x), t = SkinT(y);
    skin.PenColor = Editor_->CurrentColor;
    skin.LineTo(s, t);
    RepaintSkinRect(s0, t0, s, t);
  }
}

void TMDLTextureImage::HitMove(TShiftState shift, int x1, int y1, int x2, int y2, bool& releaseCapture) {
  TWinGSurface::HitMove(shift, x1, y1, x2, y2, releaseCapture);
  RightPressed_ = false;
  // Outside the bitmap the pointer counts as on its edge.
  const int x = std::clamp(x2, 0, std::max(BitmapWidth() - 1, 0));
  const int y = std::clamp(y2, 0, std::max(BitmapHeight() - 1, 0));
  if (x == Last_.X && y == Last_.Y) return;
  Last_ = {x, y};
  DragTo(shift, x, y);
}

void TMDLTextureImage::HitRelease(TShiftState shift, int x, int y) {
  TWinGSurface::HitRelease(shift, x, y);
  x = std::clamp(x, 0, std::max(BitmapWidth() - 1, 0));
  y = std::clamp(y, 0, std::max(BitmapHeight() - 1, 0));
  if (StrokeDirty_) {
    if (x != Last_.X || y != Last_.Y) DragTo(shift, x, y);
    StrokeDirty_ = false;
    Editor_->SetModified(true);
  }
  Step_.reset();
  SetTimer(false);
  if (Mode_ == kVertex && HitVertex_ < 0 && CanEdit()) {
    RubberBand_ = {Start_.X, Start_.Y, x, y};
    SelectInBand();
    RubberBand_ = {};
    Repaint();
  }
  HitVertex_ = -1;
}

void TMDLTextureImage::SelectInBand() {
  const TRect& b = RubberBand_;
  auto inside = [&b](int px, int py) { return b.Left <= px && px < b.Right && b.Top <= py && py < b.Bottom; };
  const TMDLVertexList& verts = *Editor_->Model->Vertices;
  const int half = Editor_->Model->Header->SkinWidth / 2;
  bool first = true;
  Editor_->BeginSelect();
  for (int v = 0; v < verts.Count(); ++v) {
    const TSkinVertex sv = verts.Get(v);
    const int y = BitmapY(sv.T) - 1;
    bool hit = inside(BitmapX(sv.S) - 1, y);
    if (!hit && (sv.Flags & kOnSeam)) hit = inside(BitmapX(sv.S + half) - 1, y);
    if (!hit) continue;
    Editor_->SelectVertex(v, true);
    if (first) Editor_->SetCurrentVertex(v);
    first = false;
  }
  Editor_->EndSelect();
}

void TMDLTextureImage::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TWinGSurface::MouseUp(button, shift, x, y);
  if (RightPressed_ && !PopupMenuName.empty() && Mode_ == kVertex) Host().PopupMenu(PopupMenuName, {x, y});
  RightPressed_ = false;
}
