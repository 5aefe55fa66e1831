#include "core/Streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

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

TEST(ByteWriter, WritesWhatTheReaderReadsBack) {
  TByteWriter w;
  w.U8(0xAB);
  w.U16(0xBEEF);
  w.I16(-3);
  w.U32(0x11223344);
  w.I32(-2);
  w.F32(-1.25f);
  w.FixedString("walk12345678901234", 16);  // cut to 15 characters and a zero
  w.FixedString("ab", 4);
  w.ShortString(std::string(300, 'x'));  // cut to 255
  w.Zeros(2);
  const uint8_t tail[] = {7, 8};
  w.Bytes(tail, 2);
  ASSERT_EQ(w.Size(), 1u + 2 + 2 + 4 + 4 + 4 + 16 + 4 + 256 + 2 + 2);
  EXPECT_EQ(w.Data()[1], 0xEF);  // little-endian
  EXPECT_EQ(w.Data()[2], 0xBE);
  EXPECT_EQ(w.Data()[1 + 2 + 2 + 4 + 4 + 4 + 15], 0);

  TByteReader r(w.Data(), w.Size());
  EXPECT_EQ(r.U8(), 0xAB);
  EXPECT_EQ(r.U16(), 0xBEEF);
  EXPECT_EQ(r.I16(), -3);
  EXPECT_EQ(r.U32(), 0x11223344u);
  EXPECT_EQ(r.I32(), -2);
  EXPECT_EQ(r.F32(), -1.25f);
  EXPECT_EQ(r.FixedString(16), "walk12345678901");
  EXPECT_EQ(r.FixedString(4), "ab");
  EXPECT_EQ(r.U8(), 255);
  r.Skip(255);
  EXPECT_EQ(r.U16(), 0);
  EXPECT_EQ(r.U8(), 7);
  EXPECT_EQ(r.U8(), 8);
  EXPECT_TRUE(r.AtEnd());
}

TEST(ByteWriter, PatchesFieldsInPlaceAndRefusesPatchesPastTheEnd) {
  TByteWriter w;
  w.U32(0);
  w.U16(0);
  w.PutU32At(0, 0xCAFEF00D);
  w.PutU16At(4, 0x1234);
  EXPECT_THROW(w.PutU32At(3, 1), std::out_of_range);
  EXPECT_THROW(w.PutU16At(SIZE_MAX, 1), std::out_of_range);
  TMemoryStream m;
  w.WriteTo(m);
  ASSERT_EQ(m.Size(), 6);
  EXPECT_EQ(GetU32LE(m.Memory()), 0xCAFEF00Du);
  EXPECT_EQ(GetU16LE(m.Memory() + 4), 0x1234);
}
