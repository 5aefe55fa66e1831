#pragma once
// The platform timer behind the timer pool: one 50 ms QTimer on the user
// interface thread calls the pool's Tick. The program needs exactly one per
// pool; DriveTimerPool makes it on first use and parents it to the
// application, so every window that holds a TOneShotTimer can just ask.

#include <QObject>

class QTimer;
class TTimerPool;

class TTimerPoolDriver : public QObject {
  Q_OBJECT

public:
  explicit TTimerPoolDriver(TTimerPool& pool, QObject* parent = nullptr);

  QTimer* Timer() const { return Timer_; }
  TTimerPool& Pool() const { return Pool_; }

private:
  TTimerPool& Pool_;
  QTimer* Timer_;
};

// The driver of the program-wide pool, made (and started) on first call.
TTimerPoolDriver& DriveTimerPool();
