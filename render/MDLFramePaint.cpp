// The frame paint box: construction, the editor's events, and the whole
// picture of one frame (vertex transform, ground grid, triangles in every
// view mode, back faces, marks, axes, rubber band, pane frame, timings).

#include <algorithm>
#include <cmath>

#include "mdl/Normals.h"
#include "raster/ColorTables.h"
#include "render/MDLFramePaintBox.h"
#include "render/RasterMath.h"

namespace {

// Game palette indices of the fixed colours.
constexpr int kBlack = 0;
constexpr int kWhite = 254;
constexpr int kBlue = 208;
constexpr int kDarkRed = 79;

uint8_t Display(int gameIndex) { return GameToDisplay().Map(gameIndex); }

bool IsObjectTool(uint8_t tool) { return tool >= tmMovePivot && tool <= tmScalePivot; }

int32_t ClampSkin(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -(1 << 24), 1 << 24)); }

}  // namespace

// ---- construction -------------------------------------------------------------------

TMDLFramePaintBox::TMDLFramePaintBox(TMDLEditor* editor, TSurfaceHost* host,
                                     TAnimationTimerThread::TOwnerCall ownerCall)
    : TWinGSurface(host),
      Editor_(editor ? editor : &TMDLEditor::Instance()),
      SharedEditor_(Editor_ == TMDLEditor::Peek()) {
  SetPalette(DisplayPalette().NewHandle());
  RecordBitmap.SetPalette(GamePalette().NewHandle());
  UpdateCamera();
  BindObserver();
  InitAnimation(std::move(ownerCall));
}

TMDLFramePaintBox::~TMDLFramePaintBox() {
  // The ticks end before the observer and the picture go.
  Timer_.reset();
  // The program-wide editor may have been freed before this window; an
  // editor of our own must outlive us.
  const bool editorAlive = !SharedEditor_ || TMDLEditor::Peek() == Editor_;
  if (DragStep_ && !editorAlive) DragStep_->Dismiss();
  DragStep_.reset();
  if (editorAlive) Editor_->RemoveObserver(&Observer_);
}

void TMDLFramePaintBox::Loaded() {
  CenterView();
  Observer_.SetEnabled(true);
  Editor_->AddObserver(&Observer_);
}

void TMDLFramePaintBox::BindObserver() {
  // The observer stays unregistered until Loaded; SetEnabled would register
  // it with the program-wide editor, which need not be ours.
  auto invalidate = [this](TMDLObserver*) { Invalidate(); };
  auto showCurrent = [this](TMDLObserver*) {
    PlayFrame = Editor_->CurrentFrame;
    Invalidate();
  };
  Observer_.OnCurrentFrameChange = [this](TMDLObserver*) {
    // Stepping through frames copies only the part of the picture the model covers.
    SetPartialPaint(ToolMode_ == tmView || (ToolMode_ >= tmTriangle && ToolMode_ <= tmFloodFill));
    PlayFrame = Editor_->CurrentFrame;
    Repaint();
  };
  Observer_.OnCurrentSceneChange = showCurrent;
  Observer_.OnFrameCountChange = showCurrent;
  Observer_.OnSceneCountChange = showCurrent;
  Observer_.OnMDLChange = [this](TMDLObserver*) {
    PlayFrame = Editor_->CurrentFrame;
    CenterView();
    Invalidate();
  };
  Observer_.OnCurrentObjectChange = invalidate;
  Observer_.OnCurrentSkinChange = invalidate;
  Observer_.OnCurrentTriangleChange = invalidate;
  Observer_.OnCurrentVertexChange = invalidate;
  Observer_.OnGammaChange = invalidate;
  Observer_.OnModifyChange = [this](TMDLObserver*, bool) { Invalidate(); };
  Observer_.OnObjectVisibilityChange = invalidate;
  Observer_.OnPantsColorChange = invalidate;
  Observer_.OnSelectionChange = invalidate;
  Observer_.OnShirtColorChange = invalidate;
  Observer_.OnSkinCountChange = invalidate;
}

// ---- rendering settings -----------------------------------------------------------------

void TMDLFramePaintBox::SetViewMode(uint8_t mode) {
  // A new recording starts empty; the next paint gives it the skin's size.
  if (mode == vmSkinRecorder && ViewMode_ != vmSkinRecorder) RecordBitmap.SetSize(0, 0);
  ViewMode_ = mode;
  Invalidate();
}

void TMDLFramePaintBox::SetBackgroundIndex(uint8_t index) {
  BackgroundIndex_ = index;
  const TRGBQuad c = GamePalette().GetColor(index);
  SetBackgroundColor(MakePaletteRGB(QuadRed(c), QuadGreen(c), QuadBlue(c)));
  Invalidate();
}

void TMDLFramePaintBox::SetSelected(bool value) {
  if (value == Selected_) return;
  Selected_ = value;
  IgnoreNextClick = true;
  Invalidate();
}

// ---- pixel routines ------------------------------------------------------------------------

void TMDLFramePaintBox::FillTexturedTriangle(const TVertexRecord& a, const TVertexRecord& b,
                                             const TVertexRecord& c) {
  Raster_.FillTextured(a, b, c);
}

void TMDLFramePaintBox::FillRecordTriangle(const TVertexRecord& a, const TVertexRecord& b,
                                           const TVertexRecord& c) {
  Raster_.FillRecord(a, b, c);
}

void TMDLFramePaintBox::FillSolidTriangle(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c,
                                          uint8_t fillColor, uint8_t edgeColor) {
  Raster_.FillSolid(a, b, c, fillColor, edgeColor);
}

void TMDLFramePaintBox::OutlineTriangle(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c,
                                        uint8_t color) {
  Raster_.Outline(a, b, c, color);
}

void TMDLFramePaintBox::DrawDepthLine(const TVertexRecord& a, const TVertexRecord& b, uint8_t color) {
  Raster_.DrawDepthLine(a, b, color);
}

TVertexRecord TMDLFramePaintBox::PointRecord(float x, float y, float z) const {
  const TVector eye = EyeCoordinates(x, y, z);
  const TPoint p = ProjectEye(eye);
  TVertexRecord r;
  r.X = p.X;
  r.Y = p.Y;
  r.L = 32;
  r.Z = DepthOf(eye.z);
  return r;
}

void TMDLFramePaintBox::DrawGroundPlane(float z, float halfX, float halfY) {
  const uint8_t color = Display(GroundColor);
  const float step = halfX * 0.5f;
  if (!(step > 0)) return;
  for (int i = 0; i <= 4; ++i) {
    const float x = -halfX + step * static_cast<float>(i);
    DrawDepthLine(PointRecord(x, halfY, z), PointRecord(x, -halfY, z), color);
  }
  for (int i = 0; i <= 4; ++i) {
    const float y = -halfY + step * static_cast<float>(i);
    DrawDepthLine(PointRecord(halfX, y, z), PointRecord(-halfX, y, z), color);
  }
}

// ---- the shown frame --------------------------------------------------------------------------

TMDLFrame* TMDLFramePaintBox::ShownFrame() const {
  if (!HasValidEditor()) return nullptr;
  TMDLFrameList& frames = *Editor_->Model->Frames;
  // A scene that shrank under a running animation must not send us past its end.
  const int play = std::clamp(PlayFrame, 0, std::max(Editor_->SceneFrameCount - 1, 0));
  const int k = std::clamp(Editor_->SceneFirstFrame + play, 0, frames.Count() - 1);
  return &frames.Frame(k);
}

TRect TMDLFramePaintBox::ProjectVertices(TMDLFrame& frame) {
  TMDL& model = *Editor_->Model;
  const TMDLVertexList& skinVerts = *model.Vertices;
  const int n = std::min(frame.Count(), skinVerts.Count());
  Records_.resize(static_cast<size_t>(n));
  const TFrameVertex* pos = frame.Data();
  const int halfSkin = model.Header->SkinWidth / 2;

  int lightCap = 32;
  if (TMDLBitmap* skin = Editor_->CurrentSkinObject()) lightCap = 32 - static_cast<int8_t>(skin->Gamma);
  // The colour map has 64 rows, whatever the gamma says.
  lightCap = std::clamp(lightCap, 0, 63);
  const double lx = LightVector.x, ly = LightVector.y, lz = LightVector.z;

  const int w = Bitmap().GetWidth();
  const int h = Bitmap().GetHeight();
  int minX = 32000, minY = 32000, maxX = 0, maxY = 0;
  for (int i = 0; i < n; ++i) {
    const TFrameVertex& v = pos[i];
    const TVector eye = EyeCoordinates(v.X, v.Y, v.Z);
    const TPoint p = ProjectEye(eye);
    TVertexRecord& r = Records_[static_cast<size_t>(i)];
    r.X = p.X;
    r.Y = p.Y;
    minX = std::max(0, std::min(minX, p.X - 1));
    maxX = std::min(w - 1, std::max(maxX, p.X + 1));
    minY = std::max(0, std::min(minY, p.Y - 1));
    maxY = std::min(h - 1, std::max(maxY, p.Y + 1));
    const TSkinVertex& sv = skinVerts.Get(i);
    // Skin coordinates from a file may be anything; beyond +-2^24 they all
    // land on the skin's edge anyway, and the fills subtract them in 32 bits.
    r.S = ClampSkin(sv.S);
    r.T = ClampSkin(sv.T);
    r.SeamS = sv.Flags != 0 ? ClampSkin(int64_t(sv.S) + halfSkin) : r.S;
    r.Z = DepthOf(eye.z);
    if (!Lighting) {
      r.L = 32;
    } else {
      const int j = v.NormalIndex >= 0 && v.NormalIndex < kNormalCount ? v.NormalIndex : 0;
      const float dot = static_cast<float>(kLightNormals[j][0] * lx + kLightNormals[j][1] * ly +
                                           kLightNormals[j][2] * lz);
      // A light vector that is not a number lights nothing rather than
      // giving an undefined row.
      const double level = (1.0 + double(dot)) * 63.0;
      r.L = !(level >= 0.0) ? 0 : level >= 64.0 ? lightCap : std::min(lightCap, RoundEven(level));
    }
  }
  if (minX > maxX || minY > maxY) return {};
  return {minX, minY, maxX + 1, maxY + 1};
}

void TMDLFramePaintBox::ResetDepthBuffer() {
  Raster_.Attach(Bitmap());
  Raster_.ClearDepth();
}

// ---- the picture ------------------------------------------------------------------------------

void TMDLFramePaintBox::DrawAxes(TWinGBitmap& surf, const TMatrix* frame, bool labels) {
  TWinGCanvas& canvas = surf.Canvas();
  auto project = [&](float x, float y, float z) {
    TVector p = MakeVector(x, y, z);
    if (frame) p = Transform(*frame, p);
    return ProjectPoint(p);
  };
  struct TAxis {
    float X, Y, Z;
    TColorRef Color;
    const char* Name;
  };
  static const TAxis kAxes[3] = {{1, 0, 0, MakeColorRef(0, 0, 255), "X"},
                                 {0, 1, 0, MakeColorRef(255, 255, 0), "Y"},
                                 {0, 0, 1, MakeColorRef(255, 0, 0), "Z"}};
  const TPoint origin = project(0, 0, 0);
  canvas.PenWidth = 1;
  for (const TAxis& a : kAxes) {
    const uint8_t color = static_cast<uint8_t>(canvas.ColorIndex(a.Color));
    const TPoint end = project(5 * a.X, 5 * a.Y, 5 * a.Z);
    canvas.PenColor = color;
    canvas.MoveTo(origin.X, origin.Y);
    canvas.LineTo(end.X, end.Y);
    if (labels) {
      const TPoint at = project(7 * a.X, 7 * a.Y, 7 * a.Z);
      Labels_.push_back({a.Name, at.X, at.Y, color, false});
    }
  }
}

void TMDLFramePaintBox::PaintTriangles() {
  TMDLEditor& ed = *Editor_;
  const std::vector<TTriangle>& tris = ed.Model->Triangles->Items();
  const size_t nv = Records_.size();
  const TVertexRecord* rec = Records_.data();
  const uint8_t mode = ViewMode_;
  const uint8_t black = Display(kBlack);
  const uint8_t white = Display(kWhite);

  auto corners = [&](const TTriangle& t, TVertexRecord& a, TVertexRecord& b, TVertexRecord& c) {
    if (static_cast<size_t>(t.Vertex[0]) >= nv || static_cast<size_t>(t.Vertex[1]) >= nv ||
        static_cast<size_t>(t.Vertex[2]) >= nv)
      return false;
    a = rec[t.Vertex[0]];
    b = rec[t.Vertex[1]];
    c = rec[t.Vertex[2]];
    return true;
  };
  auto facing = [](const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c) {
    return int64_t(b.X - a.X) * (c.Y - a.Y) - int64_t(b.Y - a.Y) * (c.X - a.X);
  };

  for (size_t i = 0; i < tris.size(); ++i) {
    const int ti = static_cast<int>(i);
    if (!ed.IsTriangleVisible(ti) || ed.IsTriangleSelected(ti)) continue;
    const TTriangle& t = tris[i];
    TVertexRecord a, b, c;
    if (!corners(t, a, b, c)) continue;
    const int64_t f = facing(a, b, c);
    switch (mode) {
      case vmTextured:
      case vmSkinRecorder:
        if (f <= 0) break;
        if (t.FacesFront == 0) {
          ApplySeam(a);
          ApplySeam(b);
          ApplySeam(c);
        }
        if (mode == vmTextured)
          FillTexturedTriangle(a, b, c);
        else
          FillRecordTriangle(a, b, c);
        break;
      case vmSolid:
        if (f > 0) FillSolidTriangle(a, b, c, white, black);
        break;
      case vmWireFrame:
        if (f != 0) OutlineTriangle(a, b, c, black);
        break;
      default:
        break;
    }
  }

  if (ShowBacksides || ToolMode_ == tmTriangle) {
    const uint8_t darkRed = Display(kDarkRed);
    const uint8_t blue = Display(kBlue);
    for (size_t i = 0; i < tris.size(); ++i) {
      const int ti = static_cast<int>(i);
      if (!ed.IsTriangleVisible(ti)) continue;
      TVertexRecord a, b, c;
      if (!corners(tris[i], a, b, c)) continue;
      if (!ed.IsTriangleSelected(ti)) {
        if (ShowBacksides && mode != vmWireFrame && facing(a, b, c) < 0) FillSolidTriangle(a, b, c, darkRed, black);
      } else if (ToolMode_ == tmTriangle) {
        FillSolidTriangle(a, b, c, blue, black);
      }
    }
  }
}

void TMDLFramePaintBox::PaintMarks() {
  TMDLEditor& ed = *Editor_;
  const TMDLVertexList& verts = *ed.Model->Vertices;
  const uint8_t blue = Display(kBlue);
  const uint8_t black = Display(kBlack);
  for (size_t i = 0; i < Records_.size(); ++i) {
    const int v = static_cast<int>(i);
    if (!ed.IsObjectVisible(verts.ObjectIndex(v))) continue;
    const uint8_t color = ed.IsVertexSelected(v) ? blue : black;
    const TVertexRecord& r = Records_[i];
    TVertexRecord p[4] = {r, r, r, r};
    p[0].X = r.X - 2, p[0].Y = r.Y - 2;
    p[1].X = r.X + 2, p[1].Y = r.Y - 2;
    p[2].X = r.X + 2, p[2].Y = r.Y + 2;
    p[3].X = r.X - 2, p[3].Y = r.Y + 2;
    FillSolidTriangle(p[0], p[1], p[2], color, color);
    FillSolidTriangle(p[0], p[2], p[3], color, color);
    for (int k = 0; k < 4; ++k) DrawDepthLine(p[k], p[(k + 1) % 4], color);
  }
}

void TMDLFramePaintBox::PaintSurface(TWinGBitmap& surf) {
  Labels_.clear();
  TMDLFrame* frame = ShownFrame();
  if (!frame) {
    TWinGSurface::PaintSurface(surf);
    return;
  }
  auto clock = [this] { return TickSource ? TickSource() : SteadyTickCount(); };
  Performance.Reset();
  Performance.FramePaintStart = clock();

  TRect dirty = ProjectVertices(*frame);
  ResetDepthBuffer();

  TMDL& model = *Editor_->Model;
  TMDLBitmap* skin = Editor_->CurrentSkinObject();
  TSkinSource source;
  if (skin) {
    TWinGBitmap& image = skin->DisplayImage();
    const int sw = std::min(skin->Width, image.GetWidth());
    const int sh = std::min(skin->Height, image.GetHeight());
    SkinRows_.resize(static_cast<size_t>(std::max(sh, 0)));
    for (int y = 0; y < sh; ++y) SkinRows_[static_cast<size_t>(y)] = image.ScanLine(y);
    source.Rows = SkinRows_.data();
    source.Width = sw;
    source.Height = sh;
    source.Shade = skin->ShadeTable().data();
    source.GameShade = GameColormap().data();
    if (ViewMode_ == vmSkinRecorder) {
      if (RecordBitmap.GetWidth() != image.GetWidth() || RecordBitmap.GetHeight() != image.GetHeight())
        RecordBitmap.SetSize(image.GetWidth(), image.GetHeight());
      RecordRows_.resize(static_cast<size_t>(std::max(sh, 0)));
      for (int y = 0; y < sh; ++y) RecordRows_[static_cast<size_t>(y)] = RecordBitmap.ScanLine(y);
      source.RecordRows = RecordRows_.data();
    }
  }
  Raster_.SetSkin(source);

  Performance.TrianglePaintStart = clock();
  if (ShowGroundPlane) DrawGroundPlane(model.Header->EyePosition[2], 64.0f, 64.0f);

  if (ViewMode_ == vmWireFrame) {
    const TFrameVertex& lo = frame->BBoxMin;
    const TFrameVertex& hi = frame->BBoxMax;
    TVertexRecord c[8];
    for (int k = 0; k < 8; ++k) {
      c[k] = PointRecord(k & 1 ? hi.X : lo.X, k & 2 ? hi.Y : lo.Y, k & 4 ? hi.Z : lo.Z);
      dirty = UnionRect(dirty, {c[k].X - 1, c[k].Y - 1, c[k].X + 2, c[k].Y + 2});
    }
    static const int kEdges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                      {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    const uint8_t boxColor = Display(GroundColor);
    for (const auto& e : kEdges) DrawDepthLine(c[e[0]], c[e[1]], boxColor);
    DrawAxes(surf, nullptr, true);
    for (int k = 0; k < 4; ++k) {
      const float e = k == 0 ? 0.0f : 7.0f;
      const TPoint p = ProjectPoint(MakeVector(k == 1 ? e : 0, k == 2 ? e : 0, k == 3 ? e : 0));
      // The letters are about one glyph to the lower right of their point.
      dirty = UnionRect(dirty, {p.X - 1, p.Y - 1, p.X + 12, p.Y + 16});
    }
    const int w = surf.GetWidth(), h = surf.GetHeight();
    dirty = {std::max(dirty.Left, 0), std::max(dirty.Top, 0), std::min(dirty.Right, w), std::min(dirty.Bottom, h)};
    if (dirty.Left >= dirty.Right || dirty.Top >= dirty.Bottom) dirty = {};
  }
  MarkDirty(dirty);

  if (IsObjectTool(ToolMode_) && ViewMode_ != vmWireFrame) DrawAxes(surf, nullptr, true);

  PaintTriangles();
  if (ToolMode_ == tmVertex) PaintMarks();

  if (IsObjectTool(ToolMode_)) {
    const int o = Editor_->CurrentObject;
    if (o >= 0 && o < frame->PivotCount()) DrawAxes(surf, &frame->Pivot(o).Matrix(), false);
  }

  TWinGCanvas& canvas = surf.Canvas();
  if (ToolMode_ == tmVertex && RubberBand.Left != RubberBand.Right && RubberBand.Top != RubberBand.Bottom) {
    canvas.PenWidth = 1;
    canvas.PenColor = static_cast<uint8_t>(canvas.ColorIndex(MakeColorRef(255, 255, 255)));
    canvas.Rectangle(std::min(RubberBand.Left, RubberBand.Right), std::min(RubberBand.Top, RubberBand.Bottom),
                     std::max(RubberBand.Left, RubberBand.Right), std::max(RubberBand.Top, RubberBand.Bottom));
  }
  if (Selected_) {
    canvas.PenWidth = 2;
    canvas.PenColor = static_cast<uint8_t>(canvas.ColorIndex(MakeColorRef(255, 255, 255)));
    canvas.Rectangle(0, 0, surf.GetWidth(), surf.GetHeight());
    canvas.PenWidth = 1;
  }

  const uint32_t end = clock();
  Performance.TrianglePaintTime = TPerformanceInfo::Elapsed(Performance.TrianglePaintStart, end);
  Performance.FramePaintTime = TPerformanceInfo::Elapsed(Performance.FramePaintStart, end);
  TWinGSurface::PaintSurface(surf);
}
