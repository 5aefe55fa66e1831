// tessel thumbnail MODEL OUT.png SIZE: the model's first frame, lit and
// textured, fitted into SIZE x SIZE with a transparent background, as a
// true-colour PNG. The desktop's thumbnailer entry runs it for model files;
// it needs no display.

#include <cstdio>
#include <string>
#include <vector>

#include "core/SafeSave.h"
#include "editor/MDLEdit.h"
#include "exchange/PngFormat.h"
#include "render/Thumbnail.h"
#include "tessel/cli/CmdArgs.h"
#include "core/CommandTable.h"

namespace {

constexpr const char* kUsage = "usage: tessel thumbnail MODEL.mdl OUT.png SIZE   (SIZE from 1 to 1024)\n";

int RunThumbnail(const std::vector<std::string>& args) {
  cmdargs::TParsed p;
  if (!cmdargs::Parse(args, {}, p) || !p.Output.empty() || p.Positional.size() != 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const auto size = cmdargs::ParseIndex(p.Positional[2]);
  if (!size || *size < 1 || *size > kMaxThumbnailSize) {
    std::fprintf(stderr, "tessel: thumbnails are 1 to %d pixels square, not '%s'\n", kMaxThumbnailSize,
                 p.Positional[2].c_str());
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string& model = p.Positional[0];
  const std::string& out = p.Positional[1];
  TMDLEditor editor;
  editor.LoadFromFile(model);
  const std::vector<uint8_t> rgba = RenderThumbnail(editor, *size);
  const TPngRgba picture{*size, *size, rgba.data(), static_cast<ptrdiff_t>(*size) * 4};
  SafeSave(out, [&](TStream& stream) { WritePng(stream, picture); });
  std::printf("%s: %d x %d thumbnail of %s\n", out.c_str(), *size, *size, model.c_str());
  return 0;
}

}  // namespace

TESSEL_COMMAND("thumbnail", "MODEL.mdl OUT.png SIZE  picture of the first frame for file managers (transparent, "
               "SIZE x SIZE)",
               RunThumbnail);
