#include "tessel/ui/TesselApp.h"

#include <QApplication>
#include <QStringList>
#include <cstdlib>
#include <cstring>

#include "tessel/ui/ModelViewer.h"

int RunTesselWindows(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Hollin");
  QApplication::setApplicationName("Tessel");
  QStringList args = QApplication::arguments().mid(1);
  TModelViewer viewer(args);
  viewer.show();
  return QApplication::exec();
}
