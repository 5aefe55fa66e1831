#pragma once
// Runs the built tessel program with a command line and collects its exit
// status, standard output and standard error.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

struct TRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

inline TRun RunTessel(const std::string& args) {
  namespace fs = std::filesystem;
  const fs::path err = fs::temp_directory_path() / ("tessel_cli_err_" + std::to_string(::getpid()));
  TRun r;
  const std::string cmd = std::string("'") + TESSEL_EXE + "' " + args + " 2>'" + err.string() + "'";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.Out.append(buf, n);
  const int status = pclose(p);
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream e(err);
  r.Err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
  fs::remove(err);
  return r;
}
