#pragma once
// Shared by the picking and playback tests: a window stand-in that records
// what the paint box asks of it, a paint box whose control is exactly as
// large as its bitmap (so control and bitmap coordinates agree), and small
// models built in code.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "render/MDLFramePaintBox.h"

namespace picktest {

// Keeps the bounds it is given, counts invalidations and repaints (a
// repaint paints at once, as a window's does) and records pop-up menus.
class TRecordingHost : public TOffscreenSurfaceHost {
public:
  void Invalidate() override { ++Invalidations; }
  void Repaint() override {
    ++Repaints;
    if (Surface) Surface->Paint();
  }
  void PopupMenu(std::string_view menu, TPoint at) override { Menus.push_back({std::string(menu), at}); }

  struct TMenu {
    std::string Name;
    TPoint At;
  };
  TWinGSurface* Surface = nullptr;
  int Invalidations = 0;
  int Repaints = 0;
  std::vector<TMenu> Menus;
};

// The paint box with its protected tick reachable.
class TTestPaintBox : public TMDLFramePaintBox {
public:
  using TMDLFramePaintBox::TMDLFramePaintBox;
  using TMDLFramePaintBox::AnimationTick;
};

// A paint box of w x h pixels on its own editor, the control sized like the
// bitmap.
struct TView {
  explicit TView(int w = 320, int h = 200, TAnimationTimerThread::TOwnerCall ownerCall = {}) {
    Box = std::make_unique<TTestPaintBox>(&Editor, &Host, std::move(ownerCall));
    Host.Surface = Box.get();
    Box->SetAutoSize(true);
    Box->SetBitmapWidth(w);
    Box->SetBitmapHeight(h);
    Box->Paint();
  }
  ~TView() { Box.reset(); }

  // Opens the model already built into Editor.Model: scene 0, skin 0,
  // centred, painted, nothing modified.
  void Open() {
    Editor.Model->Frames->ComputeBounds();
    Editor.SetReady(true);
    Editor.SetCurrentScene(0);
    Editor.SetCurrentSkin(0);
    Editor.SetModified(false);
    Box->CenterView();
    Box->Paint();
  }
  bool Load(const std::string& path) {
    try {
      Editor.LoadFromFile(path);
    } catch (const std::exception& e) {
      ADD_FAILURE() << path << ": " << e.what();
      return false;
    }
    Box->CenterView();
    Box->Paint();
    return true;
  }

  // A click: press and release at the same point.
  void Click(TShiftState shift, int x, int y, TMouseButton button = mbLeft) {
    Box->MouseDown(button, shift, x, y);
    Box->MouseUp(button, shift.Without(button == mbLeft ? ssLeft : button == mbRight ? ssRight : ssMiddle), x, y);
  }
  // A press, moves through the points, and a release at the last one.
  void Drag(TShiftState shift, std::vector<TPoint> path, TMouseButton button = mbLeft) {
    Box->MouseDown(button, shift, path.front().X, path.front().Y);
    for (size_t i = 1; i < path.size(); ++i) Box->MouseMove(shift, path[i].X, path[i].Y);
    Box->MouseUp(button, shift, path.back().X, path.back().Y);
  }
  TPoint Pixel(const TFrameVertex& v) const { return Box->ProjectPoint(MakeVector(v.X, v.Y, v.Z)); }
  TPoint Pixel(int vertex) { return Pixel(Editor.CurrentFrameObject()->Get(vertex)); }

  TMDLEditor Editor;
  TRecordingHost Host;
  std::unique_ptr<TTestPaintBox> Box;
};

// A model of one scene of `frames` frames and one skin of w x h pixels all
// of colour `fill`, with no geometry yet.
inline void StartModel(TMDL& m, int frames = 1, int w = 32, int h = 32, uint8_t fill = 7) {
  m.Clear();
  m.Header->SkinWidth = w;
  m.Header->SkinHeight = h;
  m.Skins->InsertSkin(0);
  TMDLBitmap& skin = m.Skins->Skin(0);
  skin.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) skin.Row(y)[x] = fill;
  skin.RecountColors();
  TMDLFrameGroup& s = m.Frames->NewScene();
  for (int i = 0; i < frames; ++i) {
    auto f = std::make_unique<TMDLFrame>(&m);
    f->SetPivotCount(m.Objects->Count());
    f->SetName("frame" + std::to_string(i + 1));
    s.Add(std::move(f));
  }
  m.Frames->RebuildIndex();
}

// Appends a vertex at (x, y, z) in every frame with skin coordinates (s, t).
inline int AddVertex(TMDL& m, float x, float y, float z, int s = 0, int t = 0, int flags = 0) {
  m.Vertices->Add(TSkinVertex{flags, s, t}, 0);
  for (int k = 0; k < m.Frames->Count(); ++k) m.Frames->Frame(k).Add(TFrameVertex{x, y, z, 0});
  return m.Vertices->Count() - 1;
}

inline int AddTriangle(TMDL& m, int a, int b, int c, int facesFront = 1) {
  m.Triangles->Add(TTriangle{facesFront, {a, b, c}});
  return m.Triangles->Count() - 1;
}

// Seen from the front view (eye on +X), a triangle in the plane x = `depth`
// facing the eye: corners at the top left, top right and bottom middle of
// the picture, skin coordinates spread over the top left 16 x 16 pixels.
inline int AddFrontTriangle(TMDL& m, float depth, float half, float cy = 0, float cz = 0, int facesFront = 1) {
  const int a = AddVertex(m, depth, cy - half, cz + half, 0, 0);
  const int b = AddVertex(m, depth, cy + half, cz + half, 15, 0);
  const int c = AddVertex(m, depth, cy, cz - half, 8, 15);
  return AddTriangle(m, a, b, c, facesFront);
}

inline std::string ModelsDir() { return std::string(TESSEL_DATA_DIR) + "/quake/models/"; }

// The real models present, sorted by name; empty when the data is absent.
inline std::vector<std::string> RealModels() {
  std::vector<std::string> out;
  std::error_code ec;
  if (!std::filesystem::is_directory(ModelsDir(), ec)) return out;
  for (const auto& e : std::filesystem::directory_iterator(ModelsDir(), ec))
    if (e.path().extension() == ".mdl") out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace picktest
