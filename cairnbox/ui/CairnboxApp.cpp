#include "cairnbox/ui/CairnboxApp.h"

#include <QApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "cairnbox/ui/GameArchiveViewerForm.h"
#include "widgets/FileDialogs.h"
#include "widgets/MRUFileList.h"
#include "widgets/GuardedApplication.h"

namespace {


struct TWindowOptions {
  QString Screenshot;
  QString Archive;
  QString Error;
};

TWindowOptions ParseWindowOptions(const QStringList& args) {
  TWindowOptions o;
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == "--screenshot") {
      if (i + 1 >= args.size()) {
        o.Error = "--screenshot needs the name of the picture to write";
        return o;
      }
      o.Screenshot = args[++i];
    } else if (o.Archive.isEmpty()) {
      o.Archive = args[i];
    } else {
      o.Error = "only one archive can be opened";
      return o;
    }
  }
  return o;
}

}  // namespace

int RunCairnboxWindows(int argc, char** argv) {
  // Parse before Qt sees the arguments: the screenshot runs off screen.
  QStringList raw;
  for (int i = 1; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
  const TWindowOptions options = ParseWindowOptions(raw);
  if (!options.Error.isEmpty()) {
    std::fprintf(stderr, "cairnbox: %s\n", options.Error.toLocal8Bit().constData());
    return 2;
  }
  if (!options.Screenshot.isEmpty()) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  TGuardedApplication app(argc, argv);
  app.ShowError = [](QWidget* parent, const QString& text) { TGameArchiveViewerForm::ShowError(parent, text); };
  QApplication::setOrganizationName("Hollin");
  QApplication::setApplicationName("Cairnbox10");
  QApplication::setApplicationDisplayName("Game Archive Extractor");
  QApplication::setDesktopFileName("cairnbox");

  int status = 0;
  {
    if (!options.Screenshot.isEmpty()) {
      // Nobody is there to answer a box: errors go to the terminal.
      TGameArchiveViewerForm::ShowError = [&status](QWidget*, const QString& text) {
        std::fprintf(stderr, "cairnbox: %s\n", text.toLocal8Bit().constData());
        status = 1;
      };
    }
    TGameArchiveViewerForm form;
    // A picture for the documentation leaves the user's recent files alone.
    if (!options.Screenshot.isEmpty()) form.MRUFileList->AutoSave = false;
    form.show();
    const QString archive = options.Archive.isEmpty() ? QString() : QFileInfo(options.Archive).absoluteFilePath();
    QTimer::singleShot(0, &form, [&form, archive] {
      if (!archive.isEmpty()) form.Guard([&] { form.FileDlgs->OpenFile(archive); });
    });
    if (!options.Screenshot.isEmpty()) {
      const QString out = options.Screenshot;
      // Let the window list, lay itself out and draw before the picture.
      QTimer::singleShot(100, &form, [&form, out, &status] {
        const QPixmap shot = form.grab();
        if (shot.isNull() || !shot.save(out, "PNG")) {
          std::fprintf(stderr, "cairnbox: cannot write the picture %s\n", out.toLocal8Bit().constData());
          status = 1;
        } else {
          std::printf("The main window, drawn: %s\n", QFileInfo(out).absoluteFilePath().toLocal8Bit().constData());
        }
        QApplication::exit(status);
      });
    }
    const int loop = QApplication::exec();
    if (status == 0) status = loop;
  }
  return status;
}
