#pragma once
// Numbers in the text exchange formats: always "." as the decimal
// separator, whatever the locale, through std::from_chars/std::to_chars.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

inline bool IsTextBlank(char c) { return c == ' ' || c == '\t'; }

inline std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsTextBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsTextBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A decimal integer with optional blanks around it and an optional sign.
inline bool ParseTextInt(std::string_view s, int32_t& value) {
  s = TrimBlanks(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size();
}

// A decimal floating-point number (fixed or exponent notation) with optional
// blanks around it and an optional sign. Infinities, NaNs and values outside
// the range of a float are refused: they would poison a model.
inline bool ParseTextFloat(std::string_view s, float& value) {
  s = TrimBlanks(s);
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '-') return false;
  }
  if (s.empty()) return false;
  double d = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::general);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  if (!std::isfinite(d) || std::fabs(d) > std::numeric_limits<float>::max()) return false;
  value = static_cast<float>(d);
  return true;
}

// Appends v in fixed notation with `decimals` digits after the point, as
// printf's "%.Nf" would in the C locale.
inline void AppendFixed(std::string& out, double v, int decimals) {
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (ec == std::errc()) out.append(buf, end);
}
