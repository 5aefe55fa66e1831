#pragma once
// Models built in code for the tests: boxes, frames and skins with known
// contents.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mdl/Mdl.h"

namespace testmodel {

// Appends a closed box of 8 vertices and 12 triangles centred at (cx, cy,
// cz) with half-size h to the mesh, and the same box (moved by `drift` per
// frame) to every frame.
inline void AddBox(TMDL& m, float cx, float cy, float cz, float h, float drift = 0) {
  const int base = m.Vertices->Count();
  for (int i = 0; i < 8; ++i) {
    m.Vertices->Add(TSkinVertex{i == 0 ? kOnSeam : 0, 4 * i, 2 * i}, kNoObject);
    for (int k = 0; k < m.Frames->Count(); ++k) {
      const float d = drift * static_cast<float>(k);
      m.Frames->Frame(k).Add(TFrameVertex{cx + d + ((i & 1) ? h : -h), cy + ((i & 2) ? h : -h),
                                          cz + ((i & 4) ? h : -h), 0});
    }
  }
  static const int faces[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                   {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
  for (int t = 0; t < 12; ++t)
    m.Triangles->Add(TTriangle{t & 1, {base + faces[t][0], base + faces[t][1], base + faces[t][2]}});
}

// A scene of `n` frames named base1..base<n> (or a timed group).
inline TMDLFrameGroup& AddScene(TMDL& m, const std::string& base, int n, bool group = false) {
  TMDLFrameGroup& s = m.Frames->NewScene();
  for (int i = 0; i < n; ++i) {
    auto f = std::make_unique<TMDLFrame>(&m);
    f->SetCount(m.Vertices->Count());
    f->SetPivotCount(m.Objects->Count());
    f->SetName(base + std::to_string(i + 1));
    s.Add(std::move(f));
  }
  if (group) s.SetType(1);
  m.Frames->RebuildIndex();
  return s;
}

// A cleared model with one 8 x 4 skin, `frames` frames in scene "walk" and
// two boxes, objects reconstructed from the mesh.
inline void MakeTwoBoxes(TMDL& m, int frames = 3) {
  m.Clear();
  m.Header->SkinWidth = 8;
  m.Header->SkinHeight = 4;
  m.Skins->InsertSkin(0);
  TMDLBitmap& skin = m.Skins->Skin(0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) skin.Row(y)[x] = static_cast<uint8_t>(y * 8 + x);
  skin.RecountColors();
  AddScene(m, "walk", frames);
  AddBox(m, 0, 0, 0, 1, 0.5f);
  AddBox(m, 10, 0, 0, 2, -0.25f);
  m.Objects->Reconstruct();
}

inline void PutI32(std::vector<uint8_t>& b, int32_t v) {
  for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k)));
}

inline void PutF32(std::vector<uint8_t>& b, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  PutI32(b, static_cast<int32_t>(u));
}

}  // namespace testmodel
