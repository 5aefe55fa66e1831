// Picking and the editing tools of the frame paint box: what a press, a
// drag and a release do in each of the nine tools, the vertex and triangle
// pickers, rubber-band selection, vertex and pivot dragging and painting on
// the skin under the cursor. Model changes go through the editor; the skin
// paints through its own pen and fills.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "mdl/Mdl.h"
#include "mdl/Pivot.h"
#include "render/MDLFramePaintBox.h"
#include "render/RasterMath.h"

namespace {

bool IsObjectTool(uint8_t tool) { return tool >= tmMovePivot && tool <= tmScalePivot; }

bool IsPaintTool(uint8_t tool) { return tool >= tmPen && tool <= tmFloodFill; }

// An empty rectangle has no area (right not past left, or bottom not below top).
bool IsEmptyRect(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }


inline uint16_t StoredDepth(float z) {
  const int32_t d = RoundF(z);
  return static_cast<uint16_t>(d < 0 ? 0 : d);
}

struct TRowValues {
  int32_t X, Z, S, T;
};

// What the edge scan stores for row y of the edge p -> q. False when the
// edge is flat or does not reach the row; `up` tells which table it fills.
// The values step from the upper end one row at a time, as the scan does.
bool EdgeAtRow(const TVertexRecord& p, const TVertexRecord& q, int y, TRowValues& out, bool& up) {
  if (p.Y == q.Y) return false;
  up = q.Y < p.Y;
  const TVertexRecord& u = up ? q : p;
  const TVertexRecord& l = up ? p : q;
  if (y < u.Y || y > l.Y) return false;
  const float fr = static_cast<float>(l.Y - u.Y);
  float x = static_cast<float>(u.X), z = static_cast<float>(u.Z);
  float s = static_cast<float>(u.S), t = static_cast<float>(u.T);
  const float dx = Diff(l.X, u.X) / fr, dz = Diff(l.Z, u.Z) / fr;
  const float ds = Diff(l.S, u.S) / fr, dt = Diff(l.T, u.T) / fr;
  for (int k = u.Y; k < y; ++k) {
    x += dx;
    z += dz;
    s += ds;
    t += dt;
  }
  out = {RoundF(x), RoundF(z), RoundF(s), RoundF(t)};
  return true;
}

// Pixel (px, py) of the triangle's depth-tested scan (either winding, spans
// ordered) on a picture w x h, against the depth `stored` there: true when
// the pixel passes, with the new depth stored and the skin coordinates.
// Only the row and the pixel asked for are stepped; the values are those
// the whole scan reaches at that pixel.
bool ProbePixel(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, int px, int py, int w,
                int h, uint16_t& stored, int& s, int& t) {
  if (py < 0 || py >= h) return false;
  TRowValues start{}, end{}, v{};
  bool haveStart = false, haveEnd = false, up = false;
  const TVertexRecord* corners[4] = {&a, &b, &c, &a};
  for (int e = 0; e < 3; ++e) {
    if (!EdgeAtRow(*corners[e], *corners[e + 1], py, v, up)) continue;
    // A later edge writes over an earlier one's entry, as in the tables.
    if (up) {
      start = v;
      haveStart = true;
    } else {
      end = v;
      haveEnd = true;
    }
  }
  // A triangle with area always has an edge of each direction on its rows.
  if (!haveStart || !haveEnd) return false;
  const TRowValues* st = &start;
  const TRowValues* en = &end;
  if (en->X < st->X) std::swap(st, en);
  int x0 = st->X;
  int x1 = en->X;
  if (x1 <= x0) return false;
  const float n = static_cast<float>(x1 - x0);
  float z = static_cast<float>(st->Z), fs = static_cast<float>(st->S), ft = static_cast<float>(st->T);
  const float dz = Diff(en->Z, st->Z) / n, ds = Diff(en->S, st->S) / n, dt = Diff(en->T, st->T) / n;
  if (x0 < 0) {
    const float k = static_cast<float>(-x0);
    z += dz * k;
    fs += ds * k;
    ft += dt * k;
    x0 = 0;
  }
  if (x1 > w - 1) x1 = w - 1;
  if (px < x0 || px >= x1) return false;
  for (int x = x0; x < px; ++x) {
    z += dz;
    fs += ds;
    ft += dt;
  }
  if (!(z < static_cast<float>(stored))) return false;
  stored = StoredDepth(z);
  s = RoundF(fs);
  t = RoundF(ft);
  return true;
}

// How far the rounded edge positions of a triangle can stray outside its
// corners' columns through the float steps; beyond these sizes the steps
// are not bounded cheaply and no column test is made.
int ColumnMargin(int minX, int maxX, int minY, int maxY) {
  const int64_t reach = std::max(std::abs(int64_t{minX}), std::abs(int64_t{maxX}));
  return reach <= 4096 && int64_t{maxY} - minY <= 4096 ? 2 : -1;
}

int64_t Facing(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c) {
  return (int64_t{b.X} - a.X) * (int64_t{c.Y} - a.Y) - (int64_t{b.Y} - a.Y) * (int64_t{c.X} - a.X);
}

}  // namespace

// ---- tool ---------------------------------------------------------------------------------

void TMDLFramePaintBox::SetToolMode(uint8_t mode) {
  // A selection made for one tool means nothing to the next.
  if (mode != ToolMode_ && Editor_) Editor_->SetCurrentTriangle(-1);
  ToolMode_ = mode;
  Invalidate();
}

void TMDLFramePaintBox::SetGridX(float v) { GridX_ = v >= 0.01f ? v : 0.01f; }
void TMDLFramePaintBox::SetGridY(float v) { GridY_ = v >= 0.01f ? v : 0.01f; }
void TMDLFramePaintBox::SetGridZ(float v) { GridZ_ = v >= 0.01f ? v : 0.01f; }

// ---- un-projection ------------------------------------------------------------------------

TVector TMDLFramePaintBox::UnprojectAtDepth(int x, int y, float ez) const {
  // In parallel projection the picture does not shrink with depth: the
  // pixel maps back through Rho, as ProjectEye maps it forward, so a point
  // made here lands under the cursor in either projection.
  const double d = Parallel ? double(Rho) : double(ez);
  const double sd = ScreenDistance;
  TVector eye;
  eye.x = static_cast<float>((x - CenterX) * d / sd);
  eye.y = static_cast<float>(-(y - CenterY) * d / sd);
  eye.z = ez;
  eye.w = 1.0f;
  return Transform(InverseViewMatrix(), eye);
}

// ---- pickers --------------------------------------------------------------------------------

void SortDepthPairs(TDepthPair* pairs, int lo, int hi) {
  // The container's quicksort, step for step: the middle item's key as the
  // pivot, both scans bounded, the smaller part by recursion. Equal keys
  // therefore end in the same order as in a TZSorter.
  auto compare = [](float a, float b) { return a < b ? -1 : (a > b ? 1 : 0); };
  while (lo < hi) {
    const float pivot = pairs[lo + (hi - lo) / 2].Key;
    int i = lo;
    int j = hi;
    do {
      while (i <= hi && compare(pairs[i].Key, pivot) < 0) ++i;
      while (j >= lo && compare(pairs[j].Key, pivot) > 0) --j;
      if (i > hi || j < lo) return;
      if (i <= j) {
        std::swap(pairs[i], pairs[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - lo < hi - i) {
      if (j > lo) SortDepthPairs(pairs, lo, j);
      lo = i;
    } else {
      if (i < hi) SortDepthPairs(pairs, i, hi);
      hi = j;
    }
  }
}

int TMDLFramePaintBox::PickVertex(int x, int y, int& nearest) {
  nearest = -1;
  TMDLFrame* frame = HasValidEditor() ? Editor_->CurrentFrameObject() : nullptr;
  if (!frame) return -1;
  const int n = frame->Count();
  if (n <= 0) return -1;
  const TFrameVertex* pos = frame->Data();
  PickPixels_.resize(static_cast<size_t>(n));
  PickPairs_.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const TVector eye = EyeCoordinates(pos[i].X, pos[i].Y, pos[i].Z);
    PickPixels_[static_cast<size_t>(i)] = ProjectEye(eye);
    PickPairs_[static_cast<size_t>(i)] = {eye.z, i};
  }
  // Nearest first; the walk takes the first vertex within the tolerance.
  SortDepthPairs(PickPairs_.data(), 0, n - 1);
  int64_t best = 100000;
  for (int k = 0; k < n; ++k) {
    const int v = PickPairs_[static_cast<size_t>(k)].Index;
    const TPoint p = PickPixels_[static_cast<size_t>(v)];
    const int64_t dx = std::abs(int64_t{p.X} - x), dy = std::abs(int64_t{p.Y} - y);
    if (dx + dy < best) {
      best = dx + dy;
      nearest = v;
    }
    if (dx < HitTolerance && dy < HitTolerance) return v;
  }
  return -1;
}

// The triangles the pickers consider, with their corner records (seam
// rule applied): visible, facing the eye, or facing away in the triangle
// tool. False for triangles to skip.
bool TMDLFramePaintBox::PickCorners(int tri, TVertexRecord& a, TVertexRecord& b, TVertexRecord& c) const {
  const TMDLEditor& ed = *Editor_;
  if (!ed.IsTriangleVisible(tri)) return false;
  const TTriangle& tr = ed.Model->Triangles->Items()[static_cast<size_t>(tri)];
  const size_t nv = Records_.size();
  for (int k = 0; k < 3; ++k)
    if (static_cast<size_t>(tr.Vertex[k]) >= nv) return false;
  a = Records_[static_cast<size_t>(tr.Vertex[0])];
  b = Records_[static_cast<size_t>(tr.Vertex[1])];
  c = Records_[static_cast<size_t>(tr.Vertex[2])];
  const int64_t f = Facing(a, b, c);
  if (!(f > 0 || (f < 0 && ToolMode_ == tmTriangle))) return false;
  if (tr.FacesFront == 0) {
    ApplySeam(a);
    ApplySeam(b);
    ApplySeam(c);
  }
  return true;
}

int TMDLFramePaintBox::PickTriangle(int x, int y, int& s, int& t) {
  s = 0;
  t = 0;
  TMDLFrame* frame = HasValidEditor() ? Editor_->CurrentFrameObject() : nullptr;
  if (!frame) return -1;
  ProjectVertices(*frame);
  const int w = Bitmap().GetWidth(), h = Bitmap().GetHeight();
  if (x < 0 || y < 0 || x >= w || y >= h) return -1;
  const int count = Editor_->Model->Triangles->Count();
  const TMDLEditor& ed = *Editor_;
  const std::vector<TTriangle>& tris = ed.Model->Triangles->Items();
  const size_t nv = Records_.size();
  const TVertexRecord* rec = Records_.data();
  // One depth is all the pick needs: the scan's depth at (x, y).
  uint16_t stored = TFrameRaster::kFarthest;
  int found = -1;
  for (int i = 0; i < count; ++i) {
    const TTriangle& tr = tris[static_cast<size_t>(i)];
    if (static_cast<size_t>(tr.Vertex[0]) >= nv || static_cast<size_t>(tr.Vertex[1]) >= nv ||
        static_cast<size_t>(tr.Vertex[2]) >= nv)
      continue;
    const TVertexRecord& ra = rec[tr.Vertex[0]];
    const TVertexRecord& rb = rec[tr.Vertex[1]];
    const TVertexRecord& rc = rec[tr.Vertex[2]];
    // Rows are exact integers: a triangle off the row is out at once.
    const int minY = std::min({ra.Y, rb.Y, rc.Y}), maxY = std::max({ra.Y, rb.Y, rc.Y});
    if (y < minY || y > maxY) continue;
    const int minX = std::min({ra.X, rb.X, rc.X}), maxX = std::max({ra.X, rb.X, rc.X});
    const int margin = ColumnMargin(minX, maxX, minY, maxY);
    if (margin >= 0 && (x < minX - margin || x > maxX + margin)) continue;
    TVertexRecord a, b, c;
    if (!PickCorners(i, a, b, c)) continue;
    int ps = 0, pt = 0;
    if (ProbePixel(a, b, c, x, y, w, h, stored, ps, pt)) {
      found = i;
      s = ps;
      t = pt;
    }
  }
  return found;
}

int TMDLFramePaintBox::PickTriangleScan(int x, int y, int& s, int& t) {
  s = 0;
  t = 0;
  TMDLFrame* frame = HasValidEditor() ? Editor_->CurrentFrameObject() : nullptr;
  if (!frame) return -1;
  ProjectVertices(*frame);
  ResetDepthBuffer();
  TFrameRaster& raster = RasterRef();
  const int count = Editor_->Model->Triangles->Count();
  int found = -1;
  for (int i = 0; i < count; ++i) {
    TVertexRecord a, b, c;
    if (!PickCorners(i, a, b, c)) continue;
    int ps = 0, pt = 0;
    if (raster.ProbeTriangle(a, b, c, x, y, ps, pt)) {
      found = i;
      s = ps;
      t = pt;
    }
  }
  return found;
}

bool TMDLFramePaintBox::PickPivotAxis(int x, int y) {
  TPivot* pivot = HasValidEditor() ? Editor_->CurrentPivot() : nullptr;
  if (!pivot) return false;
  for (int axis = 1; axis <= 3; ++axis) {
    const TVector end = MakeVector(axis == 1 ? 5.0f : 0.0f, axis == 2 ? 5.0f : 0.0f, axis == 3 ? 5.0f : 0.0f);
    const TPoint p = ProjectPoint(Transform(pivot->Matrix(), end));
    if (std::abs(int64_t{p.X} - x) < HitTolerance && std::abs(int64_t{p.Y} - y) < HitTolerance) {
      PivotAxis = axis;
      return true;
    }
  }
  return false;
}

// ---- selection and moves ----------------------------------------------------------------------

void TMDLFramePaintBox::SelectVerticesInRect(const TRect& r) {
  TMDLFrame* frame = HasValidEditor() ? Editor_->CurrentFrameObject() : nullptr;
  if (!frame) return;
  TMDLEditor& ed = *Editor_;
  const int n = std::min(frame->Count(), ed.Model->Vertices->Count());
  const TFrameVertex* pos = n > 0 ? frame->Data() : nullptr;
  bool first = true;
  ed.BeginSelect();
  for (int v = 0; v < n; ++v) {
    const TPoint p = ProjectPoint(MakeVector(pos[v].X, pos[v].Y, pos[v].Z));
    if (p.X < r.Left || p.X >= r.Right || p.Y < r.Top || p.Y >= r.Bottom) continue;
    if (!ed.IsObjectVisible(ed.VertexObject(v))) continue;
    ed.SelectVertex(v, true);
    if (first) {
      ed.SetCurrentVertex(v);
      first = false;
    }
  }
  ed.EndSelect();
}

void TMDLFramePaintBox::MoveSelectedVertices(int x1, int y1, int x2, int y2) {
  TMDLFrame* frame = HasValidEditor() ? Editor_->CurrentFrameObject() : nullptr;
  if (!frame) return;
  TMDLEditor& ed = *Editor_;
  const int n = std::min(frame->Count(), ed.Model->Vertices->Count());
  int firstSelected = -1;
  for (int v = 0; v < n && firstSelected < 0; ++v)
    if (ed.IsVertexSelected(v)) firstSelected = v;
  if (firstSelected < 0) return;
  TFrameVertex* pos = frame->Data();
  const TFrameVertex& anchor = pos[firstSelected];
  const float ez = EyeCoordinates(anchor.X, anchor.Y, anchor.Z).z;
  const TVector from = UnprojectAtDepth(x1, y1, ez);
  const TVector to = UnprojectAtDepth(x2, y2, ez);
  MoveRemainder.x += to.x - from.x;
  MoveRemainder.y += to.y - from.y;
  MoveRemainder.z += to.z - from.z;
  // Whole grid steps only; the rest waits for the next move of this drag.
  const float sx = std::trunc(MoveRemainder.x / GridX_) * GridX_;
  const float sy = std::trunc(MoveRemainder.y / GridY_) * GridY_;
  const float sz = std::trunc(MoveRemainder.z / GridZ_) * GridZ_;
  if (sx == 0 && sy == 0 && sz == 0) return;
  MoveRemainder.x -= sx;
  MoveRemainder.y -= sy;
  MoveRemainder.z -= sz;
  for (int v = 0; v < n; ++v) {
    if (!ed.IsVertexSelected(v)) continue;
    pos[v].X += sx;
    pos[v].Y += sy;
    pos[v].Z += sz;
  }
  Invalidate();
}

void TMDLFramePaintBox::DragPivot(int x1, int y1, int x2, int y2) {
  TPivot* pivot = HasValidEditor() ? Editor_->CurrentPivot() : nullptr;
  if (!pivot) return;
  const TVector at = Column(pivot->Matrix(), 4);
  const float ez = EyeCoordinates(at.x, at.y, at.z).z;
  const TVector from = UnprojectAtDepth(x1, y1, ez);
  const TVector to = UnprojectAtDepth(x2, y2, ez);
  const float dx = to.x - from.x, dy = to.y - from.y, dz = to.z - from.z;
  float move[3] = {0, 0, 0}, scale[3] = {0, 0, 0}, turn[3] = {0, 0, 0};
  switch (ToolMode_) {
    case tmMovePivot:
      move[0] = dx, move[1] = dy, move[2] = dz;
      break;
    case tmScalePivot:
      scale[0] = 0.1f * dx, scale[1] = 0.1f * dy, scale[2] = 0.1f * dz;
      break;
    case tmRotatePivot:
      // A handle turns the pivot about the two other axes by the screen
      // movement in whole pixels.
      switch (PivotAxis) {
        case 1: turn[1] = float(y1 - y2), turn[2] = float(x1 - x2); break;
        case 2: turn[0] = float(y2 - y1), turn[2] = float(x1 - x2); break;
        case 3: turn[0] = float(x2 - x1), turn[1] = float(y1 - y2); break;
        default: turn[0] = dy, turn[1] = dz, turn[2] = dx; break;
      }
      break;
    default:
      return;
  }
  ChangeCurrentPivot(move, scale, turn);
  Invalidate();
}

void TMDLFramePaintBox::ChangeCurrentPivot(const float move[3], const float scale[3], const float turn[3]) {
  // Channels: translation, rotation, scale.
  const float diff[TPivot::kChannels] = {move[0], move[1], move[2], turn[0], turn[1],
                                         turn[2], scale[0], scale[1], scale[2]};
  Editor_->TransformObject(diff);
}

// ---- the mouse -----------------------------------------------------------------------------------

void TMDLFramePaintBox::BeginDragStep(const char* name, int skin) {
  if (!DragStep_) DragStep_.emplace(*Editor_, name, skin);
}

const char* TMDLFramePaintBox::DragStepName() const {
  switch (ToolMode_) {
    case tmMovePivot: return "Move Object";
    case tmRotatePivot: return "Rotate Object";
    case tmScalePivot: return "Scale Object";
    default: return "Move Vertices";
  }
}

uint8_t TMDLFramePaintBox::SkinPixelAt(const TMDLBitmap& skin, int s, int t) {
  if (skin.Width <= 0 || skin.Height <= 0 || skin.Image.GetWidth() <= 0 || skin.Image.GetHeight() <= 0) return 0;
  // Coordinates outside the skin read its nearest edge pixel, as the
  // picture shows it.
  const int w = std::min(skin.Width, skin.Image.GetWidth());
  const int h = std::min(skin.Height, skin.Image.GetHeight());
  return skin.Pixel(std::clamp(s, 0, w - 1), std::clamp(t, 0, h - 1));
}

void TMDLFramePaintBox::HitSurface(TShiftState shift, int x, int y, bool& captureMove) {
  TWinGSurface::HitSurface(shift, x, y, captureMove);
  // Editing works on the editor's current frame, so that is what shows.
  if (ToolMode_ != tmView) StopAnimation();
  HitTolerance = Bitmap().GetWidth() / 160 + 1;
  RubberBand = {x, y, x, y};
  MoveRemainder = TVector{};
  RightClickPending = shift.Contains(ssRight);
  Moved = false;
  PressShift = shift;
  if (!HasValidEditor()) return;
  TMDLEditor& ed = *Editor_;
  Dragged = false;
  const bool left = shift.Contains(ssLeft);
  const bool right = shift.Contains(ssRight);
  captureMove = left || right;
  if (!left && !IsPaintTool(ToolMode_)) return;

  const bool withShift = shift.Contains(ssShift);
  const bool alt = shift.Contains(ssAlt);
  int s = 0, t = 0;
  switch (ToolMode_) {
    case tmVertex: {
      int nearest = -1;
      const int v = PickVertex(x, y, nearest);
      if (!alt) {
        if (v < 0) {
          if (!withShift) ed.SetCurrentVertex(-1);
        } else if (withShift) {
          ed.BeginSelect();
          ed.SelectVertex(v, !ed.IsVertexSelected(v));
          ed.EndSelect();
        } else {
          ed.SetCurrentVertex(v);
        }
      } else {
        // A new vertex under the cursor, as deep as the vertex nearest to
        // it on the screen (the model's origin when there is none yet).
        float ez = Rho;
        int owner = 0;
        TMDLFrame* frame = ed.CurrentFrameObject();
        if (nearest >= 0 && frame && nearest < frame->Count()) {
          const TFrameVertex p = frame->Get(nearest);
          ez = EyeCoordinates(p.X, p.Y, p.Z).z;
          owner = ed.VertexObject(nearest);
        }
        ed.AddVertex(UnprojectAtDepth(x, y, ez), owner);
      }
      break;
    }
    case tmMovePivot:
    case tmRotatePivot:
    case tmScalePivot: {
      if (PickPivotAxis(x, y)) break;
      PivotAxis = 0;
      ed.SetCurrentVertex(-1);
      ed.SetCurrentTriangle(-1);
      const int tri = PickTriangle(x, y, s, t);
      if (tri < 0) {
        ed.SetCurrentObject(0);
      } else {
        const TTriangle& tr = ed.Model->Triangles->Items()[static_cast<size_t>(tri)];
        const int o = ed.VertexObject(tr.Vertex[0]);
        if (ed.VertexObject(tr.Vertex[1]) == o && ed.VertexObject(tr.Vertex[2]) == o) ed.SetCurrentObject(o);
      }
      break;
    }
    case tmTriangle: {
      const int tri = PickTriangle(x, y, s, t);
      if (tri < 0) {
        ed.SetCurrentTriangle(-1);
        break;
      }
      if (withShift) {
        ed.BeginSelect();
        ed.SelectTriangle(tri, !ed.IsTriangleSelected(tri));
        ed.EndSelect();
      } else {
        ed.SetCurrentTriangle(tri);
      }
      if (shift.Contains(ssCtrl)) ed.FlipSelectedTriangles();
      if (alt) ed.AlignTriangles();
      break;
    }
    case tmPen: {
      TMDLBitmap* skin = ed.CurrentSkinObject();
      if (!skin || PickTriangle(x, y, s, t) < 0) break;
      if (right) {
        ed.SetCurrentColor(SkinPixelAt(*skin, s, t));
      } else {
        // One stroke, button down to button up, is one step.
        BeginDragStep("Pen", ed.CurrentSkin);
        skin->PenSize = ed.PenSize;
        skin->PenColor = ed.CurrentColor;
        skin->PenReach = 20;
        skin->MoveTo(s, t);
        Dragged = true;
        Invalidate();
      }
      break;
    }
    case tmColorReplace: {
      TMDLBitmap* skin = ed.CurrentSkinObject();
      if (!skin || PickTriangle(x, y, s, t) < 0) break;
      if (alt && left) {
        TUndoStep step(ed, "Replace Color", ed.CurrentSkin);
        skin->ReplaceColor(SkinPixelAt(*skin, s, t), ed.CurrentColor);
        Dragged = true;
        Invalidate();
      } else {
        ed.SetCurrentColor(SkinPixelAt(*skin, s, t));
      }
      break;
    }
    case tmFloodFill: {
      TMDLBitmap* skin = ed.CurrentSkinObject();
      if (!skin || PickTriangle(x, y, s, t) < 0) break;
      if (right) {
        ed.SetCurrentColor(SkinPixelAt(*skin, s, t));
      } else {
        TUndoStep step(ed, "Flood Fill", ed.CurrentSkin);
        skin->FloodFill(s, t, ed.CurrentColor);
        Dragged = true;
        Invalidate();
      }
      break;
    }
    default:
      break;
  }
}

void TMDLFramePaintBox::HitMove(TShiftState shift, int x1, int y1, int x2, int y2, bool& releaseCapture) {
  TWinGSurface::HitMove(shift, x1, y1, x2, y2, releaseCapture);
  RightClickPending = false;
  Moved = true;
  if (!HasValidEditor()) return;
  TMDLEditor& ed = *Editor_;
  const bool left = shift.Contains(ssLeft);
  const bool withShift = shift.Contains(ssShift);
  if (ToolMode_ == tmVertex && left && !withShift && ed.CurrentVertex >= 0 && IsEmptyRect(RubberBand)) {
    BeginDragStep(DragStepName());
    Dragged = true;
    MoveSelectedVertices(x1, y1, x2, y2);
  } else if (ToolMode_ == tmVertex && left && withShift) {
    RubberBand = {RubberBand.Left, RubberBand.Top, x2, y2};
    Invalidate();
  } else if (ToolMode_ == tmTriangle && left && ed.CurrentTriangle >= 0) {
    BeginDragStep(DragStepName());
    Dragged = true;
    MoveSelectedVertices(x1, y1, x2, y2);
  } else if (IsObjectTool(ToolMode_) && left && ed.CurrentObject != 0) {
    BeginDragStep(DragStepName());
    Dragged = true;
    DragPivot(x1, y1, x2, y2);
  } else if (ToolMode_ == tmPen && left) {
    int s = 0, t = 0;
    TMDLBitmap* skin = ed.CurrentSkinObject();
    if (skin && PickTriangle(x2, y2, s, t) >= 0) {
      BeginDragStep("Pen", ed.CurrentSkin);
      skin->LineTo(s, t);
      Dragged = true;
      Invalidate();
    } else {
      CameraDrag(shift, x1, y1, x2, y2);
    }
  } else {
    CameraDrag(shift, x1, y1, x2, y2);
  }
}

void TMDLFramePaintBox::HitRelease(TShiftState shift, int x, int y) {
  TWinGSurface::HitRelease(shift, x, y);
  if (HasValidEditor()) {
    TMDLEditor& ed = *Editor_;
    if (ToolMode_ == tmView && !Moved) {
      if (IgnoreNextClick) {
        IgnoreNextClick = false;
      } else if (PressShift.Contains(ssLeft)) {
        // The button of the click is the one it was pressed with.
        SetFieldOfView(std::max(5, GetFieldOfView() - 10));
      } else {
        SetFieldOfView(std::min(95, GetFieldOfView() + 10));
      }
    }
    if (ToolMode_ == tmVertex && !IsEmptyRect(RubberBand)) SelectVerticesInRect(RubberBand);
    if (Dragged) {
      Dragged = false;
      if (TMDLFrame* frame = ed.CurrentFrameObject()) frame->ComputeBoundingBox();
      ed.Model->Frames->ComputeBounds();
      ed.SetModified(true);
    }
  }
  EndDragStep();
  // The band has done its work; it is not drawn after the release.
  RubberBand = {};
  Invalidate();
  Moved = false;
  PressShift = TShiftState();
}

void TMDLFramePaintBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TWinGSurface::MouseUp(button, shift, x, y);
  const bool pending = RightClickPending;
  RightClickPending = false;
  if (pending && !PopupMenuName.empty()) Host().PopupMenu(PopupMenuName, TPoint{x, y});
}

// ---- adornments ---------------------------------------------------------------------------------

void TMDLFramePaintBox::PaintAdornments(TWinGBitmap& surf) {
  TWinGSurface::PaintAdornments(surf);
  const char* name = StandardViewName(ViewIndex);
  if (!*name) return;
  const uint8_t white = static_cast<uint8_t>(surf.Canvas().ColorIndex(MakeColorRef(255, 255, 255)));
  Labels_.push_back({name, 10, 10, white, true});
}
