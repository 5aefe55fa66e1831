#pragma once
// Records, limits and small helpers shared by every part of the model
// document. A vertex of the mesh is described at one index by three things:
// its skin vertex, its position in every frame and its object membership.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Exception.h"

// Raised for damaged or unsupported model files and for model limits.
TESSEL_DECLARE_EXCEPTION(EMDLError, Exception);

constexpr int kMaxVertices = 40000;
constexpr int kMaxTriangles = 40000;
// Merging refuses to grow a model to this many vertices or triangles.
constexpr int kMergeLimit = 39999;
constexpr int kMaxMergedSkinWidth = 3072;
// Interval arrays hold at least this many entries and grow with their group.
constexpr int kIntervalCount = 101;
constexpr int kFrameNameSize = 16;
constexpr int kNormalCount = 162;
// ObjectIndex of a vertex that belongs to no object.
constexpr uint16_t kNoObject = 65535;
// TSkinVertex.Flags of a vertex on the seam between the skin's halves.
constexpr int32_t kOnSeam = 32;
// Temporary marks in TSkinVertex.Flags, clear between operations.
constexpr int32_t kVertexMark = 1;
constexpr int32_t kVertexMark2 = 2;

struct TSkinVertex {
  int32_t Flags = 0;
  int32_t S = 0;
  int32_t T = 0;
  bool operator==(const TSkinVertex&) const = default;
};

struct TTriangle {
  int32_t FacesFront = 0;
  int32_t Vertex[3] = {0, 0, 0};
  bool operator==(const TTriangle&) const = default;
};

struct TFrameVertex {
  float X = 0;
  float Y = 0;
  float Z = 0;
  int32_t NormalIndex = 0;
  bool operator==(const TFrameVertex&) const = default;
};

class TMDL;

// Base of every section: knows the model it belongs to.
class TMDLSection {
public:
  explicit TMDLSection(TMDL* model) : Model(model) {}
  bool operator==(const TMDLSection&) const = default;
  TMDL* Model;
};

// The characters of a frame name before its first decimal digit.
std::string BaseName(const std::string& name);
bool HasDigit(const std::string& name);

// Cumulative display times of a timed group (seconds). The array is never
// shorter than kIntervalCount and grows with the group, so a group of any
// size keeps one interval per member.
class TIntervals {
public:
  TIntervals() : Items_(kIntervalCount, 0.0f) {}
  float Get(int i) const { return i >= 0 && i < Size() ? Items_[static_cast<size_t>(i)] : 0.0f; }
  void Set(int i, float v);
  int Size() const { return static_cast<int>(Items_.size()); }
  // Room for `count` members; new entries are 0.
  void Reserve(int count);
  // 0.1, 0.2, ... for every entry.
  void SetDefault();
  // Makes the first `count` entries ascending again after a member was
  // added: a value below its predecessor becomes interval 0 + predecessor.
  void Repair(int count);
  // The first `count` entries as the game accepts them: positive and
  // strictly increasing. A first entry that is not positive becomes 0.1;
  // any later one not above its predecessor becomes interval 0 + predecessor.
  std::vector<float> Ascending(int count) const;
  const std::vector<float>& Items() const { return Items_; }
  bool operator==(const TIntervals&) const = default;

private:
  std::vector<float> Items_;
  // The first Ordered_ entries are as a repair pass leaves them, so adding
  // members one at a time costs one comparison each, not a pass over all.
  int Ordered_ = 0;
};

// A flat index entry: (group or scene, position inside it).
struct TFlatEntry {
  int32_t Group = 0;
  int32_t Member = 0;
  bool operator==(const TFlatEntry&) const = default;
};
