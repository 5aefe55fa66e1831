#pragma once
// The programs' icons: the desktop theme's icon where the freedesktop
// naming has one, the program's own drawing otherwise.

#include <QIcon>

// `name` is the program's own icon (":/icons/<name>.svg"); `themeName`,
// when given, the standard name to prefer from the desktop's theme.
QIcon ProgramIcon(const char* name, const char* themeName = nullptr);
