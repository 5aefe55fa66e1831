#include "core/IniFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unordered_set>

#include "core/Format.h"
#include "core/SafeSave.h"
#include "core/TextCase.h"

namespace {

bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsTrimmed(s[b])) ++b;
  while (e > b && IsTrimmed(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Decimal with an optional sign, or "0x" hexadecimal (up to 32 bits, taken
// as the bit pattern of a signed number, the way such files store colours).
bool ParseInteger(std::string_view s, int32_t& out) {
  s = Trim(s);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty() || s[0] == '+' || s[0] == '-') return false;
  uint64_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  if (base == 16) {
    if (v > 0xFFFFFFFFu) return false;
    uint32_t bits = static_cast<uint32_t>(v);
    if (negative) bits = 0u - bits;
    out = static_cast<int32_t>(bits);
    return true;
  }
  if (negative) {
    if (v > 0x80000000u) return false;
    out = static_cast<int32_t>(-static_cast<int64_t>(v));
  } else {
    if (v > 0x7FFFFFFFu) return false;
    out = static_cast<int32_t>(v);
  }
  return true;
}

bool ParseFloat(std::string_view s, double& out) {
  s = Trim(s);
  if (!s.empty() && s[0] == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s[0] == '-') return false;
  }
  if (s.empty()) return false;
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

std::string ErrorText(int err) { return std::strerror(err); }

// Reads the whole file; false when it does not exist.
bool ReadWholeFile(const std::string& fileName, std::string& text) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return false;
    throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), ErrorText(errno).c_str()));
  }
  text.clear();
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      text.append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n == 0) break;
    if (errno == EINTR) continue;
    const int err = errno;
    ::close(fd);
    throw EReadError(Format("Cannot read from file \"%s\". %s", fileName.c_str(), ErrorText(err).c_str()));
  }
  ::close(fd);
  return true;
}

// Writes the text whole or not at all, creating the file's folder first
// (the settings folder need not exist on a fresh system).
void WriteFileAtomically(const std::string& fileName, const std::string& text) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path folder = fs::path(fileName).parent_path();
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec)
      throw EFCreateError(
          Format("Cannot create folder \"%s\". %s", folder.string().c_str(), ec.message().c_str()));
  }
  SafeSaveBytes(fileName, text);
}

}  // namespace

// ---- the parsed file ---------------------------------------------------------

void TIniFile::TDocument::Parse(std::string_view text) {
  Preamble.clear();
  Sections.clear();
  LineBreak = "\r\n";
  Bom = text.substr(0, 3) == "\xEF\xBB\xBF";
  if (Bom) text.remove_prefix(3);
  if (size_t lf = text.find('\n'); lf != std::string_view::npos)
    LineBreak = (lf > 0 && text[lf - 1] == '\r') ? "\r\n" : "\n";

  while (!text.empty()) {
    const size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    // Strip every CR before the line end, so a written file reads back the same.
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const std::string_view t = Trim(line);
    if (!t.empty() && t[0] == '[') {
      // The last "]" closes the name, so names that contain "]" survive.
      std::string_view name = t.substr(1);
      if (size_t close = name.rfind(']'); close != std::string_view::npos) name = name.substr(0, close);
      TSection& s = Sections.emplace_back();
      s.Name = Trim(name);
      s.Header = line;
      continue;
    }
    TLine l;
    l.Raw = line;
    if (!t.empty() && t[0] != ';') {
      if (size_t eq = t.find('='); eq != std::string_view::npos) {
        std::string_view name = Trim(t.substr(0, eq));
        if (!name.empty()) {
          l.IsKey = true;
          l.Name = name;
          l.Value = Trim(t.substr(eq + 1));
        }
      }
    }
    if (Sections.empty())
      Preamble.push_back(std::move(l.Raw));
    else
      Sections.back().Lines.push_back(std::move(l));
  }
}

std::string TIniFile::TDocument::Text() const {
  std::string out;
  if (Bom) out += "\xEF\xBB\xBF";
  for (const std::string& line : Preamble) out.append(line).append(LineBreak);
  for (const TSection& s : Sections) {
    out.append(s.Header).append(LineBreak);
    for (const TLine& l : s.Lines) out.append(l.Raw).append(LineBreak);
  }
  return out;
}

const TIniFile::TSection* TIniFile::TDocument::Find(std::string_view name) const {
  name = Trim(name);
  for (const TSection& s : Sections)
    if (SameText(s.Name, name)) return &s;
  return nullptr;
}

TIniFile::TSection* TIniFile::TDocument::Find(std::string_view name) {
  return const_cast<TSection*>(static_cast<const TDocument*>(this)->Find(name));
}

void TIniFile::TDocument::Write(std::string_view section, std::string_view ident, std::string_view value) {
  section = Trim(section);
  ident = Trim(ident);
  value = Trim(value);
  TSection* s = Find(section);
  if (!s) {
    s = &Sections.emplace_back();
    s->Name = section;
    s->Header = "[" + s->Name + "]";
  }
  for (TLine& l : s->Lines) {
    if (l.IsKey && SameText(l.Name, ident)) {
      // Keep the key's spelling as it is in the file.
      l.Value = value;
      l.Raw = l.Name + "=" + l.Value;
      return;
    }
  }
  // A new key goes after the last key of the section (or after the last
  // non-blank line when there is no key), so blank lines that separate it
  // from the next section stay at its end.
  size_t at = 0;
  for (size_t i = 0; i < s->Lines.size(); ++i)
    if (s->Lines[i].IsKey) at = i + 1;
  if (at == 0)
    for (size_t i = 0; i < s->Lines.size(); ++i)
      if (!Trim(s->Lines[i].Raw).empty()) at = i + 1;
  TLine l;
  l.IsKey = true;
  l.Name = ident;
  l.Value = value;
  l.Raw = l.Name + "=" + l.Value;
  s->Lines.insert(s->Lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(l));
}

void TIniFile::TDocument::DeleteKey(std::string_view section, std::string_view ident) {
  TSection* s = Find(section);
  if (!s) return;
  ident = Trim(ident);
  std::erase_if(s->Lines, [&](const TLine& l) { return l.IsKey && SameText(l.Name, ident); });
}

void TIniFile::TDocument::EraseSection(std::string_view section) {
  section = Trim(section);
  std::erase_if(Sections, [&](const TSection& s) { return SameText(s.Name, section); });
}

// ---- TIniFile ----------------------------------------------------------------

TIniFile::TIniFile() = default;

TIniFile::TIniFile(const std::string& fileName) : FileName_(fileName), Doc_(Load(fileName)) {}

TIniFile::~TIniFile() {
  if (!Modified_ || FileName_.empty()) return;
  try {
    UpdateFile();
  } catch (...) {
    // Nothing sensible to do in a destructor; UpdateFile() reports errors.
  }
}

TIniFile::TDocument TIniFile::Load(const std::string& fileName) {
  TDocument doc;
  std::string text;
  if (ReadWholeFile(fileName, text)) doc.Parse(text);
  return doc;
}

void TIniFile::Apply(TDocument& doc, const TChange& c) {
  switch (c.Kind) {
    case TChange::ckWrite: doc.Write(c.Section, c.Ident, c.Value); break;
    case TChange::ckDeleteKey: doc.DeleteKey(c.Section, c.Ident); break;
    case TChange::ckEraseSection: doc.EraseSection(c.Section); break;
    case TChange::ckReplace: doc.Parse(c.Value); break;
  }
}

void TIniFile::Change(TChange change) {
  Apply(Doc_, change);
  if (change.Kind == TChange::ckReplace) Pending_.clear();
  Pending_.push_back(std::move(change));
  Modified_ = true;
}

const std::string* TIniFile::FindValue(std::string_view section, std::string_view ident) const {
  const TSection* s = Doc_.Find(section);
  if (!s) return nullptr;
  ident = Trim(ident);
  for (const TLine& l : s->Lines)
    if (l.IsKey && SameText(l.Name, ident)) return &l.Value;
  return nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view ident, std::string_view def) const {
  const std::string* v = FindValue(section, ident);
  return v ? *v : std::string(def);
}

void TIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
  // Names and values that would not read back as written are refused rather
  // than written into a file that then means something else.
  const std::string_view s = Trim(section), k = Trim(ident);
  if (HasLineBreak(s))
    throw EIniFileError(Format("Section name \"%.*s\" contains a line break", static_cast<int>(s.size()), s.data()));
  if (k.empty() || HasLineBreak(k) || k.find('=') != std::string_view::npos || k[0] == ';' || k[0] == '[')
    throw EIniFileError(Format("Invalid key name \"%.*s\" in section [%.*s]", static_cast<int>(k.size()), k.data(),
                               static_cast<int>(s.size()), s.data()));
  if (HasLineBreak(value))
    throw EIniFileError(Format("The value of %.*s in section [%.*s] contains a line break",
                               static_cast<int>(k.size()), k.data(), static_cast<int>(s.size()), s.data()));
  Change({TChange::ckWrite, std::string(s), std::string(k), std::string(Trim(value))});
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view ident, int32_t def) const {
  const std::string* v = FindValue(section, ident);
  int32_t result = def;
  if (v && ParseInteger(*v, result)) return result;
  return def;
}

void TIniFile::WriteInteger(std::string_view section, std::string_view ident, int32_t value) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  WriteString(section, ident, std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

bool TIniFile::ReadBool(std::string_view section, std::string_view ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

double TIniFile::ReadFloat(std::string_view section, std::string_view ident, double def) const {
  const std::string* v = FindValue(section, ident);
  double result = def;
  if (v && ParseFloat(*v, result)) return result;
  return def;
}

void TIniFile::WriteFloat(std::string_view section, std::string_view ident, double value) {
  if (!std::isfinite(value))
    throw EIniFileError(Format("Cannot store %g as %.*s in section [%.*s]", value, static_cast<int>(ident.size()),
                               ident.data(), static_cast<int>(section.size()), section.data()));
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  WriteString(section, ident, std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  if (const TSection* s = Doc_.Find(section)) {
    std::unordered_set<std::string> seen;
    for (const TLine& l : s->Lines)
      if (l.IsKey && seen.insert(LowerCase(l.Name)).second) keys.push_back(l.Name);
  }
  return keys;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (const TSection& s : Doc_.Sections)
    if (seen.insert(LowerCase(s.Name)).second) names.push_back(s.Name);
  return names;
}

bool TIniFile::SectionExists(std::string_view section) const { return Doc_.Find(section) != nullptr; }

bool TIniFile::ValueExists(std::string_view section, std::string_view ident) const {
  return FindValue(section, ident) != nullptr;
}

void TIniFile::EraseSection(std::string_view section) {
  Change({TChange::ckEraseSection, std::string(Trim(section)), {}, {}});
}

void TIniFile::DeleteKey(std::string_view section, std::string_view ident) {
  Change({TChange::ckDeleteKey, std::string(Trim(section)), std::string(Trim(ident)), {}});
}

void TIniFile::UpdateFile() {
  if (FileName_.empty()) throw EIniFileError("The settings have no file to be written to");
  TDocument fresh = Load(FileName_);
  for (const TChange& c : Pending_) Apply(fresh, c);
  WriteFileAtomically(FileName_, fresh.Text());
  Doc_ = std::move(fresh);
  Pending_.clear();
  Modified_ = false;
}

std::string TIniFile::Text() const { return Doc_.Text(); }

void TIniFile::SetText(std::string_view text) { Change({TChange::ckReplace, {}, {}, std::string(text)}); }

// ---- where the settings live -------------------------------------------------

std::string SettingsFolder() {
  auto withSlash = [](std::string s) {
    if (!s.empty() && s.back() != '/') s += '/';
    return s;
  };
  if (const char* dir = std::getenv("TESSEL_CONFIG_DIR"); dir && *dir) return withSlash(dir);
  // Relative values of XDG_CONFIG_HOME are to be ignored.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return withSlash(xdg) + "tessel/";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) {
    home = h;
  } else {
    struct passwd pw;
    struct passwd* found = nullptr;
    char buf[4096];
    if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir)
      home = found->pw_dir;
  }
  if (home.empty()) return "";  // nowhere better: the current folder
  return withSlash(home) + ".config/tessel/";
}

std::string SettingsFileName() { return SettingsFolder() + "TESSEL.INI"; }
