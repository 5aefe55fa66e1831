// String lists, short strings and streamed objects over arbitrary bytes,
// read straight from memory and through buffered filters of varying size.
// The first byte picks the reader and the buffer size.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Containr.h"
#include "core/Filters.h"
#include "core/Streams.h"

namespace {

void CheckList(const std::vector<std::string>& list, size_t inputSize) {
  // Every string costs at least its length byte.
  if (list.size() > inputSize) __builtin_trap();
  for (const auto& s : list)
    if (s.size() > 255) __builtin_trap();
  // What was read writes back and reads again the same.
  TMemoryStream out;
  WriteStrings(out, list);
  out.SetPosition(0);
  std::vector<std::string> again;
  ReadStrings(out, again);
  if (again != list) __builtin_trap();
}

void ReadLists(TStream& s, size_t inputSize) {
  std::vector<std::string> list;
  try {
    ReadStrings(s, list);
    CheckList(list, inputSize);
  } catch (const EStreamError&) {
  }
}

void ReadShortStrings(TStream& s) {
  try {
    for (;;) {
      std::string str = ReadShortString(s);
      if (str.size() > 255) __builtin_trap();
    }
  } catch (const EStreamError&) {
  }
}

// A loaded container may not own its items (nor its containers theirs);
// hand them all over so that dropping the object frees everything.
void OwnAll(TContainer& c) {
  for (int i = 0; i < c.Count(); ++i)
    if (auto* inner = dynamic_cast<TContainer*>(c.Get(i))) OwnAll(*inner);
  c.SetOwnsItems(true);
}

void ReadObjects(TFilter& f) {
  try {
    for (int i = 0; i < 64; ++i) {
      auto obj = f.ReadObject();
      if (auto* c = dynamic_cast<TContainer*>(obj.get())) OwnAll(*c);
    }
  } catch (const EStreamError&) {
  } catch (const EContainerError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint8_t mode = data[0];
  std::vector<uint8_t> bytes(data + 1, data + size);
  size_t n = bytes.size();
  // Buffer sizes from 1 byte up, so that window moves happen everywhere.
  uint16_t bufSize = static_cast<uint16_t>(1 + (mode >> 2) * 5);

  TMemoryStream m(bytes);
  switch (mode & 3) {
    case 0:
      ReadLists(m, n);
      break;
    case 1: {
      TBufferedFilter f(&m, bufSize);
      ReadLists(f, n);
      break;
    }
    case 2: {
      TBufferedFilter f(&m, bufSize);
      ReadShortStrings(f);
      break;
    }
    case 3: {
      TBufferedFilter f(&m, bufSize);
      ReadObjects(f);
      break;
    }
  }
  return 0;
}
