// tessel: the model editor. With a command it runs as a batch program
// (no Qt application, no display needed); otherwise it opens its window.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "core/Paths.h"
#include "tessel/cli/Commands.h"
#ifdef TESSEL_HAVE_WINDOWS
#include "tessel/ui/TesselApp.h"
#endif

std::vector<TCommandInfo>& CommandTable() {
  static std::vector<TCommandInfo> table;
  return table;
}

namespace {

void PrintUsage(FILE* out) {
  std::fputs("Usage: tessel [MODEL.mdl]\n"
             "       tessel --screenshot OUT.png [MODEL.mdl]\n"
             "       tessel COMMAND [ARGS...]\n\n"
             "Without a command tessel opens its window, with MODEL.mdl loaded when given.\n"
             "--screenshot draws the window off screen once the model is shown, writes\n"
             "the picture to OUT.png and exits.\n\nCommands:\n",
             out);
  auto table = CommandTable();
  std::sort(table.begin(), table.end(),
            [](const TCommandInfo& a, const TCommandInfo& b) { return std::string(a.Name) < b.Name; });
  for (const auto& c : table) std::fprintf(out, "  %-14s %s\n", c.Name, c.Usage);
  std::fputs("  --help         show this text\n  --version      show the program version\n", out);
}

const TCommandInfo* FindCommand(const std::string& name) {
  for (const auto& c : CommandTable())
    if (name == c.Name) return &c;
  return nullptr;
}

// A first argument that is no command opens the window when it reads as a
// file name; a bare word is a mistyped command, not a model.
bool LooksLikeFile(const std::string& arg) {
  return FileExists(arg) || arg.find('.') != std::string::npos || arg.find('/') != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
    PrintUsage(stdout);
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    std::printf("tessel %s\n", TESSEL_VERSION);
    return 0;
  }
  if (!args.empty()) {
    if (const TCommandInfo* c = FindCommand(args[0])) {
      try {
        return c->Run(std::vector<std::string>(args.begin() + 1, args.end()));
      } catch (const std::exception& e) {
        std::fprintf(stderr, "tessel: %s\n", e.what());
        return 1;
      }
    }
  }
  const bool wantsWindow = args.empty() || args[0] == "--screenshot" || (args[0][0] != '-' && LooksLikeFile(args[0]));
#ifdef TESSEL_HAVE_WINDOWS
  if (wantsWindow) return RunTesselWindows(argc, argv);
#else
  if (wantsWindow) {
    std::fputs("tessel: this build has no windows; use a command (try --help)\n", stderr);
    return 2;
  }
#endif
  std::fprintf(stderr, "tessel: unknown command '%s' (try --help)\n", args[0].c_str());
  return 2;
}
