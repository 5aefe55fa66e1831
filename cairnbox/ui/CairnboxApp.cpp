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
#include "widgets/WindowArgs.h"

int RunCairnboxWindows(int argc, char** argv) {
  TWindowArgs options = ParseWindowArgs(argc, argv);
  if (options.Error.isEmpty() && options.Files.size() > 1) options.Error = "only one archive can be opened";
  if (!options.Error.isEmpty()) {
    std::fprintf(stderr, "cairnbox: %s\n", options.Error.toLocal8Bit().constData());
    return 2;
  }

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
    const QString archive = options.Files.isEmpty() ? QString() : QFileInfo(options.Files.first()).absoluteFilePath();
    QTimer::singleShot(0, &form, [&form, archive] {
      if (!archive.isEmpty()) form.Guard([&] { form.FileDlgs->OpenFile(archive); });
    });
    if (!options.Screenshot.isEmpty()) {
      const QString out = options.Screenshot;
      // Let the window list, lay itself out and draw before the picture.
      QTimer::singleShot(100, &form, [&form, out, &status] { GrabWindowAndExit(form, out, "cairnbox", status); });
    }
    const int loop = QApplication::exec();
    if (status == 0) status = loop;
  }
  return status;
}
