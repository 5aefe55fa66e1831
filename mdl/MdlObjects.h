#pragma once
// Objects: a partition of the vertices into a tree of parts, each with one
// pivot per frame. Changing a pivot moves the object's vertices in that
// frame and carries the change down to its children.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mdl/MdlCopy.h"
#include "mdl/MdlTypes.h"
#include "mdl/Pivot.h"

class TMDLFiler;
class TMDLObject;
class TMDLState;

using TObjectList = std::vector<TMDLObject*>;

class TMDLObject : public TMDLSection {
public:
  TMDLObject(TMDL* model, int index, TMDLObject* parent);

  TPivot& Pivot(int f);
  // Refuses (does nothing) when `object` is this object or one of its
  // descendants: the tree must stay a tree.
  void SetParent(TMDLObject* object);
  void SetParentIndex(int i);
  void SetParentNoLink(TMDLObject* object);
  void SetParentIndexNoLink(int i);
  void LinkPivot(int f);
  void LinkChildren(int f);
  void RefreshParentIndex();
  void SetIndex(int i);
  void ResetPivots();
  void PivotChanged(TPivot& pivot);
  int CollectVertices();
  int CollectTriangles();
  TVector Bounds(int f);
  void ReconstructPivots();
  void DeleteGeometryAndPivots();
  bool IsAncestorOf(const TMDLObject* other) const;

  int32_t Index = 0;
  bool IsJoint[TPivot::kChannels] = {};
  float JointValuesA[TPivot::kChannels] = {};
  float JointValuesB[TPivot::kChannels] = {};
  std::string JointNames[TPivot::kChannels];
  std::string Name;
  TObjectList Children;
  int32_t ParentIndex = -1;
  TMDLObject* Parent = nullptr;
  std::vector<int32_t> TriangleIndices;
  std::vector<int32_t> VertexIndices;

  // The pivot moves of ReconstructPivots for an already collected list.
  void MovePivotsToCollected();

private:
  friend class TMDLObjectList;
  // A copy keeps pointing at the source's parent and children; TMDLState
  // points it at their copies.
  friend class TMDLState;
  TMDLObject(const TMDLObject&) = default;
  TMDLObject& operator=(const TMDLObject&) = default;
  bool operator==(const TMDLObject&) const = default;

  // An object whose pivots are not touched: Reconstruct gives its frames
  // pivots to be made later.
  struct TUnlinked {};
  TMDLObject(TMDL* model, int index, TUnlinked) : TMDLSection(model), Index(index) {}
  void Attach(TMDLObject* object);
  TVector CentreOfCollected(int f);
  // The frame whose pivot was linked last; PivotChanged looks there first.
  int FrameHint_ = 0;
};

class TMDLObjectList : public TMDLSection {
public:
  explicit TMDLObjectList(TMDL* model) : TMDLSection(model) {}
  ~TMDLObjectList();

  int Count() const { return static_cast<int>(Items_.size()); }
  TMDLObject& Object(int i) { return *Items_[static_cast<size_t>(i)]; }
  TMDLObject* Root() { return Items_.empty() ? nullptr : Items_[0].get(); }
  void SetCount(int n);
  int Add(TMDLObject& parent);
  void Delete(int i);
  void SetName(int i, const std::string& name);
  void Reconstruct();

  void Load(TMDLFiler& filer);
  void Save(TMDLFiler& filer);

private:
  // A copy is the list's own values without its objects.
  friend class TMDLState;
  TMDLObjectList(const TMDLObjectList&) = default;
  TMDLObjectList& operator=(const TMDLObjectList&) = default;
  bool operator==(const TMDLObjectList&) const = default;

  // Puts a new object under the root and links its pivots.
  void LinkUnderRoot(TMDLObject& o, const std::vector<int>& oldPivots);
  TNotCopied<std::vector<std::unique_ptr<TMDLObject>>> Items_;
};
