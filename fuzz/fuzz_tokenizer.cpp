// Tokenizes arbitrary bytes the way the text importers do: a mix of strict
// and lax reads, look-aheads and push-backs decided by the input itself.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/Streams.h"
#include "core/Tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  ResetTokenizer(stream);
  // Each step picks its next move from a rolling byte of the input, so the
  // fuzzer steers both the text and the way it is read.
  size_t steps = 0;
  for (;;) {
    const uint8_t choice = size ? data[steps % size] : 0;
    // Every round consumes at least one byte or ends, so this bounds a hang.
    if (++steps > size + 2) __builtin_trap();
    try {
      if (choice % 7 == 0) {
        // A pushed-back token comes back even from a strict read.
        PushBack();
        if (!NextToken(false)) __builtin_trap();
      }
      if (MoreOnLine()) {
        NextToken(false);
      } else if (!NextToken((choice & 1) != 0 || choice % 5 == 0)) {
        break;
      }
    } catch (const EScriptError&) {
      // A failed strict read leaves the cursor where it stopped; carry on the
      // lax way, as a reader that skips a bad line would.
      try {
        if (!NextToken(true)) break;
      } catch (const EScriptError&) {
        break;
      }
    }
    if (TokenizerToken().size() > TTokenizer::MaxTokenLength) __builtin_trap();
  }
  return 0;
}
