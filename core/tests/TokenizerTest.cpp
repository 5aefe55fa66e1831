#include "core/Tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Streams.h"

namespace {

// Every token (read with crossLines true) with its line, until the end.
std::vector<std::pair<std::string, int>> AllTokens(std::string_view text) {
  TTokenizer t;
  t.Reset(text);
  std::vector<std::pair<std::string, int>> out;
  while (t.NextToken(true)) out.emplace_back(t.Token(), t.Line());
  EXPECT_TRUE(t.AtEnd());
  return out;
}

std::string ScriptMessage(TTokenizer& t, bool crossLines) {
  try {
    t.NextToken(crossLines);
  } catch (const EScriptError& e) {
    return e.what();
  }
  return "(no error)";
}

using Tokens = std::vector<std::pair<std::string, int>>;

}  // namespace

TEST(Tokenizer, SplitsALineAndSaysWhetherMoreFollows) {
  TTokenizer t;
  t.Reset("points 3\nnext\n");
  EXPECT_TRUE(t.MoreOnLine());
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(t.Token(), "points");
  EXPECT_TRUE(t.MoreOnLine());
  ASSERT_TRUE(t.NextToken(false));
  EXPECT_EQ(t.Token(), "3");
  EXPECT_FALSE(t.MoreOnLine());
  // Looking ahead consumed nothing.
  EXPECT_EQ(t.Line(), 1);
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(t.Token(), "next");
  EXPECT_EQ(t.Line(), 2);
  EXPECT_FALSE(t.NextToken(true));
}

TEST(Tokenizer, StrictReadsStopAtCommentsLineEndsAndTheEnd) {
  TTokenizer t;
  t.Reset("F 1 2 ; corner list\nF");
  for (const char* expected : {"F", "1", "2"}) {
    ASSERT_TRUE(t.NextToken(false));
    EXPECT_EQ(t.Token(), expected);
  }
  EXPECT_FALSE(t.MoreOnLine());
  EXPECT_EQ(ScriptMessage(t, false), "Line 1 is incomplete");

  t.Reset("F 1 # note\n");
  ASSERT_TRUE(t.NextToken(false));
  ASSERT_TRUE(t.NextToken(false));
  EXPECT_FALSE(t.MoreOnLine()) << "a # that starts a token is a comment";
  EXPECT_EQ(ScriptMessage(t, false), "Line 1 is incomplete");

  // The line number is the line that ran out, not the next one.
  t.Reset("a\nb\n");
  ASSERT_TRUE(t.NextToken(true));
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(ScriptMessage(t, false), "Line 2 is incomplete");

  t.Reset("last");
  ASSERT_TRUE(t.NextToken(false));
  EXPECT_EQ(ScriptMessage(t, false), "Line 1 is incomplete");
  t.Reset("");
  EXPECT_EQ(ScriptMessage(t, false), "Line 1 is incomplete");
  t.Reset("; only a comment");
  EXPECT_EQ(ScriptMessage(t, false), "Line 1 is incomplete");
}

TEST(Tokenizer, CommentsAndTokenBoundaries) {
  // ";" ends a token it touches and comments out the rest of the line; "#"
  // only starts a comment at the start of a token.
  EXPECT_EQ(AllTokens("a;b c\nc#d #e f\n#whole line\nz"),
            (Tokens{{"a", 1}, {"c#d", 2}, {"z", 4}}));
  // A comment that runs to the end of the input ends it.
  EXPECT_EQ(AllTokens("x ; trailing"), (Tokens{{"x", 1}}));
  EXPECT_EQ(AllTokens("x # trailing"), (Tokens{{"x", 1}}));
}

TEST(Tokenizer, EveryControlCharacterIsABlankAndHighBytesAreText) {
  static const char raw[] = "a\0b\tc\x1f\x7f\xe9 \x20" "d";
  const std::string text(raw, sizeof raw - 1);
  EXPECT_EQ(AllTokens(text), (Tokens{{"a", 1}, {"b", 1}, {"c", 1}, {"\x7f\xe9", 1}, {"d", 1}}));
}

TEST(Tokenizer, LineNumbersCountEveryLineWhateverTheLineEnds) {
  // Blank lines count, so messages name the line an editor shows.
  EXPECT_EQ(AllTokens("a\n\n\nb"), (Tokens{{"a", 1}, {"b", 4}}));
  EXPECT_EQ(AllTokens("a\r\n\r\n\r\nb"), (Tokens{{"a", 1}, {"b", 4}}));
  EXPECT_EQ(AllTokens("a ; c\n  \n# c\r\nb c\n"), (Tokens{{"a", 1}, {"b", 4}, {"c", 4}}));
}

TEST(Tokenizer, EndOfInputGivesFalseAndNoStaleToken) {
  TTokenizer t;
  t.Reset("only \r\n \n");
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_FALSE(t.AtEnd());
  // Trailing blanks and line ends must not make the last token appear twice.
  EXPECT_FALSE(t.NextToken(true));
  EXPECT_TRUE(t.AtEnd());
  EXPECT_EQ(t.Token(), "");
  EXPECT_FALSE(t.NextToken(true));
  EXPECT_FALSE(t.MoreOnLine());
}

TEST(Tokenizer, TokensUpTo127CharactersAreAccepted) {
  const std::string ok(127, 'x');
  TTokenizer t;
  t.Reset("a\n" + ok + " b");
  ASSERT_TRUE(t.NextToken(true));
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(t.Token(), ok);
  // Also when the token is the last thing in the input.
  t.Reset(ok);
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(t.Token(), ok);

  t.Reset("a\n" + std::string(128, 'y'));
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(ScriptMessage(t, true), "Token too large on line 2");
  t.Reset(std::string(100000, 'y') + ";");
  EXPECT_EQ(ScriptMessage(t, true), "Token too large on line 1");
}

TEST(Tokenizer, PushBackGivesTheSameTokenOnce) {
  TTokenizer t;
  t.Reset("one two\nthree");
  ASSERT_TRUE(t.NextToken(true));
  t.PushBack();
  // Even a strict read at the end of a line succeeds with the pushed token.
  ASSERT_TRUE(t.NextToken(false));
  EXPECT_EQ(t.Token(), "one");
  ASSERT_TRUE(t.NextToken(false));
  EXPECT_EQ(t.Token(), "two");
  t.PushBack();
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(t.Token(), "two");
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(t.Token(), "three");
}

TEST(Tokenizer, ProgramTokenizerResetsFromTheStreamStart) {
  TMemoryStream m;
  const std::string text = "points obj\n3\nF 1 2 3";
  m.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  // The stream is read from its start wherever its position is.
  ASSERT_EQ(m.Position(), static_cast<int64_t>(text.size()));

  ResetTokenizer(m);
  ASSERT_TRUE(NextToken(true));
  EXPECT_EQ(TokenizerToken(), "points");
  PushBack();
  while (NextToken(true)) {
  }
  EXPECT_TRUE(TokenizerAtEnd());
  EXPECT_EQ(TokenizerLine(), 3);

  // A reset starts afresh: line 1, not at the end, no pushed-back token.
  PushBack();
  ResetTokenizer(m);
  EXPECT_FALSE(TokenizerAtEnd());
  EXPECT_EQ(TokenizerLine(), 1);
  ASSERT_TRUE(NextToken(true));
  EXPECT_EQ(TokenizerToken(), "points");
  EXPECT_TRUE(MoreOnLine());
  EXPECT_EQ(&Tokenizer(), &Tokenizer());
}

TEST(Tokenizer, ReadsAFaceLineTheWayTheImportersDo) {
  // Skip the rest of a line with strict reads while MoreOnLine says so,
  // then read a face line strictly: the pattern the text formats use.
  TTokenizer t;
  t.Reset("points my object # named\n3 extra words ; x\nF 1 2 3 4 5 6 7 8 9\nF 1 2 3 4 5 6 7 8\n");
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(t.Token(), "points");
  int skipped = 0;
  while (t.MoreOnLine()) {
    t.NextToken(false);
    ++skipped;
  }
  EXPECT_EQ(skipped, 2);
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(t.Token(), "3");
  while (t.MoreOnLine()) t.NextToken(false);
  ASSERT_TRUE(t.NextToken(true));
  EXPECT_EQ(t.Token(), "F");
  for (int i = 1; i <= 9; ++i) {
    ASSERT_TRUE(t.NextToken(false));
    EXPECT_EQ(t.Token(), std::to_string(i));
  }
  ASSERT_TRUE(t.NextToken(true));
  for (int i = 1; i <= 8; ++i) ASSERT_TRUE(t.NextToken(false));
  EXPECT_EQ(ScriptMessage(t, false), "Line 4 is incomplete");
}
