// tessel merge MODEL OTHER -o OUT.mdl: the other model appended to this one
// (skins side by side, mesh, objects, its first frame in every frame).

#include <cstdio>
#include <string>
#include <vector>

#include "mdl/Mdl.h"
#include "tessel/cli/CmdArgs.h"
#include "core/CommandTable.h"

namespace {

int RunMerge(const std::vector<std::string>& args) {
  cmdargs::TParsed p;
  if (!cmdargs::Parse(args, {}, p) || p.Output.empty() || p.Positional.size() != 2) {
    std::fputs("usage: tessel merge MODEL.mdl OTHER.mdl -o OUT.mdl\n", stderr);
    return 2;
  }
  TMDL m;
  m.LoadFromFile(p.Positional[0]);
  m.Merge(p.Positional[1]);
  m.SaveToFile(p.Output, true);
  std::printf("merged %s into %s: %d vertices, %d triangles, %d objects, skin %d x %d; saved %s\n",
              p.Positional[1].c_str(), p.Positional[0].c_str(), m.Vertices->Count(), m.Triangles->Count(),
              m.Objects->Count(), m.Header->SkinWidth, m.Header->SkinHeight, p.Output.c_str());
  return 0;
}

}  // namespace

TESSEL_COMMAND("merge", "MODEL.mdl OTHER.mdl -o OUT.mdl  append another model to a model", RunMerge);
