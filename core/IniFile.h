#pragma once
// Initialisation ("profile") files: "[Section]" headers followed by
// "Key=Value" lines, with the rules users of such files expect:
// - section and key names are compared without regard to ASCII case;
// - blanks around names and values are trimmed; values are kept as text;
// - sections and keys keep their file order, a new key goes to the end of
//   its section and a new section to the end of the file;
// - comment lines (";"), blank lines and lines before the first section are
//   kept as they are when the file is written back;
// - when a section or key appears twice, the first one counts.
// Numbers are read and written with std::from_chars/to_chars, never through
// the locale, so the decimal separator is always ".".
//
// The whole file is held in memory. Changes are written by UpdateFile(), and
// by the destructor if the caller did not save them (errors are lost there,
// so call UpdateFile() to see them). Saving reads the file again and applies
// this object's changes to what is there now, so two objects open on the
// same file do not undo each other's work. It writes a temporary file beside
// the target and renames it over the target, so a failed save leaves the old
// file untouched.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Exception.h"

// Raised for a name or value that the file format cannot hold (line breaks,
// a key containing "=") and for a file that cannot be read.
TESSEL_DECLARE_EXCEPTION(EIniFileError, Exception);

class TIniFile {
public:
  // An empty file in memory with no name; UpdateFile() has nowhere to write.
  TIniFile();
  // Loads the file; a missing file gives an empty one (every read gives its
  // default). An existing file that cannot be read raises EFOpenError or
  // EReadError.
  explicit TIniFile(const std::string& fileName);
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return FileName_; }
  bool Modified() const { return Modified_; }

  std::string ReadString(std::string_view section, std::string_view ident, std::string_view def) const;
  void WriteString(std::string_view section, std::string_view ident, std::string_view value);
  // Decimal, or hexadecimal after "0x"; an optional sign. Anything else,
  // including trailing garbage and numbers out of range, gives `def`.
  int32_t ReadInteger(std::string_view section, std::string_view ident, int32_t def) const;
  void WriteInteger(std::string_view section, std::string_view ident, int32_t value);
  // Any integer the way ReadInteger reads it; non-zero is true.
  bool ReadBool(std::string_view section, std::string_view ident, bool def) const;
  // Writes "1" or "0".
  void WriteBool(std::string_view section, std::string_view ident, bool value);
  // A finite decimal number with "." as separator (exponent allowed);
  // anything else gives `def`.
  double ReadFloat(std::string_view section, std::string_view ident, double def) const;
  // The shortest text that reads back as the same double.
  void WriteFloat(std::string_view section, std::string_view ident, double value);

  // Key names of the section, in file order.
  std::vector<std::string> ReadSection(std::string_view section) const;
  // Section names, in file order, each once.
  std::vector<std::string> ReadSections() const;
  // True when the section's header is present (even with no keys).
  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view ident) const;
  // Removes every section of that name with all its lines.
  void EraseSection(std::string_view section);
  // Removes the key (every copy of it) from the section.
  void DeleteKey(std::string_view section, std::string_view ident);

  // Writes the whole file (creating its folder if needed). Raises
  // EFCreateError or EWriteError; the old file is then unchanged.
  void UpdateFile();

  // The file's text, as UpdateFile() would write it, and the reverse: replace
  // everything by the parsed text (marks the file modified).
  std::string Text() const;
  void SetText(std::string_view text);

private:
  struct TLine {
    bool IsKey = false;
    std::string Raw;    // the line as it is written back
    std::string Name;   // key name, trimmed (keys only)
    std::string Value;  // value, trimmed (keys only)
  };
  struct TSection {
    std::string Name;
    std::string Header;  // the header line as written back
    std::vector<TLine> Lines;
  };
  // The parsed file and the edits on it.
  struct TDocument {
    std::vector<std::string> Preamble;  // lines before the first section
    std::vector<TSection> Sections;
    std::string LineBreak = "\r\n";
    bool Bom = false;

    void Parse(std::string_view text);
    std::string Text() const;
    const TSection* Find(std::string_view name) const;
    TSection* Find(std::string_view name);
    void Write(std::string_view section, std::string_view ident, std::string_view value);
    void DeleteKey(std::string_view section, std::string_view ident);
    void EraseSection(std::string_view section);
  };
  // Edits since the last save. Saving re-reads the file and applies them
  // again, so two objects on one file only overwrite each other's keys, not
  // each other's sections, as with write-through profile functions.
  struct TChange {
    enum TKind { ckWrite, ckDeleteKey, ckEraseSection, ckReplace } Kind;
    std::string Section, Ident, Value;
  };

  static TDocument Load(const std::string& fileName);
  static void Apply(TDocument& doc, const TChange& change);
  const std::string* FindValue(std::string_view section, std::string_view ident) const;
  void Change(TChange change);

  std::string FileName_;
  TDocument Doc_;
  std::vector<TChange> Pending_;
  bool Modified_ = false;
};

// The folder for the program's settings, with a trailing "/":
// $TESSEL_CONFIG_DIR when set, else $XDG_CONFIG_HOME/tessel/, else
// ~/.config/tessel/. The folder is not created here (UpdateFile does that).
std::string SettingsFolder();
// The settings file "TESSEL.INI" in SettingsFolder().
std::string SettingsFileName();
