// Model files of arbitrary bytes merged into a small model and into
// themselves, and the skin layout operations run on them: each must work or
// raise, never crash, hang or allocate without bound.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/Streams.h"
#include "mdl/Mdl.h"
#include "mdl/Prompts.h"
#include "fuzz/FuzzSupport.h"

namespace {

// A two-triangle model with one 8 x 4 skin and two frames.
void MakeSmall(TMDL& m) {
  m.Clear();
  m.Header->SkinWidth = 8;
  m.Header->SkinHeight = 4;
  m.Skins->InsertSkin(0);
  TMDLFrameGroup& s = m.Frames->NewScene();
  for (int f = 0; f < 2; ++f) {
    auto frame = std::make_unique<TMDLFrame>(&m);
    frame->SetName("a" + std::to_string(f + 1));
    s.Add(std::move(frame));
  }
  m.Frames->RebuildIndex();
  for (int i = 0; i < 4; ++i) {
    m.Vertices->Add(TSkinVertex{i == 0 ? kOnSeam : 0, i * 2, i}, kNoObject);
    m.Frames->AddVertexToAll(TFrameVertex{static_cast<float>(i), static_cast<float>(i * i), 1, 0});
  }
  m.Triangles->Add(TTriangle{1, {0, 1, 2}});
  m.Triangles->Add(TTriangle{0, {1, 2, 3}});
  m.Objects->Reconstruct();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TQuietPrompts quiet;
  SetPrompts(&quiet);
  static const std::string file = "/tmp/fuzz_merge_" + std::to_string(::getpid()) + ".mdl";
  {
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  try {
    TMDL m;
    MakeSmall(m);
    m.Merge(file);
    TMemoryStream out;
    m.SaveToStream(out, true);
  } catch (const Exception&) {
  }
  try {
    TMDL m;
    m.LoadFromFile(file);
    m.Merge(file);
    if (m.Skins->Count() > 0) m.Skins->PaintTriangles(0);
    try {
      m.Skins->RearrangeObjectSkins();
    } catch (const EMDLError&) {
    }
    if (m.Frames->Count() > 0) m.Frames->Frame(0).MapSkin();
    TMemoryStream out;
    m.SaveToStream(out, true);
  } catch (const Exception&) {
  }
  return 0;
}
