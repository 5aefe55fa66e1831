// The pool's one platform timer: one-shot timers fire on their own under a
// running event loop, a burst of retriggers gives one OnTimer, and the
// program-wide driver is made once.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "editor/Timers.h"
#include "tessel/ui/TimerPoolDriver.h"

TEST(TimerPoolDriverTest, TicksEveryFiftyMillisecondsFromCreation) {
  TTimerPool pool;
  TTimerPoolDriver driver(pool);
  EXPECT_TRUE(driver.Timer()->isActive());
  EXPECT_EQ(driver.Timer()->interval(), 50);
  EXPECT_EQ(&driver.Pool(), &pool);
}

TEST(TimerPoolDriverTest, OneShotFiresOnceAfterItsInterval) {
  TTimerPool pool;
  TTimerPoolDriver driver(pool);
  TOneShotTimer timer(pool);
  timer.SetInterval(10);
  int fired = 0;
  timer.OnTimer = [&](TTimerPoolComponent&) { ++fired; };
  QElapsedTimer clock;
  clock.start();
  timer.SetEnabled(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return fired > 0; }, 2000));
  EXPECT_GE(clock.elapsed(), 10);
  // Nothing more comes, and the finished pool timer is freed.
  EXPECT_TRUE(QTest::qWaitFor([&] { return pool.Timers().Count() == 0; }, 2000));
  EXPECT_EQ(fired, 1);
}

TEST(TimerPoolDriverTest, BurstOfRetriggersEndsInOneEvent) {
  TTimerPool pool;
  TTimerPoolDriver driver(pool);
  TOneShotTimer timer(pool);
  timer.SetInterval(10);
  int fired = 0;
  timer.OnTimer = [&](TTimerPoolComponent&) { ++fired; };
  for (int i = 0; i < 5; ++i) timer.SetEnabled(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return fired > 0; }, 2000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return pool.Timers().Count() == 0; }, 2000));
  EXPECT_EQ(fired, 1);
  // Enabled again, it fires again.
  timer.SetEnabled(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return fired == 2; }, 2000));
}

TEST(TimerPoolDriverTest, ProgramWideDriverIsMadeOnce) {
  TTimerPoolDriver& a = DriveTimerPool();
  TTimerPoolDriver& b = DriveTimerPool();
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(&a.Pool(), &TimerPool());
}
