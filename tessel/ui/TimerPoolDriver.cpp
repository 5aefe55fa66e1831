#include "tessel/ui/TimerPoolDriver.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include "editor/Timers.h"

TTimerPoolDriver::TTimerPoolDriver(TTimerPool& pool, QObject* parent)
    : QObject(parent), Pool_(pool), Timer_(new QTimer(this)) {
  Timer_->setInterval(TTimerPool::kTickInterval);
  Timer_->setTimerType(Qt::PreciseTimer);
  // A timer's event may throw (a component given someone else's handle);
  // nothing may escape into Qt's event loop.
  connect(Timer_, &QTimer::timeout, this, [this] {
    try {
      Pool_.Tick();
    } catch (const std::exception&) {
    }
  });
  Timer_->start();
}

TTimerPoolDriver& DriveTimerPool() {
  static QPointer<TTimerPoolDriver> driver;
  if (!driver) driver = new TTimerPoolDriver(TimerPool(), QCoreApplication::instance());
  return *driver;
}
