#include "tessel/ui/TesselApp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "editor/Clipboard.h"
#include "exchange/BitmapFiler.h"
#include "exchange/TriangleFiler.h"
#include "mdl/Prompts.h"
#include "raster/ColorTables.h"
#include "tessel/ui/ModelViewer.h"
#include "tessel/ui/QtClipboard.h"
#include "tessel/ui/QtPrompts.h"
#include "widgets/GuardedApplication.h"
#include "widgets/WindowArgs.h"

namespace {

// Module start-up: colour tables, the format registries.
void InitModules() {
  ColorTables();
  TTriangleFiler::Instance();
  TBitmapFiler::Instance();
}

}  // namespace

int RunTesselWindows(int argc, char** argv) {
  const TWindowArgs options = ParseWindowArgs(argc, argv);
  if (!options.Error.isEmpty()) {
    std::fprintf(stderr, "tessel: %s\n", options.Error.toLocal8Bit().constData());
    return 2;
  }

  TGuardedApplication app(argc, argv);
  app.ShowError = [](QWidget* parent, const QString& text) { TModelViewer::ShowError(parent, text); };
  QApplication::setOrganizationName("Hollin");
  QApplication::setApplicationName("Tessel");
  InitModules();

  TQtPrompts prompts;
  TPrompts* oldPrompts = SetPrompts(&prompts);
  TQtClipboard clipboard;
  TClipboard* oldClipboard = SetClipboard(&clipboard);

  int status = 0;
  {
    TModelViewer viewer(options.Files);
    prompts.SetParent(&viewer);
    if (!options.Screenshot.isEmpty()) {
      // Nobody is there to answer a box: errors go to the terminal.
      TModelViewer::ShowError = [](QWidget*, const QString& text) {
        std::fprintf(stderr, "tessel: %s\n", text.toLocal8Bit().constData());
      };
      TQtPrompts::Answerer = [](TQtPrompts::TKind, const std::string& text, const std::string&) {
        std::fprintf(stderr, "tessel: %s\n", text.c_str());
        return false;
      };
      const QString out = options.Screenshot;
      QObject::connect(&viewer, &TModelViewer::startupFinished, &viewer, [&viewer, out, &status] {
        // Once the events the load queued have run, the window is drawn into the picture.
        QTimer::singleShot(0, &viewer, [&viewer, out, &status] { GrabWindowAndExit(viewer, out, "tessel", status); });
      });
      viewer.resize(1024, 720);
    }
    viewer.show();
    const int loop = QApplication::exec();
    if (status == 0) status = loop;
  }
  SetClipboard(oldClipboard);
  SetPrompts(oldPrompts);
  return status;
}
