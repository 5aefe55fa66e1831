// tessel save MODEL.mdl -o OUT.mdl [--no-extension]: load and save again,
// with this program's extension or as a plain game model.

#include <cstdio>
#include <string>
#include <vector>

#include "mdl/Mdl.h"
#include "core/CommandTable.h"

namespace {

int RunSave(const std::vector<std::string>& args) {
  std::string in, out;
  bool withExtension = true;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      out = args[++i];
    } else if (args[i] == "--no-extension") {
      withExtension = false;
    } else if (!args[i].empty() && args[i][0] != '-' && in.empty()) {
      in = args[i];
    } else {
      in.clear();
      break;
    }
  }
  if (in.empty() || out.empty()) {
    std::fputs("usage: tessel save MODEL.mdl -o OUT.mdl [--no-extension]\n", stderr);
    return 2;
  }
  TMDL m;
  m.LoadFromFile(in);
  m.SaveToFile(out, withExtension);
  std::printf("saved %s (%s)\n", out.c_str(), withExtension ? "with extension" : "game model");
  return 0;
}

}  // namespace

TESSEL_COMMAND("save", "MODEL.mdl -o OUT.mdl [--no-extension]  load a model and save it again", RunSave);
