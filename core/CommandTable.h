#pragma once
// The batch commands of a program's command line. Each command lives in its
// own file and registers itself with TESSEL_COMMAND (name, one-line help,
// handler); main() hands its arguments to DispatchCommandLine, which answers
// the help and version options and runs the command named.

#include <cstdio>
#include <string>
#include <vector>

struct TCommandInfo {
  const char* Name;
  const char* Usage;  // one line: arguments and what the command does
  int (*Run)(const std::vector<std::string>& args);  // args after the name
};

// The program's commands, in the order they registered.
std::vector<TCommandInfo>& CommandTable();

struct TCommandRegistrar {
  explicit TCommandRegistrar(TCommandInfo info) { CommandTable().push_back(info); }
};

#define TESSEL_COMMAND_CAT2(a, b) a##b
#define TESSEL_COMMAND_CAT(a, b) TESSEL_COMMAND_CAT2(a, b)
#define TESSEL_COMMAND(name, usage, fn) \
  static TCommandRegistrar TESSEL_COMMAND_CAT(commandRegistrar_, __LINE__)({name, usage, fn})

struct TCommandLineProgram {
  const char* Name;      // the prefix of messages: "tessel: ..."
  const char* Version;
  const char* Synopsis;  // the usage text above the list of commands
};

// The synopsis, then one line per command sorted by name, then the help and
// version options.
void PrintCommandUsage(const TCommandLineProgram& program, FILE* out);

const TCommandInfo* FindCommand(const std::string& name);

// Answers "--help" ("-h", "help") and "--version", or runs the command that
// args[0] names, reporting an error it raises as "<program>: <message>" with
// status 1. Gives the exit status, or -1 when args ask for none of these.
int DispatchCommandLine(const TCommandLineProgram& program, const std::vector<std::string>& args);

// Whether a first argument that names no command reads as a file to open: an
// existing file, or a name with a "." or a "/"; a bare word is a mistyped
// command.
bool LooksLikeFileName(const std::string& arg);
