#pragma once
// The process-wide colour tables: the game palette, the display palette
// (the screen's static colours plus the distinct bright game colours), the
// two maps between them and the 64-level light colour map in game and in
// display indices. They are built once, on first use, and read-only after.

#include <cstdint>
#include <string>

#include "raster/WinGPalette.h"

constexpr int kPaletteDataSize = 768;  // 256 red, green, blue triples
constexpr int kColormapTrailingByte = 32;
// Game colours darker than this never enter the display palette.
constexpr int kDisplayMinBrightness = 20;

struct TColorTables {
  TWinGPalette GamePalette;
  TWinGPalette DisplayPalette;
  TWinGPaletteMap GameToDisplay;
  TWinGPaletteMap DisplayToGame;
  TColormap GameColormap{};
  TColormap DisplayColormap{};
  // The files the data came from; empty when the built-in copy was used.
  std::string PaletteFile;
  std::string ColormapFile;
};

// Builds every table, preferring "palette.lmp" and "colormap.lmp" in `folder`
// over the built-in data. A file that is missing, unreadable or shorter than
// its table leaves the built-in data in use.
void BuildColorTables(TColorTables& tables, const std::string& folder);

// The colour map the game's tools make from a palette: 64 light levels from
// doubled brightness (row 0) to black (row 63), the last 32 columns never
// shaded, trailing byte 32.
void ComputeColormap(const uint8_t* palette768, TColormap& out);
// The built-in colour map: ComputeColormap of the built-in palette.
const TColormap& BuiltinColormap();

// The tables of this process, built from the program's own folder on the
// first call. Calling it once at start-up builds them there.
const TColorTables& ColorTables();
inline const TWinGPalette& GamePalette() { return ColorTables().GamePalette; }
inline const TWinGPalette& DisplayPalette() { return ColorTables().DisplayPalette; }
inline const TWinGPaletteMap& GameToDisplay() { return ColorTables().GameToDisplay; }
inline const TWinGPaletteMap& DisplayToGame() { return ColorTables().DisplayToGame; }
inline const TColormap& GameColormap() { return ColorTables().GameColormap; }
inline const TColormap& DisplayColormap() { return ColorTables().DisplayColormap; }
