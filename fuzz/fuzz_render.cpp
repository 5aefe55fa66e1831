// Renders a small model made from the input bytes (positions, skin
// coordinates, triangles, skin size) with a camera and settings also taken
// from them: whatever the numbers, the paint must stay inside the picture,
// the depth buffer, the skin and the colour map.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/ByteReader.h"
#include "editor/MDLEdit.h"
#include "render/MDLFramePaintBox.h"

namespace {

class TInput {
public:
  TInput(const uint8_t* data, size_t size) : Data_(data), Size_(size) {}
  uint8_t U8() { return Pos_ < Size_ ? Data_[Pos_++] : 0; }
  int32_t I32() {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= uint32_t(U8()) << (8 * k);
    return static_cast<int32_t>(v);
  }
  float F32() {
    const uint32_t u = static_cast<uint32_t>(I32());
    float f;
    std::memcpy(&f, &u, 4);
    return f;
  }
  // Mostly ordinary numbers, sometimes anything at all.
  float Coord() {
    const uint8_t kind = U8();
    if (kind < 200) return static_cast<float>(static_cast<int8_t>(U8())) * 0.5f;
    return F32();
  }

private:
  const uint8_t* Data_;
  size_t Size_;
  size_t Pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TInput in(data, size);
  TMDLEditor editor;
  TMDL& m = *editor.Model;
  m.Clear();
  const int sw = 1 + in.U8() % 48, sh = 1 + in.U8() % 48;
  m.Header->SkinWidth = sw;
  m.Header->SkinHeight = sh;
  m.Skins->InsertSkin(0);
  TMDLBitmap& skin = m.Skins->Skin(0);
  for (int y = 0; y < skin.Height; ++y)
    for (int x = 0; x < skin.Width; ++x) skin.Row(y)[x] = static_cast<uint8_t>(x * 7 + y * 13);
  skin.Gamma = in.U8();

  TMDLFrameGroup& scene = m.Frames->NewScene();
  auto frame = std::make_unique<TMDLFrame>(&m);
  frame->SetName("frame1");
  scene.Add(std::move(frame));
  m.Frames->RebuildIndex();
  const int nv = 1 + in.U8() % 24;
  for (int i = 0; i < nv; ++i) {
    const int32_t flags = in.U8() & 1 ? kOnSeam : 0;
    const int32_t s = in.U8() < 230 ? in.U8() % (sw + 8) - 4 : in.I32();
    const int32_t t = in.U8() < 230 ? in.U8() % (sh + 8) - 4 : in.I32();
    m.Vertices->Add(TSkinVertex{flags, s, t}, kNoObject);
    const float x = in.Coord(), y = in.Coord(), z = in.Coord();
    m.Frames->Frame(0).Add(TFrameVertex{x, y, z, in.U8() < 250 ? in.U8() % 162 : in.I32()});
  }
  const int nt = in.U8() % 32;
  for (int i = 0; i < nt; ++i)
    m.Triangles->Add(TTriangle{in.U8() & 1, {in.U8() % nv, in.U8() % nv, in.U8() % nv}});
  m.Objects->Reconstruct();
  m.Frames->ComputeBounds();
  m.Header->Radius = std::fabs(in.Coord());
  m.Header->EyePosition[2] = in.Coord();
  editor.SetReady(true);
  editor.SetCurrentScene(0);
  editor.SetCurrentSkin(0);

  TMDLFramePaintBox box(&editor);
  box.SetResolution(1 + in.U8() % 160, 1 + in.U8() % 120);
  box.Loaded();
  const int paints = 1 + in.U8() % 3;
  for (int p = 0; p < paints; ++p) {
    box.SetView(in.U8() % 9);
    if (in.U8() & 1) {
      box.SetTheta(in.Coord());
      box.SetPhi(in.Coord());
    }
    if (in.U8() & 1) box.ScreenDistance = in.Coord() * 20;
    if (in.U8() & 1) {
      box.Rho = in.Coord() * 4;
      box.UpdateCamera();
    }
    box.CenterX += static_cast<int8_t>(in.U8());
    box.CenterY += static_cast<int8_t>(in.U8());
    box.Parallel = in.U8() & 1;
    box.SetViewMode(in.U8() % 4);
    box.SetToolMode(in.U8() % 9);
    box.Lighting = in.U8() & 1;
    box.ShowBacksides = in.U8() & 1;
    box.ShowGroundPlane = in.U8() & 1;
    box.SetSelected(in.U8() & 1);
    box.LightVector = {in.Coord(), in.Coord(), in.Coord(), 0};
    if (in.U8() & 1) editor.SelectTriangle(in.U8() % (nt + 1), true);
    if (in.U8() & 1) editor.SelectVertex(in.U8() % nv, true);
    box.Paint();
  }
  return 0;
}
