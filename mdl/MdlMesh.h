#pragma once
// The mesh topology shared by every frame: skin vertices with their object
// membership, and triangles that index them.

#include <cstdint>
#include <vector>

#include "mdl/MdlLoaded.h"
#include "mdl/MdlTypes.h"

class TMDLFiler;

class TMDLVertexList : public TMDLSection {
public:
  explicit TMDLVertexList(TMDL* model) : TMDLSection(model) {}
  bool operator==(const TMDLVertexList&) const = default;

  int Count() const { return static_cast<int>(Items_.size()); }
  int Capacity() const { return static_cast<int>(Items_.capacity()); }
  // New vertices are zero and belong to no object.
  void SetCount(int n);
  TSkinVertex Get(int i) const { return Items_[static_cast<size_t>(i)]; }
  void Put(int i, const TSkinVertex& v) { Items_[static_cast<size_t>(i)] = v; }
  TSkinVertex& Item(int i) { return Items_[static_cast<size_t>(i)]; }
  uint16_t ObjectIndex(int i) const { return ObjectIndex_[static_cast<size_t>(i)]; }
  void SetObjectIndex(int i, uint16_t o) { ObjectIndex_[static_cast<size_t>(i)] = o; }
  void Add(const TSkinVertex& v, uint16_t objectIndex);
  void Duplicate(int i);
  void Delete(int i);
  // Deletes every vertex whose Flags bit 0 is set.
  void DeleteMarked();

  void Load(TMDLFiler& filer);
  void Save(TMDLFiler& filer);

private:
  std::vector<TSkinVertex> Items_;
  std::vector<uint16_t> ObjectIndex_;
};

class TMDLTriangleList : public TMDLSection {
public:
  explicit TMDLTriangleList(TMDL* model) : TMDLSection(model) {}
  bool operator==(const TMDLTriangleList&) const = default;

  int Count() const { return static_cast<int>(Items_.size()); }
  int Capacity() const { return static_cast<int>(Items_.capacity()); }
  void SetCount(int n);
  TTriangle Get(int i) const { return Items_[static_cast<size_t>(i)]; }
  void Put(int i, const TTriangle& t) { Items_[static_cast<size_t>(i)] = t; }
  TTriangle& Item(int i) { return Items_[static_cast<size_t>(i)]; }
  const std::vector<TTriangle>& Items() const { return Items_; }
  void Add(const TTriangle& t) { Items_.push_back(t); }
  void Delete(int i);
  // Removes every triangle with `v` as a corner; the rest keep their order.
  void DeleteUsingVertex(int v);
  // Removes every triangle with two equal corners, then the vertices that
  // no triangle uses any more.
  void DeleteDegenerate();
  // Removes the vertices that no triangle uses, from the skin vertices and
  // from every frame, and renumbers the triangles' corners.
  void RemoveLooseVertices();
  // Removes every triangle with a corner in object `objectIndex`, then the
  // loose vertices.
  void DeleteObjectGeometry(int objectIndex);

  void Load(TMDLFiler& filer);
  void Save(TMDLFiler& filer);
  // True when every triangle has the corners it was loaded with from
  // `file` (and there are as many): the light normals and areas computed
  // from them then stay as loaded. The side of the skin a triangle faces
  // does not enter them.
  bool CornersAsLoaded(const TLoadedGamePart& file) const;

  // Where the records lay in the file last loaded.
  TLoadedTriangles Loaded;

private:
  std::vector<TTriangle> Items_;
};
