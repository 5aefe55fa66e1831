#pragma once
// True-colour pixels to the nearest game colour (smallest squared RGB
// distance, lowest index on ties), remembering recent answers: pictures
// repeat their colours a lot, and a search runs over all 256 entries.

#include <array>
#include <cstdint>

#include "raster/ColorTables.h"

class TNearestGameColor {
public:
  uint8_t operator()(uint8_t r, uint8_t g, uint8_t b) {
    const uint32_t key = (uint32_t(r) << 16) | (uint32_t(g) << 8) | b | kFilled;
    // A small direct-mapped table of the colours seen last.
    const size_t slot = (key * 2654435761u) >> (32 - kSlotBits);
    if (Keys_[slot] == key) return Values_[slot];
    const int index = Palette_.NearestIndex(r, g, b);
    Keys_[slot] = key;
    Values_[slot] = static_cast<uint8_t>(index < 0 ? 0 : index);
    return Values_[slot];
  }

private:
  static constexpr int kSlotBits = 12;
  static constexpr uint32_t kFilled = 0x01000000u;
  const TPaletteObject& Palette_ = GamePalette().Handle();
  std::array<uint32_t, 1u << kSlotBits> Keys_{};
  std::array<uint8_t, 1u << kSlotBits> Values_{};
};
