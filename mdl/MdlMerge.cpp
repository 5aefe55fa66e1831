// Geometry that comes into the model from outside or goes out of it: merging
// another model file, importing and exporting one frame through the triangle
// filer, and the two operations that turn a frame into a skin layout and
// back.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/Format.h"
#include "core/Paths.h"
#include "core/Progress.h"
#include "core/Vectors.h"
#include "exchange/BitmapFiler.h"
#include "exchange/TriangleFiler.h"
#include "mdl/Mdl.h"
#include "mdl/Prompts.h"

namespace {

constexpr const char* kImportCaption = "Import Frame";
// Coincident corners are pulled apart by this much along x, so no exported
// or imported triangle collapses.
constexpr float kPullApart = 0.1f;

TVector Position(const TFrameVertex& v) { return MakeVector(v.X, v.Y, v.Z); }
TVector Position(const TStoreVertex& v) { return MakeVector(v[0], v[1], v[2]); }

int RoundUp4(int v) { return (v + 3) & ~3; }

// Nearest integer, halves to even; what lies beyond the 32-bit range (or is
// not a number, from a damaged geometry file) saturates instead of being
// undefined.
int32_t RoundToInt(double v) {
  if (!(v == v)) return 0;
  v = std::nearbyint(v);
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Sums of values read from a file wrap instead of overflowing.
int32_t Wrap(int64_t v) { return static_cast<int32_t>(v); }

// Separates corners that lie on one another: 1 from 0, 2 from 1, 0 from 2.
template <class TCorner>
void PullApart(TCorner& c0, TCorner& c1, TCorner& c2) {
  if (NearlyEqual(Position(c1), Position(c0))) c1.X -= kPullApart;
  if (NearlyEqual(Position(c2), Position(c1))) c2.X -= kPullApart;
  if (NearlyEqual(Position(c0), Position(c2))) c0.X -= kPullApart;
}

void PullApartStored(TStoreTriangle& t) {
  if (NearlyEqual(Position(t[1]), Position(t[0]))) t[1][0] -= kPullApart;
  if (NearlyEqual(Position(t[2]), Position(t[1]))) t[2][0] -= kPullApart;
  if (NearlyEqual(Position(t[0]), Position(t[2]))) t[0][0] -= kPullApart;
}

bool ValidCorners(const TTriangle& t, int count) {
  for (int c = 0; c < 3; ++c)
    if (t.Vertex[c] < 0 || t.Vertex[c] >= count) return false;
  return true;
}

// Finds "the first vertex equal to this position" among the vertices added
// so far without comparing against all of them: positions are filed in
// cells wider than the equality tolerance, so an equal vertex lies in the
// same cell or a neighbouring one.
class TVertexFinder {
public:
  // -1 when no vertex so far is equal to p.
  int Find(const TVector& p, const std::vector<TFrameVertex>& items) const {
    int best = -1;
    const TKey k = KeyOf(p);
    for (int64_t dx = -1; dx <= 1; ++dx)
      for (int64_t dy = -1; dy <= 1; ++dy)
        for (int64_t dz = -1; dz <= 1; ++dz) {
          auto it = Cells_.find(Hash(TKey{k.X + dx, k.Y + dy, k.Z + dz}));
          if (it == Cells_.end()) continue;
          for (int32_t i : it->second) {
            if (best >= 0 && i >= best) break;  // each cell lists its vertices in order
            if (NearlyEqual(Position(items[static_cast<size_t>(i)]), p)) {
              best = i;
              break;
            }
          }
        }
    return best;
  }
  void Add(const TVector& p, int index) { Cells_[Hash(KeyOf(p))].push_back(index); }

private:
  struct TKey {
    int64_t X, Y, Z;
  };
  static constexpr double kCellsPerUnit = 256.0;  // cells of 1/256 unit, wider than 0.001
  static int64_t Cell(float v) {
    if (!std::isfinite(v)) return INT64_C(1) << 40;  // such a position equals nothing anyway
    return static_cast<int64_t>(std::floor(std::clamp(static_cast<double>(v) * kCellsPerUnit, -1e12, 1e12)));
  }
  static TKey KeyOf(const TVector& p) { return TKey{Cell(p.x), Cell(p.y), Cell(p.z)}; }
  static uint64_t Hash(const TKey& k) {
    // Neighbouring cells must not share a hash with each other: the three
    // coordinates are packed into disjoint bit fields (21 bits each).
    auto f = [](int64_t v) { return static_cast<uint64_t>(v) & 0x1FFFFFu; };
    return f(k.X) | (f(k.Y) << 21) | (f(k.Z) << 42);
  }
  std::unordered_map<uint64_t, std::vector<int32_t>> Cells_;
};


// ---- skin coordinates through the triangle store ----

// The skin size that texture coordinates are measured against when neither
// the model nor a picture gives one.
constexpr int kDefaultSkinWidth = 256;
constexpr int kDefaultSkinHeight = 256;

// Gives the store the skin coordinates of the model's triangles, with the
// seam rule applied: a seam vertex of a triangle that faces back lies half
// the skin's width further right. A model without a skin size gives none.
void StoreSkinCoords(const TMDL& model, TTriangleStore& store) {
  const int w = model.Header->SkinWidth, h = model.Header->SkinHeight;
  const TMDLTriangleList& tris = *model.Triangles;
  const TMDLVertexList& verts = *model.Vertices;
  if (w <= 0 || h <= 0 || model.Skins->Count() == 0 || store.Count() != tris.Count()) {
    store.ClearSkinCoords();
    return;
  }
  std::vector<TStoreSkinTriangle> coords(static_cast<size_t>(tris.Count()));
  for (int i = 0; i < tris.Count(); ++i) {
    const TTriangle& t = tris.Items()[static_cast<size_t>(i)];
    for (int c = 0; c < 3; ++c) {
      if (t.Vertex[c] < 0 || t.Vertex[c] >= verts.Count()) continue;
      const TSkinVertex v = verts.Get(t.Vertex[c]);
      const int64_t s = int64_t{v.S} + (t.FacesFront == 0 && v.Flags != 0 ? w / 2 : 0);
      coords[static_cast<size_t>(i)][c] = TStoreSkinCoord{static_cast<float>(static_cast<double>(s) / w),
                                                          static_cast<float>(static_cast<double>(v.T) / h)};
    }
  }
  store.SetSkinCoords(std::move(coords));
}

// A skin coordinate in pixels; far outside the skin stays far outside
// without overflowing.
int32_t SkinPixel(float fraction, int size) {
  const double v = static_cast<double>(fraction) * size;
  return v == v ? RoundToInt(std::clamp(v, -1e6, 1e6)) : 0;
}

// Gives the model the skin size that the stored skin coordinates refer to:
// its own when its first skin has one; otherwise the picture that came
// with the file (which becomes the first skin), or a default size. The
// store names the picture afterwards only when it became the skin.
void SizeSkinForCoords(TMDL& model, const TTriangleStore& store) {
  TMDLFiler& header = *model.Header;
  TMDLBitmapList& skins = *model.Skins;
  const std::string picture = store.SkinPictureFile;
  store.SkinPictureFile.clear();
  if (skins.Count() > 0 && (skins.Skin(0).Width > 0 || skins.Skin(0).Height > 0) && header.SkinWidth > 0 &&
      header.SkinHeight > 0)
    return;
  TBitmapFiler& pictures = TBitmapFiler::Instance();
  if (!picture.empty() && FileExists(picture) && pictures.IsKnownExtension(ExtractFileExt(picture))) {
    pictures.ImportFromFile(picture);
    const int w = RoundUp4(pictures.Bitmap().GetWidth()), h = pictures.Bitmap().GetHeight();
    if (w > 0 && h > 0) {
      if (skins.Count() == 0) skins.InsertSkin(0);
      header.SkinWidth = w;
      header.SkinHeight = h;
      skins.Skin(0).SetSize(w, h);
      skins.Skin(0).ImportPicture(picture);
      store.SkinPictureFile = picture;
      return;
    }
  }
  header.SkinWidth = kDefaultSkinWidth;
  header.SkinHeight = kDefaultSkinHeight;
  if (skins.Count() > 0) skins.Skin(0).SetSize(kDefaultSkinWidth, kDefaultSkinHeight);
}

// A "base" frame from triangles that carry skin coordinates. A vertex is a
// position (corners within 0.001 are one, as in every base import) with one
// skin coordinate. Where one position is used at (S, T) by some triangles
// and at (S + width / 2, T) by others, the two become one seam vertex: the
// triangles of the first kind face front, those of the second back. Every
// other triangle faces the way its normal says, as a projected layout has
// it; a triangle that its seam vertices would pull both ways faces the way
// most of them say, and its other corners get vertices of their own.
void ImportSkinnedBase(TMDLFrame& frame, const TTriangleStore& store) {
  TMDL& model = *frame.Model;
  SizeSkinForCoords(model, store);
  const int w = model.Header->SkinWidth, h = model.Header->SkinHeight, half = w / 2;
  const int count = store.Count();

  // Corners to positions, and each position's distinct skin coordinates.
  struct TSlot {
    int32_t S = 0, T = 0;
    int Group = 0;
    int Partner = -1;  // the other half of a seam pair
    bool Back = false;
    int SeamVertex = -1, PlainVertex = -1;
  };
  std::vector<TFrameVertex> groups;
  std::vector<std::vector<int>> groupSlots;
  std::vector<TSlot> slots;
  std::unordered_map<uint64_t, int> slotOf;
  std::vector<int> cornerSlot(static_cast<size_t>(count) * 3);
  TVertexFinder finder;
  for (int i = 0; i < count; ++i) {
    const TStoreTriangle& t = *store.Triangle(i);
    const TStoreSkinTriangle& st = store.SkinTriangle(i);
    for (int c = 0; c < 3; ++c) {
      const TVector p = Position(t[c]);
      int g = finder.Find(p, groups);
      if (g < 0) {
        g = static_cast<int>(groups.size());
        groups.push_back(TFrameVertex{t[c][0], t[c][1], t[c][2], 0});
        groupSlots.emplace_back();
        finder.Add(p, g);
      }
      const int32_t s = SkinPixel(st[c].U, w), tt = SkinPixel(st[c].V, h);
      // Pixels lie within +-2^20 (see SkinPixel) and positions are fewer
      // than 2^22: the three fit one key.
      const uint64_t key = (static_cast<uint64_t>(g) << 42) | (static_cast<uint64_t>(s + (1 << 20)) << 21) |
                           static_cast<uint64_t>(tt + (1 << 20));
      const auto [it, added] = slotOf.try_emplace(key, static_cast<int>(slots.size()));
      const int slot = it->second;
      if (added) {
        slots.push_back(TSlot{s, tt, g});
        groupSlots[static_cast<size_t>(g)].push_back(slot);
      }
      cornerSlot[static_cast<size_t>(i) * 3 + static_cast<size_t>(c)] = slot;
    }
  }
  // Seam pairs within each position, found through the coordinates sorted.
  for (std::vector<int>& list : groupSlots) {
    if (list.size() < 2 || half <= 0) continue;
    auto key = [&](int k) { return std::pair(slots[static_cast<size_t>(k)].T, slots[static_cast<size_t>(k)].S); };
    std::vector<int> sorted = list;
    std::sort(sorted.begin(), sorted.end(), [&](int a, int b) { return key(a) < key(b); });
    for (int a : sorted) {
      TSlot& front = slots[static_cast<size_t>(a)];
      if (front.Partner >= 0) continue;
      const auto wanted = std::pair(front.T, static_cast<int32_t>(int64_t{front.S} + half));
      auto it = std::lower_bound(sorted.begin(), sorted.end(), wanted,
                                 [&](int k, const std::pair<int32_t, int32_t>& v) { return key(k) < v; });
      if (it == sorted.end() || key(*it) != wanted || slots[static_cast<size_t>(*it)].Partner >= 0) continue;
      front.Partner = *it;
      slots[static_cast<size_t>(*it)].Partner = a;
      slots[static_cast<size_t>(*it)].Back = true;
    }
  }

  TMDLTriangleList& tris = *model.Triangles;
  tris.SetCount(0);
  frame.SetCount(0);
  std::vector<TSkinVertex> skin;
  for (int i = 0; i < count; ++i) {
    const TStoreTriangle& t = *store.Triangle(i);
    const int* corner = &cornerSlot[static_cast<size_t>(i) * 3];
    int frontVotes = 0, backVotes = 0;
    for (int c = 0; c < 3; ++c) {
      const TSlot& slot = slots[static_cast<size_t>(corner[c])];
      if (slot.Partner >= 0) ++(slot.Back ? backVotes : frontVotes);
    }
    bool front;
    if (frontVotes != backVotes) {
      front = frontVotes > backVotes;
    } else {
      TVector a, b, nrm;
      Subtract(Position(t[0]), Position(t[1]), a);
      Subtract(Position(t[2]), Position(t[1]), b);
      Cross(a, b, nrm);
      front = nrm.x >= 0;
    }
    // The vertex each corner uses: the seam vertex when its coordinate is
    // the half of a pair this facing reads, else one of its own.
    int* target[3];
    int fresh = 0;
    for (int c = 0; c < 3; ++c) {
      TSlot& slot = slots[static_cast<size_t>(corner[c])];
      const bool seam = slot.Partner >= 0 && slot.Back != front;
      target[c] = seam ? &slots[static_cast<size_t>(slot.Back ? slot.Partner : corner[c])].SeamVertex
                       : &slot.PlainVertex;
      if (*target[c] < 0) {
        bool seen = false;
        for (int e = 0; e < c; ++e)
          if (target[e] == target[c]) seen = true;
        if (!seen) ++fresh;
      }
    }
    if (frame.Count() + fresh > kMaxVertices) {
      Prompts().Information(
          Format("Limit of %d vertices in model has been reached, ignoring remaining triangles", kMaxVertices),
          kImportCaption);
      break;
    }
    int index[3];
    for (int c = 0; c < 3; ++c) {
      if (*target[c] < 0) {
        const TSlot& slot = slots[static_cast<size_t>(corner[c])];
        *target[c] = frame.Count();
        frame.Add(groups[static_cast<size_t>(slot.Group)]);
        const bool seam = slot.Partner >= 0 && slot.Back != front;
        // A seam vertex keeps the front coordinate.
        const TSlot& shown = seam && slot.Back ? slots[static_cast<size_t>(slot.Partner)] : slot;
        skin.push_back(TSkinVertex{seam ? kOnSeam : 0, shown.S, shown.T});
      }
      index[c] = *target[c];
    }
    if (tris.Count() > kMaxTriangles - 1) {
      Prompts().Information(
          Format("Limit of %d triangles in model has been reached, ignoring remaining triangles", kMaxTriangles),
          kImportCaption);
      break;
    }
    tris.Add(TTriangle{front ? 1 : 0, {index[0], index[1], index[2]}});
  }
  TMDLVertexList& verts = *model.Vertices;
  verts.SetCount(0);
  verts.SetCount(static_cast<int>(skin.size()));
  for (size_t k = 0; k < skin.size(); ++k) verts.Put(static_cast<int>(k), skin[k]);
  frame.CalculateNormals();
  frame.ComputeBoundingBox();
  model.Objects->Reconstruct();
}

}  // namespace

// ---- merge -------------------------------------------------------------------------

void TMDL::Merge(const std::string& fileName) {
  auto other = std::make_unique<TMDL>();
  other->LoadFromFile(fileName);

  const int V = Vertices->Count(), T = Triangles->Count(), O = Objects->Count();
  const int W1 = Header->SkinWidth, W2 = other->Header->SkinWidth;
  const int otherV = other->Vertices->Count(), otherT = other->Triangles->Count();
  const int otherO = other->Objects->Count();
  if (V + otherV >= kMergeLimit) throw EMDLError(Format("Vertex limit of %d reached, aborting merge", kMergeLimit));
  if (T + otherT >= kMergeLimit)
    throw EMDLError(Format("Triangle limit of %d reached, aborting merge", kMergeLimit));
  if (W1 + W2 > kMaxMergedSkinWidth)
    throw EMDLError(Format("Maximum skin width of %d reached", kMaxMergedSkinWidth));
  // Without a frame the other model has no positions for its vertices, and
  // this model's frames would end up shorter than its vertex list.
  if (other->Frames->Count() == 0)
    throw EMDLError(Format("The model %s has no frame to merge", fileName.c_str()));
  if (O < 1 || otherO < 1) throw EMDLError("A model without its root object cannot be merged");

  // Skins side by side: this model's skin i with the other's skin j.
  if (other->Skins->Count() > 0) {
    int j = 0;
    for (int i = 0; i < Skins->Count(); ++i) {
      TMDLBitmap& skin = Skins->Skin(i);
      skin.AppendSkin(other->Skins->Skin(j));
      Header->SkinWidth = skin.Width;
      Header->SkinHeight = skin.Height;
      if (j < other->Skins->Count() - 1) ++j;
    }
  }
  const int W3 = Header->SkinWidth;

  for (int i = 0; i < V; ++i) {
    TSkinVertex& v = Vertices->Item(i);
    if (v.Flags == 0 && v.S > W1 / 2) v.S = Wrap(int64_t{v.S} + (W3 - W1) / 2);
  }
  for (int i = 0; i < otherV; ++i) {
    TSkinVertex v = other->Vertices->Get(i);
    if (v.Flags == 0 && v.S > W2 / 2)
      v.S = Wrap(int64_t{v.S} + W1 / 2 + (W3 - W2) / 2);
    else
      v.S = Wrap(int64_t{v.S} + W1 / 2);
    // The other's objects 1, 2, ... become O, O + 1, ...; its root lands
    // on object O - 1. A vertex of no object stays in none.
    const uint16_t o = other->Vertices->ObjectIndex(i);
    Vertices->Add(v, o == kNoObject ? kNoObject : static_cast<uint16_t>(O + o - 1));
  }
  // The light normals every frame needs once the mesh is merged. Old and
  // new vertices share no triangle, so each part's normals are those of its
  // own mesh: this model's are worked out per frame before the other's
  // triangles arrive, the other's once, on its first frame, for all frames.
  for (int f = 0; f < Frames->Count(); ++f) Frames->Frame(f).CalculateNormals();
  TMDLFrame& source = other->Frames->Frame(0);
  source.CalculateNormals();

  for (int i = 0; i < otherT; ++i) {
    TTriangle t = other->Triangles->Get(i);
    for (int c = 0; c < 3; ++c) t.Vertex[c] = Wrap(int64_t{t.Vertex[c]} + V);
    Triangles->Add(t);
  }

  for (int f = 0; f < Frames->Count(); ++f) {
    TMDLFrame& frame = Frames->Frame(f);
    frame.SetCount(V + otherV);
    for (int i = 0; i < otherV; ++i) frame.Put(V + i, i < source.Count() ? source.Get(i) : TFrameVertex{});
    frame.ComputeBoundingBox();
  }

  Objects->SetCount(O + otherO - 1);
  for (int k = 1; k < otherO; ++k) {
    TMDLObject& object = Objects->Object(O + k - 1);
    const bool hasPivot = k < source.PivotCount();
    for (int f = 0; f < Frames->Count(); ++f) {
      if (!hasPivot) continue;
      TPivot& pivot = object.Pivot(f);
      // The copy must keep telling this model's object, not the other's.
      auto onChange = pivot.OnChange;
      pivot.Assign(source.Pivot(k));
      pivot.OnChange = onChange;
    }
  }
  for (int k = otherO - 1; k >= 1; --k) {
    const int p = other->Objects->Object(k).ParentIndex;
    TMDLObject& object = Objects->Object(O + k - 1);
    // Only the other's root has no parent; a child of it (or a damaged
    // parent link) goes under this model's root.
    if (p > 0 && p < otherO)
      object.SetParentIndex(p + O - 1);
    else
      object.SetParentIndex(0);
  }
}

// ---- frame import and export -------------------------------------------------------------

namespace {
constexpr const char* kMismatchText =
    "Number of triangles in imported frame does not match the number of triangles in the model";
}

void NotifyFrameMismatches(int mismatched, int total) {
  if (mismatched <= 0) return;
  const std::string text =
      total == 1 ? std::string(kMismatchText) : Format("%d of %d frames: %s", mismatched, total, kMismatchText);
  Prompts().Information(text, kImportCaption);
}

bool TMDLFrame::ImportFrame(const std::string& fileName, bool notify) {
  TProgressor& progress = Progressor();
  TProgressScope scope(0, "Importing...");
  progress.SetDescription("Loading Triangles...");
  TTriangleFiler& filer = TTriangleFiler::Instance();
  // A file no format reads leaves the shared store as it was; emptied first,
  // an earlier file's triangles cannot come back as this one's.
  filer.SetCount(0);
  filer.ImportFromFile(fileName);
  progress.SetPosition(50);
  progress.SetDescription("Creating Frame...");
  if (filer.Count() == 0) throw EMDLError(Format("No triangles found in file %s", fileName.c_str()));
  bool result = false;
  if (Name() != "base") {
    TMDLTriangleList& tris = *Model->Triangles;
    if (filer.Count() == tris.Count()) {
      const int n = Count();
      for (int i = 0; i < tris.Count(); ++i) {
        const TTriangle& t = tris.Item(i);
        const TStoreTriangle& s = *filer.Triangle(i);
        for (int c = 0; c < 3; ++c)
          if (t.Vertex[c] >= 0 && t.Vertex[c] < n) Put(t.Vertex[c], TFrameVertex{s[c][0], s[c][1], s[c][2], 0});
      }
      result = true;
    } else if (notify) {
      NotifyFrameMismatches(1, 1);
    }
    ComputeBoundingBox();
    CalculateNormals();
  } else {
    ImportBase();
  }
  progress.SetPosition(100);
  return result;
}

void TMDLFrame::ImportBase() {
  TTriangleFiler& filer = TTriangleFiler::Instance();
  const int count = filer.Count();
  for (int i = count - 1; i >= 0; --i) PullApartStored(*filer.Triangle(i));
  if (filer.HasSkinCoords()) {
    ImportSkinnedBase(*this, filer);
    return;
  }

  TMDLTriangleList& tris = *Model->Triangles;
  tris.SetCount(0);
  SetCount(0);
  Items_.reserve(static_cast<size_t>(std::min(count * 3, kMaxVertices)));
  TVertexFinder finder;
  for (int i = 0; i < count; ++i) {
    const TStoreTriangle& s = *filer.Triangle(i);
    int index[3];
    // The corners that are new, so the vertex limit can be checked before
    // any of them is added.
    int fresh = 0;
    TVector p[3];
    for (int c = 0; c < 3; ++c) {
      p[c] = Position(s[c]);
      index[c] = finder.Find(p[c], Items_);
      if (index[c] < 0) {
        bool seen = false;
        for (int e = 0; e < c; ++e)
          if (index[e] < 0 && NearlyEqual(p[e], p[c])) seen = true;
        if (!seen) ++fresh;
      }
    }
    // A model holds at most kMaxVertices vertices (the file reader refuses
    // more), so the rest is dropped as for the triangle limit.
    if (Count() + fresh > kMaxVertices) {
      Prompts().Information(
          Format("Limit of %d vertices in model has been reached, ignoring remaining triangles", kMaxVertices),
          kImportCaption);
      break;
    }
    for (int c = 0; c < 3; ++c) {
      index[c] = finder.Find(p[c], Items_);
      if (index[c] < 0) {
        index[c] = Count();
        Add(TFrameVertex{p[c].x, p[c].y, p[c].z, 0});
        finder.Add(p[c], index[c]);
      }
    }
    if (tris.Count() > kMaxTriangles - 1) {
      Prompts().Information(
          Format("Limit of %d triangles in model has been reached, ignoring remaining triangles", kMaxTriangles),
          kImportCaption);
      break;
    }
    tris.Add(TTriangle{0, {index[0], index[1], index[2]}});
  }
  CalculateNormals();
  ComputeBoundingBox();
  MapSkin();
  Model->Objects->Reconstruct();
}

void TMDLFrame::ExportFrame(const std::string& fileName) {
  const TMDLTriangleList& tris = *Model->Triangles;
  const int n = Count();
  for (const TTriangle& t : tris.Items()) {
    if (!ValidCorners(t, n)) continue;
    PullApart(Item(t.Vertex[0]), Item(t.Vertex[1]), Item(t.Vertex[2]));
  }
  TTriangleFiler& filer = TTriangleFiler::Instance();
  filer.SetCount(tris.Count());
  for (int i = 0; i < tris.Count(); ++i) {
    const TTriangle& t = tris.Items()[static_cast<size_t>(i)];
    TStoreTriangle& s = *filer.Triangle(i);
    for (int c = 0; c < 3; ++c) {
      const TFrameVertex v = t.Vertex[c] >= 0 && t.Vertex[c] < n ? Get(t.Vertex[c]) : TFrameVertex{};
      s[c] = TStoreVertex{{v.X, v.Y, v.Z, 0}};
    }
  }
  StoreSkinCoords(*Model, filer);
  filer.ExportToFile(fileName);
  // A format that shows the skin beside its file (OBJ's material) named
  // the picture; the first skin goes there.
  if (!filer.SkinPictureFile.empty() && Model->Skins->Count() > 0 &&
      TBitmapFiler::Instance().IsKnownExtension(ExtractFileExt(filer.SkinPictureFile)))
    Model->Skins->Skin(0).ExportPicture(filer.SkinPictureFile);
}

// ---- skin layout from a frame and back ----------------------------------------------------

void TMDLFrame::MapSkin() {
  TMDLFiler& header = *Model->Header;
  TMDLBitmapList& skins = *Model->Skins;
  // A model without skins counts as one whose first skin has no size.
  const bool sized = skins.Count() > 0 && (skins.Skin(0).Width > 0 || skins.Skin(0).Height > 0);
  double half = sized ? header.SkinWidth / 2 - 4 : 150;
  double h = sized ? header.SkinHeight - 4 : 190;

  ComputeBoundingBox();
  BBoxMin = TFrameVertex{static_cast<float>(Floor(BBoxMin.X)), static_cast<float>(Floor(BBoxMin.Y)),
                         static_cast<float>(Floor(BBoxMin.Z)), 0};
  BBoxMax = TFrameVertex{static_cast<float>(Ceil(BBoxMax.X)), static_cast<float>(Ceil(BBoxMax.Y)),
                         static_cast<float>(Ceil(BBoxMax.Z)), 0};
  // A frame without a finite position has an empty (inverted) box: no
  // extent at all.
  double dy = static_cast<double>(BBoxMax.Y) - BBoxMin.Y;
  double dz = static_cast<double>(BBoxMax.Z) - BBoxMin.Z;
  if (!(dy >= 0)) dy = 0;
  if (!(dz >= 0)) dz = 0;

  // A flat extent never divides: its scale stays 8.
  double sy = 8, sz = 8;
  if (sized) {
    if (dy * 8 >= half && dy > 0) sy = half / dy;
    if (dz * 8 >= h && dz > 0) sz = h / dz;
    half += 4;
    h += 4;
  } else {
    if (dy * sy >= half && dy > 0) sy = half / dy;
    if (dz * sy >= h && dz > 0) sy = h / dz;
    sz = sy;
    half = Ceil(dy * sy) + 4;
    h = Ceil(dz * sz) + 4;
    header.SkinWidth = RoundUp4(static_cast<int>(2 * half));
    header.SkinHeight = static_cast<int>(h);
    if (skins.Count() > 0) skins.Skin(0).SetSize(header.SkinWidth, header.SkinHeight);
  }

  TMDLVertexList& verts = *Model->Vertices;
  const int n = Count();
  verts.SetCount(n);
  for (int i = 0; i < n; ++i) verts.Item(i).Flags = 0;
  TMDLTriangleList& tris = *Model->Triangles;
  for (int ti = 0; ti < tris.Count(); ++ti) {
    TTriangle& t = tris.Item(ti);
    if (!ValidCorners(t, n)) continue;
    const TVector pa = Position(Get(t.Vertex[0])), pb = Position(Get(t.Vertex[1])), pc = Position(Get(t.Vertex[2]));
    TVector a, b, nrm;
    Subtract(pa, pb, a);
    Subtract(pc, pb, b);
    Cross(a, b, nrm);
    const bool front = nrm.x >= 0;
    t.FacesFront = front ? 1 : 0;
    const double offset = front ? 2 : half + 2;
    for (int c = 0; c < 3; ++c) {
      TSkinVertex& v = verts.Item(t.Vertex[c]);
      const bool hadFront = (v.Flags & kVertexMark) != 0;
      v.Flags |= front ? kVertexMark : kVertexMark2;
      if (front || !hadFront) {
        const TFrameVertex p = Get(t.Vertex[c]);
        v.S = RoundToInt((static_cast<double>(p.Y) - BBoxMin.Y) * sy + offset);
        v.T = RoundToInt((static_cast<double>(BBoxMax.Z) - p.Z) * sz + 2);
      }
    }
  }
  for (int i = 0; i < n; ++i) {
    TSkinVertex& v = verts.Item(i);
    v.Flags = (v.Flags & (kVertexMark | kVertexMark2)) == (kVertexMark | kVertexMark2) ? kOnSeam : 0;
  }
}

void TMDLFrame::RebuildFromSkin() {
  SetName("base");
  SetCount(0);
  TMDLFrameList& frames = *Model->Frames;
  if (frames.Count() == 0) return;
  const TMDLFrame& last = frames.Frame(frames.Count() - 1);
  const double y0 = Floor(last.BBoxMin.Y);
  const double z1 = Ceil(last.BBoxMax.Z);
  const double dy = Ceil(last.BBoxMax.Y) - y0;
  const double dz = z1 - Floor(last.BBoxMin.Z);
  const double d = dy / 6;
  double s = 8;
  if (dy * 8 >= 150) s = 150 / dy;
  if (dz * s >= 190) s = 190 / dz;

  const TMDLVertexList& verts = *Model->Vertices;
  const int half = Model->Header->SkinWidth / 2;
  SetCount(verts.Count());
  for (int i = 0; i < verts.Count(); ++i) {
    const TSkinVertex v = verts.Get(i);
    TFrameVertex& p = Item(i);
    const double S = v.S, T = v.T;
    p.Z = static_cast<float>(z1 - (T - 2) / s);
    if (v.S > half) {
      p.X = static_cast<float>(-d);
      p.Y = static_cast<float>((S - half) / s + y0);
    } else {
      p.Y = static_cast<float>((S - 2) / s + y0);
      p.X = static_cast<float>(d);
    }
    p.NormalIndex = 0;
  }
  const auto& tris = Model->Triangles->Items();
  const int n = Count();
  for (auto it = tris.rbegin(); it != tris.rend(); ++it) {
    if (!ValidCorners(*it, n)) continue;
    PullApart(Item(it->Vertex[0]), Item(it->Vertex[1]), Item(it->Vertex[2]));
  }
  CalculateNormals();
  ComputeBoundingBox();
}
