// `tessel palette [FOLDER]`: a summary of the colour tables, as the program
// builds them at start-up (or from the .lmp files in FOLDER).

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "raster/ColorTables.h"
#include "core/CommandTable.h"

namespace {

uint32_t Crc32(const uint8_t* data, size_t size) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// The palette as 768 red, green, blue bytes: the layout of "palette.lmp".
std::vector<uint8_t> PaletteBytes(const TWinGPalette& p) {
  std::vector<uint8_t> out;
  for (int i = 0; i < 256; ++i) {
    const TRGBQuad c = p.GetColor(i);
    out.insert(out.end(), {QuadRed(c), QuadGreen(c), QuadBlue(c)});
  }
  return out;
}

std::string Source(const std::string& file, const char* builtin) {
  return file.empty() ? std::string(builtin) : file;
}

void PrintMapRow(const char* title, const TWinGPaletteMap& map) {
  std::printf("%s\n ", title);
  for (int i = 0; i < 16; ++i) std::printf(" %d->%d", i, map.Map(i));
  std::printf("\n");
}

int RunPalette(const std::vector<std::string>& args) {
  if (args.size() > 1) {
    std::fprintf(stderr, "tessel: palette takes at most one argument, a folder\n");
    return 2;
  }
  std::unique_ptr<TColorTables> own;
  const TColorTables* t = nullptr;
  if (args.empty()) {
    t = &ColorTables();
  } else {
    own = std::make_unique<TColorTables>();
    BuildColorTables(*own, args[0]);
    t = own.get();
  }

  const TWinGPalette& display = t->DisplayPalette;
  std::printf("Palette:    %s\n", Source(t->PaletteFile, "built-in").c_str());
  std::printf("Colour map: %s\n", Source(t->ColormapFile, "built-in (computed from the built-in palette)").c_str());
  std::printf("Display palette: %d user colours, %d static colours, %d entries in use\n",
              display.UserColorCount(), display.SystemColors() ? 20 : 0, display.Count());
  PrintMapRow("Game index -> display index, 0..15:", t->GameToDisplay);
  PrintMapRow("Display index -> game index, 0..15:", t->DisplayToGame);
  std::printf("Colour map trailing byte: %d\n", t->GameColormap[kColormapSize - 1]);

  const auto gamePal = PaletteBytes(t->GamePalette);
  const auto displayPal = PaletteBytes(display);
  std::printf("Checksums (CRC-32):\n");
  std::printf("  game palette        %08x\n", Crc32(gamePal.data(), gamePal.size()));
  std::printf("  display palette     %08x\n", Crc32(displayPal.data(), displayPal.size()));
  std::printf("  game -> display     %08x\n", Crc32(t->GameToDisplay.Table().data(), 256));
  std::printf("  display -> game     %08x\n", Crc32(t->DisplayToGame.Table().data(), 256));
  std::printf("  game colour map     %08x\n", Crc32(t->GameColormap.data(), t->GameColormap.size()));
  std::printf("  display colour map  %08x\n", Crc32(t->DisplayColormap.data(), t->DisplayColormap.size()));
  return 0;
}

}  // namespace

TESSEL_COMMAND("palette", "[FOLDER]  summary of the colour tables (from FOLDER's .lmp files if given)",
               RunPalette);
