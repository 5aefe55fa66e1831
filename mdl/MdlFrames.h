#pragma once
// Frames (one position per vertex), scenes (named runs of frames, or timed
// frame groups) and the flat frame index over all scenes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

class TMDLFrame : public TMDLSection {
public:
  explicit TMDLFrame(TMDL* model);

  int Count() const { return static_cast<int>(Items_.size()); }
  int Capacity() const { return static_cast<int>(Items_.capacity()); }
  // New positions are zero.
  void SetCount(int n);
  TFrameVertex Get(int i) const { return Items_[static_cast<size_t>(i)]; }
  void Put(int i, const TFrameVertex& v) { Items_[static_cast<size_t>(i)] = v; }
  TFrameVertex& Item(int i) { return Items_[static_cast<size_t>(i)]; }
  TFrameVertex* Data() { return Items_.data(); }
  const TFrameVertex* Data() const { return Items_.data(); }
  void Add(const TFrameVertex& v) { Items_.push_back(v); }
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
  int PivotCount() const { return static_cast<int>(Pivots_.size()); }
  void SetPivotCount(int n);
  TPivot& Pivot(int o) { return *Pivots_[static_cast<size_t>(o)]; }
  void InsertPivot(int o);
  void DeletePivot(int o);

  void ComputeBoundingBox();
  // Recomputes every used vertex's light normal; returns the percentage of
  // vertices whose normal changed.
  int CalculateNormals();
  double AverageTriangleArea() const;

  // Geometry exchange (mdl/MdlMerge.cpp). ImportFrame fills this frame from
  // a triangle file and tells whether the positions changed; a frame named
  // "base" rebuilds the mesh from the file instead (ImportBase).
  bool ImportFrame(const std::string& fileName);
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
  std::vector<TFrameVertex> Items_;
  char Name_[kFrameNameSize] = {};
  std::vector<std::unique_ptr<TPivot>> Pivots_;
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
  // Names frame i after the first frame's base name followed by i + 1.
  void RenumberFrames();
  std::string Name() const;
  void ComputeBoundingBox();

  TIntervals Intervals;
  int32_t GroupType = 0;
  TFrameVertex BBoxMin;
  TFrameVertex BBoxMax;

private:
  std::vector<std::unique_ptr<TMDLFrame>> Frames_;
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

  std::unique_ptr<TMDLFrame> CopiedFrame;
  TFrameVertex BBoxMin;
  TFrameVertex BBoxMax;

private:
  // Puts `frame` at flat position `at`: into the scene of that frame, before
  // it; past the last frame it goes to the end of the last scene.
  void PutFrame(int at, std::unique_ptr<TMDLFrame> frame);
  std::unique_ptr<TMDLFrame> TakeFrame(int k);
  std::unique_ptr<TMDLFrame> NewFrame();

  std::vector<TFlatEntry> Index_;
  std::vector<std::unique_ptr<TMDLFrameGroup>> Scenes_;
};
