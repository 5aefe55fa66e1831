#include "core/Tokenizer.h"

#include <climits>

#include "core/Format.h"
#include "core/Streams.h"

namespace {

constexpr uint8_t LF = 10;

bool IsBlank(uint8_t c) { return c <= 32; }

}  // namespace

void TTokenizer::Reset(TStream& stream) {
  // Read in chunks until the stream runs dry rather than trusting Size(), so
  // the buffer only ever grows by what is really there.
  std::vector<uint8_t> bytes;
  stream.SetPosition(0);
  constexpr size_t chunk = 1 << 16;
  for (;;) {
    const size_t old = bytes.size();
    bytes.resize(old + chunk);
    const int64_t got = stream.Read(bytes.data() + old, static_cast<int64_t>(chunk));
    bytes.resize(old + static_cast<size_t>(got > 0 ? got : 0));
    if (got <= 0) break;
  }
  Reset(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void TTokenizer::Reset(std::string_view text) {
  Buffer_.assign(text.begin(), text.end());
  Cursor_ = 0;
  Line_ = 1;
  Token_.clear();
  AtEnd_ = false;
  PushBack_ = false;
}

void TTokenizer::Incomplete() const {
  throw EScriptError(Format("Line %d is incomplete", static_cast<int>(Line_)));
}

void TTokenizer::NewLine() {
  // Saturate rather than overflow on absurd inputs.
  if (Line_ < INT32_MAX) ++Line_;
}

bool TTokenizer::NextToken(bool crossLines) {
  if (PushBack_) {
    PushBack_ = false;
    return true;
  }
  const bool strict = !crossLines;
  const size_t end = Buffer_.size();
  const uint8_t* buf = Buffer_.data();

  while (Cursor_ < end) {
    const uint8_t c = buf[Cursor_];
    if (!IsBlank(c)) {
      if (c != ';' && c != '#') {
        Token_.clear();
        while (Cursor_ < end && !IsBlank(buf[Cursor_]) && buf[Cursor_] != ';') {
          if (Token_.size() >= MaxTokenLength)
            throw EScriptError(Format("Token too large on line %d", static_cast<int>(Line_)));
          Token_.push_back(static_cast<char>(buf[Cursor_]));
          ++Cursor_;
        }
        return true;
      }
      // A comment: nothing more on this line.
      if (strict) Incomplete();
      while (Cursor_ < end && buf[Cursor_] != LF) ++Cursor_;
      continue;
    }
    if (c == LF) {
      if (strict) Incomplete();
      NewLine();
    }
    ++Cursor_;
  }

  // The input is used up. There is no token to give, so say so rather than
  // handing back the previous one again.
  if (strict) Incomplete();
  AtEnd_ = true;
  Token_.clear();
  return false;
}

bool TTokenizer::MoreOnLine() const {
  const size_t end = Buffer_.size();
  for (size_t i = Cursor_; i < end; ++i) {
    const uint8_t c = Buffer_[i];
    if (c == LF) return false;
    if (IsBlank(c)) continue;
    // The cursor always rests on a token boundary, so a "#" seen here would
    // start a comment just as a ";" does.
    return c != ';' && c != '#';
  }
  return false;
}

// ---- the program's tokenizer ----------------------------------------------

TTokenizer& Tokenizer() {
  static TTokenizer instance;
  return instance;
}

void ResetTokenizer(TStream& stream) { Tokenizer().Reset(stream); }
bool NextToken(bool crossLines) { return Tokenizer().NextToken(crossLines); }
bool MoreOnLine() { return Tokenizer().MoreOnLine(); }
void PushBack() { Tokenizer().PushBack(); }
const std::string& TokenizerToken() { return Tokenizer().Token(); }
int32_t TokenizerLine() { return Tokenizer().Line(); }
bool TokenizerAtEnd() { return Tokenizer().AtEnd(); }
