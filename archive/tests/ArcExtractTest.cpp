#include "archive/ArcExtract.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>

#include "archive/tests/ArchiveFixtures.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

// Every file and folder below `root`, relative to it.
std::set<std::string> Tree(const std::string& root) {
  std::set<std::string> s;
  for (auto& e : fs::recursive_directory_iterator(root)) s.insert(fs::relative(e.path(), root).string());
  return s;
}

TArchiveEntryRow StoredRow(const std::string& stored) {
  TArchiveEntryRow r;
  r.StoredName = stored;
  std::string full = ReplaceChar(stored, '/', '\\');
  size_t p = full.find_last_of("\\:");
  size_t start = p == std::string::npos ? 0 : p + 1;
  std::string file = full.substr(start);
  size_t dot = file.find_last_of('.');
  r.Path = ReplaceChar(full.substr(0, start), '\\', '/');
  r.Name = dot == std::string::npos ? file : file.substr(0, dot);
  r.Type = dot == std::string::npos ? "" : file.substr(dot + 1);
  r.Size = 0;
  r.Offset = 12;
  return r;
}

std::string RealPak(const std::string& rel) { return std::string(TESSEL_DATA_DIR) + "/quake/paks/" + rel; }

// Extracts every member of a real archive and compares each file with the
// bytes at the member's offset.
void ExtractAndCompare(const std::string& archive) {
  TScratchDir tmp;
  auto dir = ReadArchiveDirectory(archive);
  auto whole = ReadFixtureFile(archive);
  auto res = ExtractArchiveMembers(archive, dir.Rows, tmp.Path());
  EXPECT_TRUE(res.Failures.empty()) << res.Failures[0].Message;
  ASSERT_EQ(res.Extracted, static_cast<int64_t>(dir.Rows.size()));
  for (size_t i = 0; i < dir.Rows.size(); ++i) {
    const auto& r = dir.Rows[i];
    auto got = ReadFixtureFile(tmp / MemberTargetPath(r));
    const size_t off = static_cast<size_t>(r.Offset), size = static_cast<size_t>(r.Size);
    ASSERT_LE(off + size, whole.size());
    EXPECT_EQ(got, std::vector<uint8_t>(whole.begin() + off, whole.begin() + off + size)) << r.StoredName;
  }
}

}  // namespace

// ---- Where members go -----------------------------------------------------------

TEST(MemberTargetPath, KeepsFoldersLowersNameAndDropsDotComponents) {
  EXPECT_EQ(MemberTargetPath(StoredRow("progs/player.mdl")), "progs/player.mdl");
  EXPECT_EQ(MemberTargetPath(StoredRow("PROGS/PLAYER.MDL")), "PROGS/player.mdl");
  EXPECT_EQ(MemberTargetPath(StoredRow("3do\\mat\\DFLT.Mat")), "3do/mat/dflt.mat");
  EXPECT_EQ(MemberTargetPath(StoredRow("./test_data/test.mdl")), "test_data/test.mdl");
  EXPECT_EQ(MemberTargetPath(StoredRow("a/./b//c.txt")), "a/b/c.txt");
  EXPECT_EQ(MemberTargetPath(StoredRow("docs/README")), "docs/readme");  // no trailing "."
  EXPECT_EQ(MemberTargetPath(StoredRow("sound/.hidden")), "sound/.hidden");
}

TEST(MemberTargetPath, RefusesEveryNameThatLeavesTheBaseOrNamesNoFile) {
  const char* bad[] = {"",          "../evil.txt", "a/../../b.txt", "/etc/passwd", "\\abs\\x.txt", "C:/x.txt",
                       "C:x.txt",   "c:\\x.txt",   "..\\..\\x.txt", "dir/",        "dir\\",       "./",
                       ".",         "a/.",         "a/..",          "..",          "...",         "x/../y.txt"};
  for (const char* name : bad) {
    try {
      MemberTargetPath(StoredRow(name));
      ADD_FAILURE() << "accepted \"" << name << "\"";
    } catch (const EArchiveError& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("\"") + name + "\""), std::string::npos) << e.what();
    }
  }
}

// ---- Extraction -------------------------------------------------------------

TEST(ExtractArchiveMembers, CreatesFoldersAndCopiesEveryMember) {
  TScratchDir tmp;
  auto a = Pattern(5000, 1), b = Pattern(70000, 2);
  WriteFixtureFile(tmp / "x.pak", MakePak({{"progs/a.mdl", a}, {"maps/b.bsp", b}, {"PROGS/PLAYER.MDL", {9}}}));
  auto dir = ReadArchiveDirectory(tmp / "x.pak");
  auto res = ExtractArchiveMembers(tmp / "x.pak", dir.Rows, tmp / "out/deeper");  // base made too
  EXPECT_TRUE(res.Failures.empty());
  EXPECT_EQ(res.Extracted, 3);
  EXPECT_EQ(res.Bytes, 5001 + 70000);
  EXPECT_EQ(ReadFixtureFile(tmp / "out/deeper/progs/a.mdl"), a);
  EXPECT_EQ(ReadFixtureFile(tmp / "out/deeper/maps/b.bsp"), b);
  EXPECT_EQ(ReadFixtureFile(tmp / "out/deeper/PROGS/player.mdl"), std::vector<uint8_t>{9});
  EXPECT_EQ(res.Written.front(), tmp / "out/deeper/progs/a.mdl");
}

TEST(ExtractArchiveMembers, GobBackslashPathsBecomeFolders) {
  TScratchDir tmp;
  WriteFixtureFile(tmp / "r.gob", MakeGob({{"3do\\mat\\dflt.mat", {1, 2}}, {"jkl\\empty.jkl", {}}}));
  auto dir = ReadArchiveDirectory(tmp / "r.gob");
  auto res = ExtractArchiveMembers(tmp / "r.gob", dir.Rows, tmp / "out/");
  EXPECT_TRUE(res.Failures.empty());
  EXPECT_EQ(ReadFixtureFile(tmp / "out/3do/mat/dflt.mat"), (std::vector<uint8_t>{1, 2}));
  EXPECT_TRUE(fs::is_regular_file(tmp / "out/jkl/empty.jkl"));
  EXPECT_EQ(fs::file_size(tmp / "out/jkl/empty.jkl"), 0u);
}

TEST(ExtractArchiveMembers, HostileNamesAreRefusedAndTheRestStillExtract) {
  TScratchDir tmp;
  fs::create_directories(tmp / "work/base");
  std::vector<TFixtureMember> members = {{"../escape.txt", {1}},   {"good/one.txt", {2}},      {"/abs.txt", {3}},
                                         {"C:evil.txt", {4}},      {"a/../../up.txt", {5}},    {"", {6}},
                                         {"trailing/", {7}},       {"./fine.txt", {8}},        {"..\\back.txt", {9}},
                                         {"...", {10}}};
  WriteFixtureFile(tmp / "work/h.pak", MakePak(members));
  auto dir = ReadArchiveDirectory(tmp / "work/h.pak");
  auto res = ExtractArchiveMembers(tmp / "work/h.pak", dir.Rows, tmp / "work/base");
  EXPECT_EQ(res.Extracted, 2);
  ASSERT_EQ(res.Failures.size(), 8u);
  for (const auto& f : res.Failures) {
    EXPECT_NE(f.Message.find("Refused to extract \"" + f.Member + "\""), std::string::npos) << f.Message;
  }
  EXPECT_EQ(Tree(tmp / "work/base"), (std::set<std::string>{"good", "good/one.txt", "fine.txt"}));
  EXPECT_EQ(Tree(tmp / "work"), (std::set<std::string>{"h.pak", "base", "base/good", "base/good/one.txt",
                                                       "base/fine.txt"}));
  EXPECT_FALSE(fs::exists("/abs.txt"));
}

TEST(ExtractArchiveMembers, DataPastTheEndFailsForThatMemberOnly) {
  TScratchDir tmp;
  auto bytes = MakePak({{"a.txt", Pattern(100, 1)}, {"b.txt", Pattern(100, 2)}, {"c.txt", Pattern(100, 3)}});
  // Directory entries start at 312: stretch b past the end, make c negative.
  PutI32LE(bytes.data() + 312 + 64 + 60, 1 << 30);
  PutI32LE(bytes.data() + 312 + 128 + 56, -1);
  WriteFixtureFile(tmp / "d.pak", bytes);
  auto dir = ReadArchiveDirectory(tmp / "d.pak");
  auto res = ExtractArchiveMembers(tmp / "d.pak", dir.Rows, tmp / "out");
  EXPECT_EQ(res.Extracted, 1);
  ASSERT_EQ(res.Failures.size(), 2u);
  EXPECT_EQ(res.Failures[0].Member, "b.txt");
  EXPECT_NE(res.Failures[0].Message.find("runs past the end of the archive"), std::string::npos);
  EXPECT_EQ(res.Failures[1].Member, "c.txt");
  EXPECT_NE(res.Failures[1].Message.find("negative"), std::string::npos);
  EXPECT_EQ(Tree(tmp / "out"), std::set<std::string>{"a.txt"});  // no empty leftovers
}

TEST(ExtractArchiveMembers, OverwritesFilesAndReportsFoldersInTheWay) {
  TScratchDir tmp;
  WriteFixtureFile(tmp / "o.pak", MakePak({{"x/long.txt", {1, 2}}, {"x/dir.txt", {3}}, {"x/ok.txt", {4}}}));
  fs::create_directories(tmp / "out/x/dir.txt");
  WriteFixtureFile(tmp / "out/x/long.txt", Pattern(1000, 0));
  auto dir = ReadArchiveDirectory(tmp / "o.pak");
  auto res = ExtractArchiveMembers(tmp / "o.pak", dir.Rows, tmp / "out");
  EXPECT_EQ(ReadFixtureFile(tmp / "out/x/long.txt"), (std::vector<uint8_t>{1, 2}));
  ASSERT_EQ(res.Failures.size(), 1u);
  EXPECT_EQ(res.Failures[0].Member, "x/dir.txt");
  EXPECT_NE(res.Failures[0].Message.find("Cannot extract \"x/dir.txt\""), std::string::npos);
  EXPECT_EQ(ReadFixtureFile(tmp / "out/x/ok.txt"), std::vector<uint8_t>{4});
}

TEST(ExtractArchiveMembers, AFileWhereAFolderMustGoFailsThatMember) {
  TScratchDir tmp;
  WriteFixtureFile(tmp / "c.pak", MakePak({{"a", {1}}, {"a/b.txt", {2}}, {"c.txt", {3}}}));
  auto dir = ReadArchiveDirectory(tmp / "c.pak");
  auto res = ExtractArchiveMembers(tmp / "c.pak", dir.Rows, tmp / "out");
  EXPECT_EQ(res.Extracted, 2);
  ASSERT_EQ(res.Failures.size(), 1u);
  EXPECT_NE(res.Failures[0].Message.find("Unable to create directory"), std::string::npos) << res.Failures[0].Message;
}

TEST(ExtractArchiveMembers, NeverOverwritesTheArchiveItself) {
  TScratchDir tmp;
  auto bytes = MakePak({{"self.pak", Pattern(10, 1)}, {"other.txt", {1}}});
  WriteFixtureFile(tmp / "self.pak", bytes);
  auto dir = ReadArchiveDirectory(tmp / "self.pak");
  auto res = ExtractArchiveMembers(tmp / "self.pak", dir.Rows, tmp.Path());
  EXPECT_EQ(ReadFixtureFile(tmp / "self.pak"), bytes);
  ASSERT_EQ(res.Failures.size(), 1u);
  EXPECT_EQ(res.Failures[0].Member, "self.pak");
  EXPECT_EQ(res.Extracted, 1);
}

TEST(ExtractArchiveMembers, ArchiveLevelProblemsRaise) {
  TScratchDir tmp;
  WriteFixtureFile(tmp / "a.pak", MakePak({{"a.txt", {1}}}));
  auto dir = ReadArchiveDirectory(tmp / "a.pak");
  EXPECT_THROW(ExtractArchiveMembers(tmp / "a.pak", dir.Rows, ""), EArchiveError);
  EXPECT_THROW(ExtractArchiveMembers(tmp / "missing.pak", dir.Rows, tmp / "out"), EFOpenError);
  EXPECT_FALSE(fs::exists(tmp / "out"));
}

// ---- One member -------------------------------------------------------------

TEST(ArchiveMember, ReadAndExportOneMember) {
  TScratchDir tmp;
  auto data = Pattern(3000, 5);
  WriteFixtureFile(tmp / "m.pak", MakePak({{"progs/player.mdl", data}, {"empty.txt", {}}}));
  auto dir = ReadArchiveDirectory(tmp / "m.pak");
  EXPECT_EQ(ReadArchiveMember(tmp / "m.pak", dir.Rows[0]), data);
  EXPECT_TRUE(ReadArchiveMember(tmp / "m.pak", dir.Rows[1]).empty());
  ExportArchiveMember(tmp / "m.pak", dir.Rows[0], tmp / "player.out");
  EXPECT_EQ(ReadFixtureFile(tmp / "player.out"), data);
  WriteFixtureFile(tmp / "e.out", Pattern(50, 0));
  ExportArchiveMember(tmp / "m.pak", dir.Rows[1], tmp / "e.out");  // overwritten, now empty
  EXPECT_EQ(fs::file_size(tmp / "e.out"), 0u);
}

TEST(ArchiveMember, ExportProposals) {
  auto row = StoredRow("progs/Player.MDL");
  EXPECT_EQ(ExportFileName(row), "player.mdl");
  EXPECT_EQ(ExportDefaultExt(row), "mdl");
  EXPECT_EQ(ExportFilter(row), "Export File (*.mdl)|*.mdl|All Files (*.*)|*.*");
  EXPECT_EQ(ExportFileName(StoredRow("README")), "readme");
}

TEST(ArchiveMember, BrokenSpansAreClearErrorsAndCreateNothing) {
  TScratchDir tmp;
  WriteFixtureFile(tmp / "m.pak", MakePak({{"a.txt", Pattern(10, 1)}}));
  auto row = ReadArchiveDirectory(tmp / "m.pak").Rows[0];
  row.Size = 2147483647;
  row.Offset = 2147483647;  // the sum passes 32 bits: must not wrap
  EXPECT_THROW(ReadArchiveMember(tmp / "m.pak", row), EArchiveError);
  EXPECT_THROW(ExportArchiveMember(tmp / "m.pak", row, tmp / "x.out"), EArchiveError);
  EXPECT_FALSE(fs::exists(tmp / "x.out"));
  row.Offset = 12;
  row.Size = 23;  // one byte beyond the 12 + 10 data bytes and the 64-byte directory
  EXPECT_NO_THROW(ReadArchiveMember(tmp / "m.pak", row));
  row.Size = 87;
  EXPECT_THROW(ReadArchiveMember(tmp / "m.pak", row), EArchiveError);
  row.Size = -1;
  EXPECT_THROW(ReadArchiveMember(tmp / "m.pak", row), EArchiveError);
}

TEST(CopyArchiveBytes, WorksIntoPipesAndStopsAtTheEndOfTheInput) {
  TScratchDir tmp;
  auto data = Pattern(3 << 20, 3);  // larger than one copy block
  WriteFixtureFile(tmp / "in.bin", data);
  int in = ::open((tmp / "in.bin").c_str(), O_RDONLY);
  ASSERT_GE(in, 0);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::vector<uint8_t> got;
  std::thread reader([&] {
    uint8_t buf[65536];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) got.insert(got.end(), buf, buf + n);
  });
  CopyArchiveBytes(in, 5, static_cast<int64_t>(data.size()) - 5, fds[1]);
  ::close(fds[1]);
  reader.join();
  ::close(fds[0]);
  EXPECT_EQ(got, std::vector<uint8_t>(data.begin() + 5, data.end()));

  int out = ::open((tmp / "out.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  EXPECT_THROW(CopyArchiveBytes(in, 10, static_cast<int64_t>(data.size()), out), EArchiveError);
  ::close(out);
  ::close(in);
}

TEST(ArchiveMember, ArchivesPastTwoGibibytes) {
  TScratchDir tmp;
  const int64_t memberOffset = 0x7FFFFFF0;  // the member straddles the 2 GiB mark
  std::vector<uint8_t> bytes = MakePak({{"big/far.bin", {}}, {"big/beyond.bin", {}}});
  PutI32LE(bytes.data() + 12 + 56, static_cast<int32_t>(memberOffset));
  PutI32LE(bytes.data() + 12 + 60, 32);
  PutI32LE(bytes.data() + 12 + 64 + 56, 0x7FFFFFFF);
  PutI32LE(bytes.data() + 12 + 64 + 60, 0x7FFFFFFF);
  WriteFixtureFile(tmp / "big.pak", bytes);
  {
    int fd = ::open((tmp / "big.pak").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    auto data = Pattern(32, 9);
    bool ok = ::pwrite(fd, data.data(), data.size(), memberOffset) == 32;
    ::close(fd);
    if (!ok) GTEST_SKIP() << "this file system cannot hold a sparse 2 GiB file";
  }
  auto dir = ReadArchiveDirectory(tmp / "big.pak");
  ASSERT_EQ(dir.Rows.size(), 2u);
  EXPECT_EQ(ReadArchiveMember(tmp / "big.pak", dir.Rows[0]), Pattern(32, 9));
  auto res = ExtractArchiveMembers(tmp / "big.pak", dir.Rows, tmp / "out");
  EXPECT_EQ(res.Extracted, 1);
  ASSERT_EQ(res.Failures.size(), 1u);
  EXPECT_NE(res.Failures[0].Message.find("runs past the end"), std::string::npos);
  EXPECT_EQ(ReadFixtureFile(tmp / "out/big/far.bin"), Pattern(32, 9));
}

// ---- Real archives ----------------------------------------------------------

TEST(RealArchives, ExtractedBytesMatchTheArchive) {
  if (!fs::exists(RealPak("vgio_test.pak"))) GTEST_SKIP() << "no real archives in " << TESSEL_DATA_DIR;
  ExtractAndCompare(RealPak("vgio_test.pak"));
  ExtractAndCompare(RealPak("edge/openqw_500.pak"));
}

TEST(RealArchives, NamesBeginningWithDotSlashExtractBelowTheBase) {
  if (!fs::exists(RealPak("vgio_test.pak"))) GTEST_SKIP() << "no real archives in " << TESSEL_DATA_DIR;
  TScratchDir tmp;
  auto dir = ReadArchiveDirectory(RealPak("vgio_test.pak"));
  auto res = ExtractArchiveMembers(RealPak("vgio_test.pak"), dir.Rows, tmp.Path());
  EXPECT_EQ(Tree(tmp.Path()), (std::set<std::string>{"test_data", "test_data/test.mdl", "test_data/test.bsp"}));
  EXPECT_EQ(fs::file_size(tmp / "test_data/test.mdl"), static_cast<uintmax_t>(dir.Rows[0].Size));
}
