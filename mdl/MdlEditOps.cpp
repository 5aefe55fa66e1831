#include "mdl/MdlEditOps.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>

#include "mdl/Mdl.h"

namespace {

bool Marked(const std::vector<bool>& marked, int32_t v) {
  return v >= 0 && static_cast<size_t>(v) < marked.size() && marked[static_cast<size_t>(v)];
}

// Keeps the triangles `keep` says yes to, in order.
template <class F>
void KeepTriangles(TMDLTriangleList& tris, F&& keep) {
  int out = 0;
  for (int i = 0; i < tris.Count(); ++i) {
    const TTriangle t = tris.Get(i);
    if (keep(i, t)) tris.Put(out++, t);
  }
  tris.SetCount(out);
}

}  // namespace

TEdgeShare SharedEdge(const TTriangle& a, const TTriangle& b) {
  for (int k = 0; k < 3; ++k) {
    const int32_t p = a.Vertex[k], q = a.Vertex[(k + 1) % 3];
    for (int m = 0; m < 3; ++m) {
      const int32_t r = b.Vertex[m], s = b.Vertex[(m + 1) % 3];
      if (p == r && q == s) return TEdgeShare::SameDirection;
      if (p == s && q == r) return TEdgeShare::Reversed;
    }
  }
  return TEdgeShare::None;
}

void DeleteMarkedTriangles(TMDL& model, const std::vector<bool>& marked) {
  KeepTriangles(*model.Triangles, [&](int i, const TTriangle&) { return !Marked(marked, i); });
  model.Triangles->RemoveLooseVertices();
}

void DeleteTrianglesUsingVertices(TMDL& model, const std::vector<bool>& marked) {
  // Deleting the users of one vertex after another removes exactly the
  // triangles with any marked corner and keeps the order of the rest.
  KeepTriangles(*model.Triangles, [&](int, const TTriangle& t) {
    return !Marked(marked, t.Vertex[0]) && !Marked(marked, t.Vertex[1]) && !Marked(marked, t.Vertex[2]);
  });
  model.Triangles->RemoveLooseVertices();
}

// ---- aligning -----------------------------------------------------------------------

namespace {

// The triangles that share an edge, found without comparing every pair.
// Every edge is filed under its two vertices (lower first); the edges of
// one key form a run, sorted by triangle, closed by a sentinel. Visited
// triangles are skipped with a "next unvisited" link per slot (path
// halving), so each scan goes straight to the next candidate.
class TEdgeRuns {
public:
  explicit TEdgeRuns(const std::vector<TTriangle>& tris) {
    const size_t n = tris.size();
    struct TEdge {
      uint64_t Key;
      int32_t Tri;
      int32_t Edge;
    };
    std::vector<TEdge> edges;
    edges.reserve(n * 3);
    for (size_t t = 0; t < n; ++t)
      for (int k = 0; k < 3; ++k) {
        const uint32_t a = static_cast<uint32_t>(tris[t].Vertex[k]), b = static_cast<uint32_t>(tris[t].Vertex[(k + 1) % 3]);
        const uint64_t key = (uint64_t{std::min(a, b)} << 32) | std::max(a, b);
        edges.push_back(TEdge{key, static_cast<int32_t>(t), k});
      }
    std::sort(edges.begin(), edges.end(), [](const TEdge& x, const TEdge& y) {
      if (x.Key != y.Key) return x.Key < y.Key;
      if (x.Tri != y.Tri) return x.Tri < y.Tri;
      return x.Edge < y.Edge;
    });
    Slots_.reserve(edges.size() * 2);
    RunStart_.reserve(edges.size() * 2);
    SlotOf_.assign(n * 3, 0);
    for (size_t i = 0; i < edges.size();) {
      const int32_t start = static_cast<int32_t>(Slots_.size());
      size_t j = i;
      for (; j < edges.size() && edges[j].Key == edges[i].Key; ++j) {
        SlotOf_[static_cast<size_t>(edges[j].Tri) * 3 + static_cast<size_t>(edges[j].Edge)] =
            static_cast<int32_t>(Slots_.size());
        Slots_.push_back(edges[j].Tri);
        RunStart_.push_back(start);
      }
      Slots_.push_back(-1);  // the run's sentinel, never skipped
      RunStart_.push_back(start);
      i = j;
    }
    Next_.resize(Slots_.size());
    for (size_t s = 0; s < Next_.size(); ++s) Next_[s] = static_cast<int32_t>(s);
  }

  // First slot of the run of edge k of triangle t.
  int32_t RunOf(int t, int k) const { return RunStart_[static_cast<size_t>(SlotOf_[static_cast<size_t>(t) * 3 + static_cast<size_t>(k)])]; }
  // The first slot at or after s whose triangle is unvisited (or the
  // sentinel).
  int32_t Find(int32_t s) {
    while (Next_[static_cast<size_t>(s)] != s) {
      Next_[static_cast<size_t>(s)] = Next_[static_cast<size_t>(Next_[static_cast<size_t>(s)])];
      s = Next_[static_cast<size_t>(s)];
    }
    return s;
  }
  int32_t Triangle(int32_t s) const { return Slots_[static_cast<size_t>(s)]; }
  void MarkVisited(int t) {
    for (int k = 0; k < 3; ++k) {
      const int32_t s = SlotOf_[static_cast<size_t>(t) * 3 + static_cast<size_t>(k)];
      Next_[static_cast<size_t>(s)] = s + 1;
    }
  }

private:
  std::vector<int32_t> Slots_;
  std::vector<int32_t> RunStart_;
  std::vector<int32_t> SlotOf_;
  std::vector<int32_t> Next_;
};

}  // namespace

void AlignTriangles(TMDLTriangleList& triangles, int start) {
  const int n = triangles.Count();
  if (start < 0 || start >= n) return;
  TEdgeRuns runs(triangles.Items());
  // The walk is deep on large meshes: its frames live on the heap.
  struct TFrame {
    int32_t Tri;
    int32_t Head[3];
    int32_t Found;
  };
  std::vector<TFrame> stack;
  auto enter = [&](int t) {
    runs.MarkVisited(t);
    stack.push_back(TFrame{t, {runs.RunOf(t, 0), runs.RunOf(t, 1), runs.RunOf(t, 2)}, 0});
  };
  enter(start);
  while (!stack.empty()) {
    TFrame& f = stack.back();
    if (f.Found == 3) {
      stack.pop_back();
      continue;
    }
    // The lowest unvisited triangle sharing one of this triangle's edges:
    // the next one an ascending scan over the whole list would find.
    int32_t next = INT32_MAX;
    for (int32_t& h : f.Head) {
      h = runs.Find(h);
      const int32_t t = runs.Triangle(h);
      if (t >= 0) next = std::min(next, t);
    }
    if (next == INT32_MAX) {
      stack.pop_back();
      continue;
    }
    ++f.Found;
    TTriangle& candidate = triangles.Item(next);
    if (SharedEdge(triangles.Get(f.Tri), candidate) == TEdgeShare::SameDirection) FlipTriangle(candidate);
    enter(next);  // `f` is not used after this: the stack may move
  }
}

bool OrientLikeNeighbour(const TMDLTriangleList& triangles, TTriangle& t) {
  for (const TTriangle& other : triangles.Items()) {
    const TEdgeShare share = SharedEdge(other, t);
    if (share == TEdgeShare::None) continue;
    if (share == TEdgeShare::SameDirection) {
      FlipTriangle(t);
      return true;
    }
    return false;
  }
  return false;
}

// ---- merging and splitting ----------------------------------------------------------

void MergeVertices(TMDL& model, const std::vector<bool>& marked, int target) {
  TMDLTriangleList& tris = *model.Triangles;
  for (int i = 0; i < tris.Count(); ++i) {
    TTriangle& t = tris.Item(i);
    for (int c = 0; c < 3; ++c)
      if (Marked(marked, t.Vertex[c])) t.Vertex[c] = target;
  }
  tris.DeleteDegenerate();
}

int SplitVerticesResult(const TMDL& model, const std::vector<bool>& marked) {
  const int nv = model.Vertices->Count();
  std::vector<bool> used(static_cast<size_t>(nv), false);
  int copies = 0, kept = 0;
  for (const TTriangle& t : model.Triangles->Items())
    for (int c = 0; c < 3; ++c) {
      const int32_t v = t.Vertex[c];
      if (v < 0 || v >= nv) continue;
      if (Marked(marked, v)) {
        ++copies;
      } else if (!used[static_cast<size_t>(v)]) {
        used[static_cast<size_t>(v)] = true;
        ++kept;
      }
    }
  return kept + copies;
}

void SplitVertices(TMDL& model, const std::vector<bool>& marked) {
  TMDLVertexList& verts = *model.Vertices;
  TMDLTriangleList& tris = *model.Triangles;
  TMDLFrameList& frames = *model.Frames;
  const int nv = verts.Count();
  // The copies in the order the corners ask for them, triangle by
  // triangle; each corner points at its copy straight away.
  std::vector<int32_t> source;
  for (int i = 0; i < tris.Count(); ++i) {
    TTriangle& t = tris.Item(i);
    for (int c = 0; c < 3; ++c) {
      const int32_t v = t.Vertex[c];
      if (v < 0 || v >= nv || !Marked(marked, v)) continue;
      t.Vertex[c] = nv + static_cast<int32_t>(source.size());
      source.push_back(v);
    }
  }
  if (source.empty()) {
    tris.RemoveLooseVertices();
    return;
  }
  for (int32_t v : source) verts.Duplicate(v);
  // Frame by frame, so each frame's positions are walked once.
  auto extend = [&](TMDLFrame& frame) {
    const int count = frame.Count();
    frame.SetCount(count + static_cast<int>(source.size()));
    for (size_t k = 0; k < source.size(); ++k)
      if (source[k] < count) frame.Item(count + static_cast<int>(k)) = frame.Get(source[k]);
  };
  for (int k = 0; k < frames.Count(); ++k) extend(frames.Frame(k));
  // The copied frame stays pasteable while it matches the mesh.
  if (frames.CopiedFrame && frames.CopiedFrame->Count() == nv) extend(*frames.CopiedFrame);
  tris.RemoveLooseVertices();
}

void DuplicateScene(TMDLFrameList& frames, int s) {
  if (s < 0 || s >= frames.SceneCount()) return;
  TMDLFrameGroup& source = frames.Scene(s);
  auto copy = std::make_unique<TMDLFrameGroup>(source.Model);
  for (int i = 0; i < source.Count(); ++i) {
    auto f = std::make_unique<TMDLFrame>(source.Model);
    f->Assign(source.Frame(i));
    copy->Add(std::move(f));
  }
  copy->GroupType = source.GroupType;
  copy->Intervals = source.Intervals;
  copy->BBoxMin = source.BBoxMin;
  copy->BBoxMax = source.BBoxMax;
  frames.InsertScene(s, std::move(copy));
}
