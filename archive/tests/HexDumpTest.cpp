#include "archive/HexDump.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

std::vector<uint8_t> Counting(size_t n) {
  std::vector<uint8_t> v(n);
  std::iota(v.begin(), v.end(), uint8_t(0));
  return v;
}

// A control with 6-pixel characters and 13-pixel rows.
THexDumpLayout Control(const std::vector<uint8_t>& data, int width, int height) {
  THexDumpLayout h;
  h.SetFontMetrics(11, 5);
  h.SetClientSize(width, height);
  h.SetData(data.data());
  h.SetDataSize(static_cast<int64_t>(data.size()));
  return h;
}

}  // namespace

TEST(HexDumpLayout, BytesPerRowFollowsTheWidth) {
  auto data = Counting(33);
  auto h = Control(data, 444, 130);  // 74 columns: 10 address + 16 x 4
  EXPECT_EQ(h.RowHeight(), 13);
  EXPECT_EQ(h.CharWidth(), 6);
  EXPECT_EQ(h.BytesPerRow(), 16);
  EXPECT_EQ(h.RowCount(), 3);
  EXPECT_EQ(h.RowByteCount(0), 16);
  EXPECT_EQ(h.RowByteCount(2), 1);
  EXPECT_EQ(h.RowByteCount(3), 0);
  EXPECT_EQ(h.VisibleRows(), 11);
  EXPECT_EQ(h.ScrollMax(), 2);

  h.SetClientSize(438, 130);  // one column short of 16 bytes
  EXPECT_EQ(h.BytesPerRow(), 15);
  h.SetClientSize(10, 130);
  EXPECT_EQ(h.BytesPerRow(), 1);
  EXPECT_EQ(h.RowCount(), 33);
  h.SetClientSize(5000, 130);
  EXPECT_EQ(h.BytesPerRow(), 16);

  h.SetClientSize(444, 130);
  h.SetShowAddress(false);  // 74 / 4
  EXPECT_EQ(h.BytesPerRow(), 16);
  h.SetClientSize(6 * 40, 130);
  EXPECT_EQ(h.BytesPerRow(), 10);
  h.SetShowCharacters(false);  // 40 / 3
  EXPECT_EQ(h.BytesPerRow(), 13);
  EXPECT_EQ(h.CharColumnX(), 13 * 6 * 3);
}

TEST(HexDumpLayout, RowTexts) {
  std::vector<uint8_t> data = {'A', 'B', 0x00, 0xFF, '\n', 'z'};
  auto h = Control(data, 6 * 26, 100);  // (26 - 10) / 4 = 4 bytes a row
  ASSERT_EQ(h.BytesPerRow(), 4);
  EXPECT_EQ(h.HexText(0), "41\t42\t00\tFF");
  EXPECT_EQ(h.HexText(1), "0A\t7A");
  EXPECT_EQ(h.CharText(0), std::string("AB\0\xFF", 4));  // drawn as the font draws them
  h.SetShowAddressFromZero(true);
  EXPECT_EQ(h.AddressText(1), "00000004:");
  h.SetShowAddressFromZero(false);
  char expect[16];
  std::snprintf(expect, sizeof expect, "%08X:", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data.data()) + 4));
  EXPECT_EQ(h.AddressText(1), expect);
  EXPECT_EQ(h.HexColumnX(), 1 + 60);
  h.SetShowAddress(false);
  EXPECT_EQ(h.AddressText(0), "");
  h.SetShowCharacters(false);
  EXPECT_EQ(h.CharText(0), "");
}

TEST(HexDumpLayout, KeysMoveTheCurrentRowAndKeepItInView) {
  auto data = Counting(16 * 100);
  auto h = Control(data, 444, 13 * 9 + 5);  // 10 visible rows (the last one partly)
  ASSERT_EQ(h.VisibleRows(), 10);
  ASSERT_EQ(h.RowCount(), 100);
  EXPECT_EQ(h.KeyDown(hkDown), 0);
  EXPECT_EQ(h.CurrentRow(), 1);
  EXPECT_EQ(h.KeyDown(hkPageDown), 3);  // row 11 must show: top = 11 - 10 + 2
  EXPECT_EQ(h.CurrentRow(), 11);
  EXPECT_EQ(h.TopRow(), 3);
  h.KeyDown(hkEnd);
  EXPECT_EQ(h.CurrentRow(), 99);
  EXPECT_EQ(h.TopRow(), 91);
  h.KeyDown(hkDown);
  EXPECT_EQ(h.CurrentRow(), 99);
  h.KeyDown(hkPageUp);
  EXPECT_EQ(h.CurrentRow(), 89);
  EXPECT_EQ(h.TopRow(), 89);
  h.KeyDown(hkHome);
  EXPECT_EQ(h.CurrentRow(), 0);
  EXPECT_EQ(h.TopRow(), 0);
  EXPECT_EQ(h.KeyDown(hkOther), 0);
  EXPECT_EQ(h.MouseDown(13 * 4 + 3), 0);
  EXPECT_EQ(h.CurrentRow(), 4);
}

TEST(HexDumpLayout, ScrollBarMovesTheTopRow) {
  auto data = Counting(16 * 100);
  auto h = Control(data, 444, 13 * 9 + 5);
  EXPECT_EQ(h.Scroll(hsLineDown), 1);  // exactly one: the window scrolls its picture
  EXPECT_EQ(h.Scroll(hsPageDown), 9);  // visible rows - 1
  EXPECT_EQ(h.TopRow(), 10);
  EXPECT_EQ(h.Scroll(hsPageUp), -9);
  EXPECT_EQ(h.Scroll(hsThumbTrack, 500), 98);
  EXPECT_EQ(h.TopRow(), 99);
  h.Scroll(hsThumbPosition, -4);
  EXPECT_EQ(h.TopRow(), 0);
  EXPECT_EQ(h.Scroll(hsLineUp), 0);
}

TEST(HexDumpLayout, WithoutDataKeysAndClicksDoNothing) {
  THexDumpLayout h;
  h.SetFontMetrics(11, 5);
  h.SetDataSize(100);
  EXPECT_FALSE(h.HasData());
  EXPECT_EQ(h.KeyDown(hkEnd), 0);
  EXPECT_EQ(h.Scroll(hsPageDown), 0);
  EXPECT_EQ(h.MouseDown(100), 0);
  EXPECT_EQ(h.CurrentRow(), 0);
  EXPECT_EQ(h.HexText(0), "");
}

TEST(HexDumpLayout, EmptyDataHasNoRows) {
  std::vector<uint8_t> none(1);
  THexDumpLayout h;
  h.SetFontMetrics(11, 5);
  h.SetData(none.data());
  h.SetDataSize(0);
  EXPECT_EQ(h.RowCount(), 0);
  EXPECT_EQ(h.KeyDown(hkEnd), 0);
  EXPECT_EQ(h.CurrentRow(), 0);
  EXPECT_EQ(h.HexText(0), "");
}

TEST(HexDumpLine, TerminalTextAlignsEveryRow) {
  auto data = Counting(20);
  EXPECT_EQ(HexDumpLine(data.data(), 16, 16, 0),
            "00000000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ................");
  std::vector<uint8_t> text = {'H', 'i', ' ', 0x7F, 0xE9, ' '};
  std::string line = HexDumpLine(text.data(), 6, 16, 0x10);
  EXPECT_EQ(line, "00000010: 48 69 20 7F E9 20 " + std::string(30, ' ') + "Hi .. ");
  EXPECT_EQ(line.find("Hi"), HexDumpLine(data.data(), 16, 16, 0).find("..."));
  EXPECT_EQ(HexDumpLine(text.data(), 2, 4, 0, false, false), "48 69");
  EXPECT_EQ(HexDumpLine(text.data(), 2, 4, 0xABCDEF01, true, true), "ABCDEF01: 48 69       Hi");
}
