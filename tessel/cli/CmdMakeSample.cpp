// tessel make-sample -o OUT.mdl: writes the sample figure that this program
// builds in code (the same file as resources/sample.mdl).

#include <cstdio>
#include <string>
#include <vector>

#include "mdl/Mdl.h"
#include "resources/SampleModel.h"
#include "tessel/cli/CmdArgs.h"
#include "core/CommandTable.h"

namespace {

int RunMakeSample(const std::vector<std::string>& args) {
  cmdargs::TParsed p;
  if (!cmdargs::Parse(args, {}, p) || p.Output.empty() || !p.Positional.empty()) {
    std::fputs("usage: tessel make-sample -o OUT.mdl\n", stderr);
    return 2;
  }
  std::unique_ptr<TMDL> m = BuildSampleModel();
  m->SaveToFile(p.Output, true);
  std::printf("wrote %s: %d vertices, %d triangles, %d frames in %d scenes, %d skins, %d objects\n",
              p.Output.c_str(), m->Vertices->Count(), m->Triangles->Count(), m->Frames->Count(),
              m->Frames->SceneCount(), m->Skins->Count(), m->Objects->Count());
  return 0;
}

}  // namespace

TESSEL_COMMAND("make-sample", "-o OUT.mdl  write the built-in sample figure (three scenes, two skins)",
               RunMakeSample);
