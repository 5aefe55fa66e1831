// cairnbox: the archive viewer. With a command it runs as a batch program
// (no Qt application, no display needed); otherwise it opens its window.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/CommandTable.h"
#ifdef CAIRNBOX_HAVE_WINDOWS
#include "cairnbox/ui/CairnboxApp.h"
#endif

namespace {

const TCommandLineProgram kProgram = {
    "cairnbox", TESSEL_VERSION,
    "Usage: cairnbox [ARCHIVE]\n"
    "       cairnbox --screenshot OUT.png [ARCHIVE]\n"
    "       cairnbox COMMAND [ARGS...]\n\n"
    "Without a command cairnbox opens its window, listing ARCHIVE (.pak or .gob)\n"
    "when given. --screenshot draws the window off screen once the archive is\n"
    "listed, writes the picture to OUT.png and exits.\n\nCommands:\n"};

// Whether a window can be shown at all: a display, or a platform chosen
// explicitly (the offscreen one in tests and screenshots).
[[maybe_unused]] bool HaveDisplay() {
  for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* s = std::getenv(v);
    if (s && *s) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const int status = DispatchCommandLine(kProgram, args);
  if (status >= 0) return status;
  const bool screenshot = !args.empty() && args[0] == "--screenshot";
  const bool wantsWindow = args.empty() || screenshot || (args[0][0] != '-' && LooksLikeFileName(args[0]));
#ifdef CAIRNBOX_HAVE_WINDOWS
  if (wantsWindow) {
    // Without a display Qt would abort; a plain word on the terminal helps more.
    if (!screenshot && !HaveDisplay()) {
      std::fputs("cairnbox: no display to open the window on; use a command\n\n", stderr);
      PrintCommandUsage(kProgram, stderr);
      return 2;
    }
    return RunCairnboxWindows(argc, argv);
  }
#else
  if (wantsWindow) {
    std::fputs("cairnbox: this build has no windows; use a command (try --help)\n\n", stderr);
    PrintCommandUsage(kProgram, stderr);
    return 2;
  }
#endif
  std::fprintf(stderr, "cairnbox: unknown command '%s' (try --help)\n", args[0].c_str());
  return 2;
}
