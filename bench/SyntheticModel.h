// The generated model the benchmarks share: 10000 vertices, 20000
// triangles (a 100 x 100 grid wrapped round a sphere-like shape), 300 frames
// in 10 scenes and two 512 x 512 skins; near the limits a modder meets.

#pragma once

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "mdl/Mdl.h"

inline void MakeSyntheticModel(TMDL& m) {
  m.Clear();
  m.Header->SkinWidth = 512;
  m.Header->SkinHeight = 512;
  m.Skins->InsertSkin(0);
  m.Skins->InsertSkin(1);
  for (int k = 0; k < 2; ++k) {
    m.Skins->Skin(k).SetSize(512, 512);
    for (int y = 0; y < 512; ++y)
      for (int x = 0; x < 512; ++x) m.Skins->Skin(k).Row(y)[x] = static_cast<uint8_t>(x ^ y ^ k);
    m.Skins->Skin(k).RecountColors();
  }
  const int n = 100;
  for (int i = 0; i < n * n; ++i) m.Vertices->Add(TSkinVertex{0, (i % n) * 5, (i / n) * 5}, kNoObject);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      const int a = r * n + c, b = r * n + (c + 1) % n, d = ((r + 1) % n) * n + c, e = ((r + 1) % n) * n + (c + 1) % n;
      m.Triangles->Add(TTriangle{1, {a, b, e}});
      m.Triangles->Add(TTriangle{1, {a, e, d}});
    }
  for (int s = 0; s < 10; ++s) {
    TMDLFrameGroup& scene = m.Frames->NewScene();
    for (int f = 0; f < 30; ++f) {
      auto frame = std::make_unique<TMDLFrame>(&m);
      frame->SetName("anim" + std::to_string(f + 1));
      for (int i = 0; i < n * n; ++i) {
        const double u = 2 * M_PI * (i % n) / n, v = M_PI * (i / n + 0.5) / n, t = 0.1 * (s * 30 + f);
        const double rad = 20 + 3 * std::sin(3 * u + t) * std::cos(2 * v);
        frame->Add(TFrameVertex{static_cast<float>(rad * std::cos(u) * std::sin(v)),
                                static_cast<float>(rad * std::sin(u) * std::sin(v)),
                                static_cast<float>(rad * std::cos(v)), 0});
      }
      scene.Add(std::move(frame));
    }
  }
  m.Frames->RebuildIndex();
  m.Objects->Reconstruct();
}

// The generated model saved once under `name` in the temporary folder, to be
// loaded as a user would open it.
inline std::string SyntheticModelFile(const std::string& name) {
  const std::string file = (std::filesystem::temp_directory_path() / name).string();
  TMDL m;
  MakeSyntheticModel(m);
  m.SaveToFile(file, true);
  return file;
}
