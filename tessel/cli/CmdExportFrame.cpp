// tessel export-frame MODEL FRAME OUT.(dxf|cad|obj): one frame's triangles
// to a geometry file. FRAME is a frame number (from 0, over all scenes) or a
// frame name. An OBJ file also gets the skin coordinates, a material
// library and the first skin as a PNG picture beside it.

#include <cstdio>
#include <string>
#include <vector>

#include "mdl/Mdl.h"
#include "tessel/cli/CmdArgs.h"
#include "core/CommandTable.h"

namespace {

constexpr const char* kUsage = "usage: tessel export-frame MODEL.mdl FRAME OUT.dxf|OUT.cad|OUT.obj\n";

// The flat number of the frame named or numbered by `which`; -1 when none.
int FindFrame(TMDL& m, const std::string& which) {
  if (auto n = cmdargs::ParseIndex(which)) return *n >= 0 && *n < m.Frames->Count() ? *n : -1;
  for (int k = 0; k < m.Frames->Count(); ++k)
    if (m.Frames->Frame(k).Name() == which) return k;
  return -1;
}

int RunExportFrame(const std::vector<std::string>& args) {
  cmdargs::TParsed p;
  if (!cmdargs::Parse(args, {}, p) || !p.Output.empty() || p.Positional.size() != 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string& out = p.Positional[2];
  if (!cmdargs::HasExtension(out, {".dxf", ".cad", ".obj"})) {
    std::fprintf(stderr, "tessel: %s: the frame can be written as .dxf, .cad or .obj only\n", out.c_str());
    return 2;
  }
  TMDL m;
  m.LoadFromFile(p.Positional[0]);
  const int k = FindFrame(m, p.Positional[1]);
  if (k < 0) {
    std::fprintf(stderr, "tessel: no frame %s in %s (it has %d frames)\n", p.Positional[1].c_str(),
                 p.Positional[0].c_str(), m.Frames->Count());
    return 1;
  }
  TMDLFrame& frame = m.Frames->Frame(k);
  frame.ExportFrame(out);
  std::printf("exported frame %d \"%s\" (%d triangles) to %s\n", k, frame.Name().c_str(), m.Triangles->Count(),
              out.c_str());
  return 0;
}

}  // namespace

TESSEL_COMMAND("export-frame", "MODEL.mdl FRAME OUT.dxf|cad|obj  write a frame (number or name) as geometry",
               RunExportFrame);
