#pragma once
// Argument helpers shared by the batch commands that read and write model,
// geometry and picture files.

#include <cctype>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

namespace cmdargs {

// A whole decimal number, or nothing.
inline std::optional<int> ParseIndex(const std::string& s) {
  int v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

// Whether the file name ends in one of the extensions (".dxf"...), compared
// without regard to case.
inline bool HasExtension(const std::string& name, const std::vector<std::string>& extensions) {
  const size_t dot = name.find_last_of('.');
  const size_t slash = name.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) return false;
  std::string ext = name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const std::string& e : extensions)
    if (ext == e) return true;
  return false;
}

// Positional arguments and the value of "-o"; false when an unknown option
// or a second "-o" turns up. Options listed in `valued` take the next
// argument as their value, which lands in `values` in order.
struct TParsed {
  std::vector<std::string> Positional;
  std::string Output;
  std::vector<std::pair<std::string, std::string>> Options;
};

inline bool Parse(const std::vector<std::string>& args, const std::vector<std::string>& valued, TParsed& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o") {
      if (i + 1 >= args.size() || !out.Output.empty()) return false;
      out.Output = args[++i];
      if (out.Output.empty()) return false;
    } else if (!a.empty() && a[0] == '-' && a.size() > 1) {
      bool known = false;
      for (const std::string& v : valued)
        if (a == v) known = true;
      if (!known || i + 1 >= args.size()) return false;
      out.Options.emplace_back(a, args[++i]);
    } else {
      out.Positional.push_back(a);
    }
  }
  return true;
}

}  // namespace cmdargs
