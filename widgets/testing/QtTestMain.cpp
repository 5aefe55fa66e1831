// The main() of every test program that uses real widgets: a QApplication
// on the offscreen platform (unless the caller chose another), settings
// kept in a fresh temporary folder so no test reads or writes the user's,
// then GoogleTest.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QTemporaryDir settingsDir;
  if (settingsDir.isValid()) {
    const QByteArray path = settingsDir.path().toUtf8();
    setenv("TESSEL_CONFIG_DIR", (path + "/tessel").constData(), 1);
    setenv("XDG_CONFIG_HOME", path.constData(), 1);
  }
  QStandardPaths::setTestModeEnabled(true);
  QCoreApplication::setOrganizationName("Hollin");
  QCoreApplication::setApplicationName("TesselTests");
  QSettings::setDefaultFormat(QSettings::IniFormat);
  if (settingsDir.isValid())
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path() + "/qsettings");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
