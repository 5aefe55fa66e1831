#include "core/CommandTable.h"

#include <algorithm>
#include <exception>

#include "core/Paths.h"

std::vector<TCommandInfo>& CommandTable() {
  static std::vector<TCommandInfo> table;
  return table;
}

void PrintCommandUsage(const TCommandLineProgram& program, FILE* out) {
  std::fputs(program.Synopsis, out);
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

int DispatchCommandLine(const TCommandLineProgram& program, const std::vector<std::string>& args) {
  if (args.empty()) return -1;
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintCommandUsage(program, stdout);
    return 0;
  }
  if (args[0] == "--version") {
    std::printf("%s %s\n", program.Name, program.Version);
    return 0;
  }
  const TCommandInfo* c = FindCommand(args[0]);
  if (!c) return -1;
  try {
    return c->Run(std::vector<std::string>(args.begin() + 1, args.end()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", program.Name, e.what());
    return 1;
  }
}

bool LooksLikeFileName(const std::string& arg) {
  return FileExists(arg) || arg.find('.') != std::string::npos || arg.find('/') != std::string::npos;
}
