#include "core/TextCase.h"

#include <gtest/gtest.h>

// Only A-Z pair with a-z: bytes above 127 (Latin-1 letters in archive and
// frame names) stand for themselves and sort after every ASCII character.
TEST(TextCase, OnlyAsciiLettersFoldAndHighBytesSortLast) {
  EXPECT_EQ(LowerCase("Scenes_[AZ]@\xC9"), "scenes_[az]@\xC9");
  struct TRow {
    const char *A, *B;
    int Order;  // sign of CompareText(A, B)
  };
  const TRow rows[] = {
      {"Scenes", "sCENES", 0}, {"a", "B", -1},         {"Zeta", "alpha", 1},  {"ab", "AB\x01", -1},
      {"", "", 0},             {"\xC9t\xE9", "\xE9t\xE9", -1}, {"z", "\xE9", -1}, {"_", "a", -1},
      {"[", "A", -1},          {"PAK", ".pak", 1},
  };
  for (const TRow& r : rows) {
    SCOPED_TRACE(std::string(r.A) + " | " + r.B);
    const int c = CompareText(r.A, r.B);
    EXPECT_EQ((c > 0) - (c < 0), r.Order);
    EXPECT_EQ((CompareText(r.B, r.A) > 0) - (CompareText(r.B, r.A) < 0), -r.Order);
    EXPECT_EQ(SameText(r.A, r.B), r.Order == 0);
  }
}
