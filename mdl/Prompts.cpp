#include "mdl/Prompts.h"

#include <atomic>
#include <cstdio>

namespace {

class TConsolePrompts : public TPrompts {
public:
  void Information(const std::string& text, const std::string& caption) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
  bool Confirm(const std::string& text, const std::string& caption) override {
    std::fprintf(stderr, "%s: %s (answered No)\n", caption.c_str(), text.c_str());
    return false;
  }
};

TConsolePrompts& DefaultPrompts() {
  static TConsolePrompts prompts;
  return prompts;
}

std::atomic<TPrompts*> Current{nullptr};

}  // namespace

TPrompts& Prompts() {
  TPrompts* p = Current.load();
  return p ? *p : DefaultPrompts();
}

TPrompts* SetPrompts(TPrompts* prompts) { return Current.exchange(prompts); }
