#pragma once
// Helpers the archive commands share: choosing members by name, safe
// printing of names taken from archives, and the common messages.

#include <string>
#include <vector>

#include "archive/ArcDirectory.h"

// `text` with control characters shown as "?", so that a hostile member
// name cannot send escape sequences to the terminal.
std::string Printable(const std::string& text);

// Prints "cairnbox: <message>" to standard error, made printable.
void PrintError(const std::string& message);

// Prints the command's usage to standard error; gives the exit status 2.
int UsageError(const char* command, const std::string& problem);

// Reads the archive's directory; a directory with missing entries is
// reported on standard error and sets `damaged`.
TArchiveDirectory ReadDirectoryForCommand(const std::string& archive, bool& damaged);

// The one member `name` stands for: the member stored under exactly that
// name (the first, should there be several), else the only member the name
// matches as a pattern. Raises EArchiveError when none or several match.
const TArchiveEntryRow& FindOneMember(const TArchiveDirectory& dir, const std::string& name);
