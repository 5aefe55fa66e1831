#include "core/TextFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class TextFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    Dir_ = fs::temp_directory_path() /
           ("tessel_textfile_" + std::to_string(::getpid()) + "_" + info->name());
    fs::remove_all(Dir_);
    fs::create_directories(Dir_);
  }
  void TearDown() override { fs::remove_all(Dir_); }

  std::string PathOf(const std::string& name) const { return (Dir_ / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(PathOf(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(PathOf(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static std::vector<std::string> ReadAll(TTextStream& t) {
    std::vector<std::string> lines;
    std::string line;
    while (!t.AtEof()) {
      t.ReadTextLine(line);
      lines.push_back(line);
    }
    return lines;
  }

  fs::path Dir_;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(TextFileTest, WritesEveryLineWithCrLf) {
  {
    TTextFile f(PathOf("out.frs"), 1);
    EXPECT_EQ(f.Mode(), 1);
    f.WriteTextLine("[Scenes]");
    f.WriteFmt("count=%d", 2);
    f.WriteFmt("%d=%s", 0, "walk");
    f.WriteTextLine("");
    f.Close();
  }
  EXPECT_EQ(Get("out.frs"), "[Scenes]\r\ncount=2\r\n0=walk\r\n\r\n");
}

TEST_F(TextFileTest, ReadsLfAndCrLfLinesAndALastLineWithoutEnd) {
  Put("in.txt", "one\r\ntwo\n\nthree\rstill three\r\n\r\nlast");
  TTextFile f(PathOf("in.txt"), 0);
  EXPECT_EQ(ReadAll(f), (Lines{"one", "two", "", "three\rstill three", "", "last"}));
  // Reading past the end gives empty lines, not an error.
  std::string line = "x";
  f.ReadTextLine(line);
  EXPECT_EQ(line, "");
  EXPECT_TRUE(f.AtEof());

  // A final line end does not make an extra empty line; NULs are kept.
  Put("nul.txt", std::string("a\0b\n", 4));
  TTextFile g(PathOf("nul.txt"), 0);
  EXPECT_EQ(ReadAll(g), (Lines{std::string("a\0b", 3)}));

  Put("empty.txt", "");
  TTextFile e(PathOf("empty.txt"), 0);
  EXPECT_TRUE(e.AtEof());
}

TEST_F(TextFileTest, LinesLongerThanTheReadBufferAndACrLfSplitAcrossIt) {
  // 65535 characters put the CR at the last byte of the first 64 KiB read
  // and its LF at the first byte of the next.
  const std::string longLine(65535, 'q');
  const std::string huge(300000, 'z');
  Put("long.txt", longLine + "\r\n" + huge + "\nend");
  TTextFile f(PathOf("long.txt"), 0);
  EXPECT_EQ(ReadAll(f), (Lines{longLine, huge, "end"}));
}

TEST_F(TextFileTest, RewindStartsReadingAgain) {
  Put("r.txt", "a\nb\n");
  TTextFile f(PathOf("r.txt"), 0);
  EXPECT_EQ(ReadAll(f), (Lines{"a", "b"}));
  f.Rewind();
  EXPECT_FALSE(f.AtEof());
  EXPECT_EQ(ReadAll(f), (Lines{"a", "b"}));

  TTextFile w(PathOf("w.txt"), 1);
  EXPECT_THROW(w.Rewind(), ETextFileError);
}

TEST_F(TextFileTest, CreateTruncatesAndAppendAddsToTheEnd) {
  Put("t.txt", "old content\n");
  { TTextFile f(PathOf("t.txt"), 3); }
  EXPECT_EQ(Get("t.txt"), "");

  Put("a.txt", "first\r\n");
  {
    TTextFile f(PathOf("a.txt"), 4);
    f.WriteTextLine("second");
    f.Close();
  }
  EXPECT_EQ(Get("a.txt"), "first\r\nsecond\r\n");

  // Appending needs an existing file.
  EXPECT_THROW(TTextFile(PathOf("missing.txt"), 4), EFOpenError);
  EXPECT_FALSE(fs::exists(PathOf("missing.txt")));
}

TEST_F(TextFileTest, IllegalModesAndOpenFailures) {
  for (int mode : {2, 5, 255}) {
    try {
      TTextFile f(PathOf("x.txt"), static_cast<uint8_t>(mode));
      ADD_FAILURE() << "mode " << mode << " was accepted";
    } catch (const ETextFileError& e) {
      EXPECT_STREQ(e.what(), "Illegal Mode for TextFile");
    }
  }
  EXPECT_FALSE(fs::exists(PathOf("x.txt")));
  EXPECT_THROW(TTextFile(PathOf("missing.txt"), 0), EFOpenError);
  EXPECT_THROW(TTextFile(Dir_.string(), 0), EFOpenError);
  EXPECT_THROW(TTextFile(PathOf("no/such/folder.txt"), 1), EFCreateError);
}

TEST_F(TextFileTest, WrongDirectionAndUseAfterCloseRaise) {
  Put("r.txt", "a\n");
  TTextFile r(PathOf("r.txt"), 0);
  EXPECT_THROW(r.WriteTextLine("x"), EWriteError);
  TTextFile w(PathOf("w.txt"), 1);
  std::string line;
  EXPECT_THROW(w.ReadTextLine(line), EReadError);
  EXPECT_TRUE(w.AtEof());
  w.Close();
  EXPECT_THROW(w.WriteTextLine("late"), ETextFileError);
  w.Close();  // closing twice is harmless
}

TEST_F(TextFileTest, CloseReportsTextThatCouldNotBeWritten) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "/dev/full is not available";
  TTextFile f("/dev/full", 1);
  // Small lines sit in the buffer; the failure shows when it is flushed.
  f.WriteTextLine("lost");
  EXPECT_THROW(f.Close(), EWriteError);
}
