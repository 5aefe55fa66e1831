#pragma once
// The model file's header values and its reader/writer. A file is the
// game's model ("IDPO", version 6 written, 3 or 6 read) optionally followed
// by this program's extension block ("TSLX") with skin names, objects and
// full-precision positions; the game stops reading before the extension.
//
// Reading takes the whole file into memory first and parses it with a
// bounds-checked reader: every count is checked against the bytes that
// remain before anything is made from it. Writing goes through the buffered
// filter.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/ByteReader.h"
#include "core/ByteWriter.h"
#include "core/Filters.h"
#include "mdl/MdlTypes.h"

// Sizes and offsets of the file format.
namespace mdlformat {
constexpr int kHeaderSize = 84;
constexpr int kHeaderSizeV3 = 76;
constexpr int kSkinVertexSize = 12;
constexpr int kTriangleSize = 16;
constexpr int kPackedVertexSize = 4;
// A frame's or a frame group's box: two packed corners.
constexpr int kBoxSize = 2 * kPackedVertexSize;
constexpr int kRawVertexSize = 16;
constexpr int kNameSize = kFrameNameSize;
// Matrix (16 floats), translation, rotation and scale (3 floats each), one
// key flag per channel.
constexpr int kPivotRecordSize = 16 * 4 + 3 * 3 * 4 + 9;
// Index, parent index, an empty name, vertex count, pivot count.
constexpr int kObjectRecordMinSize = 4 + 4 + 1 + 4 + 4;
// From version 3: joint flags, joint values B and A, nine empty joint names.
constexpr int kJointRecordMinSize = 9 + 9 * 4 + 9 * 4 + 9;
constexpr char kExtMarker[] = "TSLX";
constexpr int kExtMarkerSize = 4;
// The marker and the extension version.
constexpr int kExtHeaderSize = kExtMarkerSize + 4;
constexpr int kExtVersionWritten = 4;
constexpr uint16_t kBufferSize = 65535;
}  // namespace mdlformat

// The header values of a model file; their meaning is the model's. What the
// model keeps about its header belongs here: the model's state (the undo
// history's copies, say) takes this part of the filer whole.
struct TMDLHeaderValues {
  int32_t NumSkins = 0;
  int32_t SkinHeight = 0;
  int32_t SkinWidth = 0;
  int32_t Flags = 0;
  int32_t NumFrames = 0;
  char Ident[5] = {'I', 'D', 'P', 'O', 0};
  float EyePosition[3] = {0, 0, 0};
  float Origin[3] = {0, 0, 0};
  float Radius = 0;
  float Scale[3] = {0, 0, 0};
  // Average triangle area of the first frame (on the filer it hides the
  // stream's Size(); DataSize() gives that).
  float Size = 0;
  int32_t SyncType = 1;
  int32_t NumTris = 0;
  int32_t Version = 6;
  int32_t NumVerts = 0;
  int32_t ExtVersion = 4;
  // Whether the last file loaded carried the extension marker.
  bool ExtensionFound = false;

  bool operator==(const TMDLHeaderValues&) const = default;
};

class TMDLFiler : public TBufferedFilter, public TMDLHeaderValues {
public:
  TMDLFiler();
  // The header's Size, not the stream's.
  using TMDLHeaderValues::Size;

  // Header values back to those of an empty model.
  void ClearValues();
  int64_t DataSize() { return TBufferedFilter::Size(); }

  // Reading: the file's bytes are taken into memory by BeginRead, which
  // also numbers the load (LoadSerial, never 0) for the parts of the model
  // that remember where their records lay.
  void BeginRead();
  void EndRead();
  uint64_t LoadSerial() const { return LoadSerial_; }
  TByteReader& Reader() { return Reader_; }
  // The bytes being read, for parts of the model that keep referring to
  // them after the load.
  std::shared_ptr<const uint8_t[]> SharedBytes() const { return Bytes_; }
  // True while unread bytes remain.
  bool MoreData() const { return !Reader_.AtEnd(); }
  void LoadHeader();
  bool LoadExtensionHeader();
  TFrameVertex ReadVertex();
  std::string ReadName();
  void ReadName(char bytes[kFrameNameSize]);
  TFrameVertex ReadRawVertex();
  // Raises EMDLError when fewer than count * recordSize bytes remain (or the
  // count is negative); `what` names the section for the message.
  void CheckCount(int64_t count, int64_t recordSize, const char* what);

  // Writing.
  void SaveHeader();
  void SaveExtensionHeader();
  void WriteVertex(const TFrameVertex& v);
  void WriteName(const std::string& name);
  void WriteRawVertex(const TFrameVertex& v);
  // The packed form of a position, stored at `out` or appended to `w`.
  void PackVertex(const TFrameVertex& v, uint8_t* out) const;
  void PackVertex(const TFrameVertex& v, TByteWriter& w) const;
  TFrameVertex UnpackVertex(const uint8_t* p) const;
  // The full-precision form of a position, appended to `w`.
  static void PutRawVertex(const TFrameVertex& v, TByteWriter& w);
  // Everything `w` holds, at the current position.
  void Write(const TByteWriter& w);
  using TBufferedFilter::Write;
  void WriteBytes(const void* data, size_t n) { WriteBuffer(data, static_cast<int64_t>(n)); }

private:
  std::shared_ptr<uint8_t[]> Bytes_;
  TByteReader Reader_{nullptr, 0};
  uint64_t LoadSerial_ = 0;
};
