// Parses arbitrary bytes as an initialisation file, reads it back through
// the lookups, edits it and parses the written text again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TIniFile ini;
  ini.SetText(text);
  const auto sections = ini.ReadSections();
  for (size_t i = 0; i < sections.size() && i < 8; ++i) {
    const auto keys = ini.ReadSection(sections[i]);
    for (size_t k = 0; k < keys.size() && k < 8; ++k) {
      ini.ReadString(sections[i], keys[k], "");
      ini.ReadInteger(sections[i], keys[k], 0);
      ini.ReadFloat(sections[i], keys[k], 0);
      if (!ini.ValueExists(sections[i], keys[k])) __builtin_trap();
    }
  }
  // Unchanged text must come back as parsed, apart from line ends.
  const std::string once = ini.Text();
  TIniFile again;
  again.SetText(once);
  if (again.Text() != once) __builtin_trap();
  try {
    ini.WriteString("GENERAL", "Left", text.substr(0, 16));
    ini.WriteInteger("Scenes", "count", static_cast<int32_t>(size));
    if (ini.ReadInteger("scenes", "COUNT", -1) != static_cast<int32_t>(size)) __builtin_trap();
  } catch (const EIniFileError&) {
    // Line breaks in the value are refused.
  }
  if (!sections.empty()) {
    ini.DeleteKey(sections[0], "count");
    ini.EraseSection(sections.back());
  }
  again.SetText(ini.Text());
  return 0;
}
