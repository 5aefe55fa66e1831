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
  // The common short form, digits only, without the general machinery.
  if (!s.empty() && s.size() <= 9) {
    int32_t v = 0;
    size_t i = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') v = v * 10 + (s[i++] - '0');
    if (i == s.size()) {
      value = v;
      return true;
    }
  }
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
  // The common plain form ([-]digits[.digits], at most 15 digits) exactly:
  // both the digits and the power of ten are exact doubles, so the one
  // division rounds correctly, as the general parser would.
  {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    size_t i = 0;
    const bool negative = s[0] == '-';
    if (negative) ++i;
    int64_t digits = 0;
    int count = 0, fraction = 0;
    bool point = false, plain = true;
    for (; i < s.size(); ++i) {
      const char c = s[i];
      if (c >= '0' && c <= '9') {
        digits = digits * 10 + (c - '0');
        if (++count > 15) break;
        if (point) ++fraction;
      } else if (c == '.' && !point) {
        point = true;
      } else {
        plain = false;
        break;
      }
    }
    if (plain && count > 0 && count <= 15) {
      const double d = static_cast<double>(digits) / kPow10[fraction];
      value = static_cast<float>(negative ? -d : d);
      return true;
    }
  }
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
