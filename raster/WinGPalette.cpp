#include "raster/WinGPalette.h"

#include <algorithm>
#include <vector>

#include "core/Streams.h"

// ---- the system palette ------------------------------------------------------

namespace {

// The static colours a classic 256-colour display keeps for itself: ten at
// the bottom of its palette and ten at the top. A palette that reserves them
// keeps them at the same indices so that the rest of the screen's colours
// stay put while our pictures are shown. This is the one place they are
// defined. Their flags are 0, as the screen reports them.
constexpr TPaletteEntry kSystemLow[10] = {
    {0, 0, 0, 0},        // black
    {128, 0, 0, 0},      // dark red
    {0, 128, 0, 0},      // dark green
    {128, 128, 0, 0},    // dark yellow
    {0, 0, 128, 0},      // dark blue
    {128, 0, 128, 0},    // dark magenta
    {0, 128, 128, 0},    // dark cyan
    {192, 192, 192, 0},  // light grey
    {192, 220, 192, 0},  // money green
    {166, 202, 240, 0},  // sky blue
};
constexpr TPaletteEntry kSystemHigh[10] = {
    {255, 251, 240, 0},  // cream
    {160, 160, 164, 0},  // light grey 160
    {128, 128, 128, 0},  // medium grey
    {255, 0, 0, 0},      // red
    {0, 255, 0, 0},      // green
    {255, 255, 0, 0},    // yellow
    {0, 0, 255, 0},      // blue
    {255, 0, 255, 0},    // magenta
    {0, 255, 255, 0},    // cyan
    {255, 255, 255, 0},  // white
};

std::array<TPaletteEntry, 256> MakeSystemPalette() {
  std::array<TPaletteEntry, 256> p{};
  for (int i = 0; i < 10; ++i) {
    p[static_cast<size_t>(i)] = kSystemLow[i];
    p[static_cast<size_t>(TWinGPalette::kSystemHighStart + i)] = kSystemHigh[i];
  }
  return p;
}

TRGBQuad EntryToQuad(const TPaletteEntry& e) { return MakeRGBQuad(e.Red, e.Green, e.Blue); }

bool ValidIndex(int index) { return index >= 0 && index < 256; }

}  // namespace

const std::array<TPaletteEntry, 256>& SystemPaletteEntries() {
  static const std::array<TPaletteEntry, 256> palette = MakeSystemPalette();
  return palette;
}

// ---- TPaletteObject ----------------------------------------------------------

TPaletteObject::TPaletteObject(const TPaletteEntry* entries, int count)
    : Count_(std::clamp(count, 0, kMaxEntries)) {
  for (int i = 0; i < Count_; ++i) {
    const TPaletteEntry& e = entries[i];
    Entries_[static_cast<size_t>(i)] = e;
    R_[static_cast<size_t>(i)] = e.Red;
    G_[static_cast<size_t>(i)] = e.Green;
    B_[static_cast<size_t>(i)] = e.Blue;
  }
}

int TPaletteObject::NearestIndex(int r, int g, int b, int limit) const {
  const int n = std::min(Count_, limit);
  int best = -1;
  int bestDist = 0x7FFFFFFF;
  for (int i = 0; i < n; ++i) {
    const int dr = R_[static_cast<size_t>(i)] - r;
    const int dg = G_[static_cast<size_t>(i)] - g;
    const int db = B_[static_cast<size_t>(i)] - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDist) {
      bestDist = d;
      best = i;
      if (d == 0) break;  // nothing lower can follow
    }
  }
  return best;
}

TPaletteHandle CopyPaletteHandle(const TPaletteHandle& handle) {
  if (!handle || handle->Count() == 0) return nullptr;
  return std::make_shared<const TPaletteObject>(*handle);
}

// ---- TWinGPalette ------------------------------------------------------------

TWinGPalette::TWinGPalette() {
  for (int i = 0; i < 256; ++i) Blank(i);
}

void TWinGPalette::Blank(int index) {
  Entries_[static_cast<size_t>(index)] = {0, 0, 0, kPaletteNoCollapse};
  Colors_[static_cast<size_t>(index)] = 0;
}

void TWinGPalette::Store(int index, const TPaletteEntry& e) {
  Entries_[static_cast<size_t>(index)] = e;
  Colors_[static_cast<size_t>(index)] = EntryToQuad(e);
}

int TWinGPalette::AddColor(TRGBQuad color, bool reuse) {
  DestroyHandle();
  const uint8_t r = QuadRed(color), g = QuadGreen(color), b = QuadBlue(color);
  if (reuse) {
    for (int i = 0; i < 256; ++i) {
      if (i >= Count_ && !(SystemColors_ && i >= kSystemHighStart)) continue;
      const TPaletteEntry& e = Entries_[static_cast<size_t>(i)];
      if (e.Red == r && e.Green == g && e.Blue == b) return i;
    }
  }
  if (Count_ >= 256 - ReservedCount_) return -1;
  Store(Count_, {r, g, b, kPaletteNoCollapse});
  return Count_++;
}

void TWinGPalette::SetColor(int index, TRGBQuad color) {
  if (!ValidIndex(index)) return;
  DestroyHandle();
  TPaletteEntry& e = Entries_[static_cast<size_t>(index)];
  e.Red = QuadRed(color);
  e.Green = QuadGreen(color);
  e.Blue = QuadBlue(color);
  Colors_[static_cast<size_t>(index)] = EntryToQuad(e);
}

TRGBQuad TWinGPalette::GetColor(int index) const {
  return ValidIndex(index) ? Colors_[static_cast<size_t>(index)] : 0;
}

TColorRef TWinGPalette::GetColorRef(int index) const {
  if (!ValidIndex(index)) return 0;
  const TPaletteEntry& e = Entries_[static_cast<size_t>(index)];
  return MakeColorRef(e.Red, e.Green, e.Blue);
}

const TPaletteEntry& TWinGPalette::GetEntry(int index) const {
  static const TPaletteEntry none{};
  return ValidIndex(index) ? Entries_[static_cast<size_t>(index)] : none;
}

void TWinGPalette::SetColors(const TRGBQuad* colors, int n) {
  DestroyHandle();
  SystemColors_ = false;
  ReservedCount_ = 0;
  n = std::clamp(n, 0, 256);
  for (int i = 0; i < n; ++i) {
    const TRGBQuad q = colors[i];
    Store(i, {QuadRed(q), QuadGreen(q), QuadBlue(q), kPaletteNoCollapse});
  }
  Count_ = n;
  for (int i = n; i < 256; ++i) Blank(i);
}

void TWinGPalette::GetColors(TRGBQuad* dest, int n) const {
  n = std::clamp(n, 0, 256);
  std::copy_n(Colors_.begin(), n, dest);
}

void TWinGPalette::Assign(const TWinGPalette* source) {
  if (source == nullptr || source == this) return;
  // An exact copy. Rebuilding a palette with system colours through
  // SetColors and the SystemColors switch would append the low system
  // colours again as user colours and drop the last user colours.
  DestroyHandle();
  Entries_ = source->Entries_;
  Colors_ = source->Colors_;
  Count_ = source->Count_;
  ReservedCount_ = source->ReservedCount_;
  SystemColors_ = source->SystemColors_;
}

void TWinGPalette::SetSystemColors(bool value) {
  DestroyHandle();
  if (value == SystemColors_) return;
  if (value) {
    TWinGPalette temp;
    for (int i = 0; i < Count_; ++i) temp.AddColor(Colors_[static_cast<size_t>(i)], true);
    Entries_ = SystemPaletteEntries();
    for (int i = 0; i < kSystemLowCount; ++i) {
      Colors_[static_cast<size_t>(i)] = EntryToQuad(Entries_[static_cast<size_t>(i)]);
      Colors_[static_cast<size_t>(kSystemHighStart + i)] =
          EntryToQuad(Entries_[static_cast<size_t>(kSystemHighStart + i)]);
    }
    for (int i = kSystemLowCount; i < kSystemHighStart; ++i) Blank(i);
    Count_ = kSystemLowCount;
    ReservedCount_ = kSystemLowCount;
    SystemColors_ = true;
    for (int i = 0; i < temp.Count_; ++i) AddColor(temp.Colors_[static_cast<size_t>(i)], false);
  } else {
    for (int i = kSystemLowCount; i < Count_; ++i) {
      Entries_[static_cast<size_t>(i - kSystemLowCount)] = Entries_[static_cast<size_t>(i)];
      Colors_[static_cast<size_t>(i - kSystemLowCount)] = Colors_[static_cast<size_t>(i)];
    }
    Count_ = std::max(0, Count_ - kSystemLowCount);
    ReservedCount_ = 0;
    SystemColors_ = false;
    for (int i = Count_; i < 256; ++i) Blank(i);
  }
}

TPaletteHandle TWinGPalette::NewHandle() const {
  // Without system colours the object carries the used colours and the black
  // entry after them; a full palette has no room left for that extra entry.
  const int n = SystemColors_ ? 256 : std::min(Count_ + 1, 256);
  return std::make_shared<const TPaletteObject>(Entries_.data(), n);
}

const TPaletteObject& TWinGPalette::Handle() const {
  if (!Handle_) Handle_ = NewHandle();
  return *Handle_;
}

// ---- TWinGPaletteMap ---------------------------------------------------------

void TWinGPaletteMap::ResetIdentity() {
  for (int i = 0; i < 256; ++i) Map_[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
}

void TWinGPaletteMap::MapToPalette(const TWinGPalette& source, const TWinGPalette& target) {
  const TPaletteObject& h = target.Handle();
  for (auto& m : Map_) {
    const TRGBQuad c = source.GetColor(m);
    m = static_cast<uint8_t>(h.NearestIndex(QuadRed(c), QuadGreen(c), QuadBlue(c)));
  }
}

void TWinGPaletteMap::RestrictColors(const TColorSet& excluded, const TWinGPalette& palette) {
  TWinGPalette temp;
  std::array<uint8_t, 256> back{};
  for (uint8_t c : Map_) {
    if (excluded[c]) continue;
    const int j = temp.AddColor(palette.GetColor(c), true);
    if (j >= 0) back[static_cast<size_t>(j)] = c;
  }
  // With every colour excluded there is nothing to move to.
  if (temp.Count() == 0) return;
  const TPaletteObject& h = temp.Handle();
  for (auto& m : Map_) {
    const TColorRef ref = palette.GetColorRef(m);
    // Only the colours actually collected are candidates: the spare black
    // entry after them has no source index.
    const int k = h.NearestIndex(RefRed(ref), RefGreen(ref), RefBlue(ref), temp.Count());
    m = back[static_cast<size_t>(k)];
  }
}

namespace {
constexpr int64_t kChunk = 1 << 16;
}

void TWinGPaletteMap::ApplyToBits(TStream& bits, TColorHistogram& histogram) const {
  histogram.fill(0);
  std::vector<uint8_t> buf(static_cast<size_t>(kChunk));
  int64_t pos = 0;
  for (;;) {
    bits.SetPosition(pos);
    const int64_t n = bits.Read(buf.data(), kChunk);
    if (n <= 0) break;
    for (int64_t k = 0; k < n; ++k) {
      const uint8_t v = Map_[buf[static_cast<size_t>(k)]];
      buf[static_cast<size_t>(k)] = v;
      ++histogram[v];
    }
    bits.SetPosition(pos);
    bits.WriteBuffer(buf.data(), n);
    pos += n;
  }
}

void TWinGPaletteMap::CountColors(TStream& bits, TColorHistogram& histogram) {
  histogram.fill(0);
  std::vector<uint8_t> buf(static_cast<size_t>(kChunk));
  int64_t left = bits.Size();
  while (left > 0) {
    const int64_t n = bits.Read(buf.data(), std::min(left, kChunk));
    if (n <= 0) break;
    for (int64_t k = 0; k < n; ++k) ++histogram[buf[static_cast<size_t>(k)]];
    left -= n;
  }
}

void TWinGPaletteMap::TranslateColormap(const TColormap& source, TColormap& dest) const {
  // Row by row through a buffer, so that source and dest may be one table.
  std::array<uint8_t, 256> row;
  for (size_t r = 0; r < kColormapRows; ++r) {
    const uint8_t* src = source.data() + r * 256;
    for (size_t i = 0; i < 256; ++i) row[i] = src[Map_[i]];
    std::copy(row.begin(), row.end(), dest.begin() + static_cast<ptrdiff_t>(r * 256));
  }
}

void TWinGPaletteMap::ApplyLightLevel(const TColormap& colormap, int row) {
  const size_t base = static_cast<size_t>(std::clamp(row, 0, kColormapRows - 1)) * 256;
  for (auto& m : Map_) m = colormap[base + m];
}

void TWinGPaletteMap::TranslatePalette(const TWinGPalette& source, TWinGPalette& target) const {
  std::array<TRGBQuad, 256> colors;
  for (int i = 0; i < 256; ++i) colors[static_cast<size_t>(i)] = source.GetColor(i);
  for (int i = 0; i < 256; ++i) target.SetColor(i, colors[Map_[static_cast<size_t>(i)]]);
}

void TWinGPaletteMap::CopyRange(int destStart, int sourceStart, bool reverse, int n) {
  for (int k = 0; k < n; ++k) {
    const int d = reverse ? destStart + n - 1 - k : destStart + k;
    Map_[static_cast<size_t>(d & 255)] = Map_[static_cast<size_t>((sourceStart + k) & 255)];
  }
}
