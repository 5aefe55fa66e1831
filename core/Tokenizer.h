#pragma once
// A line-aware tokenizer for small text formats. The whole input is copied
// into memory first; tokens are runs of characters other than blanks (codes
// 0-32) and ";". A ";" anywhere, or a "#" at the start of a token, begins a
// comment that runs to the end of the line.
//
// Readers ask for a token either anywhere ahead (crossLines true) or strictly
// on the current line (crossLines false); a strict request that finds the
// line, a comment or the input ending raises EScriptError.
//
// The program has one tokenizer, reached through the free functions below
// (it is not re-entrant). TTokenizer itself can also be used on its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Exception.h"

class TStream;

TESSEL_DECLARE_EXCEPTION(EScriptError, Exception);

class TTokenizer {
public:
  // Longest token accepted; one character more raises "Token too large".
  static constexpr size_t MaxTokenLength = 127;

  // Copies the whole stream, from its start, and starts at line 1.
  void Reset(TStream& stream);
  void Reset(std::string_view text);

  // Reads the next token into Token(). Returns false when the input is used
  // up (only when crossLines is true; a strict read raises instead).
  bool NextToken(bool crossLines);
  // True when a token follows on the current line (before the next LF, a
  // comment or the end). Consumes nothing.
  bool MoreOnLine() const;
  // The next NextToken gives the current token again.
  void PushBack() { PushBack_ = true; }

  const std::string& Token() const { return Token_; }
  // The current line number; a token's line is the value when it was read.
  int32_t Line() const { return Line_; }
  bool AtEnd() const { return AtEnd_; }

private:
  [[noreturn]] void Incomplete() const;
  void NewLine();

  std::vector<uint8_t> Buffer_;
  size_t Cursor_ = 0;
  int32_t Line_ = 1;
  std::string Token_;
  bool AtEnd_ = false;
  bool PushBack_ = false;
};

// The program's tokenizer.
TTokenizer& Tokenizer();

void ResetTokenizer(TStream& stream);
bool NextToken(bool crossLines);
bool MoreOnLine();
void PushBack();
const std::string& TokenizerToken();
int32_t TokenizerLine();
bool TokenizerAtEnd();
