#include "widgets/WindowArgs.h"

#include <QApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

TWindowArgs ParseWindowArgs(int argc, char** argv) {
  TWindowArgs o;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg != "--screenshot") {
      o.Files << arg;
    } else if (i + 1 >= argc) {
      o.Error = "--screenshot needs the name of the picture to write";
      return o;
    } else {
      o.Screenshot = QString::fromLocal8Bit(argv[++i]);
    }
  }
  if (!o.Screenshot.isEmpty()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return o;
}

void GrabWindowAndExit(QWidget& window, const QString& file, const char* program, int& status) {
  const QPixmap shot = window.grab();
  if (shot.isNull() || !shot.save(file, "PNG")) {
    std::fprintf(stderr, "%s: cannot write the picture %s\n", program, file.toLocal8Bit().constData());
    status = 1;
  } else {
    std::printf("The main window, drawn: %s\n", QFileInfo(file).absoluteFilePath().toLocal8Bit().constData());
  }
  QApplication::exit(status);
}
