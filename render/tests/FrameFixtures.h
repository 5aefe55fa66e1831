#pragma once
// Shared by the render tests: an editor of the test's own showing a model
// built in code, a paint box on it, and small helpers to look at pictures.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"
#include "mdl/Normals.h"
#include "raster/ColorTables.h"
#include "render/MDLFramePaintBox.h"

namespace rendertest {

// A corner of a test model: position, skin coordinates, seam flag, normal.
struct TCorner {
  float X, Y, Z;
  int32_t S, T;
  int32_t Flags = 0;
  int32_t Normal = 0;
};

// The corners of a triangle, and whether it faces front (0: the seam rule applies).
struct TFace {
  int A, B, C;
  int32_t FacesFront = 1;
};

// An empty model with a skin of `w` x `h` filled with `color`.
inline void MakeSkin(TMDL& m, int w, int h, uint8_t color) {
  m.Clear();
  m.Header->SkinWidth = w;
  m.Header->SkinHeight = h;
  m.Skins->InsertSkin(0);
  TMDLBitmap& skin = m.Skins->Skin(0);
  for (int y = 0; y < skin.Height; ++y)
    for (int x = 0; x < skin.Width; ++x) skin.Row(y)[x] = color;
  skin.RecountColors();
}

// One scene of one frame holding `corners`, and the triangles `faces`.
inline void AddMesh(TMDL& m, const std::vector<TCorner>& corners, const std::vector<TFace>& faces) {
  TMDLFrameGroup& scene = m.Frames->NewScene();
  auto frame = std::make_unique<TMDLFrame>(&m);
  frame->SetName("frame1");
  scene.Add(std::move(frame));
  m.Frames->RebuildIndex();
  for (const TCorner& c : corners) {
    m.Vertices->Add(TSkinVertex{c.Flags, c.S, c.T}, kNoObject);
    m.Frames->Frame(0).Add(TFrameVertex{c.X, c.Y, c.Z, c.Normal});
  }
  for (const TFace& f : faces) m.Triangles->Add(TTriangle{f.FacesFront, {f.A, f.B, f.C}});
  m.Objects->Reconstruct();
  m.Frames->ComputeBounds();
  m.Header->Radius = 50;
}

// The four corners of a square in the plane x = `x` (facing +X, the front
// view's eye), y and z from -h to h, with skin columns s0..s1 and rows 0..t1.
// Corner order: top left, top right, bottom right, bottom left as the
// front view shows them.
inline std::vector<TCorner> Square(float x, float h, int32_t s0, int32_t s1, int32_t t1, int32_t normal = 0) {
  return {{x, -h, h, s0, 0, 0, normal},
          {x, h, h, s1, 0, 0, normal},
          {x, h, -h, s1, t1, 0, normal},
          {x, -h, -h, s0, t1, 0, normal}};
}

// The two clockwise triangles of a square whose corners start at `base`;
// `reversed` winds them the other way (a back face).
inline std::vector<TFace> SquareFaces(int base, bool reversed = false, int32_t facesFront = 1) {
  if (reversed) return {{base, base + 2, base + 1, facesFront}, {base, base + 3, base + 2, facesFront}};
  return {{base, base + 1, base + 2, facesFront}, {base, base + 2, base + 3, facesFront}};
}

// An editor of the test's own with the model made by `build`, and a paint
// box of `w` x `h` pixels in the front view with a parallel projection of
// scale 1: model (x, y, z) lands on pixel (w/2 + y, h/2 - z).
class TView {
public:
  template <class Build>
  TView(Build build, int w = 128, int h = 96) {
    Editor.Model->Clear();
    build(*Editor.Model);
    Editor.SetReady(true);
    Editor.SetCurrentScene(0);
    Editor.SetCurrentSkin(0);
    Box = std::make_unique<TMDLFramePaintBox>(&Editor);
    Box->ShowGroundPlane = false;
    Box->SetResolution(w, h);
    Box->Loaded();
    Box->SetView(1);
    Flat();
  }

  // Parallel projection with one pixel per model unit, centred.
  void Flat() {
    Box->Parallel = true;
    Box->ScreenDistance = 1000;
    Box->Rho = 1000;
    Box->UpdateCamera();
    Box->CenterX = Box->Bitmap().GetWidth() / 2;
    Box->CenterY = Box->Bitmap().GetHeight() / 2;
  }

  TWinGBitmap& Paint() {
    Box->Paint();
    return Box->Bitmap();
  }
  uint8_t Pixel(int x, int y) { return Box->Bitmap().ScanLine(y)[x]; }
  // The background's palette index on the picture.
  uint8_t Background() { return static_cast<uint8_t>(Box->Bitmap().Canvas().ColorIndex(Box->BackgroundColor())); }
  TMDLBitmap& Skin() { return Editor.Model->Skins->Skin(0); }
  uint8_t Shade(int row, uint8_t texel) { return Skin().ShadeTable()[size_t(row) * 256 + texel]; }

  // Every pixel of the picture, row by row.
  std::vector<uint8_t> Pixels() {
    std::vector<uint8_t> out;
    const TWinGBitmap& b = Box->Bitmap();
    for (int y = 0; y < b.GetHeight(); ++y) out.insert(out.end(), b.ScanLine(y), b.ScanLine(y) + b.GetWidth());
    return out;
  }
  // The distinct colours other than the background.
  std::set<uint8_t> DrawnColors() {
    std::set<uint8_t> out;
    const uint8_t bg = Background();
    for (uint8_t p : Pixels())
      if (p != bg) out.insert(p);
    return out;
  }
  int DrawnCount() {
    int n = 0;
    const uint8_t bg = Background();
    for (uint8_t p : Pixels()) n += p != bg;
    return n;
  }

  TMDLEditor Editor;
  std::unique_ptr<TMDLFramePaintBox> Box;
};

inline uint8_t Display(int gameIndex) { return GameToDisplay().Map(gameIndex); }

// The light-normal entry pointing along (x, y, z).
inline int NormalAlong(float x, float y, float z) { return NearestNormalExhaustive(MakeVector(x, y, z)); }

// The real models, or an empty list when the data folder is absent.
inline std::vector<std::string> RealModels() {
  std::vector<std::string> out;
  const std::filesystem::path dir = std::filesystem::path(TESSEL_DATA_DIR) / "quake" / "models";
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return out;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (e.path().extension() == ".mdl") out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace rendertest
