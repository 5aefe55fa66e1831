#pragma once
// 256-colour palettes and colour-index maps.
//
// A palette keeps its colours twice: as palette entries (red, green, blue,
// flags) and as bitmap colour-table quads (blue, green, red, 0). The
// nearest-colour searches work on a palette object (`TPaletteObject`), an
// immutable colour table made from the entries on demand and cached until
// the palette changes. Bitmaps hold such objects as their palette.

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>

class TStream;

// A colour as a bitmap colour-table entry packed little-endian:
// bits 0-7 blue, 8-15 green, 16-23 red, 24-31 zero (or flags in a colour table).
using TRGBQuad = uint32_t;
// A colour reference: bits 0-7 red, 8-15 green, 16-23 blue, 24-31 a flag byte
// (0 plain colour, 1 palette index in the low byte, 2 palette-relative colour).
using TColorRef = uint32_t;

constexpr TRGBQuad MakeRGBQuad(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<TRGBQuad>(b) | (static_cast<TRGBQuad>(g) << 8) | (static_cast<TRGBQuad>(r) << 16);
}
constexpr uint8_t QuadRed(TRGBQuad q) { return static_cast<uint8_t>(q >> 16); }
constexpr uint8_t QuadGreen(TRGBQuad q) { return static_cast<uint8_t>(q >> 8); }
constexpr uint8_t QuadBlue(TRGBQuad q) { return static_cast<uint8_t>(q); }

constexpr TColorRef MakeColorRef(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<TColorRef>(r) | (static_cast<TColorRef>(g) << 8) | (static_cast<TColorRef>(b) << 16);
}
constexpr uint8_t RefRed(TColorRef c) { return static_cast<uint8_t>(c); }
constexpr uint8_t RefGreen(TColorRef c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t RefBlue(TColorRef c) { return static_cast<uint8_t>(c >> 16); }
constexpr uint8_t RefFlags(TColorRef c) { return static_cast<uint8_t>(c >> 24); }

// A palette-relative colour reference: red, green, blue and the flag byte 2.
constexpr TColorRef MakePaletteRGB(uint8_t r, uint8_t g, uint8_t b) {
  return MakeColorRef(r, g, b) | 0x02000000u;
}

// Flags of a palette entry.
constexpr uint8_t kPaletteNoCollapse = 4;

struct TPaletteEntry {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  uint8_t Flags = 0;
  bool operator==(const TPaletteEntry&) const = default;
};

// An immutable colour table of 1 to 256 entries: what a palette hands to
// bitmaps and what the nearest-colour searches run over.
class TPaletteObject {
public:
  static constexpr int kMaxEntries = 256;
  // `count` is clamped to 0..256; a palette object with no entries can be made
  // but carries no colours.
  TPaletteObject(const TPaletteEntry* entries, int count);

  int Count() const { return Count_; }
  const TPaletteEntry& Entry(int index) const { return Entries_[static_cast<size_t>(index & 255)]; }
  // The index of the entry nearest to (r, g, b) by squared RGB distance; the
  // lowest index wins ties. -1 when the object is empty. Only the first
  // `limit` entries are searched when a limit below Count() is given.
  int NearestIndex(int r, int g, int b, int limit = kMaxEntries) const;

private:
  int Count_ = 0;
  std::array<TPaletteEntry, kMaxEntries> Entries_{};
  // The channels again as separate rows so the search loop vectorises.
  std::array<int32_t, kMaxEntries> R_{}, G_{}, B_{};
};

// Palette objects are shared and never change once made.
using TPaletteHandle = std::shared_ptr<const TPaletteObject>;

// A new palette object with the same entries; none when the source is none or empty.
TPaletteHandle CopyPaletteHandle(const TPaletteHandle& handle);

// The 20 static colours of a classic 256-colour display, as the screen's
// system palette reports them: entries 0-9 and 246-255 (the others black).
const std::array<TPaletteEntry, 256>& SystemPaletteEntries();

class TWinGPalette {
public:
  static constexpr int kSystemLowCount = 10;    // entries 0..9
  static constexpr int kSystemHighStart = 246;  // entries 246..255

  TWinGPalette();
  TWinGPalette(const TWinGPalette&) = delete;
  TWinGPalette& operator=(const TWinGPalette&) = delete;

  // Appends a colour (or, with `reuse`, finds an equal one first) and returns
  // its index; -1 when the palette is full.
  int AddColor(TRGBQuad color, bool reuse);
  // Index operations outside 0..255 change nothing and read as 0.
  void SetColor(int index, TRGBQuad color);
  TRGBQuad GetColor(int index) const;
  TColorRef GetColorRef(int index) const;
  const TPaletteEntry& GetEntry(int index) const;
  void SetColors(const TRGBQuad* colors, int n);
  void GetColors(TRGBQuad* dest, int n) const;
  int UserColorCount() const { return SystemColors_ ? Count_ - kSystemLowCount : Count_; }
  // Makes this palette an exact copy of `source` (nothing when it is absent).
  void Assign(const TWinGPalette* source);

  bool SystemColors() const { return SystemColors_; }
  void SetSystemColors(bool value);
  int ReservedCount() const { return ReservedCount_; }
  int Count() const { return Count_; }

  // A new palette object made from the entries: all 256 with system colours,
  // else Count + 1 (the one after the used colours black), at most 256.
  TPaletteHandle NewHandle() const;
  // The palette's own cached object, made on first request and dropped by
  // every change.
  const TPaletteObject& Handle() const;
  bool HasHandle() const { return Handle_ != nullptr; }

private:
  void DestroyHandle() { Handle_.reset(); }
  void Blank(int index);
  void Store(int index, const TPaletteEntry& e);

  std::array<TPaletteEntry, 256> Entries_;
  std::array<TRGBQuad, 256> Colors_{};
  int Count_ = 0;
  int ReservedCount_ = 0;
  bool SystemColors_ = false;
  mutable TPaletteHandle Handle_;
};

// A colour map of the game: 64 light levels of 256 indices and one trailing byte.
constexpr int kColormapRows = 64;
constexpr int kColormapSize = kColormapRows * 256 + 1;
using TColormap = std::array<uint8_t, kColormapSize>;
using TColorHistogram = std::array<int32_t, 256>;
using TColorSet = std::bitset<256>;

// 256 bytes that send a palette index to another; a new map is the identity.
class TWinGPaletteMap {
public:
  TWinGPaletteMap() { ResetIdentity(); }

  uint8_t Map(int index) const { return Map_[static_cast<size_t>(index & 255)]; }
  uint8_t& operator[](int index) { return Map_[static_cast<size_t>(index & 255)]; }
  const std::array<uint8_t, 256>& Table() const { return Map_; }
  void ResetIdentity();

  // map[i] = the index of target's entry nearest to source's colour map[i].
  void MapToPalette(const TWinGPalette& source, const TWinGPalette& target);
  // Moves every entry to the nearest colour of `palette` outside `excluded`.
  void RestrictColors(const TColorSet& excluded, const TWinGPalette& palette);
  // Rewrites every byte of `bits` from position 0 through the map and counts
  // the results.
  void ApplyToBits(TStream& bits, TColorHistogram& histogram) const;
  // Counts the bytes from the stream's position (at most Size of them).
  static void CountColors(TStream& bits, TColorHistogram& histogram);
  // dest[row*256 + i] = source[row*256 + map[i]] for the 64 rows.
  void TranslateColormap(const TColormap& source, TColormap& dest) const;
  // map[i] = colormap[row*256 + map[i]]; rows outside 0..63 are clamped.
  void ApplyLightLevel(const TColormap& colormap, int row);
  // target colour i = source colour map[i].
  void TranslatePalette(const TWinGPalette& source, TWinGPalette& target) const;
  // Copies n entries, indices modulo 256, optionally reversing their order.
  void CopyRange(int destStart, int sourceStart, bool reverse, int n);

private:
  std::array<uint8_t, 256> Map_;
};
