#pragma once
// Letter case of 8-bit names (profile sections and keys, archive members,
// frame and scene names): only A-Z and a-z pair up; every other byte,
// accented letters included, stands for itself, whatever the locale.

#include <string>
#include <string_view>

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `s` with A-Z turned into a-z.
std::string LowerCase(std::string_view s);

// Whether `a` and `b` are equal but for the case of their letters.
bool SameText(std::string_view a, std::string_view b);

// `a` against `b` without regard to case: the difference of the first bytes
// that differ (as unsigned, after lower-casing), else -1, 0 or 1 by length.
int CompareText(std::string_view a, std::string_view b);
