#include "mdl/MdlMesh.h"

#include <algorithm>

#include "mdl/Mdl.h"

// ---- TMDLVertexList -----------------------------------------------------------

void TMDLVertexList::SetCount(int n) {
  if (n < 0) n = 0;
  Items_.resize(static_cast<size_t>(n));
  ObjectIndex_.resize(static_cast<size_t>(n), kNoObject);
}

void TMDLVertexList::Add(const TSkinVertex& v, uint16_t objectIndex) {
  Items_.push_back(v);
  ObjectIndex_.push_back(objectIndex);
}

void TMDLVertexList::Duplicate(int i) { Add(Get(i), ObjectIndex(i)); }

void TMDLVertexList::Delete(int i) {
  Items_.erase(Items_.begin() + i);
  ObjectIndex_.erase(ObjectIndex_.begin() + i);
}

void TMDLVertexList::DeleteMarked() {
  size_t out = 0;
  for (size_t i = 0; i < Items_.size(); ++i) {
    if (Items_[i].Flags & kVertexMark) continue;
    Items_[out] = Items_[i];
    ObjectIndex_[out] = ObjectIndex_[i];
    ++out;
  }
  Items_.resize(out);
  ObjectIndex_.resize(out);
}

// ---- TMDLTriangleList ---------------------------------------------------------

void TMDLTriangleList::SetCount(int n) { Items_.resize(static_cast<size_t>(std::max(n, 0))); }

void TMDLTriangleList::Delete(int i) { Items_.erase(Items_.begin() + i); }

void TMDLTriangleList::DeleteUsingVertex(int v) {
  std::erase_if(Items_, [v](const TTriangle& t) { return t.Vertex[0] == v || t.Vertex[1] == v || t.Vertex[2] == v; });
}

void TMDLTriangleList::DeleteDegenerate() {
  std::erase_if(Items_, [](const TTriangle& t) {
    return t.Vertex[0] == t.Vertex[1] || t.Vertex[1] == t.Vertex[2] || t.Vertex[0] == t.Vertex[2];
  });
  RemoveLooseVertices();
}

void TMDLTriangleList::RemoveLooseVertices() {
  TMDLVertexList& verts = *Model->Vertices;
  const int n = verts.Count();
  for (const TTriangle& t : Items_)
    for (int c = 0; c < 3; ++c)
      if (t.Vertex[c] >= 0 && t.Vertex[c] < n) verts.Item(t.Vertex[c]).Flags |= kVertexMark;
  std::vector<int32_t> newNumber(static_cast<size_t>(n), -1);
  int32_t counter = 0;
  bool anyLoose = false;
  for (int i = 0; i < n; ++i) {
    TSkinVertex& v = verts.Item(i);
    if (v.Flags & kVertexMark) {
      v.Flags &= ~kVertexMark;
      newNumber[static_cast<size_t>(i)] = counter++;
    } else {
      v.Flags |= kVertexMark;
      anyLoose = true;
    }
  }
  if (!anyLoose) return;
  for (TTriangle& t : Items_)
    for (int c = 0; c < 3; ++c)
      if (t.Vertex[c] >= 0 && t.Vertex[c] < n) t.Vertex[c] = newNumber[static_cast<size_t>(t.Vertex[c])];
  TMDLFrameList& frames = *Model->Frames;
  for (int k = 0; k < frames.Count(); ++k) frames.Frame(k).DeleteMarkedVertices();
  if (frames.CopiedFrame && frames.CopiedFrame->Count() == n) frames.CopiedFrame->DeleteMarkedVertices();
  verts.DeleteMarked();
}

void TMDLTriangleList::DeleteObjectGeometry(int objectIndex) {
  TMDLVertexList& verts = *Model->Vertices;
  const int n = verts.Count();
  auto inObject = [&](int v) { return v >= 0 && v < n && verts.ObjectIndex(v) == objectIndex; };
  std::erase_if(Items_, [&](const TTriangle& t) {
    return inObject(t.Vertex[0]) || inObject(t.Vertex[1]) || inObject(t.Vertex[2]);
  });
  RemoveLooseVertices();
}
