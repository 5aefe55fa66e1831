// cairnbox: the archive viewer. With a command it runs as a batch program
// (no Qt application, no display needed); otherwise it opens its window.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "cairnbox/cli/Commands.h"
#include "core/Paths.h"
#ifdef CAIRNBOX_HAVE_WINDOWS
#include "cairnbox/ui/CairnboxApp.h"
#endif

std::vector<TCommandInfo>& CommandTable() {
  static std::vector<TCommandInfo> table;
  return table;
}

namespace {

void PrintUsage(FILE* out) {
  std::fputs("Usage: cairnbox [ARCHIVE]\n"
             "       cairnbox --screenshot OUT.png [ARCHIVE]\n"
             "       cairnbox COMMAND [ARGS...]\n\n"
             "Without a command cairnbox opens its window, listing ARCHIVE (.pak or .gob)\n"
             "when given. --screenshot draws the window off screen once the archive is\n"
             "listed, writes the picture to OUT.png and exits.\n\nCommands:\n",
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
// file name; a bare word is a mistyped command, not an archive.
bool LooksLikeFile(const std::string& arg) {
  return FileExists(arg) || arg.find('.') != std::string::npos || arg.find('/') != std::string::npos;
}

// Whether a window can be shown at all: a display, or a platform chosen
// explicitly (the offscreen one in tests and screenshots).
bool HaveDisplay() {
  for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* s = std::getenv(v);
    if (s && *s) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
    PrintUsage(stdout);
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    std::printf("cairnbox %s\n", TESSEL_VERSION);
    return 0;
  }
  if (!args.empty()) {
    if (const TCommandInfo* c = FindCommand(args[0])) {
      try {
        return c->Run(std::vector<std::string>(args.begin() + 1, args.end()));
      } catch (const std::exception& e) {
        std::fprintf(stderr, "cairnbox: %s\n", e.what());
        return 1;
      }
    }
  }
  const bool screenshot = !args.empty() && args[0] == "--screenshot";
  const bool wantsWindow = args.empty() || screenshot || (args[0][0] != '-' && LooksLikeFile(args[0]));
#ifdef CAIRNBOX_HAVE_WINDOWS
  if (wantsWindow) {
    // Without a display Qt would abort; a plain word on the terminal helps more.
    if (!screenshot && !HaveDisplay()) {
      std::fputs("cairnbox: no display to open the window on; use a command\n\n", stderr);
      PrintUsage(stderr);
      return 2;
    }
    return RunCairnboxWindows(argc, argv);
  }
#else
  (void)HaveDisplay;
  if (wantsWindow) {
    std::fputs("cairnbox: this build has no windows; use a command (try --help)\n\n", stderr);
    PrintUsage(stderr);
    return 2;
  }
#endif
  std::fprintf(stderr, "cairnbox: unknown command '%s' (try --help)\n", args[0].c_str());
  return 2;
}
