// cairnbox: the archive viewer. Without a window it runs batch commands.

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* kUsage =
    "Usage: cairnbox COMMAND [ARGS...]\n"
    "\n"
    "Commands:\n"
    "  --help       show this text\n"
    "  --version    show the program version\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("cairnbox %s\n", TESSEL_VERSION);
    return 0;
  }
  std::fprintf(stderr, "cairnbox: unknown command '%s' (try --help)\n", argv[1]);
  return 2;
}
