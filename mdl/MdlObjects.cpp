#include "mdl/MdlObjects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/Progress.h"
#include "mdl/Mdl.h"

namespace {

bool IsIdentity(const TMatrix& m) { return IsIdentityMatrix(m); }

// nearbyint for 0 <= x < 2^51: adding 2^52 leaves no fraction bits, so the
// addition rounds x to an integer as nearbyint does, in any rounding mode.
// Inline, where the library call costs more than the rest of a scan step.
double RoundToInteger(double x) {
  constexpr double kShift = 4503599627370496.0;  // 2^52
  return x >= 0 && x < kShift / 2 ? (x + kShift) - kShift : std::nearbyint(x);
}

int32_t Percent(int64_t part, int64_t whole, int32_t scale = 100) {
  if (whole <= 0) return 0;
  return static_cast<int32_t>(RoundToInteger(static_cast<double>(part) / static_cast<double>(whole) * scale));
}

// The first part after `part` (at most whole + 1) whose Percent is not
// `value`, Percent(part) being `value`. Percent never decreases as the part
// grows, so a guess is corrected by stepping until both neighbours agree.
int NextChange(int part, int whole, int32_t scale, int32_t value) {
  int next = static_cast<int>(std::clamp<int64_t>(
      static_cast<int64_t>((static_cast<double>(value) + 0.5) * whole / scale), part + 1, int64_t{whole} + 1));
  while (next > part + 1 && Percent(next - 1, whole, scale) != value) --next;
  while (next <= whole && Percent(next, whole, scale) == value) ++next;
  return next;
}

}  // namespace

// ---- TMDLObject -----------------------------------------------------------------

TMDLObject::TMDLObject(TMDL* model, int index, TMDLObject* parent) : TMDLSection(model), Index(index) {
  SetParent(parent);
}

TPivot& TMDLObject::Pivot(int f) { return Model->Frames->Frame(f).Pivot(Index); }

bool TMDLObject::IsAncestorOf(const TMDLObject* other) const {
  // Bounded by the object count, so a damaged chain cannot loop for ever.
  int steps = Model->Objects->Count() + 1;
  for (const TMDLObject* o = other; o && steps-- > 0; o = o->Parent)
    if (o == this) return true;
  return false;
}

void TMDLObject::Attach(TMDLObject* object) {
  if (Parent) std::erase(Parent->Children, this);
  Parent = object;
  if (Parent) {
    ParentIndex = Parent->Index;
    Parent->Children.push_back(this);
  } else {
    ParentIndex = -1;
  }
}

void TMDLObject::SetParent(TMDLObject* object) {
  if (object && IsAncestorOf(object)) return;
  Attach(object);
  for (int f = 0; f < Model->Frames->Count(); ++f) LinkPivot(f);
}

void TMDLObject::SetParentIndex(int i) {
  if (i == -1) {
    SetParent(nullptr);
  } else if (i < 0 || i >= Model->Objects->Count()) {
    ParentIndex = i;
  } else {
    SetParent(&Model->Objects->Object(i));
  }
}

void TMDLObject::SetParentNoLink(TMDLObject* object) {
  if (object && IsAncestorOf(object)) return;
  Attach(object);
}

void TMDLObject::SetParentIndexNoLink(int i) {
  if (i == -1) {
    SetParentNoLink(nullptr);
  } else if (i < 0 || i >= Model->Objects->Count()) {
    ParentIndex = i;
  } else {
    SetParentNoLink(&Model->Objects->Object(i));
  }
}

void TMDLObject::LinkPivot(int f) {
  TPivot& p = Pivot(f);
  p.OnChange = [this](TPivot& changed) { PivotChanged(changed); };
  FrameHint_ = f;
  if (Parent) p.Reparent(Parent->Pivot(f).Matrix());
}

void TMDLObject::LinkChildren(int f) {
  for (TMDLObject* c : Children) c->LinkPivot(f);
}

void TMDLObject::RefreshParentIndex() { ParentIndex = Parent ? Parent->Index : -1; }

void TMDLObject::SetIndex(int i) {
  TMDLVertexList& verts = *Model->Vertices;
  for (int v = 0; v < verts.Count(); ++v)
    if (verts.ObjectIndex(v) == Index) verts.SetObjectIndex(v, static_cast<uint16_t>(i));
  Index = i;
  for (TMDLObject* c : Children) c->RefreshParentIndex();
}

void TMDLObject::ResetPivots() {
  if (!Parent) return;
  for (int f = 0; f < Model->Frames->Count(); ++f) Pivot(f).ResetTo(Parent->Pivot(f).Matrix());
}

void TMDLObject::PivotChanged(TPivot& pivot) {
  TMDLFrameList& frames = *Model->Frames;
  int f = -1;
  if (FrameHint_ >= 0 && FrameHint_ < frames.Count() && Index < frames.Frame(FrameHint_).PivotCount() &&
      &frames.Frame(FrameHint_).Pivot(Index) == &pivot) {
    f = FrameHint_;
  } else {
    for (int k = 0; k < frames.Count(); ++k) {
      TMDLFrame& fr = frames.Frame(k);
      if (Index < fr.PivotCount() && &fr.Pivot(Index) == &pivot) {
        f = k;
        break;
      }
    }
  }
  if (f < 0) return;
  FrameHint_ = f;
  // Transforming by the identity changes nothing; skipping it keeps
  // relinking of unchanged pivots cheap.
  if (!IsIdentity(pivot.DeltaMatrix())) {
    TMDLFrame& frame = frames.Frame(f);
    CollectVertices();
    const TMatrix& d = pivot.DeltaMatrix();
    for (int32_t v : VertexIndices) {
      if (v >= frame.Count()) continue;
      TFrameVertex& fv = frame.Item(v);
      TVector p = Transform(d, MakeVector(fv.X, fv.Y, fv.Z));
      fv.X = p.x;
      fv.Y = p.y;
      fv.Z = p.z;
    }
  }
  // A copy: a child's notification may not change this list, but the
  // handlers are outside our control.
  TObjectList children = Children;
  for (TMDLObject* c : children) {
    TPivot& cp = c->Pivot(f);
    cp.OnChange = [c](TPivot& changed) { c->PivotChanged(changed); };
    c->FrameHint_ = f;
    if (c->Parent) cp.SetLocalMatrix(pivot.Matrix());
  }
}

int TMDLObject::CollectVertices() {
  VertexIndices.clear();
  TMDLVertexList& verts = *Model->Vertices;
  for (int v = 0; v < verts.Count(); ++v)
    if (verts.ObjectIndex(v) == Index) VertexIndices.push_back(v);
  return static_cast<int>(VertexIndices.size());
}

int TMDLObject::CollectTriangles() {
  TriangleIndices.clear();
  const auto& tris = Model->Triangles->Items();
  const int nv = Model->Vertices->Count();
  std::vector<bool> mine(static_cast<size_t>(nv), false);
  for (int32_t v : VertexIndices)
    if (v >= 0 && v < nv) mine[static_cast<size_t>(v)] = true;
  for (size_t t = 0; t < tris.size(); ++t) {
    bool marked = false;
    for (int c = 0; c < 3; ++c) {
      int32_t v = tris[t].Vertex[c];
      if (v >= 0 && v < nv && mine[static_cast<size_t>(v)]) marked = true;
    }
    if (marked) TriangleIndices.push_back(static_cast<int32_t>(t));
  }
  return static_cast<int>(TriangleIndices.size());
}

TVector TMDLObject::Bounds(int f) {
  if (CollectVertices() == 0) return Column(Pivot(f).Matrix(), 4);
  return CentreOfCollected(f);
}

TVector TMDLObject::CentreOfCollected(int f) {
  TMDLFrame& frame = Model->Frames->Frame(f);
  return BoxCentre(frame.Data(), frame.Count(), VertexIndices);
}

void TMDLObject::ReconstructPivots() {
  CollectVertices();
  MovePivotsToCollected();
}

void TMDLObject::MovePivotsToCollected() {
  if (VertexIndices.empty()) return;
  TMDLFrameList& frames = *Model->Frames;
  for (int f = 0; f < frames.Count(); ++f) {
    TVector c = CentreOfCollected(f);
    Pivot(f).MoveTo(c.x, c.y, c.z);
  }
}

void TMDLObject::DeleteGeometryAndPivots() {
  Model->Triangles->DeleteObjectGeometry(Index);
  TMDLFrameList& frames = *Model->Frames;
  for (int f = 0; f < frames.Count(); ++f) frames.Frame(f).DeletePivot(Index);
  if (frames.CopiedFrame) frames.CopiedFrame->DeletePivot(Index);
}

// ---- TMDLObjectList -------------------------------------------------------------

TMDLObjectList::~TMDLObjectList() {
  // Children lists point at siblings; drop them before the objects go.
  for (auto& o : Items_) o->Children.clear();
}

void TMDLObjectList::SetCount(int n) {
  n = std::max(n, 0);
  if (n == Count()) return;
  TMDLFrameList& frames = *Model->Frames;
  if (n < Count()) {
    for (int f = 0; f < frames.Count(); ++f) frames.Frame(f).SetPivotCount(n);
    while (Count() > n) {
      TMDLObject* gone = Items_.back().get();
      if (gone->Parent) std::erase(gone->Parent->Children, gone);
      for (TMDLObject* c : gone->Children) {
        c->Parent = nullptr;
        c->ParentIndex = -1;
      }
      Items_.pop_back();
    }
    return;
  }
  // Pivots below these counts were there before; the rest are new.
  std::vector<int> oldPivots(static_cast<size_t>(frames.Count()));
  for (int f = 0; f < frames.Count(); ++f) {
    oldPivots[static_cast<size_t>(f)] = frames.Frame(f).PivotCount();
    frames.Frame(f).SetPivotCount(n);
  }
  Items_.reserve(static_cast<size_t>(n));
  for (int i = Count(); i < n; ++i) {
    auto o = std::make_unique<TMDLObject>(Model, i, nullptr);
    if (i > 0) LinkUnderRoot(*o, oldPivots);
    o->Name = i == 0 ? std::string("root") : "object" + std::to_string(i);
    Items_.push_back(std::move(o));
  }
}

void TMDLObjectList::LinkUnderRoot(TMDLObject& o, const std::vector<int>& oldPivots) {
  TMDLFrameList& frames = *Model->Frames;
  TMDLObject* root = Items_[0].get();
  // What the constructor does with the root as parent. Linking a new pivot
  // to a parent matrix gives the same pivot in every frame where that matrix
  // is the same to the bit, and its notification does nothing when the
  // change is the identity (a new object has no children): so a frame like
  // one already linked gets a copy of that one's pivot.
  o.SetParentNoLink(root);
  const TPivot* linked = nullptr;
  const TMatrix* linkedTo = nullptr;
  for (int f = 0; f < frames.Count(); ++f) {
    const TMatrix& parent = root->Pivot(f).Matrix();
    TPivot& p = o.Pivot(f);
    const bool fresh = oldPivots[static_cast<size_t>(f)] <= o.Index;
    if (fresh && linked && std::memcmp(parent.m, linkedTo->m, sizeof parent.m) == 0) {
      p.CopyState(*linked);
      continue;
    }
    o.LinkPivot(f);
    if (fresh && IsIdentity(p.DeltaMatrix())) {
      linked = &p;
      linkedTo = &parent;
    }
  }
}

int TMDLObjectList::Add(TMDLObject& parent) {
  const int parentIndex = parent.Index;
  SetCount(Count() + 1);
  TMDLObject& o = *Items_.back();
  o.SetParentIndex(parentIndex);
  o.ResetPivots();
  return o.Index;
}

void TMDLObjectList::Delete(int i) {
  if (i < 1 || i >= Count()) return;
  TMDLObject& o = Object(i);
  const int grandparent = o.ParentIndex;
  for (int c = static_cast<int>(o.Children.size()) - 1; c >= 0; --c) o.Children[static_cast<size_t>(c)]->SetParentIndex(grandparent);
  o.SetParentIndex(-1);
  o.DeleteGeometryAndPivots();
  Items_.erase(Items_.begin() + i);
  for (int k = i; k < Count(); ++k) Object(k).SetIndex(k);
}

void TMDLObjectList::SetName(int i, const std::string& name) { Object(i).Name = name; }

void TMDLObjectList::Reconstruct() {
  SetCount(0);
  // Frames that still hold their positions as read, without pivots, get
  // their pivots made on first use: a new pivot linked to the root's new
  // one is the same in every frame, and only the move to the object's
  // centre differs. That holds when linking changes nothing in the
  // vertices, as for a new root.
  TMDLFrameList& frames = *Model->Frames;
  auto pending = std::make_shared<TPendingPivots>();
  pending->Linked.Reparent(TPivot().Matrix());
  bool lazy = frames.Count() > 0 && IsIdentity(pending->Linked.DeltaMatrix());
  for (int f = 0; f < frames.Count() && lazy; ++f)
    lazy = frames.Frame(f).Packed() && frames.Frame(f).PivotCount() == 0;
  if (!lazy) SetCount(1);
  TMDLVertexList& verts = *Model->Vertices;
  const int nv = verts.Count();
  for (int v = 0; v < nv; ++v) verts.SetObjectIndex(v, kNoObject);

  // The pieces: vertices joined through triangles. Every vertex holds the
  // name of its piece (one of its vertices), so finding it is one look-up;
  // joining two pieces renames the members of the smaller, found through a
  // ring of members per piece, so no vertex is renamed more than log2(n)
  // times.
  const auto& tris = Model->Triangles->Items();
  std::vector<int32_t> piece(static_cast<size_t>(nv));
  std::vector<int32_t> ring(static_cast<size_t>(nv));
  std::vector<int32_t> size(static_cast<size_t>(nv), 1);
  for (int v = 0; v < nv; ++v) piece[static_cast<size_t>(v)] = ring[static_cast<size_t>(v)] = v;
  for (const TTriangle& t : tris) {
    int32_t joined = -1;  // the piece of the corners seen so far
    for (int c = 0; c < 3; ++c) {
      const int32_t w = t.Vertex[c];
      if (w < 0 || w >= nv) continue;
      int32_t b = piece[static_cast<size_t>(w)];
      if (joined < 0 || joined == b) {
        joined = b;
        continue;
      }
      if (size[static_cast<size_t>(b)] > size[static_cast<size_t>(joined)]) std::swap(b, joined);
      int32_t x = b;
      do {
        piece[static_cast<size_t>(x)] = joined;
        x = ring[static_cast<size_t>(x)];
      } while (x != b);
      std::swap(ring[static_cast<size_t>(b)], ring[static_cast<size_t>(joined)]);
      size[static_cast<size_t>(joined)] += size[static_cast<size_t>(b)];
    }
  }

  TProgressor& progressor = Progressor();
  TProgressScope progress(0, ">Scanning object 0");
  // Scanning the vertices in order, the first vertex met of a piece (its
  // lowest) starts a new object. The objects are made afterwards, all at a
  // time, while no vertex belongs to them yet (as each would be made before
  // its piece was filled in).
  std::vector<int32_t> owner(static_cast<size_t>(nv), -1);  // by tree root
  std::vector<int32_t> object(static_cast<size_t>(nv));
  int count = 1;  // the root
  int described = -1;
  // The position is worked out again only where it changes.
  int32_t now = 0;
  int changeAt = 0;
  for (int i = 0; i < nv; ++i) {
    if (count != described) {
      progressor.SetDescription(">Scanning object " + std::to_string(count));
      described = count;
    }
    int32_t& o = owner[static_cast<size_t>(piece[static_cast<size_t>(i)])];
    if (o < 0) o = count++;
    object[static_cast<size_t>(i)] = o;
    if (i + 1 >= changeAt) {
      now = Percent(i + 1, nv, 50);
      changeAt = NextChange(i + 1, nv, 50, now);
    }
    if (now != progressor.Position()) progressor.SetPosition(now);
  }
  if (lazy) {
    Items_.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      Items_.push_back(std::unique_ptr<TMDLObject>(new TMDLObject(Model, i, TMDLObject::TUnlinked{})));
      TMDLObject& o = *Items_.back();
      if (i > 0) o.SetParentNoLink(Items_[0].get());
      o.Name = i == 0 ? std::string("root") : "object" + std::to_string(i);
    }
  } else {
    SetCount(count);
  }
  for (int v = 0; v < nv; ++v) verts.SetObjectIndex(v, static_cast<uint16_t>(object[static_cast<size_t>(v)]));
  progressor.SetPosition(50);
  progressor.SetDescription(">Reconstructing pivots or object 0");
  // Every object's vertex list (the same lists CollectVertices would make
  // one object at a time), counted first, then laid out object after object.
  const int objects = Count();
  std::vector<int32_t> starts(static_cast<size_t>(objects) + 1, 0);
  // The object numbers as the vertices now hold them.
  auto held = [&object](int v) { return static_cast<uint16_t>(object[static_cast<size_t>(v)]); };
  for (int v = 0; v < nv; ++v) {
    const uint16_t o = held(v);
    if (o < objects) ++starts[static_cast<size_t>(o) + 1];
  }
  for (int k = 0; k < objects; ++k) starts[static_cast<size_t>(k) + 1] += starts[static_cast<size_t>(k)];
  std::vector<int32_t> grouped(static_cast<size_t>(starts.back()));
  {
    std::vector<int32_t> fill(starts.begin(), starts.end() - 1);
    for (int v = 0; v < nv; ++v) {
      const uint16_t o = held(v);
      if (o < objects) grouped[static_cast<size_t>(fill[o]++)] = v;
    }
  }
  for (int k = 0; k < objects; ++k)
    Object(k).VertexIndices.assign(grouped.begin() + starts[static_cast<size_t>(k)],
                                   grouped.begin() + starts[static_cast<size_t>(k) + 1]);
  if (lazy) {
    pending->Objects.reserve(Items_.size());
    for (auto& o : Items_) pending->Objects.push_back(o.get());
    pending->Vertices = std::move(grouped);
    pending->Starts = std::move(starts);
    for (int f = 0; f < frames.Count(); ++f) frames.Frame(f).SetPendingPivots(pending);
  }
  for (int k = 1; k < Count(); ++k) {
    progressor.SetDescription(">Reconstructing pivots for object " + std::to_string(k));
    if (!lazy) Object(k).MovePivotsToCollected();
    progressor.SetPosition(Percent(k + 1, Count(), 50) + 50);
  }
}
