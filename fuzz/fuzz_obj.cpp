// The OBJ reader on arbitrary text, then what the model makes of it. What
// imports must stay within the model's limits, hold only coordinates a
// model can take, and survive its own export exactly; a "base" frame built
// from it with its texture coordinates must use only vertices it has and
// read the skin where the file said.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Streams.h"
#include "exchange/ObjFormat.h"
#include "mdl/Mdl.h"
#include "mdl/Prompts.h"
#include "fuzz/FuzzSupport.h"

namespace {

// Where a stored skin coordinate lands on a skin of `size` pixels.
int32_t Pixel(float f, int size) {
  const double v = static_cast<double>(f) * size;
  if (!(v == v)) return 0;
  return static_cast<int32_t>(std::nearbyint(std::clamp(v, -1e6, 1e6)));
}

void CheckBase(const TTriangleStore& store) {
  static TQuietPrompts quiet;
  SetPrompts(&quiet);
  TTriangleFiler& filer = TTriangleFiler::Instance();
  filer.SetCount(store.Count());
  std::vector<TStoreSkinTriangle> skin;
  for (int i = 0; i < store.Count(); ++i) {
    *filer.Triangle(i) = *store.Triangle(i);
    skin.push_back(store.SkinTriangle(i));
  }
  filer.SetSkinCoords(std::move(skin));
  filer.SkinPictureFile.clear();
  constexpr int kWidth = 64, kHeight = 32;
  TMDL m;
  m.Clear();
  m.Header->SkinWidth = kWidth;
  m.Header->SkinHeight = kHeight;
  m.Skins->InsertSkin(0);
  m.Frames->CreateBaseFrame();
  TMDLFrame& f = m.Frames->Frame(0);
  f.ImportBase();
  const int n = m.Vertices->Count();
  if (n != f.Count() || n > kMaxVertices || m.Triangles->Count() > store.Count()) __builtin_trap();
  for (int i = 0; i < m.Triangles->Count(); ++i) {
    const TTriangle t = m.Triangles->Get(i);
    for (int c = 0; c < 3; ++c) {
      if (t.Vertex[c] < 0 || t.Vertex[c] >= n) __builtin_trap();
      const TSkinVertex v = m.Vertices->Get(t.Vertex[c]);
      const int s = v.S + (t.FacesFront == 0 && v.Flags != 0 ? kWidth / 2 : 0);
      const TStoreSkinCoord& want = store.SkinTriangle(i)[c];
      if (s != Pixel(want.U, kWidth) || v.T != Pixel(want.V, kHeight)) __builtin_trap();
    }
  }
  TMemoryStream out;
  m.SaveToStream(out, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TOBJFormat format;
  TTriangleStore store;
  if (!ImportFuzzInput(format, data, size, store)) return 0;
  TrapUnlessWithinModelLimits(store);
  for (int i = 0; store.HasSkinCoords() && i < store.Count(); ++i)
    for (int c = 0; c < 3; ++c)
      if (!std::isfinite(store.SkinTriangle(i)[c].U) || !std::isfinite(store.SkinTriangle(i)[c].V)) __builtin_trap();

  TMemoryStream out;
  format.Export(out, store);
  out.SetPosition(0);
  TTriangleStore back;
  format.Import(out, back);
  if (back.Count() != store.Count() || back.HasSkinCoords() != store.HasSkinCoords()) __builtin_trap();
  for (int i = 0; i < store.Count(); ++i)
    for (int c = 0; c < 3; ++c) {
      for (int k = 0; k < 3; ++k)
        if ((*back.Triangle(i))[c][k] != (*store.Triangle(i))[c][k]) __builtin_trap();
      if (!store.HasSkinCoords()) continue;
      const TStoreSkinCoord a = store.SkinTriangle(i)[c], b = back.SkinTriangle(i)[c];
      // V is flipped on the way out and back: within a step of its float.
      if (a.U != b.U || std::fabs(a.V - b.V) > 1e-6f * std::max(1.0f, std::fabs(a.V))) __builtin_trap();
    }

  // A base frame is cheap only for a few thousand triangles.
  if (store.HasSkinCoords() && store.Count() <= 4000) CheckBase(store);
  return 0;
}
