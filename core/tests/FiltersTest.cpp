#include "core/Filters.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Iota(size_t n, uint8_t start = 1) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(start + i);
  return v;
}

std::string ExpectStreamError(const std::function<void()>& f) {
  try {
    f();
  } catch (const EStreamError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no EStreamError raised";
  return {};
}

// Tells a flag when it is destroyed, to see who frees it.
class TTrackedStream : public TMemoryStream {
public:
  explicit TTrackedStream(bool& destroyed) : Destroyed_(destroyed) {}
  ~TTrackedStream() override { Destroyed_ = true; }

private:
  bool& Destroyed_;
};

// Takes at most `Limit` bytes in all; writes beyond that are refused.
class TFullStream : public TMemoryStream {
public:
  explicit TFullStream(int64_t limit) : Limit(limit) {}
  int64_t Write(const void* buffer, int64_t count) override {
    int64_t room = std::max<int64_t>(0, Limit - Position());
    return TMemoryStream::Write(buffer, std::min(count, room));
  }
  int64_t Limit;
};

// Claims to hold data but gives none back (a write-only stream).
class TWriteOnlyStream : public TMemoryStream {
public:
  TWriteOnlyStream() { TMemoryStream::Write("abc", 3); }
  int64_t Read(void*, int64_t) override { return 0; }
};

// Hands out at most three bytes per read, as a pipe or socket might.
class TChunkyStream : public TMemoryStream {
public:
  explicit TChunkyStream(std::vector<uint8_t> bytes) : TMemoryStream(std::move(bytes)) {}
  int64_t Read(void* buffer, int64_t count) override { return TMemoryStream::Read(buffer, std::min<int64_t>(count, 3)); }
};

// Reports a size larger than the bytes it really holds.
class TLyingStream : public TMemoryStream {
public:
  explicit TLyingStream(std::vector<uint8_t> bytes) : TMemoryStream(std::move(bytes)) {}
  int64_t Size() override { return 100; }
};

}  // namespace

// ---- TFilter ---------------------------------------------------------------------

TEST(Filter, WithoutInnerStreamMovesNothing) {
  TFilter f;
  uint8_t buf[4] = {};
  EXPECT_EQ(f.Read(buf, 4), 0);
  EXPECT_EQ(f.Write(buf, 4), 0);
  EXPECT_EQ(f.Seek(10, soFromBeginning), 0);
  EXPECT_EQ(f.Size(), 0);
  EXPECT_THROW(f.ReadBuffer(buf, 1), EReadError);
  EXPECT_THROW(f.WriteBuffer(buf, 1), EWriteError);
}

TEST(Filter, PassesReadWriteAndSeekToTheInnerStream) {
  TMemoryStream m;
  TFilter f(&m);
  WriteI32LE(f, 0x01020304);
  EXPECT_EQ(m.Size(), 4);
  EXPECT_EQ(f.Size(), 4);
  EXPECT_EQ(f.Seek(1, soFromBeginning), 1);
  EXPECT_EQ(m.Position(), 1);
  EXPECT_EQ(ReadU8(f), 0x03);
}

TEST(Filter, FreesTheInnerStreamOnlyWhenToldItOwnsIt) {
  bool aGone = false, bGone = false, cGone = false;
  auto* a = new TTrackedStream(aGone);
  auto* b = new TTrackedStream(bGone);
  {
    TFilter f(a);
    EXPECT_FALSE(f.OwnsStream());  // the constructor never takes ownership
    f.SetStream(b);
    EXPECT_FALSE(aGone);
    f.SetOwnsStream(true);
    f.SetStream(b);  // the same stream again must survive
    EXPECT_FALSE(bGone);
    f.SetStream(new TTrackedStream(cGone));
    EXPECT_TRUE(bGone);
  }
  EXPECT_TRUE(cGone);
  EXPECT_FALSE(aGone);
  delete a;
}

// ---- TBufferedFilter: construction and attaching ---------------------------------------

TEST(BufferedFilter, RefusesAZeroBufferSize) {
  TMemoryStream m;
  EXPECT_EQ(ExpectStreamError([&] { TBufferedFilter f(&m, 0); }), "Buffer size of 0 not allowed");
}

TEST(BufferedFilter, TakesSizeAndPositionFromTheStreamItAttaches) {
  TMemoryStream m(Iota(20));
  m.SetPosition(7);
  TBufferedFilter f(&m, 8);
  EXPECT_EQ(f.Size(), 20);
  EXPECT_EQ(f.Position(), 7);
  EXPECT_EQ(m.Position(), 7);  // the probe read at 0 put it back
  EXPECT_EQ(f.BufStart(), 7);
  EXPECT_EQ(f.BufEnd(), 15);
  EXPECT_EQ(ReadU8(f), 8);
}

TEST(BufferedFilter, RefusesToBufferAStreamThatCannotBeRead) {
  TWriteOnlyStream w;
  EXPECT_EQ(ExpectStreamError([&] { TBufferedFilter f(&w, 16); }),
            "Buffering of write only stream might cause problems");

  // Replacing a stream: the new one stays attached and nothing of the old
  // one is left in the window.
  TMemoryStream m(Iota(10));
  TBufferedFilter f(&m, 16);
  EXPECT_EQ(ReadU8(f), 1);
  EXPECT_EQ(ExpectStreamError([&] { f.SetStream(&w); }), "Buffering of write only stream might cause problems");
  EXPECT_EQ(f.Stream(), &w);
  EXPECT_EQ(f.Size(), 3);
  EXPECT_EQ(f.BufCount(), 0);
  f.SetPosition(1);
  uint8_t b = 0;
  EXPECT_EQ(f.Read(&b, 1), 0);
}

TEST(BufferedFilter, RefusesAFileOpenedForWritingOnly) {
  auto dir = std::filesystem::temp_directory_path() / "tessel_filters_test";
  std::filesystem::create_directories(dir);
  std::string path = (dir / "wo.bin").string();
  {
    TFileStream f(path, fmCreate);
    WriteU32LE(f, 7);
  }
  TFileStream wo(path, fmOpenWrite);
  EXPECT_THROW(TBufferedFilter(&wo, 64), EStreamError);
  std::filesystem::remove_all(dir);
}

TEST(BufferedFilter, DetachedMovesNothing) {
  TBufferedFilter f(nullptr, 16);
  uint8_t buf[4] = {1, 2, 3, 4};
  EXPECT_EQ(f.Write(buf, 4), 0);
  EXPECT_EQ(f.Read(buf, 4), 0);
  EXPECT_EQ(f.Seek(3, soFromBeginning), 0);
  EXPECT_EQ(f.Size(), 0);
}

// ---- TBufferedFilter: seeking ---------------------------------------------------------

TEST(BufferedFilter, SeekClampsToTheDataAndNeverTouchesTheInnerStream) {
  TMemoryStream m(Iota(10));
  TBufferedFilter f(&m, 4);
  EXPECT_EQ(f.Seek(25, soFromBeginning), 10);
  EXPECT_EQ(f.Seek(-3, soFromBeginning), 0);
  EXPECT_EQ(f.Seek(-2, soFromEnd), 8);
  EXPECT_EQ(f.Seek(-5, soFromCurrent), 3);
  EXPECT_EQ(f.Seek(5, 7), 3);  // unknown origin leaves the position
  EXPECT_EQ(f.Seek(INT64_MAX, soFromCurrent), 10);
  EXPECT_EQ(f.Seek(INT64_MIN, soFromEnd), 0);
  EXPECT_EQ(m.Position(), 0);
  EXPECT_EQ(f.BufCount(), 0);
}

// ---- TBufferedFilter: reading ---------------------------------------------------------

TEST(BufferedFilter, ReadInsideTheWindowPastTheValidBytesTopsTheBufferUp) {
  TMemoryStream m(Iota(10));
  TBufferedFilter f(&m, 8);
  f.SetPosition(3);  // inside the window [0, 8), which holds no bytes yet
  uint8_t buf[2] = {};
  ASSERT_EQ(f.Read(buf, 2), 2);
  EXPECT_EQ(buf[0], 4);
  EXPECT_EQ(buf[1], 5);
  EXPECT_EQ(f.BufStart(), 0);
  EXPECT_EQ(f.BufCount(), 8);
}

TEST(BufferedFilter, ReadsAcrossWindowsAndStopsQuietlyAtTheEnd) {
  std::vector<uint8_t> data(1000);
  std::mt19937 rng(7);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  TMemoryStream m(data);
  TBufferedFilter f(&m, 7);
  std::vector<uint8_t> got;
  uint8_t buf[32];
  for (int len = 1;; len = len % 31 + 1) {
    int64_t n = f.Read(buf, len);
    got.insert(got.end(), buf, buf + n);
    if (n < len) break;
  }
  EXPECT_EQ(got, data);
  EXPECT_EQ(f.Read(buf, 5), 0);
  EXPECT_EQ(f.Position(), 1000);
  EXPECT_THROW(f.ReadBuffer(buf, 1), EReadError);
}

TEST(BufferedFilter, ReadEndingAtTheBufferEndMovesTheWindowOn) {
  TMemoryStream m(Iota(16));
  TBufferedFilter f(&m, 8);
  uint8_t buf[8];
  ASSERT_EQ(f.Read(buf, 3), 3);
  EXPECT_EQ(f.BufStart(), 0);
  ASSERT_EQ(f.Read(buf, 5), 5);  // reaches the end of the window
  EXPECT_EQ(f.BufStart(), 8);
  EXPECT_EQ(f.BufCount(), 8);
  EXPECT_EQ(f.StreamPos(), 16);
}

TEST(BufferedFilter, CopesWithStreamsThatDeliverInPieces) {
  std::vector<uint8_t> data = Iota(100);
  TChunkyStream c(data);
  {
    TBufferedFilter f(&c, 32);
    std::vector<uint8_t> got(100);
    f.ReadBuffer(got.data(), 100);
    EXPECT_EQ(got, data);
  }
  {
    // A write past the valid bytes keeps the stream's own bytes in between,
    // although the stream hands them out three at a time.
    c.SetPosition(0);
    TBufferedFilter f(&c, 32);
    EXPECT_EQ(f.BufEnd(), 32);
    f.SetPosition(20);
    WriteU8(f, 0xEE);
  }
  auto bytes = c.Bytes();
  ASSERT_EQ(bytes.size(), 100u);
  for (size_t i = 0; i < 100; ++i) EXPECT_EQ(bytes[i], i == 20 ? 0xEE : data[i]) << i;
}

TEST(BufferedFilter, StreamHoldingLessThanItClaimsReadsShortAndWritesZerosInTheGap) {
  TLyingStream l(std::vector<uint8_t>(10, 0x11));
  {
    TBufferedFilter f(&l, 16);
    EXPECT_EQ(f.Size(), 100);
    uint8_t buf[8];
    f.SetPosition(50);
    EXPECT_EQ(f.Read(buf, 8), 0);
    f.SetPosition(0);
    EXPECT_EQ(f.Read(buf, 1), 1);
    EXPECT_EQ(f.BufCount(), 10);
    f.SetPosition(12);  // inside the window [0,16), past its 10 valid bytes
    EXPECT_EQ(f.Read(buf, 2), 0);

    // Leave stale bytes in the buffer, then write past a gap.
    f.SetPosition(5);
    std::vector<uint8_t> ee(16, 0xEE);
    f.WriteBuffer(ee.data(), 16);  // 5..20: the window moves to 16
    f.SetPosition(30);
    WriteU8(f, 0x77);
  }
  auto bytes = l.Bytes();
  ASSERT_EQ(bytes.size(), 31u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(bytes[i], 0x11) << i;
  for (size_t i = 5; i < 21; ++i) EXPECT_EQ(bytes[i], 0xEE) << i;
  for (size_t i = 21; i < 30; ++i) EXPECT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(bytes[30], 0x77);
}

// ---- TBufferedFilter: writing -----------------------------------------------------------

TEST(BufferedFilter, LastBytesReachTheStreamWhenTheFilterGoes) {
  TMemoryStream m;
  {
    TBufferedFilter f(&m, 4);
    std::vector<uint8_t> ten = Iota(10);
    EXPECT_EQ(f.Write(ten.data(), 10), 10);
    EXPECT_EQ(f.Size(), 10);
    EXPECT_EQ(m.Size(), 8);
    EXPECT_TRUE(f.Modified());
  }
  EXPECT_EQ(m.Bytes(), Iota(10));
}

TEST(BufferedFilter, ReplacingTheStreamFlushesFirst) {
  TMemoryStream a, b;
  TBufferedFilter f(&a, 4);
  std::vector<uint8_t> six = Iota(6);
  f.WriteBuffer(six.data(), 6);
  EXPECT_EQ(a.Size(), 4);
  f.SetStream(&b);
  EXPECT_EQ(a.Bytes(), six);
  EXPECT_FALSE(f.Modified());
  EXPECT_EQ(f.Size(), 0);
  WriteU8(f, 9);
  f.SetStream(nullptr);
  EXPECT_EQ(b.Bytes(), std::vector<uint8_t>{9});
}

TEST(BufferedFilter, OverwritingInsideExistingDataKeepsTheRest) {
  TMemoryStream m(Iota(12));
  {
    TBufferedFilter f(&m, 8);
    f.SetPosition(6);
    uint8_t ab[3] = {0xA0, 0xA1, 0xA2};
    f.WriteBuffer(ab, 3);  // crosses the window end at 8
    EXPECT_EQ(f.Size(), 12);
    f.SetPosition(4);
    uint8_t back[6];
    f.ReadBuffer(back, 6);
    EXPECT_EQ(back[0], 5);
    EXPECT_EQ(back[2], 0xA0);
    EXPECT_EQ(back[4], 0xA2);
    EXPECT_EQ(back[5], 10);
  }
  auto b = m.Bytes();
  ASSERT_EQ(b.size(), 12u);
  EXPECT_EQ(b[5], 6);
  EXPECT_EQ(b[6], 0xA0);
  EXPECT_EQ(b[8], 0xA2);
  EXPECT_EQ(b[11], 12);
}

TEST(BufferedFilter, FailedFlushRaisesAndKeepsTheBytes) {
  TFullStream full(6);
  TBufferedFilter f(&full, 4);
  uint8_t bytes[4] = {1, 2, 3, 4};
  f.WriteBuffer(bytes, 4);  // first window goes out whole
  EXPECT_EQ(full.Size(), 4);
  f.WriteBuffer(bytes, 3);
  EXPECT_EQ(ExpectStreamError([&] { f.Flush(); }), "Unable to flush buffer.");
  EXPECT_TRUE(f.Modified());
  EXPECT_EQ(f.StreamPos(), 6);  // where the inner stream really is
  // Once there is room the same bytes go out.
  full.Limit = 100;
  f.Flush();
  EXPECT_FALSE(f.Modified());
  EXPECT_EQ(full.Bytes(), (std::vector<uint8_t>{1, 2, 3, 4, 1, 2, 3}));
}

TEST(BufferedFilter, AFailedFlushWhenReplacingTheStreamStillLetsItGo) {
  // A failed save unwinds past the stream it wrote to while the filter
  // lives on: the filter must not keep pointing at that stream.
  TBufferedFilter f(nullptr, 8);
  {
    TFullStream full(2);
    f.SetStream(&full);
    const uint8_t bytes[4] = {1, 2, 3, 4};
    f.WriteBuffer(bytes, 4);
    EXPECT_EQ(ExpectStreamError([&] { f.SetStream(nullptr); }), "Unable to flush buffer.");
    EXPECT_EQ(f.Stream(), nullptr);
    EXPECT_FALSE(f.Modified());
    EXPECT_EQ(f.Size(), 0);
  }
  // The same filter then serves another stream with none of the lost bytes.
  TMemoryStream next;
  f.SetStream(&next);
  WriteU8(f, 9);
  f.SetStream(nullptr);
  EXPECT_EQ(next.Bytes(), (std::vector<uint8_t>{9}));
}

TEST(BufferedFilter, DestroyingWithAFailingFlushDoesNotThrow) {
  TFullStream full(0);
  EXPECT_NO_THROW({
    TBufferedFilter f(&full, 8);
    WriteU8(f, 1);
  });
  EXPECT_EQ(full.Size(), 0);
}

// Random reads, writes and seeks through a small window must agree with a
// plain byte vector, and leave the same bytes in the inner stream.
TEST(BufferedFilter, AgreesWithAPlainByteArrayUnderRandomUse) {
  for (uint16_t bufSize : {1, 3, 8, 64}) {
    std::mt19937 rng(bufSize);
    std::vector<uint8_t> model = Iota(50);
    TMemoryStream m(model);
    {
      TBufferedFilter f(&m, bufSize);
      int64_t pos = 0;
      for (int step = 0; step < 3000; ++step) {
        int op = static_cast<int>(rng() % 3);
        int64_t size = static_cast<int64_t>(model.size());
        if (op == 0) {
          pos = static_cast<int64_t>(rng() % (model.size() + 5));
          pos = std::min(pos, size);
          ASSERT_EQ(f.Seek(pos, soFromBeginning), pos);
        } else if (op == 1) {
          int64_t len = rng() % 20;
          std::vector<uint8_t> buf(static_cast<size_t>(len));
          int64_t n = f.Read(buf.data(), len);
          int64_t expect = std::min(len, size - pos);
          ASSERT_EQ(n, expect) << "step " << step;
          for (int64_t i = 0; i < n; ++i) ASSERT_EQ(buf[static_cast<size_t>(i)], model[static_cast<size_t>(pos + i)]);
          pos += n;
        } else {
          int64_t len = 1 + rng() % 20;
          std::vector<uint8_t> buf(static_cast<size_t>(len));
          for (auto& b : buf) b = static_cast<uint8_t>(rng());
          ASSERT_EQ(f.Write(buf.data(), len), len);
          if (pos + len > size) model.resize(static_cast<size_t>(pos + len));
          std::copy(buf.begin(), buf.end(), model.begin() + pos);
          pos += len;
        }
        ASSERT_EQ(f.Position(), pos);
        ASSERT_EQ(f.Size(), static_cast<int64_t>(model.size()));
      }
    }
    EXPECT_EQ(m.Bytes(), model) << "buffer size " << bufSize;
  }
}

// ---- short strings and string lists -----------------------------------------------------

TEST(ShortString, LengthByteThenCharactersCutTo255) {
  TMemoryStream m;
  WriteShortString(m, "");
  WriteShortString(m, "abc");
  WriteShortString(m, std::string(255, 'x'));
  WriteShortString(m, std::string(300, 'y'));
  EXPECT_EQ(m.Size(), 1 + 4 + 256 + 256);
  EXPECT_EQ(m.Memory()[1], 3);
  EXPECT_EQ(m.Memory()[5], 255);
  m.SetPosition(0);
  EXPECT_EQ(ReadShortString(m), "");
  EXPECT_EQ(ReadShortString(m), "abc");
  EXPECT_EQ(ReadShortString(m), std::string(255, 'x'));
  EXPECT_EQ(ReadShortString(m), std::string(255, 'y'));
  EXPECT_THROW(ReadShortString(m), EReadError);
}

TEST(ShortString, TruncatedOneRaisesReadError) {
  TMemoryStream m(std::vector<uint8_t>{5, 'a', 'b'});
  EXPECT_THROW(ReadShortString(m), EReadError);
}

TEST(StringList, RoundTripsAndEmptyListIsAZeroCount) {
  TMemoryStream m;
  WriteStrings(m, {});
  EXPECT_EQ(m.Bytes(), std::vector<uint8_t>(4, 0));

  TMemoryStream m2;
  std::vector<std::string> in = {"skin0", "", std::string(400, 'z'), "last"};
  WriteStrings(m2, in);
  m2.SetPosition(0);
  std::vector<std::string> out = {"left over"};
  TBufferedFilter f(&m2, 4096);
  ReadStrings(f, out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0], "skin0");
  EXPECT_EQ(out[1], "");
  EXPECT_EQ(out[2], std::string(255, 'z'));
  EXPECT_EQ(out[3], "last");
}

TEST(StringList, BadCountsRaise) {
  auto listWithCount = [](int32_t count) {
    TMemoryStream m;
    WriteI32LE(m, count);
    WriteShortString(m, "a");
    m.SetPosition(0);
    return m.Bytes();
  };
  for (int32_t bad : {-1, INT32_MIN, 134217728, INT32_MAX}) {
    TMemoryStream m(listWithCount(bad));
    std::vector<std::string> list = {"x"};
    EXPECT_EQ(ExpectStreamError([&] { ReadStrings(m, list); }), "Error reading TStrings from stream") << bad;
    EXPECT_TRUE(list.empty());
  }
  // The largest count allowed, over a short stream: the stream runs out.
  TMemoryStream m(listWithCount(134217727));
  std::vector<std::string> list;
  EXPECT_THROW(ReadStrings(m, list), EReadError);
  EXPECT_EQ(list.size(), 1u);

  TMemoryStream tooShort(std::vector<uint8_t>{1, 0});
  EXPECT_THROW(ReadStrings(tooShort, list), EReadError);
}

// ---- streamable objects -----------------------------------------------------------------

namespace {

class TPoint2 : public TStreamable {
  TESSEL_STREAMABLE_CLASS()
public:
  int32_t X = 0, Y = 0;
  void Load(TFilter& filter) override {
    TStreamable::Load(filter);
    X = ReadI32LE(filter);
    Y = ReadI32LE(filter);
  }
  void Store(TFilter& filter) const override {
    TStreamable::Store(filter);
    WriteI32LE(filter, X);
    WriteI32LE(filter, Y);
  }
};

class TPoint3 : public TPoint2 {
  TESSEL_STREAMABLE_CLASS()
public:
  int32_t Z = 0;
  void Load(TFilter& filter) override {
    TPoint2::Load(filter);
    Z = ReadI32LE(filter);
  }
  void Store(TFilter& filter) const override {
    TPoint2::Store(filter);
    WriteI32LE(filter, Z);
  }
};

class TAbstractShape : public TStreamable {
  TESSEL_STREAMABLE_CLASS()
public:
  virtual int Corners() const = 0;
};

TESSEL_STREAMABLE_IMPL(TPoint2, TStreamable);
TESSEL_STREAMABLE_IMPL(TPoint3, TPoint2);
TESSEL_ABSTRACT_STREAMABLE_IMPL(TAbstractShape, TStreamable);

// Remembers the objects it is told about.
class TRecordingFilter : public TFilter {
public:
  using TFilter::TFilter;
  void ObjectLoaded(TStreamable& object) override {
    Loaded.push_back(&object);
    TFilter::ObjectLoaded(object);
  }
  std::vector<TStreamable*> Loaded;
};

bool IsRegistered(const TStreamableClass& cls) {
  auto all = RegisteredStreamables();
  return std::find(all.begin(), all.end(), &cls) != all.end();
}

}  // namespace

TEST(Streamable, RegisteringAClassRegistersItsAncestorsOnce) {
  RegisterStreamable(TPoint3::StreamableClass);
  EXPECT_TRUE(IsRegistered(TPoint3::StreamableClass));
  EXPECT_TRUE(IsRegistered(TPoint2::StreamableClass));
  EXPECT_TRUE(IsRegistered(TStreamable::StreamableClass));
  size_t before = RegisteredStreamables().size();
  RegisterStreamable(TPoint3::StreamableClass);
  RegisterStreamable(TPoint2::StreamableClass);
  EXPECT_EQ(RegisteredStreamables().size(), before);

  // A class whose parent is known adds only itself.
  RegisterStreamable(TAbstractShape::StreamableClass);
  EXPECT_EQ(RegisteredStreamables().size(), before + 1);
}

TEST(Streamable, NamesAreFoundWithoutRegardToCase) {
  RegisterStreamable(TPoint3::StreamableClass);
  EXPECT_EQ(FindStreamable("tpoint3"), &TPoint3::StreamableClass);
  EXPECT_EQ(FindStreamable("TPOINT2"), &TPoint2::StreamableClass);
  EXPECT_EQ(FindStreamable("TPoint"), nullptr);
  try {
    GetStreamable("TNowhere");
    FAIL() << "no exception";
  } catch (const EStreamableException& e) {
    EXPECT_STREQ(e.what(), "TNowhere not registered as streamable");
  }
}

TEST(Streamable, AClassNamedLikeARegisteredOneIsSkippedButItsParentIsNot) {
  static const TStreamableClass parent{"TLonelyParent", &TStreamable::StreamableClass, nullptr};
  static const TStreamableClass first{"TTwin", &TStreamable::StreamableClass, nullptr};
  static const TStreamableClass second{"ttwin", &parent, nullptr};
  RegisterStreamable(first);
  RegisterStreamable(second);
  EXPECT_EQ(FindStreamable("TTWIN"), &first);
  EXPECT_FALSE(IsRegistered(second));
  EXPECT_TRUE(IsRegistered(parent));

  // Names are told apart by their first 63 characters only.
  static const std::string longA = "T" + std::string(62, 'q') + "A";
  static const std::string longB = "T" + std::string(62, 'q') + "B";
  static const TStreamableClass a{longA.c_str(), &TStreamable::StreamableClass, nullptr};
  static const TStreamableClass b{longB.c_str(), &TStreamable::StreamableClass, nullptr};
  RegisterStreamable(a);
  RegisterStreamable(b);
  EXPECT_TRUE(IsRegistered(a));
  EXPECT_FALSE(IsRegistered(b));
}

TEST(Streamable, ObjectsRoundTripUnderTheirClassName) {
  RegisterStreamable(TPoint3::StreamableClass);
  TMemoryStream m;
  {
    TBufferedFilter f(&m, 16);
    TPoint3 p;
    p.X = 1;
    p.Y = -2;
    p.Z = 300000;
    f.WriteObject(p);
    TPoint2 q;
    q.X = 9;
    f.WriteObject(q);
  }
  ASSERT_EQ(m.Size(), 1 + 7 + 12 + 1 + 7 + 8);
  EXPECT_EQ(m.Memory()[0], 7);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()) + 1, 7), "TPoint3");

  m.SetPosition(0);
  TRecordingFilter f(&m);
  auto a = f.ReadObject();
  auto b = f.ReadObject();
  auto* p = dynamic_cast<TPoint3*>(a.get());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->X, 1);
  EXPECT_EQ(p->Y, -2);
  EXPECT_EQ(p->Z, 300000);
  ASSERT_EQ(b->ClassName(), "TPoint2");
  EXPECT_EQ(static_cast<TPoint2*>(b.get())->X, 9);
  EXPECT_EQ(f.Loaded, (std::vector<TStreamable*>{a.get(), b.get()}));
}

TEST(Streamable, LoadingIsReportedThroughNestedFilters) {
  RegisterStreamable(TPoint2::StreamableClass);
  TMemoryStream m;
  {
    TFilter w(&m);
    w.WriteObject(TPoint2());
  }
  m.SetPosition(0);
  TRecordingFilter inner(&m);
  TFilter outer(&inner);
  auto obj = outer.ReadObject();
  EXPECT_EQ(inner.Loaded, std::vector<TStreamable*>{obj.get()});
}

TEST(Streamable, UnknownAbstractOrTruncatedObjectsRaise) {
  RegisterStreamable(TAbstractShape::StreamableClass);
  RegisterStreamable(TPoint2::StreamableClass);
  auto streamFor = [](const std::string& name, int extra) {
    TMemoryStream m;
    WriteShortString(m, name);
    for (int i = 0; i < extra; ++i) WriteU8(m, 0);
    return m.Bytes();
  };
  {
    TMemoryStream m(streamFor("TMissing", 8));
    TFilter f(&m);
    EXPECT_THROW(f.ReadObject(), EStreamableException);
  }
  {
    TMemoryStream m(streamFor("TAbstractShape", 8));
    TFilter f(&m);
    EXPECT_THROW(f.ReadObject(), EStreamableException);
  }
  {
    TMemoryStream m(streamFor("TPoint2", 5));
    TFilter f(&m);
    EXPECT_THROW(f.ReadObject(), EReadError);
  }
}
