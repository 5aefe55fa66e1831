#pragma once
// The questions and notices that model operations put to the person using
// the program. The program installs its own answerer (message boxes, or
// the console for batch work); tests install one that records and answers
// from a script.

#include <string>

class TPrompts {
public:
  virtual ~TPrompts() = default;
  // An information box with an OK button.
  virtual void Information(const std::string& text, const std::string& caption) = 0;
  // A Yes/No question; true for Yes.
  virtual bool Confirm(const std::string& text, const std::string& caption) = 0;
};

// The answerer in use. Until one is installed, notices go to the standard
// error stream and every question is answered No.
TPrompts& Prompts();
// Installs `prompts` (not owned; it must outlive its use) and returns the
// one it replaces; null goes back to the default.
TPrompts* SetPrompts(TPrompts* prompts);
