#pragma once
// The program's screen cursors by identifier: 0 the arrow, negative numbers
// the system's cursors (-11 the busy cursor, ...), 1 to 16 the tool cursors
// the program draws for itself ("BRUSH", "FULLPIPET", ... "ROTOBJ").

#include <QCursor>

#include "raster/WinGSurface.h"

QCursor ToolCursor(TCursorId id);
// The resource name of tool cursor `id` (1..16), such as "BRUSH"; empty otherwise.
const char* ToolCursorName(TCursorId id);
