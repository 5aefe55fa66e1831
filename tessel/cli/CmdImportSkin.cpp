// tessel import-skin MODEL PICTURE.(bmp|pcx|png) -o OUT.mdl [--skin N]: a
// picture as a new last skin, or over skin N, stretched to the model's skin
// size and brought to the game palette.

#include <cstdio>
#include <string>
#include <vector>

#include "exchange/BitmapFiler.h"
#include "mdl/Mdl.h"
#include "tessel/cli/CmdArgs.h"
#include "core/CommandTable.h"

namespace {

constexpr const char* kUsage = "usage: tessel import-skin MODEL.mdl PICTURE.bmp|pcx|png -o OUT.mdl [--skin N]\n";

int RunImportSkin(const std::vector<std::string>& args) {
  cmdargs::TParsed p;
  if (!cmdargs::Parse(args, {"--skin"}, p) || p.Output.empty() || p.Positional.size() != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  int replace = -1;
  for (const auto& [name, value] : p.Options) {
    auto n = cmdargs::ParseIndex(value);
    if (!n || *n < 0) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    replace = *n;
  }
  const std::string& picture = p.Positional[1];
  if (!cmdargs::HasExtension(picture, {".bmp", ".pcx", ".png"})) {
    std::fprintf(stderr, "tessel: %s: pictures are read from .bmp, .pcx or .png files only\n", picture.c_str());
    return 2;
  }
  TMDL m;
  m.LoadFromFile(p.Positional[0]);
  int k = replace;
  if (replace >= 0) {
    if (replace >= m.Skins->Count()) {
      std::fprintf(stderr, "tessel: no skin %d in %s (it has %d skins)\n", replace, p.Positional[0].c_str(),
                   m.Skins->Count());
      return 1;
    }
    m.Skins->Skin(k).ImportPicture(picture);
  } else {
    // A model without a skin size takes the picture's (the width rounded
    // up to a multiple of 4, as skins are stored).
    if (m.Header->SkinWidth <= 0 || m.Header->SkinHeight <= 0) {
      TBitmapFiler& filer = TBitmapFiler::Instance();
      filer.ImportFromFile(picture);
      m.Header->SkinWidth = (filer.Bitmap().GetWidth() + 3) & ~3;
      m.Header->SkinHeight = filer.Bitmap().GetHeight();
    }
    k = m.Skins->Count();
    m.Skins->InsertSkin(k);
    try {
      m.Skins->Skin(k).ImportPicture(picture);
    } catch (...) {
      m.Skins->DeleteSkin(k);
      throw;
    }
  }
  m.SaveToFile(p.Output, true);
  const TMDLBitmap& skin = m.Skins->Skin(k);
  std::printf("%s skin %d (%d x %d) from %s; saved %s\n", replace >= 0 ? "replaced" : "added", k, skin.Width,
              skin.Height, picture.c_str(), p.Output.c_str());
  return 0;
}

}  // namespace

TESSEL_COMMAND("import-skin",
               "MODEL.mdl PICTURE.bmp|pcx|png -o OUT.mdl [--skin N]  add (or replace) a skin from a picture",
               RunImportSkin);
