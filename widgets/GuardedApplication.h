#pragma once
// The application object of both programs: an error that escapes an event
// handler is shown in a message box and the operation abandoned, as
// everywhere in the programs; it never reaches Qt's event loop.

#include <QApplication>
#include <QString>
#include <functional>

class TGuardedApplication : public QApplication {
public:
  using QApplication::QApplication;

  // How an error is shown; the program sets its own (a message box, or the
  // terminal when nobody is there to click).
  std::function<void(QWidget* parent, const QString& text)> ShowError;

  bool notify(QObject* receiver, QEvent* event) override;

private:
  void Report(const QString& text);
  bool Reporting_ = false;
};
