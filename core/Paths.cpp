#include "core/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

std::string ExtractFilePath(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ProgramDirectory() {
  std::vector<char> buf(4096);
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  std::string dir = ExtractFilePath(std::string(buf.data(), static_cast<size_t>(n)));
  if (dir.empty()) dir = "./";
  return dir;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
