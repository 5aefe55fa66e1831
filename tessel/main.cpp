// tessel: the model editor. With a command it runs as a batch program
// (no Qt application, no display needed); otherwise it opens its window.

#include <cstdio>
#include <string>
#include <vector>

#include "core/CommandTable.h"
#ifdef TESSEL_HAVE_WINDOWS
#include "tessel/ui/TesselApp.h"
#endif

namespace {

const TCommandLineProgram kProgram = {
    "tessel", TESSEL_VERSION,
    "Usage: tessel [MODEL.mdl]\n"
    "       tessel --screenshot OUT.png [MODEL.mdl]\n"
    "       tessel COMMAND [ARGS...]\n\n"
    "Without a command tessel opens its window, with MODEL.mdl loaded when given.\n"
    "--screenshot draws the window off screen once the model is shown, writes\n"
    "the picture to OUT.png and exits.\n\nCommands:\n"};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const int status = DispatchCommandLine(kProgram, args);
  if (status >= 0) return status;
  const bool wantsWindow =
      args.empty() || args[0] == "--screenshot" || (args[0][0] != '-' && LooksLikeFileName(args[0]));
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
