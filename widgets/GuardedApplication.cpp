#include "widgets/GuardedApplication.h"

#include <exception>

bool TGuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    Report(QString::fromUtf8(e.what()));
  } catch (...) {
    Report("Unknown error");
  }
  return false;
}

void TGuardedApplication::Report(const QString& text) {
  // An error while an error box is up is not shown a second time.
  if (Reporting_ || !ShowError) return;
  Reporting_ = true;
  ShowError(activeWindow(), text);
  Reporting_ = false;
}
