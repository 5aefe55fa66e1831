#include "archive/ArcDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "archive/tests/ArchiveFixtures.h"
#include "core/Streams.h"

namespace {

TArchiveDirectory PakFrom(const std::vector<uint8_t>& bytes) {
  TMemoryStream m(bytes);
  return ReadPakDirectory(m);
}

TArchiveDirectory GobFrom(const std::vector<uint8_t>& bytes) {
  TMemoryStream m(bytes);
  return ReadGobDirectory(m);
}

TArchiveEntryRow Row(const std::string& name, const std::string& type, int64_t size, const std::string& path = "") {
  TArchiveEntryRow r;
  r.Name = name;
  r.Type = type;
  r.Size = size;
  r.Path = path;
  r.StoredName = path + name + (type.empty() ? "" : "." + type);
  return r;
}

std::vector<std::string> Names(const std::vector<TArchiveEntryRow>& rows) {
  std::vector<std::string> v;
  for (const auto& r : rows) v.push_back(r.Name);
  return v;
}

std::string RealPak(const std::string& rel) { return std::string(TESSEL_DATA_DIR) + "/quake/paks/" + rel; }

}  // namespace

// ---- Rows built from directory entries ----------------------------------------

TEST(PakDirectory, EntryBecomesRowWithNameTypeSizePathAndOffset) {
  auto dir = PakFrom(MakePak({{"progs/player.mdl", std::vector<uint8_t>(3000, 7)}}));
  ASSERT_EQ(dir.Rows.size(), 1u);
  const auto& r = dir.Rows[0];
  EXPECT_EQ(r.Name, "player");
  EXPECT_EQ(r.Type, "mdl");
  EXPECT_EQ(r.Size, 3000);
  EXPECT_EQ(r.Path, "progs/");
  EXPECT_EQ(r.Offset, 12);
  EXPECT_EQ(r.StoredName, "progs/player.mdl");
  EXPECT_EQ(r.Column(acName), "player");
  EXPECT_EQ(r.Column(acSize), "3000");
  EXPECT_EQ(r.Column(acOffset), "12");
  EXPECT_EQ(r.Column(7), "");
  EXPECT_EQ(dir.StatusText(), "1 files");
  EXPECT_EQ(dir.SkippedEntries, 0);
}

TEST(PakDirectory, NamesWithoutExtensionUpperCaseAndDotsInFolders) {
  auto dir = PakFrom(MakePak({{"README", {}},
                              {"PROGS/PLAYER.MDL", {1}},
                              {"maps.v2/start", {2}},
                              {"a/b/c.tar.gz", {3}},
                              {"sound/.hidden", {}},
                              {"file.", {}}}));
  ASSERT_EQ(dir.Rows.size(), 6u);
  EXPECT_EQ(dir.Rows[0].Name, "README");
  EXPECT_EQ(dir.Rows[0].Type, "");
  EXPECT_EQ(dir.Rows[0].Path, "");
  EXPECT_EQ(dir.Rows[1].Name, "PLAYER");
  EXPECT_EQ(dir.Rows[1].Type, "MDL");
  EXPECT_EQ(dir.Rows[1].Path, "PROGS/");
  EXPECT_EQ(dir.Rows[2].Name, "start");
  EXPECT_EQ(dir.Rows[2].Type, "");
  EXPECT_EQ(dir.Rows[2].Path, "maps.v2/");
  EXPECT_EQ(dir.Rows[3].Name, "c.tar");
  EXPECT_EQ(dir.Rows[3].Type, "gz");
  EXPECT_EQ(dir.Rows[3].Path, "a/b/");
  EXPECT_EQ(dir.Rows[4].Name, "");
  EXPECT_EQ(dir.Rows[4].Type, "hidden");
  EXPECT_EQ(dir.Rows[5].Name, "file");
  EXPECT_EQ(dir.Rows[5].Type, "");
  EXPECT_EQ(dir.Rows[5].Size, 0);
}

TEST(PakDirectory, NameFillingAllFiftySixBytesIsTakenWhole) {
  std::string name56 = "d/" + std::string(50, 'x') + ".txt";
  ASSERT_EQ(name56.size(), 56u);
  std::string longer = name56 + "tail";  // cut to the field by the fixture writer
  auto dir = PakFrom(MakePak({{name56, {1}}, {longer, {2}}}));
  ASSERT_EQ(dir.Rows.size(), 2u);
  for (const auto& r : dir.Rows) {
    EXPECT_EQ(r.StoredName, name56);
    EXPECT_EQ(r.Name, std::string(50, 'x'));
    EXPECT_EQ(r.Type, "txt");
  }
  EXPECT_EQ(dir.Rows[1].Offset, 13);  // the next field starts right after the name
}

TEST(PakDirectory, EntryCountIsDirectoryLengthDivSixtyFour) {
  auto bytes = MakePak({{"a.txt", {1}}, {"b.txt", {2}}});
  EXPECT_EQ(PakFrom(bytes).StatusText(), "2 files");
  PutI32LE(bytes.data() + 8, 100);  // one whole entry and 36 stray bytes
  auto dir = PakFrom(bytes);
  ASSERT_EQ(dir.Rows.size(), 1u);
  EXPECT_EQ(dir.Rows[0].Name, "a");
  EXPECT_EQ(dir.StatusText(), "1 files");
  PutI32LE(bytes.data() + 8, 0);
  EXPECT_EQ(PakFrom(bytes).StatusText(), "0 files");
}

TEST(GobDirectory, BackslashNamesKeepTheirSeparators) {
  auto dir = GobFrom(MakeGob({{"3do\\mat\\dflt.mat", {1, 2, 3}}, {"jkl\\01narshadda.jkl", {}}, {"NOEXT", {9}}}));
  ASSERT_EQ(dir.Rows.size(), 3u);
  EXPECT_EQ(dir.Rows[0].Name, "dflt");
  EXPECT_EQ(dir.Rows[0].Type, "mat");
  EXPECT_EQ(dir.Rows[0].Path, "3do\\mat\\");
  EXPECT_EQ(dir.Rows[0].Size, 3);
  EXPECT_EQ(dir.Rows[0].Offset, 16 + 3 * 136);
  EXPECT_EQ(dir.Rows[1].Path, "jkl\\");
  EXPECT_EQ(dir.Rows[1].Size, 0);
  EXPECT_EQ(dir.Rows[2].Type, "");
  EXPECT_EQ(dir.Rows[2].Name, "NOEXT");
  EXPECT_EQ(dir.StatusText(), "3 files");
}

TEST(GobDirectory, NameFillingAllHundredTwentyEightBytesIsTakenWhole) {
  std::string name128 = "a\\" + std::string(122, 'n') + ".bmp";
  ASSERT_EQ(name128.size(), 128u);
  auto dir = GobFrom(MakeGob({{name128 + "XYZ", {1}}, {"b.txt", {2}}}));
  ASSERT_EQ(dir.Rows.size(), 2u);
  EXPECT_EQ(dir.Rows[0].StoredName, name128);
  EXPECT_EQ(dir.Rows[0].Type, "bmp");
  EXPECT_EQ(dir.Rows[1].StoredName, "b.txt");  // the entries stay in step
}

TEST(GobDirectory, DirectoryIsReadWhereTheHeaderSays) {
  auto bytes = MakeGob({{"x\\y.txt", {5}}});
  // Move the count and entries 8 bytes back and point the header there; the
  // member's data offset moves with them.
  bytes.insert(bytes.begin() + 12, 8, 0xEE);
  PutI32LE(bytes.data() + 8, 20);
  PutI32LE(bytes.data() + 24, GetI32LE(bytes.data() + 24) + 8);
  auto dir = GobFrom(bytes);
  ASSERT_EQ(dir.Rows.size(), 1u);
  EXPECT_EQ(dir.Rows[0].StoredName, "x\\y.txt");
  EXPECT_EQ(dir.Rows[0].Offset, 20 + 4 + 136);
}

TEST(ArchiveDirectory, TenThousandEntries) {
  std::vector<TFixtureMember> members;
  for (int i = 0; i < 10000; ++i) members.push_back({"maps/m" + std::to_string(i) + ".bsp", {uint8_t(i)}});
  auto pak = PakFrom(MakePak(members));
  auto gob = GobFrom(MakeGob(members));
  ASSERT_EQ(pak.Rows.size(), 10000u);
  ASSERT_EQ(gob.Rows.size(), 10000u);
  EXPECT_EQ(pak.StatusText(), "10000 files");
  EXPECT_EQ(pak.Rows[9999].Name, "m9999");
  EXPECT_EQ(pak.Rows[9999].Offset, 12 + 9999);
  EXPECT_EQ(gob.Rows[9999].Path, "");  // "/" is no separator in a GOB name
  EXPECT_EQ(gob.Rows[9999].Name, "maps/m9999");
}

// ---- Damaged and foreign files ---------------------------------------------------

TEST(PakDirectory, DirectoryRunningPastTheEndKeepsTheCompleteEntries) {
  auto bytes = MakePak({{"a.txt", {1}}, {"b.txt", {2}}, {"c.txt", {3}}});
  bytes.resize(bytes.size() - 10);  // the last entry is cut
  auto dir = PakFrom(bytes);
  EXPECT_EQ(Names(dir.Rows), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(dir.SkippedEntries, 1);
  EXPECT_EQ(dir.StatusText(), "2 files (1 skipped: the directory runs past the end of the file)");

  PutI32LE(bytes.data() + 8, 64 * 1000000);  // length far beyond the file: no huge buffer
  dir = PakFrom(bytes);
  EXPECT_EQ(dir.Rows.size(), 2u);
  EXPECT_EQ(dir.SkippedEntries, 1000000 - 2);

  PutI32LE(bytes.data() + 4, 0x7FFFFFF0);  // offset beyond the file
  dir = PakFrom(bytes);
  EXPECT_TRUE(dir.Rows.empty());
  EXPECT_EQ(dir.SkippedEntries, 1000000);
}

TEST(PakDirectory, NegativeOffsetOrLengthListsNothingAndSaysWhy) {
  auto bytes = MakePak({{"a.txt", {1}}, {"b.txt", {2}}});
  PutI32LE(bytes.data() + 4, -64);
  auto dir = PakFrom(bytes);
  EXPECT_TRUE(dir.Rows.empty());
  EXPECT_EQ(dir.SkippedEntries, 2);
  EXPECT_EQ(dir.StatusText(), "0 files (2 skipped: the directory's offset is negative)");
  bytes = MakePak({{"a.txt", {1}}});
  PutI32LE(bytes.data() + 8, -64);
  dir = PakFrom(bytes);
  EXPECT_TRUE(dir.Rows.empty());
  EXPECT_EQ(dir.StatusText(), "0 files (the directory's length is negative)");
}

TEST(GobDirectory, DamagedCountsAndOffsets) {
  auto bytes = MakeGob({{"a.txt", {1}}, {"b.txt", {2}}});
  auto cut = bytes;
  cut.resize(16 + 136 + 100);  // second entry cut short
  auto dir = GobFrom(cut);
  EXPECT_EQ(dir.Rows.size(), 1u);
  EXPECT_EQ(dir.SkippedEntries, 1);

  PutI32LE(bytes.data() + 12, 0x7FFFFFFF);  // count far beyond the file
  dir = GobFrom(bytes);
  EXPECT_EQ(dir.Rows.size(), 2u);  // the data behind happens to fill no third entry
  EXPECT_EQ(dir.SkippedEntries, 0x7FFFFFFF - 2);

  PutI32LE(bytes.data() + 12, -1);
  dir = GobFrom(bytes);
  EXPECT_TRUE(dir.Rows.empty());
  EXPECT_EQ(dir.StatusText(), "0 files (the directory's entry count is negative)");

  PutI32LE(bytes.data() + 8, -12);
  EXPECT_EQ(GobFrom(bytes).StatusText(), "0 files (the directory's offset is negative)");
  PutI32LE(bytes.data() + 8, static_cast<int32_t>(bytes.size()) - 2);
  EXPECT_EQ(GobFrom(bytes).StatusText(), "0 files (the directory starts past the end of the file)");
}

TEST(ArchiveDirectory, WrongSignatureOrShortHeaderIsNotAnArchive) {
  auto pak = MakePak({{"a.txt", {1}}});
  auto gob = MakeGob({{"a.txt", {1}}});
  EXPECT_THROW(PakFrom(gob), EArchiveError);
  EXPECT_THROW(GobFrom(pak), EArchiveError);
  pak[3] = 'k';
  try {
    PakFrom(pak);
    FAIL() << "a PAK without its signature was read";
  } catch (const EArchiveError& e) {
    EXPECT_STREQ(e.what(), "Not a PAK archive: the \"PACK\" signature is missing");
  }
  EXPECT_THROW(PakFrom({'P', 'A', 'C', 'K', 12, 0, 0, 0, 0, 0, 0}), EArchiveError);
  EXPECT_THROW(PakFrom({}), EArchiveError);
  EXPECT_THROW(GobFrom({'G', 'O', 'B', ' ', 0x14, 0, 0, 0, 12, 0, 0}), EArchiveError);
  // A GOB header without room for the count lists nothing.
  EXPECT_EQ(GobFrom({'G', 'O', 'B', ' ', 0x14, 0, 0, 0, 12, 0, 0, 0}).Rows.size(), 0u);
}

// ---- Files and the list model ----------------------------------------------------

TEST(ArchiveKind, ChosenByExtensionWithoutCase) {
  EXPECT_EQ(ArchiveKindOf("pak0.pak"), akPak);
  EXPECT_EQ(ArchiveKindOf("/x/PAK1.PAK"), akPak);
  EXPECT_EQ(ArchiveKindOf("res2.Gob"), akGob);
  EXPECT_EQ(ArchiveKindOf("a.pak.bak"), akNone);
  EXPECT_EQ(ArchiveKindOf("dir.pak/file"), akNone);
  EXPECT_EQ(ArchiveKindOf("pak"), akNone);
  EXPECT_EQ(ArchiveKindOf(""), akNone);
}

TEST(ListArchive, ReplacesRowsAndSetsStatus) {
  TScratchDir tmp;
  WriteFixtureFile(tmp / "A.PAK", MakePak({{"progs/a.mdl", {1}}, {"maps/b.bsp", {2, 3}}}));
  WriteFixtureFile(tmp / "b.gob", MakeGob({{"3do\\x.3do", {1}}}));
  TArchiveList list;
  list.Sorted = true;
  ASSERT_TRUE(ListArchive(tmp / "A.PAK", list));
  EXPECT_EQ(list.Rows.size(), 2u);
  EXPECT_EQ(list.StatusText, "2 files");
  EXPECT_EQ(list.FileName, tmp / "A.PAK");
  EXPECT_FALSE(list.Sorted);
  ASSERT_TRUE(ListArchive(tmp / "b.gob", list));
  EXPECT_EQ(Names(list.Rows), std::vector<std::string>{"x"});
  EXPECT_EQ(list.StatusText, "1 files");
}

TEST(ListArchive, OtherExtensionChangesNothing) {
  TScratchDir tmp;
  WriteFixtureFile(tmp / "a.pak", MakePak({{"a.txt", {1}}}));
  WriteFixtureFile(tmp / "a.zip", MakePak({{"b.txt", {1}}}));
  TArchiveList list;
  ASSERT_TRUE(ListArchive(tmp / "a.pak", list));
  list.Sorted = true;
  EXPECT_FALSE(ListArchive(tmp / "a.zip", list));
  EXPECT_EQ(Names(list.Rows), std::vector<std::string>{"a"});
  EXPECT_EQ(list.FileName, tmp / "a.pak");
  EXPECT_TRUE(list.Sorted);
}

TEST(ListArchive, MissingFileLeavesRowsAndAForeignFileEmptiesThem) {
  TScratchDir tmp;
  WriteFixtureFile(tmp / "a.pak", MakePak({{"a.txt", {1}}}));
  WriteFixtureFile(tmp / "bad.pak", FixtureBytes("PACk this is no archive"));
  TArchiveList list;
  ASSERT_TRUE(ListArchive(tmp / "a.pak", list));
  EXPECT_THROW(ListArchive(tmp / "missing.pak", list), EFOpenError);
  EXPECT_EQ(list.Rows.size(), 1u);
  EXPECT_EQ(list.StatusText, "1 files");
  try {
    ListArchive(tmp / "bad.pak", list);
    FAIL() << "a foreign file was listed";
  } catch (const EArchiveError& e) {
    EXPECT_NE(std::string(e.what()).find("bad.pak"), std::string::npos) << e.what();
  }
  // The rows must not outlive the file they belonged to.
  EXPECT_TRUE(list.Rows.empty());
  EXPECT_EQ(list.StatusText, "");
}

TEST(ReadArchiveDirectory, UnknownExtensionAndMissingFileRaise) {
  EXPECT_THROW(ReadArchiveDirectory("x.zip"), EArchiveError);
  EXPECT_THROW(ReadArchiveDirectory("/nonexistent/x.pak"), EFOpenError);
}

// ---- Text helpers ------------------------------------------------------------

TEST(TextHelpers, ReplaceCharAndTrailingSeparator) {
  EXPECT_EQ(ReplaceChar("a/b/c", '/', '\\'), "a\\b\\c");
  EXPECT_EQ(ReplaceChar("a\\b\\", '\\', '/'), "a/b/");
  EXPECT_EQ(ReplaceChar("", '/', '\\'), "");
  EXPECT_EQ(IncludeTrailingSeparator("/tmp/out"), "/tmp/out/");
  EXPECT_EQ(IncludeTrailingSeparator("/tmp/out/"), "/tmp/out/");
  EXPECT_EQ(IncludeTrailingSeparator("out\\"), "out\\/");
}

// ---- Sorting ----------------------------------------------------------------

TEST(CompareRows, EachColumnComparesItsOwnWay) {
  auto a = Row("Alpha", "MDL", 9, "progs/");
  auto b = Row("beta", "bsp", 10, "Maps/");
  EXPECT_LT(CompareRows(a, b, acName, false), 0);
  EXPECT_EQ(CompareRows(a, Row("ALPHA", "x", 1), acName, false), 0);
  EXPECT_GT(CompareRows(a, b, acType, false), 0);
  EXPECT_EQ(CompareRows(a, b, acSize, false), -1);  // numbers, not text
  EXPECT_EQ(CompareRows(b, a, acSize, false), 1);
  EXPECT_EQ(CompareRows(a, Row("z", "", 9), acSize, false), 0);
  EXPECT_EQ(CompareRows(Row("a", "", 2147483647), Row("b", "", -1), acSize, false), 1);
  EXPECT_GT(CompareRows(a, b, acPath, false), 0);
  EXPECT_EQ(CompareRows(a, b, acOffset, false), 1);
  EXPECT_EQ(CompareRows(b, a, 99, false), 1);
  EXPECT_GT(CompareRows(a, b, acName, true), 0);
  EXPECT_EQ(CompareRows(a, b, acSize, true), 1);
}

TEST(ArchiveListSort, ColumnClicksToggleAndSizesSortAsNumbers) {
  TArchiveList list;
  list.Rows = {Row("b", "txt", 10), Row("C", "txt", 9), Row("a", "txt", 100)};
  // The sort column starts at Name, so the first click on it sorts descending.
  list.ColumnClick(acName);
  EXPECT_TRUE(list.Sorted);
  EXPECT_EQ(Names(list.Rows), (std::vector<std::string>{"C", "b", "a"}));
  list.ColumnClick(acName);
  EXPECT_EQ(Names(list.Rows), (std::vector<std::string>{"a", "b", "C"}));
  list.ColumnClick(acSize);
  EXPECT_FALSE(list.SortDescending);
  EXPECT_EQ(Names(list.Rows), (std::vector<std::string>{"C", "b", "a"}));
  list.ColumnClick(acSize);
  EXPECT_TRUE(list.SortDescending);
  EXPECT_EQ(Names(list.Rows), (std::vector<std::string>{"a", "b", "C"}));
}

TEST(ArchiveListSort, EqualRowsKeepOrderAndUnknownColumnsChangeNothing) {
  TArchiveList list;
  for (int i = 0; i < 50; ++i) list.Rows.push_back(Row("n" + std::to_string(i), i % 2 ? "a" : "b", 1));
  list.ColumnClick(acType);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(list.Rows[i].Name, "n" + std::to_string(2 * i + 1));
  auto before = Names(list.Rows);
  list.ColumnClick(acOffset);
  list.ColumnClick(acOffset);  // descending as well: still no reordering
  EXPECT_EQ(Names(list.Rows), before);
}

TEST(MemberMatches, WildcardsCaseAndSeparators) {
  TArchiveEntryRow r;
  r.StoredName = "./Progs/Player.mdl";
  EXPECT_TRUE(MemberMatches(r, "progs/player.mdl"));
  EXPECT_TRUE(MemberMatches(r, "./progs/player.mdl"));
  EXPECT_TRUE(MemberMatches(r, "progs\\*.MDL"));
  EXPECT_TRUE(MemberMatches(r, "*.mdl"));
  EXPECT_TRUE(MemberMatches(r, "progs/pl?yer.[a-m]dl"));
  EXPECT_FALSE(MemberMatches(r, "player.mdl"));
  EXPECT_FALSE(MemberMatches(r, "*.bsp"));
  r.StoredName = "3do\\mat\\dflt.mat";
  EXPECT_TRUE(MemberMatches(r, "3do/mat/*"));
}

// ---- Real archives ------------------------------------------------------------

TEST(RealArchives, ListsEveryEntryOfTheRealFiles) {
  if (!std::filesystem::exists(RealPak("vgio_test.pak"))) GTEST_SKIP() << "no real archives in " << TESSEL_DATA_DIR;
  auto dir = ReadArchiveDirectory(RealPak("vgio_test.pak"));
  ASSERT_EQ(dir.Rows.size(), 2u);
  EXPECT_EQ(dir.Rows[0].StoredName, "./test_data/test.mdl");
  EXPECT_EQ(dir.Rows[0].Path, "./test_data/");
  EXPECT_EQ(dir.Rows[0].Name, "test");
  EXPECT_EQ(dir.Rows[0].Type, "mdl");
  EXPECT_EQ(dir.Rows[1].Type, "bsp");
  EXPECT_EQ(dir.StatusText(), "2 files");

  auto many = ReadArchiveDirectory(RealPak("edge/openqw_500.pak"));
  ASSERT_EQ(many.Rows.size(), 500u);
  std::set<std::string> names;
  for (const auto& r : many.Rows) {
    names.insert(r.StoredName);
    EXPECT_EQ(r.Path, "dir/");
    EXPECT_EQ(r.Size, 0);
    EXPECT_EQ(r.Offset, 12);
  }
  EXPECT_EQ(names.size(), 500u);
  EXPECT_EQ(many.Rows[0].StoredName, "dir/file1");  // stored in text order, listed as stored
  EXPECT_EQ(many.Rows[1].StoredName, "dir/file10");
  EXPECT_TRUE(names.count("dir/file500"));
  EXPECT_EQ(ReadArchiveDirectory(RealPak("edge/openqw_empty.pak")).StatusText(), "0 files");
}

TEST(RealArchives, DamagedRealFilesGiveClearAnswers) {
  if (!std::filesystem::exists(RealPak("edge"))) GTEST_SKIP() << "no real archives in " << TESSEL_DATA_DIR;
  EXPECT_THROW(ReadArchiveDirectory(RealPak("edge/openqw_badmagic.pak")), EArchiveError);
  EXPECT_THROW(ReadArchiveDirectory(RealPak("edge/openqw_emptyfile.pak")), EArchiveError);
  auto cropped = ReadArchiveDirectory(RealPak("edge/openqw_croppedheader.pak"));
  EXPECT_TRUE(cropped.Rows.empty());
  EXPECT_EQ(cropped.SkippedEntries, 26);
  EXPECT_EQ(cropped.StatusText(), "0 files (26 skipped: the directory runs past the end of the file)");
}
