#include "mdl/MdlFrames.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <mutex>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/Endian.h"
#include "mdl/Mdl.h"
#include "mdl/Normals.h"

namespace {

TVector Position(const TFrameVertex& v) { return MakeVector(v.X, v.Y, v.Z); }

TFrameVertex Corner(const TVector& v) { return TFrameVertex{v.x, v.y, v.z, 0}; }

}  // namespace

// ---- bounds ---------------------------------------------------------------------

// minps(a, b) is `a < b ? a : b` lane by lane and maxps(a, b) is
// `a > b ? a : b`, ties and NaNs included, so one vector step is exactly the
// three scalar steps. The fourth lane (the normal index) is masked out and
// never read back.
#if defined(__SSE2__)
static_assert(sizeof(TFrameVertex) == 16 && offsetof(TFrameVertex, X) == 0 && offsetof(TFrameVertex, Y) == 4 &&
              offsetof(TFrameVertex, Z) == 8);

namespace {

inline __m128 PositionLanes(const TFrameVertex& v, __m128 mask) {
  return _mm_and_ps(_mm_loadu_ps(&v.X), mask);
}

inline __m128 PositionMask() { return _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0)); }

inline void StoreBounds(__m128 lo, __m128 hi, float mn[3], float mx[3]) {
  float a[4], b[4];
  _mm_storeu_ps(a, lo);
  _mm_storeu_ps(b, hi);
  for (int k = 0; k < 3; ++k) {
    mn[k] = a[k];
    mx[k] = b[k];
  }
}

}  // namespace

void FoldBounds(const TFrameVertex* items, int count, float mn[3], float mx[3]) {
  const __m128 mask = PositionMask();
  __m128 lo = _mm_setr_ps(mn[0], mn[1], mn[2], 0), hi = _mm_setr_ps(mx[0], mx[1], mx[2], 0);
  for (int i = 0; i < count; ++i) {
    const __m128 v = PositionLanes(items[i], mask);
    lo = _mm_min_ps(v, lo);
    hi = _mm_max_ps(v, hi);
  }
  StoreBounds(lo, hi, mn, mx);
}

void FoldBounds(const TFrameVertex* items, int count, const int32_t* indices, size_t n, float mn[3], float mx[3]) {
  const __m128 mask = PositionMask();
  __m128 lo = _mm_setr_ps(mn[0], mn[1], mn[2], 0), hi = _mm_setr_ps(mx[0], mx[1], mx[2], 0);
  for (size_t k = 0; k < n; ++k) {
    const int32_t i = indices[k];
    if (static_cast<uint32_t>(i) >= static_cast<uint32_t>(count)) continue;
    const __m128 v = PositionLanes(items[i], mask);
    lo = _mm_min_ps(v, lo);
    hi = _mm_max_ps(v, hi);
  }
  StoreBounds(lo, hi, mn, mx);
}
#else
namespace {

inline void FoldOne(const TFrameVertex& v, float mn[3], float mx[3]) {
  const float p[3] = {v.X, v.Y, v.Z};
  for (int k = 0; k < 3; ++k) {
    mn[k] = p[k] < mn[k] ? p[k] : mn[k];
    mx[k] = p[k] > mx[k] ? p[k] : mx[k];
  }
}

}  // namespace

void FoldBounds(const TFrameVertex* items, int count, float mn[3], float mx[3]) {
  for (int i = 0; i < count; ++i) FoldOne(items[i], mn, mx);
}

void FoldBounds(const TFrameVertex* items, int count, const int32_t* indices, size_t n, float mn[3], float mx[3]) {
  for (size_t k = 0; k < n; ++k)
    if (static_cast<uint32_t>(indices[k]) < static_cast<uint32_t>(count)) FoldOne(items[indices[k]], mn, mx);
}
#endif

TVector BoxCentre(const TFrameVertex* items, int count, const std::vector<int32_t>& indices) {
  return BoxCentre(items, count, indices.data(), indices.size());
}

TVector BoxCentre(const TFrameVertex* items, int count, const int32_t* indices, size_t n) {
  float mn[3] = {9999999, 9999999, 9999999}, mx[3] = {-9999999, -9999999, -9999999};
  FoldBounds(items, count, indices, n, mn, mx);
  TVector sum, centre;
  ::Add(MakeVector(mn[0], mn[1], mn[2]), MakeVector(mx[0], mx[1], mx[2]), sum);
  ::Scale(sum, 0.5, centre);
  centre.w = 1;
  return centre;
}

namespace {

// Per axis, the smallest and largest coordinate byte of `count` packed
// positions (x, y, z, normal).
#if defined(__SSE2__)
// The four positions of a block folded onto the first, the three axes' bytes
// taken out.
inline void Fold4(__m128i least, __m128i most, uint8_t lo[3], uint8_t hi[3]) {
  least = _mm_min_epu8(least, _mm_srli_si128(least, 8));
  most = _mm_max_epu8(most, _mm_srli_si128(most, 8));
  least = _mm_min_epu8(least, _mm_srli_si128(least, 4));
  most = _mm_max_epu8(most, _mm_srli_si128(most, 4));
  const uint32_t a = static_cast<uint32_t>(_mm_cvtsi128_si32(least));
  const uint32_t b = static_cast<uint32_t>(_mm_cvtsi128_si32(most));
  for (int k = 0; k < 3; ++k) {
    lo[k] = static_cast<uint8_t>(a >> (8 * k));
    hi[k] = static_cast<uint8_t>(b >> (8 * k));
  }
}
#endif

#if defined(__GNUC__) && defined(__x86_64__)
#define TESSEL_WIDE_BYTE_RANGE 1
// The same with 32-byte registers, on processors that have them: sixteen
// positions a step. Needs count >= 8.
__attribute__((target("avx2"))) void ByteRangeWide(const uint8_t* p, int count, uint8_t lo[3], uint8_t hi[3]) {
  const auto at = [p](int k) __attribute__((target("avx2"))) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 4 * static_cast<size_t>(k)));
  };
  __m256i least = at(0), most = least, least2 = least, most2 = least;
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i v = at(i), w = at(i + 8);
    least = _mm256_min_epu8(least, v);
    most = _mm256_max_epu8(most, v);
    least2 = _mm256_min_epu8(least2, w);
    most2 = _mm256_max_epu8(most2, w);
  }
  if (i < count) {
    const __m256i v = at(std::min(i, count - 8)), w = at(count - 8);
    least = _mm256_min_epu8(least, v);
    most = _mm256_max_epu8(most, v);
    least2 = _mm256_min_epu8(least2, w);
    most2 = _mm256_max_epu8(most2, w);
  }
  least = _mm256_min_epu8(least, least2);
  most = _mm256_max_epu8(most, most2);
  Fold4(_mm_min_epu8(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1)),
        _mm_max_epu8(_mm256_castsi256_si128(most), _mm256_extracti128_si256(most, 1)), lo, hi);
}

bool HasWideRegisters() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

void ByteRange(const uint8_t* p, int count, uint8_t lo[3], uint8_t hi[3]) {
#if defined(TESSEL_WIDE_BYTE_RANGE)
  if (count >= 8 && HasWideRegisters()) {
    ByteRangeWide(p, count, lo, hi);
    return;
  }
#endif
#if defined(__SSE2__)
  if (count >= 4) {
    // Two pairs of running values, eight positions a step; the last block
    // of four may overlap the one before (taking a byte twice changes no
    // smallest or largest).
    auto at = [p](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * static_cast<size_t>(k))); };
    __m128i least = at(0), most = least, least2 = least, most2 = least;
    int i = 0;
    for (; i + 8 <= count; i += 8) {
      const __m128i v = at(i), w = at(i + 4);
      least = _mm_min_epu8(least, v);
      most = _mm_max_epu8(most, v);
      least2 = _mm_min_epu8(least2, w);
      most2 = _mm_max_epu8(most2, w);
    }
    if (i < count) {
      const __m128i v = at(std::min(i, count - 4)), w = at(count - 4);
      least = _mm_min_epu8(least, v);
      most = _mm_max_epu8(most, v);
      least2 = _mm_min_epu8(least2, w);
      most2 = _mm_max_epu8(most2, w);
    }
    Fold4(_mm_min_epu8(least, least2), _mm_max_epu8(most, most2), lo, hi);
    return;
  }
#endif
  for (int k = 0; k < 3; ++k) {
    lo[k] = 0xFF;
    hi[k] = 0;
  }
  for (int i = 0; i < count; ++i)
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], p[4 * static_cast<size_t>(i) + static_cast<size_t>(k)]);
      hi[k] = std::max(hi[k], p[4 * static_cast<size_t>(i) + static_cast<size_t>(k)]);
    }
}

}  // namespace

void TPackedPositions::SetOrders() {
  for (int k = 0; k < 3; ++k) {
    const float* axis = Axis[k];
    // Flags gathered without branches, so the loop runs several entries a step.
    int notUp = 0, notDown = 0, odd = 0;
    odd |= axis[0] != axis[0] || (axis[0] == 0 && std::signbit(axis[0]));
    for (int b = 1; b < 256; ++b) {
      const float a = axis[b];
      odd |= (a != a) | ((a == 0) & std::signbit(a));
      notUp |= a < axis[b - 1];
      notDown |= a > axis[b - 1];
    }
    Order[k] = odd ? 0 : !notUp ? 1 : !notDown ? -1 : 0;
  }
}

// ---- frame memory -----------------------------------------------------------------

// In front of every frame: the block it lives in, or none.
struct alignas(16) TFrameSlab::TBlock {
  // One per frame still alive, plus, while the slab fills the block, one
  // for the slab and one for every slot not yet used: making a frame then
  // changes no count, and the slab gives back the rest when it moves on.
  std::atomic<size_t> Refs;
  int Capacity;
  int Used;
};

namespace {

constexpr size_t kFramePrefix = 16;
constexpr size_t kFrameStride = kFramePrefix + (sizeof(TMDLFrame) + 15) / 16 * 16;
constexpr int kSlabBlockFrames = 128;
static_assert(alignof(TMDLFrame) <= kFramePrefix && sizeof(void*) <= kFramePrefix);

}  // namespace

void TFrameSlab::Release(TBlock* block, size_t refs) {
  if (block->Refs.fetch_sub(refs, std::memory_order_acq_rel) == refs) ::operator delete(static_cast<void*>(block));
}

void TFrameSlab::Finish(TBlock* block) { Release(block, static_cast<size_t>(block->Capacity - block->Used) + 1); }

TFrameSlab::~TFrameSlab() {
  if (Block_) Finish(Block_);
}

std::unique_ptr<TMDLFrame> TFrameSlab::Make(TMDL* model) {
  if (!Block_ || Block_->Used == Block_->Capacity) {
    const int capacity = std::clamp(Next_, 1, kSlabBlockFrames);
    Next_ = std::max(Next_ - capacity, kSlabBlockFrames / 8);
    void* memory = ::operator new(sizeof(TBlock) + static_cast<size_t>(capacity) * kFrameStride);
    TBlock* block = ::new (memory) TBlock{{static_cast<size_t>(capacity) + 1}, capacity, 0};
    if (Block_) Finish(Block_);
    Block_ = block;
  }
  uint8_t* slot = reinterpret_cast<uint8_t*>(Block_ + 1) + static_cast<size_t>(Block_->Used) * kFrameStride;
  *reinterpret_cast<TBlock**>(slot) = Block_;
  TMDLFrame* frame = ::new (static_cast<void*>(slot + kFramePrefix)) TMDLFrame(model);
  ++Block_->Used;
  return std::unique_ptr<TMDLFrame>(frame);
}

void* TMDLFrame::operator new(size_t size) {
  uint8_t* raw = static_cast<uint8_t*>(::operator new(size + kFramePrefix));
  *reinterpret_cast<TFrameSlab::TBlock**>(raw) = nullptr;
  return raw + kFramePrefix;
}

void TMDLFrame::operator delete(void* p) {
  if (!p) return;
  uint8_t* raw = static_cast<uint8_t*>(p) - kFramePrefix;
  TFrameSlab::TBlock* block = *reinterpret_cast<TFrameSlab::TBlock**>(raw);
  if (block)
    TFrameSlab::Release(block, 1);
  else
    ::operator delete(static_cast<void*>(raw));
}

// ---- TMDLFrame ----------------------------------------------------------------

TMDLFrame::TMDLFrame(TMDL* model) : TMDLSection(model) {}

void TMDLFrame::SetCount(int n) {
  Ensure();
  Items_.resize(static_cast<size_t>(std::max(n, 0)));
}

void TMDLFrame::Duplicate(int i) {
  Ensure();
  Items_.push_back(Items_[static_cast<size_t>(i)]);
}

void TMDLFrame::Delete(int i) {
  Ensure();
  Items_.erase(Items_.begin() + i);
}

void TMDLFrame::DeleteMarkedVertices() {
  Ensure();
  TMDLVertexList& verts = *Model->Vertices;
  const size_t n = std::min(Items_.size(), static_cast<size_t>(verts.Count()));
  size_t out = 0;
  for (size_t i = 0; i < Items_.size(); ++i) {
    if (i < n && (verts.Item(static_cast<int>(i)).Flags & kVertexMark)) continue;
    Items_[out++] = Items_[i];
  }
  Items_.resize(out);
}

std::string TMDLFrame::Name() const { return std::string(Name_, strnlen(Name_, kFrameNameSize)); }

void TMDLFrame::SetName(const std::string& name) {
  std::memset(Name_, 0, sizeof Name_);
  std::string s = name.substr(0, kFrameNameSize - 1);
  // A lone frame of a scene is numbered 1; it keeps its plain name.
  if (s == "base1") s = "base";
  std::memcpy(Name_, s.data(), s.size());
}

void TMDLFrame::SetNameBytes(const char bytes[kFrameNameSize]) {
  std::memcpy(Name_, bytes, kFrameNameSize);
}

void TMDLFrame::SetPacked(std::shared_ptr<const TPackedPositions> source, size_t offset, int count) {
  if (Lazy_.load(std::memory_order_acquire) == kPivotsPending) Ensure();
  Items_ = std::vector<TFrameVertex>();
  Packed_ = std::move(source);
  PackedOffset_ = offset;
  PackedCount_ = std::max(count, 0);
  Lazy_.store(kPacked, std::memory_order_release);
}

void TMDLFrame::SetPendingPivots(std::shared_ptr<const TPendingPivots> pivots) {
  if (Lazy_.load(std::memory_order_acquire) != kPacked || !Pivots_.empty()) return;
  PendingPivotCount_ = static_cast<int>(pivots->Objects.size());
  PendingPivots_ = std::move(pivots);
  Lazy_.store(kPivotsPending, std::memory_order_release);
}

void TMDLFrame::SetPositions(std::vector<TFrameVertex>&& items) {
  // Pivots still to be made take their places from the old positions.
  if (Lazy_.load(std::memory_order_acquire) == kPivotsPending) Ensure();
  Items_ = std::move(items);
  Packed_.reset();
  Lazy_.store(kReady, std::memory_order_release);
}

namespace {

// Making lazy frames is rare and short: one lock for all of them.
std::mutex gMaterializing;

}  // namespace

void TMDLFrame::Materialize() const {
  std::lock_guard<std::mutex> lock(gMaterializing);
  const uint8_t state = Lazy_.load(std::memory_order_acquire);
  if (state == kReady) return;
  // Made aside and put in place at the end, so a failure leaves the frame
  // as it was.
  std::vector<TFrameVertex> items(static_cast<size_t>(PackedCount_));
  {
    const uint8_t* p = Packed_->Bytes.get() + PackedOffset_;
    const float* tx = Packed_->Axis[0];
    const float* ty = Packed_->Axis[1];
    const float* tz = Packed_->Axis[2];
    TFrameVertex* out = items.data();
    for (int i = 0; i < PackedCount_; ++i, p += 4)
      out[i] = TFrameVertex{tx[p[0]], ty[p[1]], tz[p[2]], p[3] < kNormalCount ? p[3] : 0};
  }
  std::vector<std::unique_ptr<TPivot>> pivots;
  if (state == kPivotsPending) {
    const TPendingPivots& pending = *PendingPivots_;
    pivots.reserve(pending.Objects.size());
    for (size_t k = 0; k < pending.Objects.size(); ++k) {
      auto pivot = std::make_unique<TPivot>();
      if (k > 0) pivot->CopyState(pending.Linked);
      TMDLObject* o = pending.Objects[k];
      pivot->OnChange = [o](TPivot& changed) { o->PivotChanged(changed); };
      const size_t first = static_cast<size_t>(pending.Starts[k]), end = static_cast<size_t>(pending.Starts[k + 1]);
      if (k > 0 && end > first) {
        const TVector c = BoxCentre(items.data(), static_cast<int>(items.size()), pending.Vertices.data() + first, end - first);
        pivot->MoveTo(c.x, c.y, c.z);
      }
      pivots.push_back(std::move(pivot));
    }
  }
  Items_.swap(items);
  if (state == kPivotsPending) Pivots_.swap(pivots);
  Packed_.reset();
  PendingPivots_.reset();
  Lazy_.store(kReady, std::memory_order_release);
}

bool TMDLFrame::AsLoaded(const TLoadedGamePart& file) const {
  const TLoadedFrameRecord& r = Loaded_;
  if (r.Serial == 0 || r.Serial != file.Serial || !file.File || Count() != r.Count) return false;
  const TPackedPositions& packed = *file.File;
  const uint8_t* bytes = packed.Bytes.get();
  if (Lazy_.load(std::memory_order_acquire) != kReady) {
    // Still packed from the record: nothing can have changed.
    std::lock_guard<std::mutex> lock(gMaterializing);
    if (Lazy_.load(std::memory_order_acquire) != kReady && Packed_ == file.File && PackedOffset_ == r.Positions)
      return true;
  }
  Ensure();
  const auto bits = [](float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
  };
  if (r.Raw != TLoadedFrameRecord::kNone) {
    const uint8_t* p = bytes + r.Raw;
    for (const TFrameVertex& v : Items_) {
      if (bits(v.X) != GetU32LE(p) || bits(v.Y) != GetU32LE(p + 4) || bits(v.Z) != GetU32LE(p + 8) ||
          v.NormalIndex != GetI32LE(p + 12))
        return false;
      p += mdlformat::kRawVertexSize;
    }
    return true;
  }
  // Compared with what unpacking the record gives; a normal byte outside
  // the table was read as another entry and counts as changed.
  const uint8_t* p = bytes + r.Positions;
  for (const TFrameVertex& v : Items_) {
    if (bits(v.X) != bits(packed.Axis[0][p[0]]) || bits(v.Y) != bits(packed.Axis[1][p[1]]) ||
        bits(v.Z) != bits(packed.Axis[2][p[2]]) || v.NormalIndex != p[3])
      return false;
    p += mdlformat::kPackedVertexSize;
  }
  return true;
}

void TMDLFrame::Assign(const TMDLFrame& frame) {
  frame.Ensure();
  Ensure();
  std::memcpy(Name_, frame.Name_, sizeof Name_);
  BBoxMin = frame.BBoxMin;
  BBoxMax = frame.BBoxMax;
  Items_ = frame.Items_;
  Loaded_ = frame.Loaded_;
  SetPivotCount(frame.PivotCount());
  for (size_t o = 0; o < Pivots_.size(); ++o) Pivots_[o]->Assign(*frame.Pivots_[o]);
}

void TMDLFrame::SetPivotCount(int n) {
  n = std::max(n, 0);
  if (n == 0 && Lazy_.load(std::memory_order_acquire) == kPivotsPending) {
    // Pivots not made yet need not be made to be dropped.
    PendingPivots_.reset();
    Lazy_.store(kPacked, std::memory_order_release);
    return;
  }
  EnsurePivots();
  if (static_cast<size_t>(n) < Pivots_.size()) {
    Pivots_.resize(static_cast<size_t>(n));
    return;
  }
  Pivots_.reserve(static_cast<size_t>(n));
  while (Pivots_.size() < static_cast<size_t>(n)) Pivots_.push_back(std::make_unique<TPivot>());
}

void TMDLFrame::InsertPivot(int o) {
  EnsurePivots();
  Pivots_.insert(Pivots_.begin() + o, std::make_unique<TPivot>());
}

void TMDLFrame::DeletePivot(int o) {
  EnsurePivots();
  if (o >= 0 && o < PivotCount()) Pivots_.erase(Pivots_.begin() + o);
}

void TMDLFrame::ComputeBoundingBox() {
  const int n = Count();
  if (n == 0) {
    BBoxMin = TFrameVertex{};
    BBoxMax = TFrameVertex{};
    return;
  }
  float mn[3] = {9999999, 9999999, 9999999}, mx[3] = {-9999999, -9999999, -9999999};
  const TPackedPositions* packed = Packed() ? Packed_.get() : nullptr;
  if (packed && packed->Order[0] != 0 && packed->Order[1] != 0 && packed->Order[2] != 0) {
    // The tables are ordered and free of NaNs and negative zeros, so the
    // smallest and largest bytes give the smallest and largest coordinates,
    // and equal coordinates are equal to the bit: the fold's result without
    // unpacking.
    uint8_t lo[3], hi[3];
    ByteRange(packed->Bytes.get() + PackedOffset_, n, lo, hi);
    for (int k = 0; k < 3; ++k) {
      const float* axis = packed->Axis[k];
      const float least = packed->Order[k] > 0 ? axis[lo[k]] : axis[hi[k]];
      const float most = packed->Order[k] > 0 ? axis[hi[k]] : axis[lo[k]];
      mn[k] = least < mn[k] ? least : mn[k];
      mx[k] = most > mx[k] ? most : mx[k];
    }
  } else {
    Ensure();
    FoldBounds(Items_.data(), n, mn, mx);
  }
  BBoxMin = TFrameVertex{mn[0], mn[1], mn[2], 0};
  BBoxMax = TFrameVertex{mx[0], mx[1], mx[2], 0};
}

int TMDLFrame::CalculateNormals() {
  Ensure();
  const int n = Count();
  if (n == 0) return 0;
  struct TAccum {
    int32_t Count = 0;
    TVector Sum;
  };
  std::vector<TAccum> acc(static_cast<size_t>(n));
  for (const TTriangle& t : Model->Triangles->Items()) {
    const int i0 = t.Vertex[0], i1 = t.Vertex[1], i2 = t.Vertex[2];
    if (i0 < 0 || i0 >= n || i1 < 0 || i1 >= n || i2 < 0 || i2 >= n) continue;
    TVector p0 = Position(Items_[static_cast<size_t>(i0)]);
    TVector p1 = Position(Items_[static_cast<size_t>(i1)]);
    TVector p2 = Position(Items_[static_cast<size_t>(i2)]);
    TVector a, b, nrm;
    Subtract(p0, p1, a);
    Subtract(p2, p1, b);
    Cross(a, b, nrm);
    Normalize(nrm);
    for (int c : {i0, i1, i2}) {
      TAccum& x = acc[static_cast<size_t>(c)];
      ::Add(x.Sum, nrm, x.Sum);
      ++x.Count;
    }
  }
  int changes = 0;
  for (int i = 0; i < n; ++i) {
    const TAccum& x = acc[static_cast<size_t>(i)];
    if (x.Count == 0) continue;
    TVector a;
    Scale(x.Sum, 1.0 / x.Count, a);
    Normalize(a);
    int j = NearestNormal(a);
    TFrameVertex& v = Items_[static_cast<size_t>(i)];
    if (j != v.NormalIndex) {
      v.NormalIndex = j;
      ++changes;
    }
  }
  return static_cast<int>(std::nearbyint(static_cast<double>(changes) * 100.0 / n));
}

double TMDLFrame::AverageTriangleArea() const {
  Ensure();
  const auto& tris = Model->Triangles->Items();
  if (tris.empty()) return 0;
  const int n = Count();
  double sum = 0;
  for (const TTriangle& t : tris) {
    const int i0 = t.Vertex[0], i1 = t.Vertex[1], i2 = t.Vertex[2];
    if (i0 < 0 || i0 >= n || i1 < 0 || i1 >= n || i2 < 0 || i2 >= n) continue;
    TVector a, b, c;
    Subtract(Position(Items_[static_cast<size_t>(i2)]), Position(Items_[static_cast<size_t>(i1)]), a);
    Subtract(Position(Items_[static_cast<size_t>(i0)]), Position(Items_[static_cast<size_t>(i1)]), b);
    Cross(a, b, c);
    sum += 0.5 * Length(c);
  }
  return sum / static_cast<double>(tris.size());
}

// ---- TMDLFrameGroup -------------------------------------------------------------

void TMDLFrameGroup::Add(std::unique_ptr<TMDLFrame> frame) {
  Frames_.push_back(std::move(frame));
  Intervals.Repair(Count());
}

void TMDLFrameGroup::Insert(int i, std::unique_ptr<TMDLFrame> frame) {
  Frames_.insert(Frames_.begin() + i, std::move(frame));
  Intervals.Repair(Count());
}

std::unique_ptr<TMDLFrame> TMDLFrameGroup::Remove(int i) {
  std::unique_ptr<TMDLFrame> f = std::move(Frames_[static_cast<size_t>(i)]);
  Frames_.erase(Frames_.begin() + i);
  return f;
}

void TMDLFrameGroup::SetType(int32_t t) {
  GroupType = t;
  if (t == 1) {
    Intervals.Reserve(Count());
    Intervals.SetDefault();
  }
}

void TMDLFrameGroup::RenumberFrames() {
  if (Frames_.empty()) return;
  const std::string base = BaseName(Frames_[0]->Name());
  for (int i = 0; i < Count(); ++i) {
    // SetName clears the bytes after the name; a name that stays keeps them.
    std::string name = base + std::to_string(i + 1);
    if (name == "base1") name = "base";
    if (Frame(i).Name() != name.substr(0, kFrameNameSize - 1)) Frame(i).SetName(name);
  }
}

bool TMDLFrameGroup::AsLoaded(uint64_t serial) const {
  if (serial == 0 || Loaded.Serial != serial || Loaded.GroupType != GroupType || Loaded.Frames.size() != Frames_.size())
    return false;
  for (size_t i = 0; i < Frames_.size(); ++i) {
    const TMDLFrame& f = *Frames_[i];
    const TLoadedFrameRecord& r = f.LoadedRecord();
    if (r.Serial != serial || r.Box != Loaded.Frames[i] || std::memcmp(f.NameBytes(), r.Name, kFrameNameSize) != 0)
      return false;
  }
  return true;
}

std::string TMDLFrameGroup::Name() const { return Frames_.empty() ? std::string() : BaseName(Frames_[0]->Name()); }

void TMDLFrameGroup::ComputeBoundingBox() {
  if (Frames_.empty()) {
    BBoxMin = TFrameVertex{};
    BBoxMax = TFrameVertex{};
    return;
  }
  TVector mn = MakeVector(9999999, 9999999, 9999999), mx = MakeVector(-9999999, -9999999, -9999999);
  for (auto& f : Frames_) {
    f->ComputeBoundingBox();
    mn = MinVector(Position(f->BBoxMin), mn);
    mx = MaxVector(Position(f->BBoxMax), mx);
  }
  BBoxMin = Corner(mn);
  BBoxMax = Corner(mx);
}

// ---- TMDLFrameList --------------------------------------------------------------

TMDLFrameList::TMDLFrameList(TMDL* model) : TMDLSection(model), CopiedFrame(std::make_unique<TMDLFrame>(model)) {}

float TMDLFrameList::SceneFrameDuration(int s, int i) {
  TMDLFrameGroup& g = Scene(s);
  return i == 0 ? g.Interval(0) : g.Interval(i) - g.Interval(i - 1);
}

TMDLFrame& TMDLFrameList::Frame(int k) {
  const TFlatEntry& e = Index_[static_cast<size_t>(k)];
  return Scene(e.Group).Frame(e.Member);
}

int TMDLFrameList::FrameIndex(const TMDLFrameGroup* scene) const {
  int k = 0;
  for (const auto& s : Scenes_) {
    if (s.get() == scene) return k;
    k += s->Count();
  }
  return 0;
}

void TMDLFrameList::RebuildIndex() {
  Index_.clear();
  for (int g = 0; g < SceneCount(); ++g)
    for (int i = 0; i < Scenes_[static_cast<size_t>(g)]->Count(); ++i) Index_.push_back(TFlatEntry{g, i});
}

std::unique_ptr<TMDLFrame> TMDLFrameList::NewFrame() {
  auto f = std::make_unique<TMDLFrame>(Model);
  f->SetPivotCount(Model->Objects->Count());
  return f;
}

std::unique_ptr<TMDLFrame> TMDLFrameList::NewFrame(TFrameSlab& slab) {
  auto f = slab.Make(Model);
  // A new frame has no pivots: none to add when there are no objects.
  if (const int n = Model->Objects->Count(); n > 0) f->SetPivotCount(n);
  return f;
}

TMDLFrameGroup& TMDLFrameList::NewScene() {
  Scenes_.push_back(std::make_unique<TMDLFrameGroup>(Model));
  return *Scenes_.back();
}

void TMDLFrameList::InsertScene(int s, std::unique_ptr<TMDLFrameGroup> scene) {
  s = std::clamp(s, 0, SceneCount());
  Scenes_.insert(Scenes_.begin() + s, std::move(scene));
  RebuildIndex();
}

std::unique_ptr<TMDLFrameGroup> TMDLFrameList::RemoveScene(int s) {
  std::unique_ptr<TMDLFrameGroup> g = std::move(Scenes_[static_cast<size_t>(s)]);
  Scenes_.erase(Scenes_.begin() + s);
  RebuildIndex();
  return g;
}

void TMDLFrameList::Clear() {
  Scenes_.clear();
  Loaded = TLoadedGamePart();
  CopiedFrame = std::make_unique<TMDLFrame>(Model);
  RebuildIndex();
}

void TMDLFrameList::CreateBaseFrame() {
  auto scene = std::make_unique<TMDLFrameGroup>(Model);
  auto frame = NewFrame();
  frame->SetCount(Model->Vertices->Count());
  frame->SetName("base");
  scene->Add(std::move(frame));
  Scenes_.insert(Scenes_.begin(), std::move(scene));
  RebuildIndex();
  Model->Objects->Reconstruct();
}

void TMDLFrameList::AddVertexToAll(const TFrameVertex& v) {
  for (int k = 0; k < Count(); ++k) Frame(k).Add(v);
}

void TMDLFrameList::DuplicateVertexInAll(int i) {
  for (int k = 0; k < Count(); ++k) Frame(k).Duplicate(i);
}

void TMDLFrameList::PutFrame(int at, std::unique_ptr<TMDLFrame> frame) {
  if (Scenes_.empty()) {
    NewScene().Add(std::move(frame));
  } else if (at < 0 || at >= Count()) {
    Scenes_.back()->Add(std::move(frame));
  } else {
    const TFlatEntry e = Index_[static_cast<size_t>(at)];
    Scene(e.Group).Insert(e.Member, std::move(frame));
  }
  RebuildIndex();
}

std::unique_ptr<TMDLFrame> TMDLFrameList::TakeFrame(int k) {
  const TFlatEntry e = Index_[static_cast<size_t>(k)];
  TMDLFrameGroup& g = Scene(e.Group);
  std::unique_ptr<TMDLFrame> f = g.Remove(e.Member);
  if (g.Count() == 0) Scenes_.erase(Scenes_.begin() + e.Group);
  RebuildIndex();
  return f;
}

void TMDLFrameList::InsertFrameCopy(int k, int at) {
  auto f = NewFrame();
  f->Assign(Frame(k));
  PutFrame(at, std::move(f));
}

void TMDLFrameList::CopyFrame(int k) { CopiedFrame->Assign(Frame(k)); }

void TMDLFrameList::PasteFrame(int at) {
  if (CopiedFrame->Count() == 0) return;
  auto f = NewFrame();
  f->Assign(*CopiedFrame);
  // The objects may have changed since the copy was taken.
  f->SetPivotCount(Model->Objects->Count());
  PutFrame(at, std::move(f));
}

bool TMDLFrameList::MoveFrame(int from, int to) {
  if (from == to) return false;
  if (to > from) {
    // Put at `to` first, then take the frame out of `from`: where `to` lies
    // is decided before the move, as if the frame were still there.
    const TFlatEntry src = Index_[static_cast<size_t>(from)];
    TFlatEntry dst{SceneCount() - 1, Scene(SceneCount() - 1).Count()};
    if (to < Count()) dst = Index_[static_cast<size_t>(to)];
    TMDLFrameGroup& source = Scene(src.Group);
    std::unique_ptr<TMDLFrame> f = source.Remove(src.Member);
    if (dst.Group == src.Group && dst.Member > src.Member) --dst.Member;
    Scene(dst.Group).Insert(dst.Member, std::move(f));
    if (source.Count() == 0) Scenes_.erase(Scenes_.begin() + src.Group);
    RebuildIndex();
  } else {
    PutFrame(to, TakeFrame(from));
  }
  return true;
}

void TMDLFrameList::DeleteFrame(int k) { TakeFrame(k); }

bool TMDLFrameList::MoveScene(int from, int to) {
  if (from == to) return false;
  auto moving = std::move(Scenes_[static_cast<size_t>(from)]);
  if (to > from) {
    Scenes_.insert(Scenes_.begin() + std::min(to, SceneCount()), std::move(moving));
    Scenes_.erase(Scenes_.begin() + from);
  } else {
    Scenes_.erase(Scenes_.begin() + from);
    Scenes_.insert(Scenes_.begin() + std::max(to, 0), std::move(moving));
  }
  RebuildIndex();
  return true;
}

void TMDLFrameList::JoinScene(int s) {
  if (s <= 0 || s >= SceneCount()) return;
  TMDLFrameGroup& into = Scene(s - 1);
  TMDLFrameGroup& from = Scene(s);
  while (from.Count() > 0) into.Add(from.Remove(0));
  Scenes_.erase(Scenes_.begin() + s);
  RebuildIndex();
}

void TMDLFrameList::SplitScene(int s, int n) {
  if (s < 0 || s >= SceneCount()) return;
  TMDLFrameGroup& old = Scene(s);
  if (n < 1 || n >= old.Count()) return;
  auto scene = std::make_unique<TMDLFrameGroup>(Model);
  scene->GroupType = old.GroupType;
  for (int i = 0; i < n; ++i) {
    scene->Add(old.Remove(0));
    scene->SetInterval(i, old.Interval(0));
  }
  Scenes_.insert(Scenes_.begin() + s, std::move(scene));
  RebuildIndex();
}

void TMDLFrameList::SetSceneType(int s, bool isGroup) { Scene(s).SetType(isGroup ? 1 : 0); }

void TMDLFrameList::SetSceneFrameDuration(int s, int i, float seconds) {
  TMDLFrameGroup& g = Scene(s);
  g.SetInterval(i, i > 0 ? static_cast<float>(static_cast<double>(g.Interval(i - 1)) + seconds) : seconds);
}

void TMDLFrameList::RenameScene(int s, const std::string& newBase) {
  TMDLFrameGroup& g = Scene(s);
  const std::string base = BaseName(newBase);
  for (int i = 0; i < g.Count(); ++i) g.Frame(i).SetName(base + std::to_string(i + 1));
}

void TMDLFrameList::SetUniqueSceneName(int s, const std::string& name) {
  std::string result;
  for (char c : name)
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) result += c;
  if (result.size() > 13) result.resize(13);
  if (result.empty()) return;
  const std::string before = s > 0 ? SceneName(s - 1) : std::string();
  const std::string after = s + 1 < SceneCount() ? SceneName(s + 1) : std::string();
  // Each step changes the last character, so this ends after a few turns.
  while ((s > 0 && result == before) || (s + 1 < SceneCount() && result == after))
    result.back() = static_cast<char>(static_cast<unsigned char>(result.back()) + 1);
  RenameScene(s, result);
}

void TMDLFrameList::ComputeBounds() {
  if (Scenes_.empty()) {
    BBoxMin = TFrameVertex{};
    BBoxMax = TFrameVertex{};
  } else {
    TVector mn = MakeVector(9999999, 9999999, 9999999), mx = MakeVector(-9999999, -9999999, -9999999);
    for (auto& s : Scenes_) {
      s->ComputeBoundingBox();
      mn = MinVector(Position(s->BBoxMin), mn);
      mx = MaxVector(Position(s->BBoxMax), mx);
    }
    BBoxMin = Corner(mn);
    BBoxMax = Corner(mx);
  }
  TMDLFiler& h = *Model->Header;
  const float mn[3] = {BBoxMin.X, BBoxMin.Y, BBoxMin.Z};
  const float mx[3] = {BBoxMax.X, BBoxMax.Y, BBoxMax.Z};
  double r2 = 0;
  TVector size, step;
  Subtract(Position(BBoxMax), Position(BBoxMin), size);
  ::Scale(size, 1.0 / 255.0, step);
  const float steps[3] = {step.x, step.y, step.z};
  for (int k = 0; k < 3; ++k) {
    h.Origin[k] = mn[k];
    h.Scale[k] = std::max(steps[k], 0.0001f);
    double term = std::fabs(mn[k]) > std::fabs(mx[k]) ? mn[k] : mx[k];
    r2 += term * term;
  }
  h.Radius = static_cast<float>(std::sqrt(r2));
}
