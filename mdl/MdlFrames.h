#pragma once
// Frames (one position per vertex), scenes (named runs of frames, or timed
// frame groups) and the flat frame index over all scenes.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mdl/MdlCopy.h"
#include "mdl/MdlLoaded.h"
#include "mdl/MdlTypes.h"
#include "mdl/Pivot.h"

class TMDLFiler;

// The box of positions that the running comparisons `v < min ? v : min` and
// `v > max ? v : max` give, starting from the values in `mn` and `mx`: ties
// and NaNs keep the running value, so the first of equal candidates wins.
// Over all `count` items, or over the listed indices (those outside
// 0..count-1 are skipped).
void FoldBounds(const TFrameVertex* items, int count, float mn[3], float mx[3]);
void FoldBounds(const TFrameVertex* items, int count, const int32_t* indices, size_t n, float mn[3], float mx[3]);
// Where an object's pivot goes: the centre of the box of its listed
// positions (folded from +-9999999), corners added and halved as vectors.
TVector BoxCentre(const TFrameVertex* items, int count, const std::vector<int32_t>& indices);
TVector BoxCentre(const TFrameVertex* items, int count, const int32_t* indices, size_t n);

// Positions as a model file packs them (four bytes per vertex), shared by
// the frames of one load; the file's bytes stay in memory while a frame
// still refers to them.
struct TPackedPositions {
  std::shared_ptr<const uint8_t[]> Bytes;
  // The coordinate each byte stands for, per axis.
  float Axis[3][256] = {};
  // Per axis: 1 when the table never decreases, -1 when it never increases,
  // 0 when neither holds or it has a NaN or a negative zero. With 1 or -1
  // the box of some positions follows from their smallest and largest bytes.
  int Order[3] = {0, 0, 0};
  // Sets Order from Axis.
  void SetOrders();
};

class TMDLObject;

// The pivots Reconstruct gives a frame, made on the frame's first use: the
// root's new; every other object's a new pivot linked to the root (Linked,
// the same in every frame) and moved to the centre of the object's vertices.
struct TPendingPivots {
  std::vector<TMDLObject*> Objects;
  // The objects' vertices, one object after the other: object k's are
  // Vertices[Starts[k]] up to Vertices[Starts[k + 1]].
  std::vector<int32_t> Vertices;
  std::vector<int32_t> Starts;
  TPivot Linked;
};

class TFrameSlab;
class TMDLState;

// A frame's positions. They compare to the bit, as the file keeps them: -0
// is not 0, and a NaN is itself.
class TFramePositions : public std::vector<TFrameVertex> {
public:
  using std::vector<TFrameVertex>::vector;
  using std::vector<TFrameVertex>::operator=;
  TFramePositions() = default;
  TFramePositions(std::vector<TFrameVertex>&& items) : std::vector<TFrameVertex>(std::move(items)) {}
  friend bool operator==(const TFramePositions& a, const TFramePositions& b) {
    static_assert(sizeof(TFrameVertex) == 16, "positions are compared as bytes, with no padding between fields");
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(TFrameVertex)) == 0);
  }
};

class TMDLFrame : public TMDLSection {
public:
  explicit TMDLFrame(TMDL* model);
  // Everything the frame holds; positions still packed stay packed (and
  // shared). Pivots still to be made are shared too, and they name the
  // model's objects: a copy that is to outlive those has them made first.
  TMDLFrame(const TMDLFrame&) = default;
  TMDLFrame& operator=(const TMDLFrame&) = default;
  // Every member equal (positions and pivots to the bit).
  bool operator==(const TMDLFrame&) const = default;

  // A frame made on its own has memory of its own; frames made through a
  // TFrameSlab share blocks, each freed with the last of its frames. Every
  // frame carries a word in front that tells which.
  static void* operator new(size_t size);
  static void operator delete(void* p);

  int Count() const {
    return Lazy_.load(std::memory_order_acquire) != kReady ? PackedCount_ : static_cast<int>(Items_.size());
  }
  int Capacity() const {
    return Lazy_.load(std::memory_order_acquire) != kReady ? PackedCount_ : static_cast<int>(Items_.capacity());
  }
  // New positions are zero.
  void SetCount(int n);
  TFrameVertex Get(int i) const {
    Ensure();
    return Items_[static_cast<size_t>(i)];
  }
  void Put(int i, const TFrameVertex& v) {
    Ensure();
    Items_[static_cast<size_t>(i)] = v;
  }
  TFrameVertex& Item(int i) {
    Ensure();
    return Items_[static_cast<size_t>(i)];
  }
  TFrameVertex* Data() {
    Ensure();
    return Items_.data();
  }
  const TFrameVertex* Data() const {
    Ensure();
    return Items_.data();
  }
  void Add(const TFrameVertex& v) {
    Ensure();
    Items_.push_back(v);
  }
  void Duplicate(int i);
  void Delete(int i);
  // Deletes every position whose skin vertex has Flags bit 0 set.
  void DeleteMarkedVertices();

  std::string Name() const;
  // Stores the first 15 characters; "base1" is stored as "base".
  void SetName(const std::string& name);
  // The 16 name bytes as stored (zero-padded).
  const char* NameBytes() const { return Name_; }
  void SetNameBytes(const char bytes[kFrameNameSize]);

  // Name, bounding box, positions and pivots.
  void Assign(const TMDLFrame& frame);
  int PivotCount() const {
    return Lazy_.load(std::memory_order_acquire) == kPivotsPending ? PendingPivotCount_
                                                                    : static_cast<int>(Pivots_.size());
  }
  void SetPivotCount(int n);
  TPivot& Pivot(int o) {
    EnsurePivots();
    return *Pivots_[static_cast<size_t>(o)];
  }
  void InsertPivot(int o);
  void DeletePivot(int o);

  void ComputeBoundingBox();
  // Recomputes every used vertex's light normal; returns the percentage of
  // vertices whose normal changed.
  int CalculateNormals();
  double AverageTriangleArea() const;

  // Loading. A frame can keep its positions packed, as read, and have its
  // pivots made later: both are made on the frame's first use (the first
  // call that reads or changes positions or pivots; Count, Capacity and
  // PivotCount answer without it; pivots that were not left to be made are
  // used without unpacking the positions). Making them takes a lock, so
  // first uses from several threads are safe. Every member that touches
  // Items_ calls Ensure first, and every one that touches Pivots_ at least
  // EnsurePivots.
  //
  // `count` packed positions at `offset` in the source's bytes replace the
  // positions.
  void SetPacked(std::shared_ptr<const TPackedPositions> source, size_t offset, int count);
  // Whether the positions are still packed.
  bool Packed() const { return Lazy_.load(std::memory_order_acquire) != kReady; }
  // Gives a frame whose positions are packed and that has no pivots the
  // pivots Reconstruct made.
  void SetPendingPivots(std::shared_ptr<const TPendingPivots> pivots);
  // Replaces the positions (packed ones are not unpacked first).
  void SetPositions(std::vector<TFrameVertex>&& items);

  // Where this frame's record lay in the file it was loaded from (copies
  // and Assign take it with the positions).
  const TLoadedFrameRecord& LoadedRecord() const { return Loaded_; }
  void SetLoadedRecord(const TLoadedFrameRecord& record) { Loaded_ = record; }
  // True when the positions and light normals are still those of this
  // frame's record in `file`, so the record can be written again as it is.
  // Positions still packed from that record are not unpacked to tell.
  bool AsLoaded(const TLoadedGamePart& file) const;

  // Geometry exchange (mdl/MdlMerge.cpp). ImportFrame fills this frame from
  // a triangle file and tells whether the positions changed; a frame named
  // "base" rebuilds the mesh from the file instead (ImportBase). A file
  // whose triangle count is not the model's changes nothing and raises the
  // mismatch notice, unless `notify` is false (a batch reports its
  // mismatches once, through NotifyFrameMismatches).
  bool ImportFrame(const std::string& fileName, bool notify = true);
  void ImportBase();
  void ExportFrame(const std::string& fileName);
  // Projects this frame sideways onto the skin: front view on the left
  // half, back view on the right.
  void MapSkin();
  // Turns the skin layout into a flat two-sided "base" frame.
  void RebuildFromSkin();

  TFrameVertex BBoxMin;
  TFrameVertex BBoxMax;

private:
  enum : uint8_t { kReady = 0, kPacked = 1, kPivotsPending = 2 };
  void Ensure() const {
    if (Lazy_.load(std::memory_order_acquire) != kReady) Materialize();
  }
  // Pending pivots need the positions for their centres, so both are made.
  void EnsurePivots() const {
    if (Lazy_.load(std::memory_order_acquire) == kPivotsPending) Materialize();
  }
  void Materialize() const;

  mutable TFramePositions Items_;
  char Name_[kFrameNameSize] = {};
  TLoadedFrameRecord Loaded_;
  mutable TCopiedList<TPivot> Pivots_;
  // What is still to be made; PackedCount_ and PendingPivotCount_ stay as
  // they are while it is made, so Count and PivotCount can read them.
  mutable std::shared_ptr<const TPackedPositions> Packed_;
  mutable std::shared_ptr<const TPendingPivots> PendingPivots_;
  size_t PackedOffset_ = 0;
  int PackedCount_ = 0;
  int PendingPivotCount_ = 0;
  mutable TCopyableAtomic<uint8_t> Lazy_{kReady};
};

// Makes frames a few dozen to an allocation, for loading many at a time.
// The frames are ordinary ones: they may outlive the slab, be moved to other
// lists and be deleted one by one.
class TFrameSlab {
public:
  // `expected` sizes the first block (clamped to a few dozen frames).
  explicit TFrameSlab(int expected) : Next_(expected) {}
  TFrameSlab(const TFrameSlab&) = delete;
  TFrameSlab& operator=(const TFrameSlab&) = delete;
  ~TFrameSlab();
  std::unique_ptr<TMDLFrame> Make(TMDL* model);

private:
  friend class TMDLFrame;
  struct TBlock;
  static void Release(TBlock* block, size_t refs);
  static void Finish(TBlock* block);
  TBlock* Block_ = nullptr;
  int Next_;
};

// One scene.
class TMDLFrameGroup : public TMDLSection {
public:
  explicit TMDLFrameGroup(TMDL* model) : TMDLSection(model) {}

  int Count() const { return static_cast<int>(Frames_.size()); }
  TMDLFrame& Frame(int i) { return *Frames_[static_cast<size_t>(i)]; }
  // Adding or inserting repairs the intervals.
  void Add(std::unique_ptr<TMDLFrame> frame);
  void Insert(int i, std::unique_ptr<TMDLFrame> frame);
  // Takes the frame out without freeing it.
  std::unique_ptr<TMDLFrame> Remove(int i);
  void Clear() { Frames_.clear(); }
  float Interval(int i) const { return Intervals.Get(i); }
  void SetInterval(int i, float v) { Intervals.Set(i, v); }
  // 1: a timed group with default intervals; 0: a run of single frames.
  void SetType(int32_t t);
  // Names frame i after the first frame's base name followed by i + 1; a
  // frame that has that name already keeps its stored bytes.
  void RenumberFrames();
  // True when the scene holds the frames it was loaded with, in order and
  // under their names as loaded, and is of the type it was loaded as.
  bool AsLoaded(uint64_t serial) const;
  std::string Name() const;
  void ComputeBoundingBox();

  TIntervals Intervals;
  int32_t GroupType = 0;
  TFrameVertex BBoxMin;
  TFrameVertex BBoxMax;
  TLoadedScene Loaded;

private:
  // A copy is the scene's own values without its frames (TMDLState keeps
  // those apart).
  friend class TMDLState;
  TMDLFrameGroup(const TMDLFrameGroup&) = default;
  TMDLFrameGroup& operator=(const TMDLFrameGroup&) = default;
  bool operator==(const TMDLFrameGroup&) const = default;

  TNotCopied<std::vector<std::unique_ptr<TMDLFrame>>> Frames_;
};

class TMDLFrameList : public TMDLSection {
public:
  explicit TMDLFrameList(TMDL* model);

  int SceneCount() const { return static_cast<int>(Scenes_.size()); }
  TMDLFrameGroup& Scene(int s) { return *Scenes_[static_cast<size_t>(s)]; }
  int SceneFrameCount(int s) { return Scene(s).Count(); }
  bool SceneIsGroup(int s) { return Scene(s).GroupType == 1; }
  std::string SceneName(int s) { return Scene(s).Name(); }
  float SceneFrameDuration(int s, int i);

  int Count() const { return static_cast<int>(Index_.size()); }
  TMDLFrame& Frame(int k);
  const TFlatEntry& IndexEntry(int k) const { return Index_[static_cast<size_t>(k)]; }
  // Flat number of the scene's first frame; 0 when not found.
  int FrameIndex(const TMDLFrameGroup* scene) const;
  void RebuildIndex();

  TMDLFrameGroup& NewScene();
  void InsertScene(int s, std::unique_ptr<TMDLFrameGroup> scene);
  std::unique_ptr<TMDLFrameGroup> RemoveScene(int s);
  void Clear();
  void CreateBaseFrame();
  void AddVertexToAll(const TFrameVertex& v);
  void DuplicateVertexInAll(int i);
  void InsertFrameCopy(int k, int at);
  void CopyFrame(int k);
  void PasteFrame(int at);
  bool MoveFrame(int from, int to);
  void DeleteFrame(int k);
  bool MoveScene(int from, int to);
  void JoinScene(int s);
  void SplitScene(int s, int n);
  void SetSceneType(int s, bool isGroup);
  void SetSceneFrameDuration(int s, int i, float seconds);
  void RenameScene(int s, const std::string& newBase);
  void SetUniqueSceneName(int s, const std::string& name);
  void ComputeBounds();

  void Load(TMDLFiler& filer);
  void Save(TMDLFiler& filer);
  void LoadRaw(TMDLFiler& filer);
  void SaveRaw(TMDLFiler& filer);

  // The frame clipboard: not part of the model's state, so copies of the
  // list leave it alone.
  TNotCopied<std::unique_ptr<TMDLFrame>> CopiedFrame;
  TFrameVertex BBoxMin;
  TFrameVertex BBoxMax;
  // The game part of the last file loaded; emptied by Clear and when a
  // load starts.
  TLoadedGamePart Loaded;

private:
  // A copy is the list's own values without its scenes and clipboard.
  friend class TMDLState;
  TMDLFrameList(const TMDLFrameList&) = default;
  TMDLFrameList& operator=(const TMDLFrameList&) = default;
  bool operator==(const TMDLFrameList&) const = default;

  // Puts `frame` at flat position `at`: into the scene of that frame, before
  // it; past the last frame it goes to the end of the last scene.
  void PutFrame(int at, std::unique_ptr<TMDLFrame> frame);
  std::unique_ptr<TMDLFrame> TakeFrame(int k);
  std::unique_ptr<TMDLFrame> NewFrame();
  std::unique_ptr<TMDLFrame> NewFrame(TFrameSlab& slab);

  std::vector<TFlatEntry> Index_;
  TNotCopied<std::vector<std::unique_ptr<TMDLFrameGroup>>> Scenes_;
};

// The mismatch notice for a batch of frame imports: once, with the count
// ("3 of 5 frames: ..."), or not at all when every frame matched.
void NotifyFrameMismatches(int mismatched, int total);
