// tessel's windows are a program of their own, tessel-gui, beside tessel.
// The command line starts it in its own place when it is given no command:
// so a command (the file manager's thumbnails among them) loads no Qt
// library at all, starts in a fraction of the time and runs where no
// display libraries are installed.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/Paths.h"
#include "tessel/ui/TesselApp.h"

int RunTesselWindows(int, char** argv) {
  std::string program = ProgramDirectory();
  if (!program.empty() && program.back() != '/') program += '/';
  program += TESSEL_WINDOWS_PROGRAM;
  std::fflush(nullptr);
  ::execv(program.c_str(), argv);
  std::fprintf(stderr, "tessel: cannot open the windows: %s: %s\n", program.c_str(), std::strerror(errno));
  return 2;
}
