#pragma once
// Filters: streams that stand in front of another stream. TFilter passes
// everything on and knows how to write and read streamable objects under
// their class names; TBufferedFilter keeps a fixed-size read/write window of
// the inner stream so that many small reads and writes cost little.
//
// Also here: the short-string and string-list wire formats, the registry of
// streamable classes and TStreamable itself.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Exception.h"
#include "core/Streams.h"

// Raised for class names that are not registered (or cannot be created).
TESSEL_DECLARE_EXCEPTION(EStreamableException, EStreamError);

class TFilter;
class TStreamable;

// The class reference of a streamable class: its name, its parent's record
// and how to create an instance from a filter. `Create` is null for classes
// that cannot be instantiated (abstract ones).
struct TStreamableClass {
  const char* Name;
  const TStreamableClass* Parent;
  TStreamable* (*Create)(TFilter& filter);
};

// Loading factory for a default-constructible class: construct, then let the
// object read itself. The object is fully constructed before Load runs, so
// Load may use every virtual operation of the final class.
template <class T>
TStreamable* LoadStreamable(TFilter& filter);

// Put inside the body of every streamable class.
#define TESSEL_STREAMABLE_CLASS()                                             \
public:                                                                       \
  static const TStreamableClass StreamableClass;                              \
  const TStreamableClass& ClassType() const override { return StreamableClass; }

// Put in the class's source file. The record is constant-initialised, so it
// is usable from any other file's start-up code.
#define TESSEL_STREAMABLE_IMPL(Class, ParentClass)                            \
  constinit const TStreamableClass Class::StreamableClass {                   \
    #Class, &ParentClass::StreamableClass, &LoadStreamable<Class>             \
  }
#define TESSEL_ABSTRACT_STREAMABLE_IMPL(Class, ParentClass)                   \
  constinit const TStreamableClass Class::StreamableClass {                   \
    #Class, &ParentClass::StreamableClass, nullptr                            \
  }

// An object that can be written to a filter under its class name and read
// back through the registry.
class TStreamable {
public:
  static const TStreamableClass StreamableClass;

  TStreamable() = default;
  virtual ~TStreamable() = default;
  TStreamable(const TStreamable&) = delete;
  TStreamable& operator=(const TStreamable&) = delete;

  virtual const TStreamableClass& ClassType() const { return StreamableClass; }
  std::string_view ClassName() const { return ClassType().Name; }

  // The loading half of construction, run once on a freshly made object.
  // Descendants read their own state after calling their parent's Load.
  virtual void Load(TFilter& filter);
  // Writes the object's state; descendants call their parent's Store first.
  virtual void Store(TFilter& filter) const;
};

template <class T>
TStreamable* LoadStreamable(TFilter& filter) {
  std::unique_ptr<T> object(new T());
  object->Load(filter);
  return object.release();
}

// Registers a class and every ancestor up to TStreamable that is not yet
// known. A class whose name (case-insensitive, first 63 characters) is
// already taken by another registered class is skipped.
void RegisterStreamable(const TStreamableClass& cls);
// The first registered class with this name (case-insensitive), or null.
const TStreamableClass* FindStreamable(std::string_view name);
// As FindStreamable, but raises EStreamableException when not found.
const TStreamableClass& GetStreamable(std::string_view name);
// The registered classes in registration order.
std::vector<const TStreamableClass*> RegisteredStreamables();

// ---- TFilter -----------------------------------------------------------------

class TFilter : public TStream {
public:
  // Attaches `stream` without taking ownership; set OwnsStream afterwards to
  // hand it over.
  explicit TFilter(TStream* stream = nullptr);
  ~TFilter() override;
  TFilter(const TFilter&) = delete;
  TFilter& operator=(const TFilter&) = delete;

  // Without an inner stream these move nothing and return 0.
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override;

  // Told of every streamable object loaded from this filter; passed on to
  // the inner stream when that is a filter too.
  virtual void ObjectLoaded(TStreamable& object);
  // Frees the current inner stream when owned, then attaches `stream`.
  virtual void SetStream(TStream* stream);
  // Reads a class name and creates that class from this filter. Raises
  // EStreamableException for unknown or abstract classes.
  virtual std::unique_ptr<TStreamable> ReadObject();
  // Writes the object's class name, then its state.
  virtual void WriteObject(const TStreamable& object);
  // A hook for descendants; nothing calls it here.
  virtual void ObjectStored(const TStreamable& object);

  TStream* Stream() const { return Stream_; }
  bool OwnsStream() const { return OwnsStream_; }
  void SetOwnsStream(bool value) { OwnsStream_ = value; }

  // Objects may hold objects; a stream that nests them deeper than this is
  // taken as damaged rather than followed until the stack runs out.
  static constexpr int kMaxObjectNesting = 256;

protected:
  bool OwnsStream_ = false;
  TStream* Stream_ = nullptr;

private:
  int ReadDepth_ = 0;
};

// ---- TBufferedFilter ---------------------------------------------------------

// A filter with a window of BufSize bytes over the inner stream. The buffer
// mirrors the stream bytes BufStart .. BufStart+BufCount-1; the window reaches
// to BufEnd-1. Seeking only moves the logical position; the next read or
// write moves the window when needed. Written bytes reach the inner stream
// when the window moves, when the stream is replaced, on Flush and (without
// a way to report failure) when the filter is destroyed: call Flush before
// destroying a filter you wrote through if you need to know it worked.
class TBufferedFilter : public TFilter {
public:
  TBufferedFilter(TStream* stream, uint16_t bufSize);
  ~TBufferedFilter() override;

  int64_t Read(void* buffer, int64_t count) override {
    // The common case, a small read wholly inside a buffer that cannot be
    // topped up any further, is served here; everything else (including a
    // read that ends exactly at the buffer's end, which moves the window)
    // takes the general path.
    const int64_t validEnd = BufStart_ + BufCount_;
    if (count > 0 && Position_ >= BufStart_ && count < validEnd - Position_ &&
        (BufCount_ == BufSize_ || validEnd >= Size_)) {
      std::memcpy(buffer, Buffer_.get() + (Position_ - BufStart_), static_cast<size_t>(count));
      Position_ += count;
      return count;
    }
    return ReadThroughBuffer(buffer, count);
  }
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return Size_; }
  // Flushes, then attaches `stream`. When the flush fails the old stream is
  // detached anyway (nothing attached) before the error is raised.
  void SetStream(TStream* stream) override;

  // Reads the rest of the window from the inner stream, as far as the data goes.
  virtual void Fill();
  // Writes modified buffer bytes to the inner stream; raises EStreamError
  // "Unable to flush buffer." when the inner stream takes fewer.
  virtual void Flush();

  uint16_t BufSize() const { return BufSize_; }
  int64_t BufStart() const { return BufStart_; }
  int64_t BufEnd() const { return BufEnd_; }
  int64_t BufCount() const { return BufCount_; }
  int64_t StreamPos() const { return StreamPos_; }
  bool Modified() const { return Modified_; }
  const uint8_t* Buffer() const { return Buffer_.get(); }

protected:
  // Starts an empty window at the current position.
  void ResetBuffer();

  int64_t StreamPos_ = 0;  // the inner stream's position as this filter left it
  int64_t Size_ = 0;       // size of the data, grown by writes past the inner stream's end
  int64_t BufCount_ = 0;   // valid bytes in the buffer, from BufStart
  int64_t BufEnd_ = 0;     // BufStart + BufSize
  std::unique_ptr<uint8_t[]> Buffer_;
  bool Modified_ = false;  // the buffer holds bytes the inner stream has not got yet
  uint16_t BufSize_ = 0;
  int64_t BufStart_ = 0;   // stream position of the buffer's first byte
  int64_t Position_ = 0;   // the filter's logical position, 0 .. Size

private:
  int64_t ReadThroughBuffer(void* buffer, int64_t count);
};

// ---- wire formats ------------------------------------------------------------

// A length byte and that many characters.
std::string ReadShortString(TStream& stream);
// Writes at most the first 255 characters, with their length byte, in one write.
void WriteShortString(TStream& stream, std::string_view s);
// Clears `list`, then reads an int32 count and that many short strings.
// A count below 0 or above 134217727 raises EStreamError
// "Error reading TStrings from stream".
void ReadStrings(TStream& stream, std::vector<std::string>& list);
// An int32 count, then each string as a short string (cut to 255 characters).
void WriteStrings(TStream& stream, const std::vector<std::string>& list);
