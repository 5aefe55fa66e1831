#include "core/Streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "core/ByteReader.h"

TEST(MemoryStream, GrowsOnWriteAndReadsBackLittleEndian) {
  TMemoryStream m;
  WriteI32LE(m, -2);
  WriteU16LE(m, 0xBEEF);
  WriteF32LE(m, 1.5f);
  EXPECT_EQ(m.Size(), 10);
  m.SetPosition(0);
  EXPECT_EQ(ReadI32LE(m), -2);
  EXPECT_EQ(ReadU16LE(m), 0xBEEF);
  EXPECT_EQ(ReadF32LE(m), 1.5f);
  EXPECT_EQ(m.Memory()[0], 0xFE);
  EXPECT_THROW(ReadU8(m), EReadError);
}

TEST(MemoryStream, WriteAfterSeekPastEndFillsTheGapWithZeros) {
  TMemoryStream m;
  m.SetSize(2);
  m.Seek(6, soFromBeginning);
  WriteU8(m, 7);
  auto b = m.Bytes();
  ASSERT_EQ(b.size(), 7u);
  EXPECT_EQ(b[6], 7);
  // A shrink keeps the position inside the data.
  m.SetSize(3);
  EXPECT_EQ(m.Position(), 3);
}

TEST(MemoryStream, ShortReadsReturnWhatIsThere) {
  TMemoryStream m(std::vector<uint8_t>{1, 2, 3});
  uint8_t buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 3);
  EXPECT_EQ(m.Read(buf, 8), 0);
  m.Seek(-10, soFromCurrent);
  EXPECT_EQ(m.Read(buf, 1), 0);  // negative position reads nothing
  EXPECT_EQ(m.Read(buf, -1), 0);
}

TEST(FileStream, CreateWriteReopenAndReportMissingFiles) {
  auto dir = std::filesystem::temp_directory_path() / "tessel_streams_test";
  std::filesystem::create_directories(dir);
  std::string path = (dir / "a.bin").string();
  {
    TFileStream f(path, fmCreate);
    WriteU32LE(f, 0x11223344);
    EXPECT_EQ(f.Size(), 4);
  }
  {
    TFileStream f(path, fmOpenRead);
    EXPECT_EQ(ReadU32LE(f), 0x11223344u);
    EXPECT_THROW(ReadU8(f), EReadError);
    EXPECT_THROW(WriteU8(f, 1), EWriteError);  // opened for reading only
  }
  EXPECT_THROW(TFileStream((dir / "missing").string(), fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir.string(), fmOpenRead), EFOpenError);
  std::filesystem::remove_all(dir);
}

TEST(ByteReader, RefusesEveryReadPastTheEnd) {
  const uint8_t data[] = {1, 0, 'a', 'b', 0, 'c'};
  TByteReader r(data, sizeof data);
  EXPECT_EQ(r.U16(), 1);
  EXPECT_EQ(r.FixedString(4), "ab");
  EXPECT_EQ(r.Remaining(), 0u);
  EXPECT_THROW(r.U8(), EOutOfData);
  EXPECT_THROW(r.Seek(7), EOutOfData);
  r.Seek(5);
  EXPECT_THROW(r.Take(SIZE_MAX), EOutOfData);  // no wrap-around on huge counts
  EXPECT_EQ(r.U8(), 'c');
}
