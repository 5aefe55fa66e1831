#include "exchange/3dsFormat.h"

#include <cmath>
#include <vector>

#include "core/ByteReader.h"
#include "core/Format.h"
#include "exchange/StreamBytes.h"

namespace {

// The chunk identifiers the reader acts on.
constexpr uint16_t kMain3DS = 0x4D4D;
constexpr uint16_t kEdit3DS = 0x3D3D;
constexpr uint16_t kNamedObject = 0x4000;
constexpr uint16_t kTriObject = 0x4100;
constexpr uint16_t kPointArray = 0x4110;
constexpr uint16_t kFaceArray = 0x4120;
constexpr uint16_t kKeyframes = 0xB000;

constexpr size_t kChunkHeaderSize = 6;  // identifier (2), length (4)
constexpr size_t kVertexSize = 12;      // three floats
constexpr size_t kFaceSize = 8;         // A, B, C, flags
// Real files nest a handful of levels; a deeper tree is damaged or hostile
// and must not run the stack out.
constexpr int kMaxNesting = 64;

bool IsContainer(uint16_t id) {
  return id == kMain3DS || id == kEdit3DS || id == kTriObject || id == kKeyframes;
}

class T3DSReader {
public:
  T3DSReader(const std::vector<uint8_t>& data, TTriangleStore& store)
      : Reader_(data.data(), data.size()), Store_(store) {}

  void Run() {
    Store_.SetCount(0);
    if (Reader_.Size() < kChunkHeaderSize) throw EImportExportError("3DS file is too short to hold a chunk");
    const uint16_t id = Reader_.U16();
    const uint32_t length = Reader_.U32();
    // Anything else is not a 3DS scene: no triangles.
    if (!IsContainer(id)) return;
    CheckLength(id, length, Reader_.Size(), "the file");
    ReadChunksTo(length, 1);
  }

private:
  void CheckLength(uint16_t id, uint32_t length, size_t room, const char* parent) {
    if (length < kChunkHeaderSize)
      throw EImportExportError(Format("3DS chunk %04X is shorter than its own header", id));
    if (length > room)
      throw EImportExportError(Format("3DS chunk %04X runs past the end of %s", id, parent));
  }

  // Sibling chunks from the reader's position up to `end`.
  void ReadChunksTo(size_t end, int depth) {
    while (Reader_.Position() < end) {
      const size_t start = Reader_.Position();
      if (end - start < kChunkHeaderSize)
        throw EImportExportError("3DS chunk header runs past the end of its parent chunk");
      const uint16_t id = Reader_.U16();
      const uint32_t length = Reader_.U32();
      CheckLength(id, length, end - start, "its parent chunk");
      const size_t chunkEnd = start + length;
      ReadChunk(id, chunkEnd, depth);
      Reader_.Seek(chunkEnd);
    }
  }

  void ReadChunk(uint16_t id, size_t chunkEnd, int depth) {
    if (IsContainer(id)) {
      if (depth + 1 > kMaxNesting) throw EImportExportError("3DS chunks are nested too deeply");
      ReadChunksTo(chunkEnd, depth + 1);
    } else if (id == kNamedObject) {
      // A zero-terminated name, then the object's chunks.
      bool terminated = false;
      while (!terminated && Reader_.Position() < chunkEnd) terminated = Reader_.U8() == 0;
      if (!terminated)
        throw EImportExportError("3DS object name runs past the end of its chunk");
      if (depth + 1 > kMaxNesting) throw EImportExportError("3DS chunks are nested too deeply");
      ReadChunksTo(chunkEnd, depth + 1);
    } else if (id == kPointArray) {
      ReadVertices(chunkEnd);
    } else if (id == kFaceArray) {
      ReadFaces(chunkEnd);
      // Material and smoothing lists follow the faces in the same chunk.
      if (depth + 1 > kMaxNesting) throw EImportExportError("3DS chunks are nested too deeply");
      ReadChunksTo(chunkEnd, depth + 1);
    }
    // Every other chunk is skipped by the caller.
  }

  void ReadVertices(size_t end) {
    if (end - Reader_.Position() < 2) throw EImportExportError("3DS vertex list is missing its count");
    Reader_.Skip(2);  // the count; the chunk's size decides
    const size_t bytes = end - Reader_.Position();
    if (bytes % kVertexSize != 0)
      throw EImportExportError("3DS vertex list does not hold a whole number of vertices");
    if (bytes / kVertexSize > static_cast<size_t>(kMaxImportVertices))
      throw EImportExportError(Format("Import is limited to %d vertices", kMaxImportVertices));
    Vertices_.clear();
    Vertices_.reserve(bytes / kVertexSize);
    while (Reader_.Position() < end) {
      TStoreVertex v;
      for (int k = 0; k < 3; ++k) v[k] = Reader_.F32();
      if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2]))
        throw EImportExportError(
            Format("3DS vertex %d has a coordinate that is not a number", static_cast<int>(Vertices_.size())));
      if (!IsImportCoordinate(v[0]) || !IsImportCoordinate(v[1]) || !IsImportCoordinate(v[2]))
        throw EImportExportError(Format("3DS vertex %d has a coordinate that is too large: %s",
                                        static_cast<int>(Vertices_.size()), kImportCoordinateRange));
      v[3] = 1.0f;
      Vertices_.push_back(v);
    }
    HaveVertices_ = true;
  }

  void ReadFaces(size_t end) {
    if (end - Reader_.Position() < 2) throw EImportExportError("3DS face list is missing its count");
    const uint16_t n = Reader_.U16();
    if (static_cast<size_t>(n) * kFaceSize > end - Reader_.Position())
      throw EImportExportError("3DS face list runs past the end of its chunk");
    if (n > 0 && !HaveVertices_) throw EImportExportError("3DS face list comes before any vertex list");
    for (int f = 0; f < n; ++f) {
      if (Store_.Count() >= kMaxImportTriangles)
        throw EImportExportError(Format("Import is limited to %d triangles", kMaxImportTriangles));
      uint16_t index[3];
      for (auto& i : index) i = Reader_.U16();
      Reader_.Skip(2);  // flags
      for (uint16_t i : index)
        if (i >= Vertices_.size())
          throw EImportExportError(Format("3DS face %d refers to vertex %d, but its mesh has only %d vertices", f,
                                          static_cast<int>(i), static_cast<int>(Vertices_.size())));
      TStoreTriangle& t = Store_.AddTriangle();
      t[0] = Vertices_[index[2]];
      t[1] = Vertices_[index[1]];
      t[2] = Vertices_[index[0]];
    }
  }

  TByteReader Reader_;
  TTriangleStore& Store_;
  std::vector<TStoreVertex> Vertices_;
  bool HaveVertices_ = false;
};

}  // namespace

void T3DSFormat::Import(TStream& stream, TTriangleStore& store) {
  const std::vector<uint8_t> data = ReadRemainingBytes(stream);
  T3DSReader reader(data, store);
  try {
    reader.Run();
  } catch (const EOutOfData&) {
    throw EImportExportError("3DS file is damaged: a chunk ends in the middle of its data");
  }
}
