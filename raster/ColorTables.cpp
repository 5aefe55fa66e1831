#include "raster/ColorTables.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "core/Paths.h"
#include "core/Streams.h"
#include "resources/BuiltinData.h"

namespace {

// Reads the first `size` bytes of `path` into `out`. False (and `out`
// untouched) when the file is absent, unreadable or too short.
bool ReadTableFile(const std::string& path, uint8_t* out, int64_t size) {
  if (!FileExists(path)) return false;
  try {
    TFileStream f(path, fmOpenRead);
    std::vector<uint8_t> buf(static_cast<size_t>(size));
    if (f.Read(buf.data(), size) != size) return false;
    std::copy(buf.begin(), buf.end(), out);
    return true;
  } catch (const EStreamError&) {
    return false;
  }
}

std::string WithSlash(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + "/";
}

}  // namespace

namespace {

constexpr int kShadeEntries = 256;

// The lowest index at the smallest squared distance to (r, g, b) over 256
// entries, and that distance. Straight loops the compiler vectorises; the
// wide version where the processor has it.
[[gnu::target_clones("avx2", "default")]] int NearestShade(const int32_t* pr, const int32_t* pg,
                                                            const int32_t* pb, int r, int g, int b,
                                                            int32_t& distance) {
  alignas(32) int32_t dist[kShadeEntries];
  for (int j = 0; j < kShadeEntries; ++j) {
    const int32_t dr = r - pr[j], dg = g - pg[j], db = b - pb[j];
    dist[j] = dr * dr + dg * dg + db * db;
  }
  int32_t best = 0x7FFFFFFF;
  for (int j = 0; j < kShadeEntries; ++j) best = std::min(best, dist[j]);
  int index = 0;
  while (dist[index] != best) ++index;
  distance = best;
  return index;
}

}  // namespace

void ComputeColormap(const uint8_t* pal, TColormap& out) {
  // Entry 255 is the transparent colour and is never a shade: it is put
  // so far away that it never comes nearest.
  constexpr int32_t kNowhere = 20000;
  alignas(32) int32_t pr[kShadeEntries], pg[kShadeEntries], pb[kShadeEntries];
  for (int j = 0; j < kShadeEntries; ++j) pr[j] = pal[j * 3], pg[j] = pal[j * 3 + 1], pb[j] = pal[j * 3 + 2];
  pr[255] = pg[255] = pb[255] = kNowhere;
  // Every program start computes this; repeated shades (the darkest rows
  // are mostly black) are looked up once.
  constexpr int kSlotBits = 12;
  std::vector<int32_t> seenKey(1 << kSlotBits, -1);
  std::vector<uint8_t> seenIndex(1 << kSlotBits, 0);
  for (int level = 0; level < kColormapRows; ++level) {
    const double f = 2.0 - 2.0 * level / 63.0;
    uint8_t* row = out.data() + level * 256;
    for (int c = 0; c < 224; ++c) {
      const int r = static_cast<int>(pal[c * 3] * f + 0.5);
      const int g = static_cast<int>(pal[c * 3 + 1] * f + 0.5);
      const int b = static_cast<int>(pal[c * 3 + 2] * f + 0.5);
      // Shades reach 510 per channel: 9 bits each.
      const int32_t key = (r << 18) | (g << 9) | b;
      const size_t slot = (static_cast<uint32_t>(key) * 2654435761u) >> (32 - kSlotBits);
      if (seenKey[slot] == key) {
        row[c] = seenIndex[slot];
        continue;
      }
      // An exact match wins outright; a shade no colour comes near is black.
      int32_t bestDist = 0;
      int best = NearestShade(pr, pg, pb, r, g, b, bestDist);
      if (bestDist != 0 && bestDist >= 2 * (r * r + g * g + b * b)) best = 0;
      row[c] = static_cast<uint8_t>(best);
      seenKey[slot] = key;
      seenIndex[slot] = row[c];
    }
    for (int c = 224; c < 256; ++c) row[c] = static_cast<uint8_t>(c);  // fullbright
  }
  out[kColormapSize - 1] = kColormapTrailingByte;
}

const TColormap& BuiltinColormap() {
  static const TColormap map = [] {
    TColormap m{};
    ComputeColormap(kBuiltinPalette, m);
    return m;
  }();
  return map;
}

void BuildColorTables(TColorTables& t, const std::string& folder) {
  const std::string dir = WithSlash(folder);

  // 1. the palette data
  uint8_t pal[kPaletteDataSize];
  std::copy(kBuiltinPalette, kBuiltinPalette + kPaletteDataSize, pal);
  t.PaletteFile.clear();
  if (!dir.empty() && ReadTableFile(dir + "palette.lmp", pal, kPaletteDataSize))
    t.PaletteFile = dir + "palette.lmp";

  // 2. the two palettes
  t.GamePalette.SetColors(nullptr, 0);
  t.DisplayPalette.SetColors(nullptr, 0);
  t.DisplayPalette.SetSystemColors(true);
  for (int i = 0; i < 256; ++i) {
    const uint8_t r = pal[i * 3], g = pal[i * 3 + 1], b = pal[i * 3 + 2];
    const TRGBQuad color = MakeRGBQuad(r, g, b);
    // Rounded to nearest, halves to even.
    const double brightness = std::nearbyint(std::sqrt(double(r * r + g * g + b * b)));
    if (brightness >= kDisplayMinBrightness) t.DisplayPalette.AddColor(color, true);
    t.GamePalette.AddColor(color, false);
  }

  // 4. the maps between them
  t.GameToDisplay.ResetIdentity();
  t.GameToDisplay.MapToPalette(t.GamePalette, t.DisplayPalette);
  t.DisplayToGame.ResetIdentity();
  t.DisplayToGame.MapToPalette(t.DisplayPalette, t.GamePalette);

  // 5. the colour map, in game and in display indices
  t.ColormapFile.clear();
  if (!dir.empty() && ReadTableFile(dir + "colormap.lmp", t.GameColormap.data(), kColormapSize))
    t.ColormapFile = dir + "colormap.lmp";
  else
    t.GameColormap = BuiltinColormap();
  for (size_t k = 0; k < t.GameColormap.size(); ++k)
    t.DisplayColormap[k] = t.GameToDisplay.Map(t.GameColormap[k]);

  // Make the cached lookup objects now, so the shared tables are never
  // written to after start-up.
  t.GamePalette.Handle();
  t.DisplayPalette.Handle();
}

const TColorTables& ColorTables() {
  static const std::unique_ptr<TColorTables> tables = [] {
    auto t = std::make_unique<TColorTables>();
    BuildColorTables(*t, ProgramDirectory());
    return t;
  }();
  return *tables;
}
