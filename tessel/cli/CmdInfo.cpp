// tessel info MODEL.mdl: what a model file holds, without opening a window.

#include <cstdio>
#include <string>
#include <vector>

#include "mdl/Mdl.h"
#include "core/CommandTable.h"

namespace {

int RunInfo(const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
    std::fputs("usage: tessel info MODEL.mdl\n", stderr);
    return 2;
  }
  TMDL m;
  m.LoadFromFile(args[0]);
  const TMDLFiler& h = *m.Header;
  std::printf("file: %s\n", m.FileName.c_str());
  std::printf("version: %d\n", h.Version);
  std::printf("extension: %s\n", h.ExtensionFound ? "yes" : "no");
  std::printf("scale: %g %g %g\n", h.Scale[0], h.Scale[1], h.Scale[2]);
  std::printf("origin: %g %g %g\n", h.Origin[0], h.Origin[1], h.Origin[2]);
  std::printf("radius: %g\n", h.Radius);
  std::printf("eye position: %g %g %g\n", h.EyePosition[0], h.EyePosition[1], h.EyePosition[2]);
  std::printf("skin entries: %d\n", h.NumSkins);
  std::printf("skin size: %d x %d\n", h.SkinWidth, h.SkinHeight);
  std::printf("vertices: %d\n", h.NumVerts);
  std::printf("triangles: %d\n", h.NumTris);
  std::printf("frame entries: %d\n", h.NumFrames);
  std::printf("frames: %d\n", m.Frames->Count());
  std::printf("sync type: %d\n", h.SyncType);
  std::printf("flags: %d\n", h.Flags);
  std::printf("size: %g\n", h.Size);

  std::printf("scenes: %d\n", m.Frames->SceneCount());
  for (int s = 0; s < m.Frames->SceneCount(); ++s) {
    TMDLFrameGroup& scene = m.Frames->Scene(s);
    std::printf("  scene %d \"%s\" (%s, %d frames):", s, scene.Name().c_str(),
                scene.GroupType == 1 ? "group" : "frames", scene.Count());
    for (int i = 0; i < scene.Count(); ++i) std::printf(" %s", scene.Frame(i).Name().c_str());
    std::printf("\n");
  }
  std::printf("skins: %d\n", m.Skins->Count());
  for (int k = 0; k < m.Skins->Count(); ++k) {
    TMDLBitmap& skin = m.Skins->Skin(k);
    const TFlatEntry& e = m.Skins->IndexEntry(k);
    std::printf("  skin %d \"%s\" %d x %d (group %d%s)\n", k, skin.Name.c_str(), skin.Width, skin.Height, e.Group,
                m.Skins->Group(e.Group).GroupType != 0 ? ", timed" : "");
  }
  std::printf("objects: %d\n", m.Objects->Count());
  for (int i = 0; i < m.Objects->Count(); ++i) {
    TMDLObject& o = m.Objects->Object(i);
    std::printf("  object %d \"%s\" parent %d, %d vertices\n", i, o.Name.c_str(), o.ParentIndex,
                o.CollectVertices());
  }
  return 0;
}

}  // namespace

TESSEL_COMMAND("info", "MODEL.mdl  print the header, scenes, skins and objects of a model", RunInfo);
