#pragma once
// What both programs' windows take from their command line, and the picture
// of a window that "--screenshot" asks for.

#include <QString>
#include <QStringList>

class QWidget;

struct TWindowArgs {
  QString Screenshot;  // "--screenshot FILE": draw the window into FILE and end
  QStringList Files;   // everything else, in order
  QString Error;       // why the arguments cannot be taken
};

// Reads the arguments before Qt sees them; a screenshot runs off screen, so
// the platform is set for the application object that follows.
TWindowArgs ParseWindowArgs(int argc, char** argv);

// Draws `window` into the PNG `file` and ends the event loop with `status`
// (1 when the picture cannot be written), saying on the terminal which
// happened, each line prefixed by `program`.
void GrabWindowAndExit(QWidget& window, const QString& file, const char* program, int& status);
