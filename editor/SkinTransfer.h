#pragma once
// The program's own clipboard format for a skin: the 8-bit indices and the
// colour table exactly, so a skin copied and pasted within the program (or
// between two of its windows) keeps every index. Qt-free, so the reader can
// be fuzzed: what arrives on the clipboard may come from anywhere.
//
// Layout: "TSKN", a version, width and height (32-bit little-endian each),
// the 256 colour-table quads (blue, green, red, flags), then the indices row
// by row from the top, without padding.

#include <cstdint>
#include <string>
#include <string_view>

class TWinGBitmap;

std::string EncodeSkinTransfer(const TWinGBitmap& bitmap);
// False, with `bitmap` untouched, for anything that is not exactly such a
// record within the bitmap limits.
bool DecodeSkinTransfer(std::string_view data, TWinGBitmap& bitmap);
