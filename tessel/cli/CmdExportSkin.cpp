// tessel export-skin MODEL SKIN OUT.(bmp|pcx|png): one skin as an 8-bit
// picture in the game palette. SKIN is the skin number, from 0 over all skin
// groups.

#include <cstdio>
#include <string>
#include <vector>

#include "mdl/Mdl.h"
#include "tessel/cli/CmdArgs.h"
#include "core/CommandTable.h"

namespace {

constexpr const char* kUsage = "usage: tessel export-skin MODEL.mdl SKIN OUT.bmp|pcx|png\n";

int RunExportSkin(const std::vector<std::string>& args) {
  cmdargs::TParsed p;
  if (!cmdargs::Parse(args, {}, p) || !p.Output.empty() || p.Positional.size() != 3 ||
      !cmdargs::ParseIndex(p.Positional[1])) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string& out = p.Positional[2];
  if (!cmdargs::HasExtension(out, {".bmp", ".pcx", ".png"})) {
    std::fprintf(stderr, "tessel: %s: skins can be written as .bmp, .pcx or .png only\n", out.c_str());
    return 2;
  }
  TMDL m;
  m.LoadFromFile(p.Positional[0]);
  const int k = *cmdargs::ParseIndex(p.Positional[1]);
  if (k < 0 || k >= m.Skins->Count()) {
    std::fprintf(stderr, "tessel: no skin %d in %s (it has %d skins)\n", k, p.Positional[0].c_str(),
                 m.Skins->Count());
    return 1;
  }
  TMDLBitmap& skin = m.Skins->Skin(k);
  skin.ExportPicture(out);
  std::printf("exported skin %d (%d x %d) to %s\n", k, skin.Width, skin.Height, out.c_str());
  return 0;
}

}  // namespace

TESSEL_COMMAND("export-skin", "MODEL.mdl SKIN OUT.bmp|pcx|png  write a skin (number from 0) as a picture",
               RunExportSkin);
