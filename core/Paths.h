#pragma once
#include <string>

// The folder of the running program's file, with a trailing "/".
std::string ProgramDirectory();
// The folder part of a path with a trailing "/" ("" when there is none).
std::string ExtractFilePath(const std::string& path);
// True when a regular file exists at `path`.
bool FileExists(const std::string& path);
