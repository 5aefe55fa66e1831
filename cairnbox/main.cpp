// cairnbox: the archive viewer. Without a window it runs batch commands.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cairnbox/Commands.h"

std::vector<TCommandInfo>& CommandTable() {
  static std::vector<TCommandInfo> table;
  return table;
}

namespace {

void PrintUsage(FILE* out) {
  std::fputs("Usage: cairnbox COMMAND [ARGS...]\n\nCommands:\n", out);
  auto table = CommandTable();
  std::sort(table.begin(), table.end(),
            [](const TCommandInfo& a, const TCommandInfo& b) { return std::string(a.Name) < b.Name; });
  for (const auto& c : table) std::fprintf(out, "  %-14s %s\n", c.Name, c.Usage);
  std::fputs("  --help         show this text\n  --version      show the program version\n", out);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintUsage(stderr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(stdout);
    return 0;
  }
  if (args[0] == "--version") {
    std::printf("cairnbox %s\n", TESSEL_VERSION);
    return 0;
  }
  for (const auto& c : CommandTable()) {
    if (args[0] != c.Name) continue;
    try {
      return c.Run(std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "cairnbox: %s\n", e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "cairnbox: unknown command '%s' (try --help)\n", args[0].c_str());
  return 2;
}
