#include "exchange/LwoFormat.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/Format.h"
#include "exchange/StreamBytes.h"

namespace {

constexpr size_t kFileHeaderSize = 12;   // "FORM", size, form type
constexpr size_t kChunkHeaderSize = 8;   // identifier, size
constexpr size_t kFormTypeSize = 4;
constexpr size_t kPointSize = 12;        // X, Y, Z as big-endian floats
constexpr size_t kTriangleSize = 2 + 3 * 2 + 2;  // count, three indices, surface

class TLWOReader {
public:
  TLWOReader(const std::vector<uint8_t>& data, TTriangleStore& store) : Data_(data), Store_(store) {}

  void Run() {
    Store_.SetCount(0);
    const size_t fileSize = Data_.size();
    if (fileSize < kFileHeaderSize) throw EImportExportError("LWO file is too short to hold its header");
    const uint32_t formSize = GetU32BE(Data_.data() + 4);
    if (formSize > fileSize - 8) throw EImportExportError("LWO FORM size runs past the end of the file");
    if (formSize < kFormTypeSize) throw EImportExportError("LWO FORM size is too small to hold its type");
    const size_t formEnd = 8 + static_cast<size_t>(formSize);
    size_t pos = kFileHeaderSize;
    // A tail too short for a chunk header ends the list, as it did before.
    while (formEnd - pos >= kChunkHeaderSize) {
      const uint8_t* header = Data_.data() + pos;
      const uint32_t size = GetU32BE(header + 4);
      pos += kChunkHeaderSize;
      if (size > formEnd - pos)
        throw EImportExportError(
            Format("LWO chunk '%s' runs past the end of the FORM", PrintableId(header, 4).c_str()));
      const uint8_t* body = Data_.data() + pos;
      if (std::memcmp(header, "PNTS", 4) == 0)
        ReadPoints(body, size);
      else if (std::memcmp(header, "POLS", 4) == 0)
        ReadPolygons(body, size);
      pos += size;
      // Odd-sized chunks are followed by a pad byte.
      if ((size & 1) != 0 && pos < formEnd) ++pos;
    }
  }

private:
  void ReadPoints(const uint8_t* body, size_t size) {
    if (size % kPointSize != 0)
      throw EImportExportError("LWO point list does not hold a whole number of points");
    const size_t n = size / kPointSize;
    if (n > static_cast<size_t>(kMaxImportVertices))
      throw EImportExportError(Format("Import is limited to %d vertices", kMaxImportVertices));
    Points_.assign(n, TStoreVertex{});
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* p = body + i * kPointSize;
      const float x = GetF32BE(p), y = GetF32BE(p + 4), z = GetF32BE(p + 8);
      if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        throw EImportExportError(
            Format("LWO point %d has a coordinate that is not a number", static_cast<int>(i)));
      if (!IsImportCoordinate(x) || !IsImportCoordinate(y) || !IsImportCoordinate(z))
        throw EImportExportError(Format("LWO point %d has a coordinate that is too large: %s", static_cast<int>(i),
                                        kImportCoordinateRange));
      // LightWave (X, Y, Z) is the model's (Z, X, Y).
      Points_[i] = TStoreVertex{{z, x, y, 1.0f}};
    }
    HavePoints_ = true;
  }

  void ReadPolygons(const uint8_t* body, size_t size) {
    size_t pos = 0;
    while (pos < size) {
      if (Store_.Count() >= kMaxImportTriangles)
        throw EImportExportError(Format("Import is limited to %d triangles", kMaxImportTriangles));
      if (size - pos < 2) throw EImportExportError("LWO polygon list ends in the middle of a polygon");
      const uint16_t count = GetU16BE(body + pos);
      if (count != 3) throw EImportExportError("Only triangles supported in LWO import");
      if (size - pos < kTriangleSize) throw EImportExportError("LWO polygon list ends in the middle of a polygon");
      if (!HavePoints_) throw EImportExportError("LWO polygon list comes before any point list");
      uint16_t index[3];
      for (int k = 0; k < 3; ++k) {
        index[k] = GetU16BE(body + pos + 2 + 2 * k);
        if (index[k] >= Points_.size())
          throw EImportExportError(Format("LWO polygon refers to point %d, but only %d points were read",
                                          static_cast<int>(index[k]), static_cast<int>(Points_.size())));
      }
      // The corner order is reversed.
      TStoreTriangle& t = Store_.AddTriangle();
      t[0] = Points_[index[2]];
      t[1] = Points_[index[1]];
      t[2] = Points_[index[0]];
      pos += kTriangleSize;  // the surface number is not used
    }
  }

  const std::vector<uint8_t>& Data_;
  TTriangleStore& Store_;
  std::vector<TStoreVertex> Points_;
  bool HavePoints_ = false;
};

}  // namespace

void TLWOFormat::Import(TStream& stream, TTriangleStore& store) {
  const std::vector<uint8_t> data = ReadRemainingBytes(stream);
  TLWOReader reader(data, store);
  reader.Run();
}
