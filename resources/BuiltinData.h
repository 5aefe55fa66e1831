#pragma once
// Data built into the program.

#include <cstdint>

// 256 red, green, blue triples.
extern const uint8_t kBuiltinPalette[768];
