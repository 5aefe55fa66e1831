#pragma once
// What a model remembers of the file it was loaded from, so that saving
// gives back, to the byte, every part that has not changed since: the
// loaded light normals, frame boxes and packed positions, and the header's
// grid (scale and origin), radius and average triangle area, where loading
// and saving would otherwise compute them afresh.
//
// The frame list keeps the file's game part; frames, scenes and the
// triangle list keep where their own records lay in it, under the load's
// serial number. Whether a part is still as loaded is decided when saving,
// by comparing it with its record, so no editing path has to report what it
// changed. These are plain values: a copy of the model copies them, and a
// part made anew, or copied from another load, has none and is computed as
// any new part is.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "mdl/MdlTypes.h"

struct TPackedPositions;

// The game part of the last file loaded.
struct TLoadedGamePart {
  // 0: nothing loaded, or a load that did not finish.
  uint64_t Serial = 0;
  // The file's bytes and the coordinates its packed bytes stand for.
  std::shared_ptr<const TPackedPositions> File;
  // The header values the file carried.
  float Scale[3] = {0, 0, 0};
  float Origin[3] = {0, 0, 0};
  float Radius = 0;
  float Size = 0;
  // A version 3 file carries no Size.
  bool HasSize = false;
  // The model box of the positions as loaded.
  TFrameVertex BoxMin;
  TFrameVertex BoxMax;
  // Where the first frame record's box lies.
  size_t FirstFrame = 0;

  bool operator==(const TLoadedGamePart&) const = default;
};

// Where one frame record lay in the loaded file.
struct TLoadedFrameRecord {
  static constexpr size_t kNone = static_cast<size_t>(-1);
  uint64_t Serial = 0;
  // The two packed box corners; the offset also tells records apart.
  size_t Box = 0;
  size_t Positions = 0;
  // The extension's full-precision positions, when they were read.
  size_t Raw = kNone;
  int Count = 0;
  // The name as loaded, all 16 bytes.
  char Name[kFrameNameSize] = {};

  bool operator==(const TLoadedFrameRecord&) const = default;
};

// A scene as loaded: its entry type, the group's box (groups only) and the
// records of its frames, in order.
struct TLoadedScene {
  uint64_t Serial = 0;
  int32_t GroupType = 0;
  size_t Box = TLoadedFrameRecord::kNone;
  std::vector<size_t> Frames;

  bool operator==(const TLoadedScene&) const = default;
};

// Where the triangle records lay in the loaded file.
struct TLoadedTriangles {
  uint64_t Serial = 0;
  size_t Offset = 0;
  int Count = 0;

  bool operator==(const TLoadedTriangles&) const = default;
};
