// Runs the built program's `palette` command.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

struct TRun {
  std::string Out;
  int Status = -1;
};

TRun RunPalette(const std::string& args) {
  TRun r;
  const std::string cmd = std::string("'") + TESSEL_EXE + "' palette " + args + " 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.Out.append(buf, n);
  const int st = ::pclose(p);
  r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string From(const std::string& s, const std::string& marker) {
  auto pos = s.find(marker);
  return pos == std::string::npos ? std::string() : s.substr(pos);
}

}  // namespace

TEST(CmdPalette, SummarisesTheBuiltinTables) {
  const TRun r = RunPalette("");
  ASSERT_EQ(r.Status, 0);
  EXPECT_NE(r.Out.find("Palette:    built-in\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("Display palette: 233 user colours, 20 static colours"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("Colour map trailing byte: 32\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("  0->0 1->10 "), std::string::npos) << r.Out;
}

TEST(CmdPalette, TheGameFilesGiveTheSameTablesAsTheBuiltinData) {
  const std::string dir = std::string(TESSEL_DATA_DIR) + "/quake";
  if (!std::filesystem::exists(dir + "/palette.lmp") || !std::filesystem::exists(dir + "/colormap.lmp"))
    GTEST_SKIP() << "game data not found in " << dir;
  const TRun builtin = RunPalette("");
  const TRun files = RunPalette("'" + dir + "'");
  ASSERT_EQ(files.Status, 0);
  EXPECT_NE(files.Out.find("Palette:    " + dir + "/palette.lmp"), std::string::npos) << files.Out;
  const std::string sums = From(files.Out, "Checksums");
  ASSERT_FALSE(sums.empty());
  EXPECT_EQ(sums, From(builtin.Out, "Checksums"));
  // The game palette's checksum is that of the file itself.
  EXPECT_NE(sums.find("game palette        202e6346"), std::string::npos) << sums;
}

TEST(CmdPalette, RefusesExtraArguments) { EXPECT_EQ(RunPalette("a b").Status, 2); }
