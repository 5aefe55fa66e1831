#pragma once
// The registry both filers keep: an ordered list of (extension, format)
// pairs in registration order, looked up by a file name's extension, and the
// file-dialog filter texts built from it.

#include <cctype>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The extension of a file name: from its last "." on, but only when that dot
// lies in the last path component ("" otherwise).
inline std::string ExtractFileExt(std::string_view fileName) {
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  const size_t slash = fileName.find_last_of('/');
  if (slash != std::string_view::npos && slash > dot) return {};
  return std::string(fileName.substr(dot));
}

inline std::string UpperCaseAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

template <class TFormat>
class TFormatList {
public:
  // Takes the format; its key is what its Extension() gives now (which may
  // raise, in which case nothing is added).
  void Add(std::unique_ptr<TFormat> format) {
    std::string key = format->Extension();
    Items_.emplace_back(std::move(key), std::move(format));
  }

  // The first format whose key equals the extension, compared without
  // regard to case; null when none does.
  TFormat* Find(std::string_view extension) const {
    if (extension.empty()) return nullptr;
    const std::string wanted = UpperCaseAscii(extension);
    for (const auto& item : Items_)
      if (UpperCaseAscii(item.first) == wanted) return item.second.get();
    return nullptr;
  }

  // Whether a format is registered for the extension ("dxf", ".dxf" and
  // ".DXF" alike). Keys are upper case, so the comparison is exact.
  bool IsKnownExtension(std::string_view extension) const {
    if (extension.empty()) return false;
    std::string key = extension.front() == '.' ? std::string(extension) : "." + std::string(extension);
    key = UpperCaseAscii(key);
    for (const auto& item : Items_)
      if (item.first == key) return true;
    return false;
  }

  // "Description|*.EXT" for each format that passes `wanted`, joined by "|".
  template <class TPredicate>
  std::string Filter(TPredicate wanted) const {
    std::string out;
    for (const auto& item : Items_) {
      if (!wanted(*item.second)) continue;
      std::string entry = item.second->Description() + "|*" + item.second->Extension();
      out = out.empty() ? entry : out + "|" + entry;
    }
    return out;
  }

  int Count() const { return static_cast<int>(Items_.size()); }
  const std::string& Key(int i) const { return Items_[static_cast<size_t>(i)].first; }
  TFormat& Format(int i) const { return *Items_[static_cast<size_t>(i)].second; }

private:
  std::vector<std::pair<std::string, std::unique_ptr<TFormat>>> Items_;
};
