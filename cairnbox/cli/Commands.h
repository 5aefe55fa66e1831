#pragma once
// The batch commands of the command line. Each command lives in its own file
// and registers itself with CAIRNBOX_COMMAND; main() looks it up by name.

#include <string>
#include <vector>

struct TCommandInfo {
  const char* Name;
  const char* Usage;  // one line: arguments and what the command does
  int (*Run)(const std::vector<std::string>& args);  // args after the name
};

std::vector<TCommandInfo>& CommandTable();

struct TCommandRegistrar {
  explicit TCommandRegistrar(TCommandInfo info) { CommandTable().push_back(info); }
};

#define CAIRNBOX_COMMAND_CAT2(a, b) a##b
#define CAIRNBOX_COMMAND_CAT(a, b) CAIRNBOX_COMMAND_CAT2(a, b)
#define CAIRNBOX_COMMAND(name, usage, fn) \
  static TCommandRegistrar CAIRNBOX_COMMAND_CAT(commandRegistrar_, __LINE__)({name, usage, fn})
