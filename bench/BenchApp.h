#pragma once
// The one application object of the window benchmarks: off screen unless the
// caller chose a platform. `prepare`, when given, runs once before it is
// made (settings paths and the like).

#include <QApplication>
#include <cstdlib>

inline QApplication& BenchApp(void (*prepare)() = nullptr) {
  static int argc = 1;
  static char name[] = "bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [prepare] {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (prepare) prepare();
    return new QApplication(argc, argv);
  }();
  return *app;
}
