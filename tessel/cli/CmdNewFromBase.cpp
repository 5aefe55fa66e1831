// tessel new-from-base GEOMETRY -o OUT.mdl: a new model whose mesh, "base"
// frame, skin layout and objects come from a geometry file (.dxf, .3ds,
// .lwo, .cad, .obj). Corners that meet within 0.001 become one vertex. An
// OBJ file's texture coordinates give the skin layout, and the picture its
// material shows the skin.

#include <cstdio>
#include <string>
#include <vector>

#include "exchange/TriangleFiler.h"
#include "mdl/Mdl.h"
#include "tessel/cli/CmdArgs.h"
#include "core/CommandTable.h"

namespace {

int RunNewFromBase(const std::vector<std::string>& args) {
  cmdargs::TParsed p;
  if (!cmdargs::Parse(args, {}, p) || p.Output.empty() || p.Positional.size() != 1) {
    std::fputs("usage: tessel new-from-base GEOMETRY.dxf|3ds|lwo|cad|obj -o OUT.mdl\n", stderr);
    return 2;
  }
  const std::string& geometry = p.Positional[0];
  if (!TTriangleFiler::Instance().IsKnownExtension(ExtractFileExt(geometry))) {
    std::fprintf(stderr, "tessel: %s: geometry is read from .dxf, .3ds, .lwo, .cad or .obj files only\n",
                 geometry.c_str());
    return 2;
  }
  TMDL m;
  m.Clear();
  // One empty skin for the layout to size, and the frame the import fills.
  m.Skins->InsertSkin(0);
  m.Frames->CreateBaseFrame();
  TMDLFrame& base = m.Frames->Frame(0);
  base.ImportFrame(geometry);
  m.SaveToFile(p.Output, true);
  std::printf("new model from %s: %d vertices, %d triangles, %d objects, skin %d x %d; saved %s\n", geometry.c_str(),
              m.Vertices->Count(), m.Triangles->Count(), m.Objects->Count(), m.Header->SkinWidth,
              m.Header->SkinHeight, p.Output.c_str());
  return 0;
}

}  // namespace

TESSEL_COMMAND("new-from-base", "GEOMETRY -o OUT.mdl  new model from a .dxf/.3ds/.lwo/.cad/.obj mesh", RunNewFromBase);
