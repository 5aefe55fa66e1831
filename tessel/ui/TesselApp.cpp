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

namespace {


struct TWindowOptions {
  QString Screenshot;
  QStringList ModelArgs;
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
    } else {
      o.ModelArgs << args[i];
    }
  }
  return o;
}

// Module start-up: colour tables, the format registries.
void InitModules() {
  ColorTables();
  TTriangleFiler::Instance();
  TBitmapFiler::Instance();
}

}  // namespace

int RunTesselWindows(int argc, char** argv) {
  // Parse before Qt sees the arguments: the screenshot runs off screen.
  QStringList raw;
  for (int i = 1; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
  const TWindowOptions options = ParseWindowOptions(raw);
  if (!options.Error.isEmpty()) {
    std::fprintf(stderr, "tessel: %s\n", options.Error.toLocal8Bit().constData());
    return 2;
  }
  if (!options.Screenshot.isEmpty()) setenv("QT_QPA_PLATFORM", "offscreen", 1);

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
    TModelViewer viewer(options.ModelArgs);
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
        QTimer::singleShot(0, &viewer, [&viewer, out, &status] {
          const QPixmap shot = viewer.grab();
          if (shot.isNull() || !shot.save(out, "PNG")) {
            std::fprintf(stderr, "tessel: cannot write the picture %s\n", out.toLocal8Bit().constData());
            status = 1;
          } else {
            std::printf("The main window, drawn: %s\n", QFileInfo(out).absoluteFilePath().toLocal8Bit().constData());
          }
          QApplication::exit(status);
        });
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
