// The model file's reader and writer, and the Load/Save of every section,
// so that the whole of the format lives in this one file.

#include "mdl/MdlFiler.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <iterator>

#include "core/ByteWriter.h"
#include "core/Endian.h"
#include "core/Format.h"
#include "core/Progress.h"
#include "mdl/Mdl.h"

using namespace mdlformat;

namespace {

int32_t Percent(int64_t part, int64_t whole) {
  if (whole <= 0) return 0;
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(part) / static_cast<double>(whole) * 100.0));
}

// A normal index outside the table would send every later reader of the
// frame past its end; such a file gets the first entry instead.
int32_t ValidNormal(int32_t n) { return n >= 0 && n < kNormalCount ? n : 0; }

uint8_t PackCoordinate(float c, float origin, float scale) {
  double q = (static_cast<double>(c) - origin) / scale;
  if (!std::isfinite(q)) return 0;
  q = std::nearbyint(std::clamp(q, -2147483648.0, 2147483647.0));
  return static_cast<uint8_t>(static_cast<int64_t>(q) & 0xFF);
}

// Memory for a whole file. Large files get memory the system may back with
// large pages: filling it then costs a few hundred page faults, not one per
// 4 KiB, which for a file of tens of megabytes is most of the time a load
// takes.
std::shared_ptr<uint8_t[]> NewReadBuffer(size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr size_t kLarge = size_t{8} << 20;
  if (size >= kLarge) {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != MAP_FAILED) {
      madvise(p, size, MADV_HUGEPAGE);  // a hint; without it the memory is still good
      return std::shared_ptr<uint8_t[]>(static_cast<uint8_t*>(p), [size](uint8_t* q) { munmap(q, size); });
    }
  }
#endif
  return std::make_shared_for_overwrite<uint8_t[]>(size);
}

}  // namespace

// ---- TMDLFiler ------------------------------------------------------------------

TMDLFiler::TMDLFiler() : TBufferedFilter(nullptr, kBufferSize) {}

void TMDLFiler::ClearValues() {
  NumSkins = SkinHeight = SkinWidth = Flags = NumFrames = 0;
  std::memcpy(Ident, "IDPO", 5);
  for (int k = 0; k < 3; ++k) EyePosition[k] = Origin[k] = Scale[k] = 0;
  Radius = Size = 0;
  SyncType = 1;
  NumTris = NumVerts = 0;
  Version = 6;
  ExtVersion = kExtVersionWritten;
}

void TMDLFiler::BeginRead() {
  static std::atomic<uint64_t> serials{0};
  LoadSerial_ = ++serials;
  Bytes_.reset();
  Reader_ = TByteReader(nullptr, 0);
  TStream* s = Stream();
  int64_t got = 0;
  if (s) {
    // One read of the whole file: no per-field calls through the streams.
    // The buffer is not cleared first; only what was read is looked at.
    const int64_t size = std::max<int64_t>(s->Size(), 0);
    s->Seek(0, soFromBeginning);
    Bytes_ = NewReadBuffer(static_cast<size_t>(size));
    while (got < size) {
      int64_t n = s->Read(Bytes_.get() + got, size - got);
      if (n <= 0) break;
      got += n;
    }
  }
  Reader_ = TByteReader(Bytes_.get(), static_cast<size_t>(got));
}

void TMDLFiler::EndRead() {
  Bytes_.reset();
  Reader_ = TByteReader(nullptr, 0);
}

void TMDLFiler::CheckCount(int64_t count, int64_t recordSize, const char* what) {
  if (count < 0) throw EMDLError(Format("Invalid number of %s: %lld", what, static_cast<long long>(count)));
  if (recordSize > 0 && count > static_cast<int64_t>(Reader_.Remaining()) / recordSize)
    throw EMDLError(Format("Unexpected end of file while reading %s", what));
}

void TMDLFiler::LoadHeader() {
  Reader_.Seek(0);
  if (Reader_.Remaining() < 8) {
    if (Reader_.Remaining() < 4 || std::memcmp(Reader_.Data(), "IDPO", 4) != 0)
      throw EMDLError("Invalid file format");
    throw EMDLError("Unexpected end of file while reading the header");
  }
  char ident[4];
  Reader_.Bytes(ident, 4);
  if (std::memcmp(ident, "IDPO", 4) != 0) throw EMDLError("Invalid file format");
  std::memcpy(Ident, ident, 4);
  Ident[4] = 0;
  const int32_t version = Reader_.I32();
  if (version != 3 && version != 6) throw EMDLError("Incompatible file version ");
  const size_t size = version >= 6 ? kHeaderSize : kHeaderSizeV3;
  if (Reader_.Size() < size) throw EMDLError("Unexpected end of file while reading the header");
  Version = version;
  for (float& v : Scale) v = Reader_.F32();
  for (float& v : Origin) v = Reader_.F32();
  Radius = Reader_.F32();
  for (float& v : EyePosition) v = Reader_.F32();
  NumSkins = Reader_.I32();
  SkinWidth = Reader_.I32();
  SkinHeight = Reader_.I32();
  NumVerts = Reader_.I32();
  NumTris = Reader_.I32();
  NumFrames = Reader_.I32();
  SyncType = Reader_.I32();
  if (Version >= 6) {
    Flags = Reader_.I32();
    Size = Reader_.F32();
  }
}

void TMDLFiler::SaveHeader() {
  std::memcpy(Ident, "IDPO", 5);
  Version = 6;
  TByteWriter w(kHeaderSize);
  w.Bytes(Ident, 4);
  w.I32(Version);
  for (float v : Scale) w.F32(v);
  for (float v : Origin) w.F32(v);
  w.F32(Radius);
  for (float v : EyePosition) w.F32(v);
  w.I32(NumSkins);
  w.I32(SkinWidth);
  w.I32(SkinHeight);
  w.I32(NumVerts);
  w.I32(NumTris);
  w.I32(NumFrames);
  w.I32(SyncType);
  w.I32(Flags);
  w.F32(Size);
  Seek(0, soFromBeginning);
  Write(w);
}

bool TMDLFiler::LoadExtensionHeader() {
  if (Reader_.AtEnd()) return false;
  if (Reader_.Remaining() < kExtMarkerSize) {
    Reader_.Skip(Reader_.Remaining());
    return false;
  }
  const bool match = std::memcmp(Reader_.Take(kExtMarkerSize), kExtMarker, kExtMarkerSize) == 0;
  if (Reader_.Remaining() >= kExtHeaderSize - kExtMarkerSize) ExtVersion = Reader_.I32();
  return match;
}

void TMDLFiler::SaveExtensionHeader() {
  ExtVersion = kExtVersionWritten;
  TByteWriter w(kExtHeaderSize);
  w.Bytes(kExtMarker, kExtMarkerSize);
  w.I32(ExtVersion);
  Write(w);
}

TFrameVertex TMDLFiler::UnpackVertex(const uint8_t* p) const {
  TFrameVertex v;
  v.X = static_cast<float>(p[0] * static_cast<double>(Scale[0]) + Origin[0]);
  v.Y = static_cast<float>(p[1] * static_cast<double>(Scale[1]) + Origin[1]);
  v.Z = static_cast<float>(p[2] * static_cast<double>(Scale[2]) + Origin[2]);
  v.NormalIndex = ValidNormal(p[3]);
  return v;
}

void TMDLFiler::PackVertex(const TFrameVertex& v, uint8_t* out) const {
  out[0] = PackCoordinate(v.X, Origin[0], Scale[0]);
  out[1] = PackCoordinate(v.Y, Origin[1], Scale[1]);
  out[2] = PackCoordinate(v.Z, Origin[2], Scale[2]);
  out[3] = static_cast<uint8_t>(v.NormalIndex & 0xFF);
}

void TMDLFiler::PackVertex(const TFrameVertex& v, TByteWriter& w) const { PackVertex(v, w.Grow(kPackedVertexSize)); }

TFrameVertex TMDLFiler::ReadVertex() { return UnpackVertex(Reader_.Take(kPackedVertexSize)); }

void TMDLFiler::WriteVertex(const TFrameVertex& v) {
  TByteWriter w(kPackedVertexSize);
  PackVertex(v, w);
  Write(w);
}

std::string TMDLFiler::ReadName() { return Reader_.FixedString(kNameSize); }

void TMDLFiler::ReadName(char bytes[kFrameNameSize]) { Reader_.Bytes(bytes, kNameSize); }

void TMDLFiler::WriteName(const std::string& name) {
  TByteWriter w(kNameSize);
  w.FixedString(name, kNameSize);
  Write(w);
}

TFrameVertex TMDLFiler::ReadRawVertex() {
  const uint8_t* p = Reader_.Take(kRawVertexSize);
  return TFrameVertex{GetF32LE(p), GetF32LE(p + 4), GetF32LE(p + 8), ValidNormal(GetI32LE(p + 12))};
}

void TMDLFiler::WriteRawVertex(const TFrameVertex& v) {
  TByteWriter w(kRawVertexSize);
  PutRawVertex(v, w);
  Write(w);
}

void TMDLFiler::PutRawVertex(const TFrameVertex& v, TByteWriter& w) {
  w.F32(v.X);
  w.F32(v.Y);
  w.F32(v.Z);
  w.I32(v.NormalIndex);
}

void TMDLFiler::Write(const TByteWriter& w) { WriteBytes(w.Data(), w.Size()); }

// ---- skins ------------------------------------------------------------------------

void TMDLBitmapList::Load(TMDLFiler& filer) {
  TByteReader& r = filer.Reader();
  const int32_t w = filer.SkinWidth, h = filer.SkinHeight;
  filer.CheckCount(filer.NumSkins, 4, "skins");
  if (filer.NumSkins > 0) {
    if (w <= 0 || h <= 0) throw EMDLError(Format("Invalid skin size %d x %d", w, h));
    if (w > TWinGBitmap::kMaxWidth || h > TWinGBitmap::kMaxHeight)
      throw EMDLError(Format("Skin size %d x %d is too large", w, h));
  }
  const int64_t pixels = static_cast<int64_t>(std::max(w, 0)) * std::max(h, 0);
  filer.CheckCount(filer.NumSkins, 4 + pixels, "skins");
  SetGroupCount(filer.NumSkins);
  TProgressScope progress(0, ">Loading Skin 0");
  for (int g = 0; g < GroupCount(); ++g) {
    Progressor().SetDescription(Format(">Loading Skin %d", g));
    TMDLBitmapGroup& group = Group(g);
    group.GroupType = r.I32();
    int32_t n = 1;
    if (group.GroupType != 0) {
      n = r.I32();
      if (n <= 0) throw EMDLError(Format("Invalid number of skins in skin group %d: %d", g, n));
      filer.CheckCount(n, 4 + pixels, "skins");
      // Members first: making them repairs the intervals, and the file's
      // own must be kept as they are.
      group.SetCount(n);
      group.Intervals = TIntervals();
      group.Intervals.Reserve(n);
      for (int i = 0; i < n; ++i) group.SetInterval(i, r.F32());
    } else {
      filer.CheckCount(1, pixels, "skins");
      group.SetCount(n);
    }
    for (int i = 0; i < n; ++i) {
      TMDLBitmap& skin = group.Bitmap(i);
      skin.SetSize(w, h);
      const uint8_t* src = r.Take(static_cast<size_t>(pixels));
      // The file's first row is the picture's top row.
      for (int y = 0; y < h; ++y) std::memcpy(skin.Row(y), src + static_cast<size_t>(y) * static_cast<size_t>(w), static_cast<size_t>(w));
      skin.RecountColors();
    }
    Progressor().SetPosition(Percent(g + 1, GroupCount()));
  }
  RebuildIndex();
  for (int k = 0; k < Count(); ++k) Skin(k).Name = Format("skin%d", k);
}

void TMDLBitmapList::Save(TMDLFiler& filer) {
  filer.NumSkins = GroupCount();
  TProgressScope progress(0, ">Saving Skin 0");
  TByteWriter w;
  for (int g = 0; g < GroupCount(); ++g) {
    Progressor().SetDescription(Format(">Saving Skin %d", g));
    TMDLBitmapGroup& group = Group(g);
    w.Clear();
    w.I32(group.GroupType);
    if (group.GroupType != 0) {
      w.I32(group.Count());
      // The game refuses a group whose intervals do not climb.
      for (float v : group.Intervals.Ascending(group.Count())) w.F32(v);
    }
    filer.Write(w);
    for (int i = 0; i < group.Count(); ++i) {
      TMDLBitmap& skin = group.Bitmap(i);
      filer.SkinWidth = skin.Width;
      filer.SkinHeight = skin.Height;
      w.Clear();
      // A skin without width has no rows to copy (and may own no buffer).
      for (int y = 0; skin.Width > 0 && y < skin.Height; ++y) w.Bytes(skin.Row(y), static_cast<size_t>(skin.Width));
      filer.Write(w);
    }
    Progressor().SetPosition(Percent(g + 1, GroupCount()));
  }
}

void TMDLBitmapList::LoadNames(TMDLFiler& filer) {
  TByteReader& r = filer.Reader();
  const int32_t count = r.I32();
  if (count < 0 || count > 134217727) throw EStreamError("Error reading TStrings from stream");
  // Every name takes at least its length byte.
  if (static_cast<size_t>(count) > r.Remaining()) throw EMDLError("Unexpected end of file while reading skin names");
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t n = r.U8();
    names.emplace_back(reinterpret_cast<const char*>(r.Take(n)), n);
  }
  if (static_cast<int>(names.size()) < Count()) throw EMDLError("Fewer skin names than skins");
  for (int k = 0; k < Count(); ++k) Skin(k).Name = names[static_cast<size_t>(k)];
}

void TMDLBitmapList::SaveNames(TMDLFiler& filer) {
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(Count()));
  for (int k = 0; k < Count(); ++k) names.push_back(Skin(k).Name);
  WriteStrings(filer, names);
}

// ---- vertices and triangles ------------------------------------------------------

void TMDLVertexList::Load(TMDLFiler& filer) {
  if (filer.NumVerts > kMaxVertices)
    throw EMDLError(Format("Too many vertices (%d); the limit is %d", filer.NumVerts, kMaxVertices));
  filer.CheckCount(filer.NumVerts, kSkinVertexSize, "vertices");
  SetCount(filer.NumVerts);
  const uint8_t* p = filer.Reader().Take(static_cast<size_t>(filer.NumVerts) * kSkinVertexSize);
  for (int i = 0; i < filer.NumVerts; ++i, p += kSkinVertexSize) {
    Items_[static_cast<size_t>(i)] = TSkinVertex{GetI32LE(p) != 0 ? kOnSeam : 0, GetI32LE(p + 4), GetI32LE(p + 8)};
    ObjectIndex_[static_cast<size_t>(i)] = kNoObject;
  }
}

void TMDLVertexList::Save(TMDLFiler& filer) {
  filer.NumVerts = Count();
  TByteWriter w(Items_.size() * kSkinVertexSize);
  for (const TSkinVertex& v : Items_) {
    w.I32(v.Flags);
    w.I32(v.S);
    w.I32(v.T);
  }
  filer.Write(w);
}

void TMDLTriangleList::Load(TMDLFiler& filer) {
  if (filer.NumTris > kMaxTriangles)
    throw EMDLError(Format("Too many triangles (%d); the limit is %d", filer.NumTris, kMaxTriangles));
  filer.CheckCount(filer.NumTris, kTriangleSize, "triangles");
  SetCount(filer.NumTris);
  Loaded = TLoadedTriangles{filer.LoadSerial(), filer.Reader().Position(), filer.NumTris};
  const uint8_t* p = filer.Reader().Take(static_cast<size_t>(filer.NumTris) * kTriangleSize);
  for (int i = 0; i < filer.NumTris; ++i, p += kTriangleSize) {
    TTriangle& t = Items_[static_cast<size_t>(i)];
    t.FacesFront = GetI32LE(p);
    for (int c = 0; c < 3; ++c) {
      t.Vertex[c] = GetI32LE(p + 4 + 4 * c);
      // Every reader of the mesh indexes the vertices with these.
      if (t.Vertex[c] < 0 || t.Vertex[c] >= filer.NumVerts)
        throw EMDLError(Format("Triangle %d uses vertex %d, which does not exist", i, t.Vertex[c]));
    }
  }
}

bool TMDLTriangleList::CornersAsLoaded(const TLoadedGamePart& file) const {
  if (Loaded.Serial == 0 || Loaded.Serial != file.Serial || !file.File || Loaded.Count != Count()) return false;
  const uint8_t* p = file.File->Bytes.get() + Loaded.Offset;
  for (const TTriangle& t : Items_) {
    for (int c = 0; c < 3; ++c)
      if (t.Vertex[c] != GetI32LE(p + 4 + 4 * c)) return false;
    p += kTriangleSize;
  }
  return true;
}

void TMDLTriangleList::Save(TMDLFiler& filer) {
  filer.NumTris = Count();
  TByteWriter w(Items_.size() * kTriangleSize);
  for (const TTriangle& t : Items_) {
    w.I32(t.FacesFront);
    for (int32_t v : t.Vertex) w.I32(v);
  }
  filer.Write(w);
}

// ---- frames ---------------------------------------------------------------------

namespace {

// The bytes of one frame record: box, name (version 6), packed positions.
int64_t FrameRecordSize(const TMDLFiler& filer) {
  return kBoxSize + (filer.Version >= 6 ? kNameSize : 0) +
         static_cast<int64_t>(std::max(filer.NumVerts, 0)) * kPackedVertexSize;
}

// One frame record: box, name (version 6), packed positions, which the
// frame keeps packed until it is first used.
void ReadFrameRecord(TMDLFiler& filer, const std::shared_ptr<const TPackedPositions>& packed, TMDLFrame& frame) {
  TByteReader& r = filer.Reader();
  const int64_t need = FrameRecordSize(filer);
  if (static_cast<int64_t>(r.Remaining()) < need) throw EMDLError("Unexpected end of file while reading frames");
  TLoadedFrameRecord record;
  record.Serial = filer.LoadSerial();
  record.Box = r.Position();
  record.Count = filer.NumVerts;
  frame.BBoxMin = filer.ReadVertex();
  frame.BBoxMax = filer.ReadVertex();
  frame.BBoxMin.NormalIndex = frame.BBoxMax.NormalIndex = 0;
  if (filer.Version >= 6) {
    char name[kFrameNameSize];
    filer.ReadName(name);
    frame.SetNameBytes(name);
  } else {
    frame.SetName("frame");
  }
  const size_t offset = r.Position();
  r.Skip(static_cast<size_t>(filer.NumVerts) * kPackedVertexSize);
  frame.SetPacked(packed, offset, filer.NumVerts);
  record.Positions = offset;
  std::memcpy(record.Name, frame.NameBytes(), kFrameNameSize);
  frame.SetLoadedRecord(record);
}

// The packed positions of this file: its bytes, and for every coordinate
// byte exactly what UnpackVertex makes of it.
std::shared_ptr<const TPackedPositions> PackedPositions(const TMDLFiler& filer) {
  auto packed = std::make_shared<TPackedPositions>();
  packed->Bytes = filer.SharedBytes();
  for (int b = 0; b < 256; ++b) {
    const uint8_t c = static_cast<uint8_t>(b);
    const uint8_t bytes[kPackedVertexSize] = {c, c, c, 0};
    const TFrameVertex v = filer.UnpackVertex(bytes);
    packed->Axis[0][b] = v.X;
    packed->Axis[1][b] = v.Y;
    packed->Axis[2][b] = v.Z;
  }
  packed->SetOrders();
  return packed;
}

// A frame record. With `file`, the frame is as loaded from it and packed
// with its grid: the box and positions are the loaded record's bytes.
void AppendFrameRecord(TMDLFiler& filer, TMDLFrame& frame, TByteWriter& w, const uint8_t* file) {
  filer.NumVerts = frame.Count();
  const size_t positions = static_cast<size_t>(frame.Count()) * kPackedVertexSize;
  if (file) {
    const TLoadedFrameRecord& r = frame.LoadedRecord();
    w.Bytes(file + r.Box, kBoxSize);
    w.Bytes(frame.NameBytes(), kNameSize);
    w.Bytes(file + r.Positions, positions);
    return;
  }
  filer.PackVertex(frame.BBoxMin, w);
  filer.PackVertex(frame.BBoxMax, w);
  w.Bytes(frame.NameBytes(), kNameSize);
  const TFrameVertex* v = frame.Data();
  uint8_t* p = w.Grow(positions);
  for (int i = 0; i < frame.Count(); ++i, p += kPackedVertexSize) filer.PackVertex(v[i], p);
}

// Whether the loaded file's grid still holds the frame: packing with it
// moves no coordinate by more than half a step (nothing wraps past an end
// of the grid, nothing is lost to a step of 0).
bool FitsGrid(const TMDLFrame& frame, const TLoadedGamePart& loaded) {
  const TPackedPositions& grid = *loaded.File;
  const TFrameVertex* v = frame.Data();
  for (int i = 0; i < frame.Count(); ++i) {
    const float c[3] = {v[i].X, v[i].Y, v[i].Z};
    for (int k = 0; k < 3; ++k) {
      const double unpacked = grid.Axis[k][PackCoordinate(c[k], loaded.Origin[k], loaded.Scale[k])];
      const double slack = 0.5 * std::fabs(static_cast<double>(loaded.Scale[k])) * (1 + 1e-6) + 1e-6 * std::fabs(c[k]);
      if (!(std::fabs(unpacked - c[k]) <= slack)) return false;
    }
  }
  return true;
}

}  // namespace

void TMDLFrameList::Load(TMDLFiler& filer) {
  TByteReader& r = filer.Reader();
  Scenes_.clear();
  Loaded = TLoadedGamePart();
  const int64_t recordSize = FrameRecordSize(filer);
  filer.CheckCount(filer.NumFrames, 4 + recordSize, "frames");
  const int32_t total = filer.NumFrames;
  const std::shared_ptr<const TPackedPositions> packed = PackedPositions(filer);
  TProgressor& progressor = Progressor();
  TProgressScope progress(0, ">Loading Frame 0");
  TFrameSlab slab(filer.NumFrames);
  int32_t done = 0;
  while (filer.NumFrames > 0) {
    progressor.SetDescription(">Loading Frame " + std::to_string(done));
    auto scene = std::make_unique<TMDLFrameGroup>(Model);
    scene->GroupType = r.I32();
    if (scene->GroupType == 0) {
      auto first = NewFrame(slab);
      ReadFrameRecord(filer, packed, *first);
      const std::string base = BaseName(first->Name());
      scene->Add(std::move(first));
      --filer.NumFrames;
      // Following single frames with the same base name join this scene.
      while (filer.NumFrames > 0) {
        const size_t p = r.Position();
        if (r.Remaining() < 4) break;
        if (r.I32() != 0) {
          r.Seek(p);
          break;
        }
        const size_t q = r.Position();
        const char* name = "frame";
        if (filer.Version >= 6) {
          if (r.Remaining() < kBoxSize + kNameSize) {
            r.Seek(p);
            break;
          }
          r.Skip(kBoxSize);
          name = reinterpret_cast<const char*>(r.Take(kNameSize));
        }
        // BaseName and HasDigit, on the bytes in place: the name ends at its
        // first zero byte or after all of its bytes.
        size_t digit = 0;
        while (digit < kNameSize && name[digit] != 0 && !(name[digit] >= '0' && name[digit] <= '9')) ++digit;
        const bool hasDigit = digit < kNameSize && name[digit] >= '0' && name[digit] <= '9';
        if (!hasDigit || digit != base.size() || std::memcmp(name, base.data(), digit) != 0) {
          r.Seek(p);
          break;
        }
        r.Seek(q);
        auto f = NewFrame(slab);
        ReadFrameRecord(filer, packed, *f);
        scene->Add(std::move(f));
        --filer.NumFrames;
      }
      done += scene->Count();
    } else {
      // Any group type reads as a group; it is kept as the one group type
      // this program writes, so the group survives saving.
      scene->GroupType = 1;
      const int32_t n = r.I32();
      if (n <= 0) throw EMDLError(Format("Invalid number of frames in frame group: %d", n));
      filer.CheckCount(n, 4 + recordSize, "frames");
      scene->Loaded.Box = r.Position();
      scene->BBoxMin = filer.ReadVertex();
      scene->BBoxMax = filer.ReadVertex();
      scene->BBoxMin.NormalIndex = scene->BBoxMax.NormalIndex = 0;
      scene->Intervals.Reserve(n);
      for (int i = 0; i < n; ++i) scene->SetInterval(i, r.F32());
      for (int i = 0; i < n; ++i) {
        auto f = NewFrame(slab);
        ReadFrameRecord(filer, packed, *f);
        scene->Add(std::move(f));
      }
      --filer.NumFrames;
      done += 1;
    }
    scene->Loaded.Serial = filer.LoadSerial();
    scene->Loaded.GroupType = scene->GroupType;
    scene->Loaded.Frames.reserve(static_cast<size_t>(scene->Count()));
    for (int i = 0; i < scene->Count(); ++i) scene->Loaded.Frames.push_back(scene->Frame(i).LoadedRecord().Box);
    Scenes_.push_back(std::move(scene));
    progressor.SetPosition(Percent(done, total));
  }
  filer.NumFrames = done;
  RebuildIndex();
  // What the file said, before the model's own values replace it.
  TLoadedGamePart loaded;
  loaded.File = packed;
  std::copy(std::begin(filer.Scale), std::end(filer.Scale), loaded.Scale);
  std::copy(std::begin(filer.Origin), std::end(filer.Origin), loaded.Origin);
  loaded.Radius = filer.Radius;
  loaded.Size = filer.Size;
  loaded.HasSize = filer.Version >= 6;
  if (Count() > 0) loaded.FirstFrame = Frame(0).LoadedRecord().Box;
  ComputeBounds();
  loaded.BoxMin = BBoxMin;
  loaded.BoxMax = BBoxMax;
  loaded.Serial = filer.LoadSerial();
  Loaded = std::move(loaded);
}

// What has not changed since loading is written as it was loaded: a frame
// whose positions and normals are as loaded (over the loaded triangles)
// keeps its light normals, and while the loaded grid holds every frame, the
// header keeps the file's scale and origin and such a frame its record's
// bytes. The radius stays while the model box does, the average triangle
// area while the first frame and the triangles do, a scene's frame names
// while it holds the frames it was loaded with. Everything else is computed
// as for a new model.
void TMDLFrameList::Save(TMDLFiler& filer) {
  const int count = Count();
  const TLoadedGamePart& loaded = Loaded;
  const bool fromFile = loaded.Serial != 0 && loaded.File;
  const bool corners = fromFile && Model->Triangles->CornersAsLoaded(loaded);
  std::vector<char> kept(static_cast<size_t>(count), 0);
  {
    TProgressScope progress(0, ">Calculating Light Normals Frame 0");
    for (int k = 0; k < count; ++k) {
      Progressor().SetDescription(Format(">Calculating Light Normals Frame %d", k));
      TMDLFrame& frame = Frame(k);
      kept[static_cast<size_t>(k)] = corners && frame.AsLoaded(loaded);
      if (!kept[static_cast<size_t>(k)]) {
        frame.CalculateNormals();
        frame.ComputeBoundingBox();
      }
      Progressor().SetPosition(Percent(k + 1, count));
    }
  }
  TProgressScope progress(0, ">Saving Frame 0");
  ComputeBounds();
  bool keepGrid = fromFile;
  for (int k = 0; k < count && keepGrid; ++k)
    if (!kept[static_cast<size_t>(k)]) keepGrid = FitsGrid(Frame(k), loaded);
  if (keepGrid) {
    std::copy(std::begin(loaded.Scale), std::end(loaded.Scale), filer.Scale);
    std::copy(std::begin(loaded.Origin), std::end(loaded.Origin), filer.Origin);
  }
  if (fromFile && BBoxMin == loaded.BoxMin && BBoxMax == loaded.BoxMax) filer.Radius = loaded.Radius;
  if (count > 0) {
    const bool sameFirst = kept[0] && Frame(0).LoadedRecord().Box == loaded.FirstFrame;
    filer.Size = loaded.HasSize && sameFirst ? loaded.Size : static_cast<float>(Frame(0).AverageTriangleArea());
  }
  const uint8_t* file = keepGrid ? loaded.File->Bytes.get() : nullptr;
  int32_t done = 0;
  int k = 0;
  TByteWriter w;
  for (int s = 0; s < SceneCount(); ++s) {
    Progressor().SetDescription(Format(">Saving Frame %d", done));
    TMDLFrameGroup& scene = Scene(s);
    const bool sceneAsLoaded = fromFile && scene.AsLoaded(loaded.Serial);
    if (!sceneAsLoaded) scene.RenumberFrames();
    w.Clear();
    if (scene.GroupType == 1) {
      w.I32(1);
      w.I32(scene.Count());
      bool keepBox = file && sceneAsLoaded && scene.Loaded.Box != TLoadedFrameRecord::kNone;
      for (int i = 0; i < scene.Count() && keepBox; ++i) keepBox = kept[static_cast<size_t>(k + i)];
      if (keepBox) {
        w.Bytes(file + scene.Loaded.Box, kBoxSize);
      } else {
        filer.PackVertex(scene.BBoxMin, w);
        filer.PackVertex(scene.BBoxMax, w);
      }
      for (int i = 0; i < scene.Count(); ++i) w.F32(scene.Interval(i));
      for (int i = 0; i < scene.Count(); ++i, ++k)
        AppendFrameRecord(filer, scene.Frame(i), w, kept[static_cast<size_t>(k)] ? file : nullptr);
      done += 1;
    } else {
      for (int i = 0; i < scene.Count(); ++i, ++k) {
        w.I32(0);
        AppendFrameRecord(filer, scene.Frame(i), w, kept[static_cast<size_t>(k)] ? file : nullptr);
      }
      done += scene.Count();
    }
    filer.Write(w);
    Progressor().SetPosition(Percent(done, count));
  }
  filer.NumFrames = done;
}

namespace {

// Full-precision position records read as positions, for building a
// frame's array in one pass.
struct TRawRecord {
  using iterator_category = std::random_access_iterator_tag;
  using value_type = TFrameVertex;
  using difference_type = std::ptrdiff_t;
  using pointer = const TFrameVertex*;
  using reference = TFrameVertex;

  const uint8_t* P;
  TFrameVertex operator*() const {
    const int32_t n = GetI32LE(P + 12);
    return TFrameVertex{GetF32LE(P), GetF32LE(P + 4), GetF32LE(P + 8), n >= 0 && n < kNormalCount ? n : 0};
  }
  TRawRecord& operator++() {
    P += kRawVertexSize;
    return *this;
  }
  TRawRecord operator++(int) {
    TRawRecord r = *this;
    P += kRawVertexSize;
    return r;
  }
  difference_type operator-(const TRawRecord& o) const { return (P - o.P) / kRawVertexSize; }
  bool operator==(const TRawRecord& o) const { return P == o.P; }
};

}  // namespace

void TMDLFrameList::LoadRaw(TMDLFiler& filer) {
  if (filer.ExtVersion < 4) return;
  TByteReader& r = filer.Reader();
  // All or nothing: a short block changes no position.
  int64_t need = 0;
  for (int k = 0; k < Count(); ++k) need += static_cast<int64_t>(Frame(k).Count()) * kRawVertexSize;
  if (static_cast<int64_t>(r.Remaining()) < need) throw EMDLError("Unexpected end of file while reading frames");
  const int total = Count();
  TProgressScope progress(0, ">Loading Frame 0");
  int32_t entries = 0, frames = 0;
  for (int s = 0; s < SceneCount(); ++s) {
    Progressor().SetDescription(">Loading Frame " + std::to_string(entries));
    TMDLFrameGroup& scene = Scene(s);
    for (int i = 0; i < scene.Count(); ++i) {
      TMDLFrame& frame = scene.Frame(i);
      TLoadedFrameRecord record = frame.LoadedRecord();
      record.Raw = r.Position();
      frame.SetLoadedRecord(record);
      const uint8_t* p = r.Take(static_cast<size_t>(frame.Count()) * kRawVertexSize);
      // Made straight from the records: neither cleared nor unpacked first.
      const TRawRecord first{p}, last{p + static_cast<size_t>(frame.Count()) * kRawVertexSize};
      frame.SetPositions(std::vector<TFrameVertex>(first, last));
    }
    entries += scene.GroupType == 1 ? 1 : scene.Count();
    frames += scene.Count();
    Progressor().SetPosition(Percent(frames, total));
  }
}

void TMDLFrameList::SaveRaw(TMDLFiler& filer) {
  const int total = Count();
  TProgressScope progress(0, ">Saving Frame 0");
  int32_t entries = 0, frames = 0;
  TByteWriter w;
  for (int s = 0; s < SceneCount(); ++s) {
    Progressor().SetDescription(Format(">Saving Frame %d", entries));
    TMDLFrameGroup& scene = Scene(s);
    for (int i = 0; i < scene.Count(); ++i) {
      TMDLFrame& frame = scene.Frame(i);
      w.Clear();
      const TFrameVertex* v = frame.Data();
      for (int k = 0; k < frame.Count(); ++k) TMDLFiler::PutRawVertex(v[k], w);
      filer.Write(w);
    }
    entries += scene.GroupType == 1 ? 1 : scene.Count();
    frames += scene.Count();
    Progressor().SetPosition(Percent(frames, total));
  }
}

// ---- objects --------------------------------------------------------------------

namespace {

std::string ReadShort(TByteReader& r) {
  const uint8_t n = r.U8();
  return std::string(reinterpret_cast<const char*>(r.Take(n)), n);
}

// The smallest object record of each extension version, for the check of
// the object count against the bytes that remain.
int64_t MinObjectRecord(int32_t extVersion) {
  int64_t size = kObjectRecordMinSize;
  if (extVersion >= 3) size += kJointRecordMinSize;
  return size;
}

static_assert(kPivotRecordSize == 16 * 4 + 3 * 3 * 4 + TPivot::kChannels);

// Pivot records before version 3 lack the key flags.
int64_t PivotRecordSize(int32_t extVersion) {
  return extVersion >= 3 ? kPivotRecordSize : kPivotRecordSize - TPivot::kChannels;
}

}  // namespace

void TMDLObjectList::Load(TMDLFiler& filer) {
  if (filer.ExtVersion < 1) {
    Reconstruct();
    return;
  }
  TByteReader& r = filer.Reader();
  TMDLFrameList& frames = *Model->Frames;
  TMDLVertexList& verts = *Model->Vertices;
  const int frameCount = frames.Count();
  const int32_t c = r.I32();
  if (c < 1 || c >= kNoObject) throw EMDLError(Format("Invalid number of objects: %d", c));
  filer.CheckCount(c, MinObjectRecord(filer.ExtVersion), "objects");
  // Every object has a pivot in every frame; a file far smaller than that
  // many pivots is not a model this program wrote.
  if (static_cast<int64_t>(c) * frameCount > static_cast<int64_t>(r.Remaining()) / 8 + 65536)
    throw EMDLError("Unexpected end of file while reading objects");
  SetCount(0);
  SetCount(c);
  for (int v = 0; v < verts.Count(); ++v) verts.SetObjectIndex(v, kNoObject);
  const int64_t pivotBytes = PivotRecordSize(filer.ExtVersion);
  TProgressScope progress(0, ">Loading Object 0");
  std::vector<int32_t> parents(static_cast<size_t>(c), -1);
  for (int i = 0; i < c; ++i) {
    Progressor().SetDescription(Format(">Loading Object %d", i));
    TMDLObject& o = Object(i);
    const int32_t index = r.I32();
    if (index != i) throw EMDLError(Format("Object %d carries the index %d", i, index));
    parents[static_cast<size_t>(i)] = r.I32();
    o.Name = ReadShort(r);
    const int32_t m = r.I32();
    filer.CheckCount(m, 4, "objects");
    if (filer.ExtVersion == 1) {
      const auto& tris = Model->Triangles->Items();
      for (int32_t k = 0; k < m; ++k) {
        const int32_t t = r.I32();
        if (t < 0 || t >= static_cast<int32_t>(tris.size()))
          throw EMDLError(Format("Object %d lists triangle %d, which does not exist", i, t));
        for (int32_t v : tris[static_cast<size_t>(t)].Vertex) verts.SetObjectIndex(v, static_cast<uint16_t>(i));
      }
    } else {
      for (int32_t k = 0; k < m; ++k) {
        const int32_t v = r.I32();
        if (v < 0 || v >= verts.Count())
          throw EMDLError(Format("Object %d lists vertex %d, which does not exist", i, v));
        verts.SetObjectIndex(v, static_cast<uint16_t>(i));
      }
      if (filer.ExtVersion >= 3) {
        const uint8_t* flags = r.Take(TPivot::kChannels);
        for (int k = 0; k < TPivot::kChannels; ++k) o.IsJoint[k] = flags[k] != 0;
        for (float& v : o.JointValuesB) v = r.F32();
        for (float& v : o.JointValuesA) v = r.F32();
        for (std::string& s : o.JointNames) s = ReadShort(r);
      }
    }
    const int32_t p = r.I32();
    if (p < 0 || p > frameCount) throw EMDLError(Format("Object %d has %d pivots for %d frames", i, p, frameCount));
    filer.CheckCount(p, pivotBytes, "objects");
    for (int f = 0; f < p; ++f) {
      TMatrix local;
      for (float& v : local.m) v = r.F32();
      float t[3], rot[3], s[3];
      for (float& v : t) v = r.F32();
      for (float& v : rot) v = r.F32();
      for (float& v : s) v = r.F32();
      TPivot& pivot = frames.Frame(f).Pivot(i);
      pivot.LoadState(local, t, rot, s);
      if (filer.ExtVersion >= 3) {
        const uint8_t* keys = r.Take(TPivot::kChannels);
        for (int k = 0; k < TPivot::kChannels; ++k) pivot.SetIsKey(k, keys[k] != 0);
      }
    }
    Progressor().SetPosition(Percent(i + 1, c));
  }
  for (int i = 0; i < c; ++i) {
    TMDLObject& o = Object(i);
    const int32_t pi = parents[static_cast<size_t>(i)];
    if (pi >= 0 && pi < c && o.IsAncestorOf(&Object(pi)))
      throw EMDLError(Format("Object %d cannot be a child of object %d", i, pi));
    o.SetParentIndexNoLink(pi);
  }
}

void TMDLObjectList::Save(TMDLFiler& filer) {
  TMDLFrameList& frames = *Model->Frames;
  TProgressScope progress(0, ">Saving Object 0");
  TByteWriter w;
  w.I32(Count());
  filer.Write(w);
  for (int i = 0; i < Count(); ++i) {
    Progressor().SetDescription(Format(">Saving Object %d", i));
    TMDLObject& o = Object(i);
    w.Clear();
    w.I32(o.Index);
    w.I32(o.ParentIndex);
    w.ShortString(o.Name);
    o.CollectVertices();
    w.I32(static_cast<int32_t>(o.VertexIndices.size()));
    for (int32_t v : o.VertexIndices) w.I32(v);
    for (bool j : o.IsJoint) w.U8(j ? 1 : 0);
    for (float v : o.JointValuesB) w.F32(v);
    for (float v : o.JointValuesA) w.F32(v);
    for (const std::string& s : o.JointNames) w.ShortString(s);
    w.I32(frames.Count());
    w.Reserve(w.Size() + static_cast<size_t>(frames.Count()) * kPivotRecordSize);
    for (int f = 0; f < frames.Count(); ++f) {
      TPivot& p = frames.Frame(f).Pivot(o.Index);
      for (float v : p.LocalMatrix().m) w.F32(v);
      for (int k = 0; k < 3; ++k) w.F32(p.Translation()[k]);
      for (int k = 0; k < 3; ++k) w.F32(p.Rotation()[k]);
      for (int k = 0; k < 3; ++k) w.F32(p.Scale()[k]);
      for (int k = 0; k < TPivot::kChannels; ++k) w.U8(p.IsKey(k) ? 1 : 0);
    }
    filer.Write(w);
    Progressor().SetPosition(Percent(i + 1, Count()));
  }
}
