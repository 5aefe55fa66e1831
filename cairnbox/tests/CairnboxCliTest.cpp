// Runs the built cairnbox program and checks what it prints and returns.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/tests/ArchiveFixtures.h"

namespace fs = std::filesystem;

namespace {

struct TRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

TRun Cairnbox(const std::vector<std::string>& args) {
  TScratchDir tmp;
  std::string out = tmp / "out", err = tmp / "err";
  pid_t pid = ::fork();
  if (pid == 0) {
    // The commands need no display; without one, no command means no window.
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(v);
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(o, 1);
    ::dup2(e, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(CAIRNBOX_EXE));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(CAIRNBOX_EXE, argv.data());
    ::_exit(127);
  }
  TRun r;
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.Out = Slurp(out);
  r.Err = Slurp(err);
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> v;
  std::stringstream ss(text);
  for (std::string l; std::getline(ss, l);) v.push_back(l);
  return v;
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 13);
  return v;
}

std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// A PAK of four members of different sizes and folders.
std::string SamplePak(const TScratchDir& tmp) {
  std::string path = tmp / "sample.pak";
  WriteFixtureFile(path, MakePak({{"progs/player.mdl", Pattern(10, 1)},
                                  {"maps/e1m1.bsp", Pattern(9, 2)},
                                  {"sound/Alarm.WAV", Pattern(100, 3)},
                                  {"readme", FixtureBytes(std::string("hello\0world", 11))}}));
  return path;
}

std::string RealPak(const std::string& rel) { return std::string(TESSEL_DATA_DIR) + "/quake/paks/" + rel; }

}  // namespace

TEST(CairnboxCli, UsageAndUnknownCommands) {
  auto none = Cairnbox({});
  EXPECT_EQ(none.Status, 2);
  EXPECT_NE(none.Err.find("no display"), std::string::npos) << none.Err;
  auto help = Cairnbox({"--help"});
  EXPECT_EQ(help.Status, 0);
  for (const char* c : {"list", "extract", "cat", "hex"}) EXPECT_NE(help.Out.find(std::string("  ") + c), std::string::npos) << c;
  EXPECT_EQ(Cairnbox({"frobnicate"}).Status, 2);
  auto bad = Cairnbox({"list"});
  EXPECT_EQ(bad.Status, 2);
  EXPECT_NE(bad.Err.find("Usage: cairnbox list"), std::string::npos);
  EXPECT_EQ(Cairnbox({"extract", "a.pak"}).Status, 2);
  EXPECT_EQ(Cairnbox({"cat", "a.pak"}).Status, 2);
  EXPECT_EQ(Cairnbox({"hex", "a.pak", "x", "y"}).Status, 2);
}

TEST(CairnboxCli, ListPrintsTheRowsAsATable) {
  TScratchDir tmp;
  auto r = Cairnbox({"list", SamplePak(tmp)});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  auto lines = Lines(r.Out);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Name    Type  Size  Path    Offset");
  EXPECT_EQ(lines[1], "player  mdl     10  progs/      12");
  EXPECT_EQ(lines[2], "e1m1    bsp      9  maps/       22");
  EXPECT_EQ(lines[3], "Alarm   WAV    100  sound/      31");
  EXPECT_EQ(lines[4], "readme          11             131");
  EXPECT_EQ(lines[5], "4 files");
}

TEST(CairnboxCli, ListSortsByAnyColumn) {
  TScratchDir tmp;
  std::string pak = SamplePak(tmp);
  auto firstWords = [](const std::string& out) {
    std::vector<std::string> v;
    auto lines = Lines(out);
    for (size_t i = 1; i + 1 < lines.size(); ++i) v.push_back(lines[i].substr(0, lines[i].find(' ')));
    return v;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(firstWords(Cairnbox({"list", pak, "--sort", "size"}).Out), (V{"e1m1", "player", "readme", "Alarm"}));
  EXPECT_EQ(firstWords(Cairnbox({"list", "--sort", "SIZE", "--descending", pak}).Out),
            (V{"Alarm", "readme", "player", "e1m1"}));
  EXPECT_EQ(firstWords(Cairnbox({"list", pak, "--sort", "name"}).Out), (V{"Alarm", "e1m1", "player", "readme"}));
  EXPECT_EQ(firstWords(Cairnbox({"list", pak, "--sort", "type"}).Out), (V{"readme", "e1m1", "player", "Alarm"}));
  EXPECT_EQ(firstWords(Cairnbox({"list", pak, "--sort", "path"}).Out), (V{"readme", "e1m1", "player", "Alarm"}));
  EXPECT_EQ(Cairnbox({"list", pak, "--sort", "offset"}).Status, 2);
  EXPECT_EQ(Cairnbox({"list", pak, "--sort"}).Status, 2);
  EXPECT_EQ(Cairnbox({"list", pak, "--bogus"}).Status, 2);
}

TEST(CairnboxCli, ListGobAndRefusals) {
  TScratchDir tmp;
  WriteFixtureFile(tmp / "res.GOB", MakeGob({{"3do\\mat\\dflt.mat", {1}}}));
  auto gob = Cairnbox({"list", tmp / "res.GOB"});
  EXPECT_EQ(gob.Status, 0);
  EXPECT_NE(gob.Out.find("dflt  mat      1  3do\\mat\\     152"), std::string::npos) << gob.Out;

  WriteFixtureFile(tmp / "x.zip", {1, 2, 3});
  auto zip = Cairnbox({"list", tmp / "x.zip"});
  EXPECT_EQ(zip.Status, 1);
  EXPECT_NE(zip.Err.find("neither .pak nor .gob"), std::string::npos);
  EXPECT_EQ(zip.Out, "");

  auto missing = Cairnbox({"list", tmp / "missing.pak"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Err.find("Cannot open file"), std::string::npos);

  WriteFixtureFile(tmp / "fake.pak", FixtureBytes("GOB not a pak at all"));
  auto fake = Cairnbox({"list", tmp / "fake.pak"});
  EXPECT_EQ(fake.Status, 1);
  EXPECT_NE(fake.Err.find("\"PACK\" signature is missing"), std::string::npos) << fake.Err;
}

TEST(CairnboxCli, ListOfADamagedDirectoryShowsWhatIsThereAndFails) {
  TScratchDir tmp;
  auto bytes = MakePak({{"a.txt", {1}}, {"b.txt", {2}}, {"c.txt", {3}}});
  bytes.resize(bytes.size() - 1);
  WriteFixtureFile(tmp / "cut.pak", bytes);
  auto r = Cairnbox({"list", tmp / "cut.pak"});
  EXPECT_EQ(r.Status, 1);
  auto lines = Lines(r.Out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "2 files (1 skipped: the directory runs past the end of the file)");
  EXPECT_NE(r.Err.find("1 skipped"), std::string::npos);
}

TEST(CairnboxCli, NamesCannotSendControlCharactersToTheTerminal) {
  TScratchDir tmp;
  WriteFixtureFile(tmp / "esc.pak", MakePak({{"x\x1b]0;owned\x07.txt", {1}}}));
  auto r = Cairnbox({"list", tmp / "esc.pak"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out.find('\x1b'), std::string::npos);
  EXPECT_NE(r.Out.find("x?]0;owned?"), std::string::npos) << r.Out;
}

TEST(CairnboxCli, ExtractAllOrChosenMembers) {
  TScratchDir tmp;
  std::string pak = SamplePak(tmp);
  auto all = Cairnbox({"extract", pak, tmp / "all"});
  EXPECT_EQ(all.Status, 0) << all.Err;
  EXPECT_EQ(all.Out, "Extracted 4 of 4 members (130 bytes) to " + (tmp / "all") + "\n");
  EXPECT_EQ(ReadFixtureFile(tmp / "all/progs/player.mdl"), Pattern(10, 1));
  EXPECT_EQ(ReadFixtureFile(tmp / "all/sound/alarm.wav"), Pattern(100, 3));
  EXPECT_EQ(Str(ReadFixtureFile(tmp / "all/readme")), std::string("hello\0world", 11));

  auto some = Cairnbox({"extract", pak, tmp / "some", "*.MDL", "maps/*", "progs/player.mdl"});
  EXPECT_EQ(some.Status, 0) << some.Err;
  EXPECT_NE(some.Out.find("Extracted 2 of 2 members"), std::string::npos);
  EXPECT_TRUE(fs::exists(tmp / "some/maps/e1m1.bsp"));
  EXPECT_FALSE(fs::exists(tmp / "some/sound"));

  auto partly = Cairnbox({"extract", pak, tmp / "partly", "readme", "nothing*"});
  EXPECT_EQ(partly.Status, 1);
  EXPECT_NE(partly.Err.find("No member matches \"nothing*\""), std::string::npos);
  EXPECT_TRUE(fs::exists(tmp / "partly/readme"));
}

TEST(CairnboxCli, ExtractRefusesEscapingMembersAndGoesOn) {
  TScratchDir tmp;
  fs::create_directories(tmp / "w");
  WriteFixtureFile(tmp / "w/h.pak", MakePak({{"../up.txt", {1}}, {"ok/fine.txt", {2}}, {"/etc/x.txt", {3}}}));
  auto r = Cairnbox({"extract", tmp / "w/h.pak", tmp / "w/base"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("Refused to extract \"../up.txt\""), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("Refused to extract \"/etc/x.txt\""), std::string::npos) << r.Err;
  EXPECT_NE(r.Out.find("Extracted 1 of 3 members"), std::string::npos);
  EXPECT_TRUE(fs::exists(tmp / "w/base/ok/fine.txt"));
  EXPECT_FALSE(fs::exists(tmp / "w/up.txt"));
  EXPECT_FALSE(fs::exists(tmp / "up.txt"));
}

TEST(CairnboxCli, CatWritesTheExactBytes) {
  TScratchDir tmp;
  std::string pak = SamplePak(tmp);
  auto r = Cairnbox({"cat", pak, "readme"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, std::string("hello\0world", 11));
  EXPECT_EQ(Cairnbox({"cat", pak, "SOUND/alarm.wav"}).Out, Str(Pattern(100, 3)));
  auto amb = Cairnbox({"cat", pak, "*s*"});
  EXPECT_EQ(amb.Status, 1);
  EXPECT_NE(amb.Err.find("matches 3 members"), std::string::npos) << amb.Err;
  auto none = Cairnbox({"cat", pak, "nope"});
  EXPECT_EQ(none.Status, 1);
  EXPECT_NE(none.Err.find("No member matches \"nope\""), std::string::npos);
}

TEST(CairnboxCli, MemberPastTheEndIsAClearErrorWithNoOutput) {
  TScratchDir tmp;
  auto bytes = MakePak({{"a.txt", {1, 2, 3}}});
  PutI32LE(bytes.data() + 15 + 60, 1000);  // entry after 12-byte header and 3 data bytes
  WriteFixtureFile(tmp / "long.pak", bytes);
  for (const char* cmd : {"cat", "hex"}) {
    auto r = Cairnbox({cmd, tmp / "long.pak", "a.txt"});
    EXPECT_EQ(r.Status, 1) << cmd;
    EXPECT_EQ(r.Out, "") << cmd;
    EXPECT_NE(r.Err.find("Member \"a.txt\" runs past the end of the archive"), std::string::npos) << r.Err;
  }
}

TEST(CairnboxCli, HexDumpsAddressBytesAndCharacters) {
  TScratchDir tmp;
  std::vector<uint8_t> data = FixtureBytes("Quake archive\n viewer test!");
  WriteFixtureFile(tmp / "h.pak", MakePak({{"t.txt", data}, {"empty", {}}}));
  auto r = Cairnbox({"hex", tmp / "h.pak", "t.txt"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out,
            "00000000: 51 75 61 6B 65 20 61 72 63 68 69 76 65 0A 20 76 Quake archive. v\n"
            "00000010: 69 65 77 65 72 20 74 65 73 74 21                iewer test!\n");
  auto empty = Cairnbox({"hex", tmp / "h.pak", "empty"});
  EXPECT_EQ(empty.Status, 0);
  EXPECT_EQ(empty.Out, "");
}

TEST(CairnboxCli, RealArchiveListsAndExtracts) {
  if (!fs::exists(RealPak("vgio_test.pak"))) GTEST_SKIP() << "no real archives in " << TESSEL_DATA_DIR;
  TScratchDir tmp;
  auto list = Cairnbox({"list", RealPak("vgio_test.pak")});
  EXPECT_EQ(list.Status, 0);
  EXPECT_EQ(Lines(list.Out).back(), "2 files");
  auto ex = Cairnbox({"extract", RealPak("vgio_test.pak"), tmp / "out"});
  EXPECT_EQ(ex.Status, 0) << ex.Err;
  auto whole = ReadFixtureFile(RealPak("vgio_test.pak"));
  EXPECT_EQ(ReadFixtureFile(tmp / "out/test_data/test.mdl"),
            std::vector<uint8_t>(whole.begin() + 12, whole.begin() + 12 + 4724));
  auto cat = Cairnbox({"cat", RealPak("vgio_test.pak"), "test_data/test.bsp"});
  EXPECT_EQ(cat.Out, std::string(whole.begin() + 4736, whole.begin() + 4736 + 58428));
  auto bad = Cairnbox({"list", RealPak("edge/openqw_badmagic.pak")});
  EXPECT_EQ(bad.Status, 1);
  EXPECT_NE(bad.Err.find("signature"), std::string::npos);
}
