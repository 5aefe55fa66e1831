// The "HexDump" and "TextDump" views of a member's bytes.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "cairnbox/ui/DumpDialogs.h"
#include "widgets/HexDump.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(HexViewDialog, ShowsTheBytesWithoutAddressesAndClosesOnOK) {
  THexViewDialog dialog(Bytes(std::string(33, 'x')));
  EXPECT_EQ(dialog.windowTitle(), "HexDump");
  EXPECT_EQ(dialog.size(), QSize(622, 443));
  EXPECT_EQ(dialog.Dump->geometry(), QRect(1, 1, 620, 410));
  EXPECT_FALSE(dialog.Dump->ShowAddress());
  EXPECT_EQ(dialog.Dump->DataSize(), 33);
  ASSERT_NE(dialog.Dump->Data(), nullptr);
  EXPECT_EQ(dialog.Dump->Data()[32], 'x');
  EXPECT_TRUE(dialog.OK->isDefault());
  dialog.show();
  QTest::mouseClick(dialog.OK, Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());

  // An empty member shows an empty control.
  THexViewDialog empty({});
  EXPECT_EQ(empty.Dump->Data(), nullptr);
  EXPECT_EQ(empty.Dump->Layout().RowCount(), 0);
}

TEST(TextViewDialog, SplitsLinesAtEveryKindOfBreak) {
  struct {
    std::string In;
    QStringList Out;
  } cases[] = {
      {"", {}},
      {"one", {"one"}},
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"x\n", {"x"}},  // a final break adds no empty line
      {"\n\n", {"", ""}},
      {"\r\r\n", {"", ""}},
      {std::string("a\0b", 3), {"a b"}},
      {"caf\xe9", {QString::fromUtf8("caf\xc3\xa9")}},  // 8-bit characters
  };
  for (const auto& c : cases) EXPECT_EQ(TTextViewDialog::TextLines(Bytes(c.In)), c.Out) << c.In;
}

TEST(TextViewDialog, ReadOnlyMemoWithoutWrapping) {
  TTextViewDialog dialog(Bytes("first line\r\nsecond line\n"));
  EXPECT_EQ(dialog.windowTitle(), "TextDump");
  EXPECT_EQ(dialog.size(), QSize(622, 443));
  EXPECT_TRUE(dialog.Memo->isReadOnly());
  EXPECT_EQ(dialog.Memo->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(dialog.Memo->toPlainText(), "first line\nsecond line");
  TTextViewDialog empty({});
  EXPECT_TRUE(empty.Memo->toPlainText().isEmpty());
}

}  // namespace
