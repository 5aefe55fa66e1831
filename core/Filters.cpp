#include "core/Filters.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "core/Format.h"
#include "core/TextCase.h"

// ---- registry ------------------------------------------------------------------

namespace {

struct TRegistry {
  std::mutex Lock;
  std::vector<const TStreamableClass*> Classes;
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

// Registered names are told apart by their first 63 characters.
constexpr size_t kRegisteredNameLength = 63;

std::string_view RegisteredName(std::string_view name) { return name.substr(0, kRegisteredNameLength); }

}  // namespace

void RegisterStreamable(const TStreamableClass& cls) {
  TRegistry& reg = Registry();
  std::lock_guard<std::mutex> guard(reg.Lock);
  for (const TStreamableClass* c = &cls; c != nullptr; c = c->Parent) {
    if (std::find(reg.Classes.begin(), reg.Classes.end(), c) != reg.Classes.end()) break;
    std::string_view name = RegisteredName(c->Name);
    bool taken = std::any_of(reg.Classes.begin(), reg.Classes.end(), [&](const TStreamableClass* r) {
      return SameText(RegisteredName(r->Name), name);
    });
    if (!taken) reg.Classes.push_back(c);
    if (c == &TStreamable::StreamableClass) break;
  }
}

const TStreamableClass* FindStreamable(std::string_view name) {
  TRegistry& reg = Registry();
  std::lock_guard<std::mutex> guard(reg.Lock);
  for (const TStreamableClass* c : reg.Classes)
    if (SameText(c->Name, name)) return c;
  return nullptr;
}

const TStreamableClass& GetStreamable(std::string_view name) {
  const TStreamableClass* c = FindStreamable(name);
  if (!c) throw EStreamableException(std::string(name) + " not registered as streamable");
  return *c;
}

std::vector<const TStreamableClass*> RegisteredStreamables() {
  TRegistry& reg = Registry();
  std::lock_guard<std::mutex> guard(reg.Lock);
  return reg.Classes;
}

// ---- TStreamable -----------------------------------------------------------------

constinit const TStreamableClass TStreamable::StreamableClass{"TStreamable", nullptr,
                                                              &LoadStreamable<TStreamable>};

void TStreamable::Load(TFilter& filter) { filter.ObjectLoaded(*this); }

void TStreamable::Store(TFilter&) const {}

// ---- TFilter ---------------------------------------------------------------------

TFilter::TFilter(TStream* stream) {
  SetStream(stream);
  OwnsStream_ = false;
}

TFilter::~TFilter() { SetStream(nullptr); }

int64_t TFilter::Read(void* buffer, int64_t count) { return Stream_ ? Stream_->Read(buffer, count) : 0; }

int64_t TFilter::Write(const void* buffer, int64_t count) {
  return Stream_ ? Stream_->Write(buffer, count) : 0;
}

int64_t TFilter::Seek(int64_t offset, int origin) { return Stream_ ? Stream_->Seek(offset, origin) : 0; }

int64_t TFilter::Size() { return Stream_ ? Stream_->Size() : 0; }

void TFilter::ObjectLoaded(TStreamable& object) {
  if (auto* inner = dynamic_cast<TFilter*>(Stream_)) inner->ObjectLoaded(object);
}

void TFilter::SetStream(TStream* stream) {
  // Re-attaching the same stream must not free it.
  if (OwnsStream_ && Stream_ != stream) delete Stream_;
  Stream_ = stream;
}

std::unique_ptr<TStreamable> TFilter::ReadObject() {
  std::string name = ReadShortString(*this);
  const TStreamableClass& cls = GetStreamable(name);
  if (!cls.Create) throw EStreamableException(name + " cannot be created from a stream");
  if (ReadDepth_ >= kMaxObjectNesting) throw EStreamableException("Objects nested too deeply in stream");
  struct TDepth {
    int& Depth;
    explicit TDepth(int& d) : Depth(d) { ++Depth; }
    ~TDepth() { --Depth; }
  } depth(ReadDepth_);
  return std::unique_ptr<TStreamable>(cls.Create(*this));
}

void TFilter::WriteObject(const TStreamable& object) {
  WriteShortString(*this, object.ClassName());
  object.Store(*this);
}

void TFilter::ObjectStored(const TStreamable&) {}

// ---- TBufferedFilter -----------------------------------------------------------

TBufferedFilter::TBufferedFilter(TStream* stream, uint16_t bufSize) : TFilter(nullptr) {
  // The buffer must exist before the stream is attached: attaching probes it
  // and sets up the window.
  BufSize_ = bufSize;
  if (bufSize == 0) throw EStreamError("Buffer size of 0 not allowed");
  Buffer_.reset(new uint8_t[bufSize]);
  SetStream(stream);
  OwnsStream_ = false;
}

TBufferedFilter::~TBufferedFilter() {
  // A destructor cannot report a failed write; callers who need to know
  // call Flush first.
  try {
    Flush();
  } catch (...) {
  }
  Buffer_.reset();
  BufSize_ = 0;
}

void TBufferedFilter::ResetBuffer() {
  BufCount_ = 0;
  BufStart_ = Position_;
  BufEnd_ = BufStart_ + BufSize_;
}

void TBufferedFilter::Fill() {
  if (!Stream_) return;
  int64_t p = BufStart_ + BufCount_;
  if (p >= Size_) return;
  if (p != StreamPos_) Stream_->Seek(p, soFromBeginning);
  int64_t want = std::min<int64_t>(BufSize_ - BufCount_, Size_ - p);
  // A stream may hand out its bytes in pieces; only a read that delivers
  // nothing means there are no more.
  while (want > 0) {
    int64_t got = Stream_->Read(Buffer_.get() + BufCount_, want);
    if (got <= 0) break;
    got = std::min(got, want);  // never trust more than was asked for
    BufCount_ += got;
    want -= got;
  }
  StreamPos_ = BufStart_ + BufCount_;
}

void TBufferedFilter::Flush() {
  if (!Modified_ || BufCount_ <= 0 || !Stream_) return;
  if (BufStart_ != StreamPos_) Stream_->Seek(BufStart_, soFromBeginning);
  int64_t written = Stream_->Write(Buffer_.get(), BufCount_);
  if (written == BufCount_) {
    Modified_ = false;
    StreamPos_ = BufStart_ + BufCount_;
  } else {
    StreamPos_ = Stream_->Position();
    throw EStreamError("Unable to flush buffer.");
  }
}

int64_t TBufferedFilter::ReadThroughBuffer(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (BufStart_ <= Position_ && Position_ <= BufEnd_ - 1) {
    if (BufCount_ < BufSize_) Fill();
  } else {
    Flush();
    ResetBuffer();
    Fill();
  }
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t remaining = count;
  while (remaining > 0) {
    // When the inner stream delivered less than it claimed to hold, the
    // position can lie beyond the valid bytes: copy nothing then.
    int64_t n = std::max<int64_t>(0, std::min(BufStart_ + BufCount_ - Position_, remaining));
    if (n > 0) std::memcpy(out + (count - remaining), Buffer_.get() + (Position_ - BufStart_), static_cast<size_t>(n));
    Position_ += n;
    if (BufStart_ + BufCount_ <= Position_) {
      Flush();
      ResetBuffer();
      Fill();
    }
    remaining -= n;
    if (remaining > 0 && BufCount_ == 0) break;
  }
  return count - remaining;
}

int64_t TBufferedFilter::Write(const void* buffer, int64_t count) {
  // Detached, there is nowhere for the bytes to go.
  if (count <= 0 || !Stream_) return 0;
  if (BufStart_ <= Position_ && Position_ <= BufEnd_ - 1) {
    if (BufStart_ + BufCount_ < Position_) {
      Fill();
      // Should the inner stream hold less than it claimed, the bytes
      // between are zeros rather than whatever the buffer held before.
      int64_t validEnd = BufStart_ + BufCount_;
      if (validEnd < Position_) {
        std::memset(Buffer_.get() + BufCount_, 0, static_cast<size_t>(Position_ - validEnd));
        BufCount_ = Position_ - BufStart_;
      }
    }
  } else {
    Flush();
    ResetBuffer();
  }
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t remaining = count;
  while (remaining > 0) {
    Modified_ = true;
    int64_t n = std::min(BufEnd_ - Position_, remaining);
    std::memcpy(Buffer_.get() + (Position_ - BufStart_), in + (count - remaining), static_cast<size_t>(n));
    Position_ += n;
    Size_ = std::max(Size_, Position_);
    BufCount_ = std::max(BufCount_, Position_ - BufStart_);
    if (Position_ >= BufEnd_) {
      Flush();
      ResetBuffer();
    }
    remaining -= n;
  }
  return count;
}

int64_t TBufferedFilter::Seek(int64_t offset, int origin) {
  auto add = [](int64_t a, int64_t b) {
    int64_t r;
    if (__builtin_add_overflow(a, b, &r)) r = b > 0 ? std::numeric_limits<int64_t>::max() : 0;
    return r;
  };
  switch (origin) {
    case soFromBeginning: Position_ = offset; break;
    case soFromCurrent: Position_ = add(Position_, offset); break;
    case soFromEnd: Position_ = add(Size_, offset); break;
    default: break;
  }
  Position_ = std::clamp<int64_t>(Position_, 0, Size_);
  return Position_;
}

void TBufferedFilter::SetStream(TStream* stream) {
  if (Stream_) {
    try {
      Flush();
    } catch (...) {
      // The old stream is let go all the same: a caller unwinding from the
      // failure may destroy it next, and a filter still pointing at it
      // would write into freed memory when it is itself destroyed. The
      // bytes it refused are lost; the error says so.
      Modified_ = false;
      TFilter::SetStream(nullptr);
      Position_ = 0;
      Size_ = 0;
      StreamPos_ = 0;
      ResetBuffer();
      throw;
    }
  }
  TFilter::SetStream(stream);
  Modified_ = false;
  if (stream) {
    Size_ = std::max<int64_t>(0, stream->Size());
    Position_ = std::clamp<int64_t>(stream->Position(), 0, Size_);
    if (Size_ > 0) {
      uint8_t probe;
      stream->Seek(0, soFromBeginning);
      if (stream->Read(&probe, 1) == 1) {
        stream->Seek(Position_, soFromBeginning);
      } else {
        // The stream stays attached, but the window must not keep bytes
        // of the stream it replaced.
        StreamPos_ = stream->Position();
        ResetBuffer();
        throw EStreamError("Buffering of write only stream might cause problems");
      }
    }
  } else {
    Position_ = 0;
    Size_ = 0;
  }
  StreamPos_ = Position_;
  ResetBuffer();
}

// ---- wire formats ------------------------------------------------------------

std::string ReadShortString(TStream& stream) {
  uint8_t len = ReadU8(stream);
  std::string s(len, '\0');
  stream.ReadBuffer(s.data(), len);
  return s;
}

void WriteShortString(TStream& stream, std::string_view s) {
  size_t n = std::min<size_t>(s.size(), 255);
  uint8_t bytes[256];
  bytes[0] = static_cast<uint8_t>(n);
  std::memcpy(bytes + 1, s.data(), n);
  stream.WriteBuffer(bytes, static_cast<int64_t>(n) + 1);
}

// The largest string-list count accepted when reading.
constexpr int32_t kMaxStringListCount = 134217727;

void ReadStrings(TStream& stream, std::vector<std::string>& list) {
  list.clear();
  int32_t count = ReadI32LE(stream);
  if (count < 0 || count > kMaxStringListCount) throw EStreamError("Error reading TStrings from stream");
  // No reserve: the count comes from the file; a damaged one runs the stream
  // out long before memory.
  for (int32_t i = 0; i < count; ++i) list.push_back(ReadShortString(stream));
}

void WriteStrings(TStream& stream, const std::vector<std::string>& list) {
  // A longer list could be written but never read back.
  if (list.size() > static_cast<size_t>(kMaxStringListCount))
    throw EWriteError(Format("Too many strings to write (%zu)", list.size()));
  WriteI32LE(stream, static_cast<int32_t>(list.size()));
  for (const std::string& s : list) WriteShortString(stream, s);
}
