#include "editor/AnimationThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Generous: only a broken timer ever gets near it.
constexpr auto kPatience = 20s;

// The owner thread's side of the hand-over: the test thread queues nothing
// itself but runs, when it pumps, the calls the worker queued. A call waits
// until it has run or the loop is closed (which drops it).
class TOwnerLoop {
public:
  TOwnerLoop() = default;
  // Releases the callers still waiting and lets them leave first.
  ~TOwnerLoop() {
    Close();
    std::unique_lock lock(Mutex_);
    Changed_.wait(lock, [&] { return Callers_ == 0; });
  }
  TOwnerLoop(const TOwnerLoop&) = delete;
  TOwnerLoop& operator=(const TOwnerLoop&) = delete;

  void Call(const std::function<void()>& call) {
    auto job = std::make_shared<TJob>();
    job->Call = call;
    std::unique_lock lock(Mutex_);
    if (Closed_) throw std::runtime_error("owner loop closed");
    ++Callers_;
    Queue_.push_back(job);
    Changed_.notify_all();
    Changed_.wait(lock, [&] { return job->Done; });
    --Callers_;
    Changed_.notify_all();
  }
  TAnimationTimerThread::TOwnerCall HandOver() {
    return [this](const std::function<void()>& call) { Call(call); };
  }

  // Runs the calls queued now; returns how many ran.
  int Pump() {
    std::deque<std::shared_ptr<TJob>> jobs;
    {
      std::lock_guard lock(Mutex_);
      jobs.swap(Queue_);
    }
    for (auto& job : jobs) {
      job->Call();
      Finish(*job);
    }
    return static_cast<int>(jobs.size());
  }
  // Pumps until `done()` holds; false when patience runs out.
  template <class F>
  bool PumpUntil(F done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::unique_lock lock(Mutex_);
      Changed_.wait_for(lock, 2ms, [&] { return !Queue_.empty(); });
      lock.unlock();
      Pump();
    }
    return true;
  }
  // Waits, without running anything, until a call is queued.
  bool WaitQueued() {
    std::unique_lock lock(Mutex_);
    return Changed_.wait_for(lock, kPatience, [&] { return !Queue_.empty(); });
  }
  // Drops the queued calls and refuses new ones, as a closing loop does.
  void Close() {
    std::deque<std::shared_ptr<TJob>> jobs;
    {
      std::lock_guard lock(Mutex_);
      Closed_ = true;
      jobs.swap(Queue_);
    }
    for (auto& job : jobs) {
      job->Call = nullptr;
      Finish(*job);
    }
  }

private:
  struct TJob {
    std::function<void()> Call;
    bool Done = false;
  };
  void Finish(TJob& job) {
    std::lock_guard lock(Mutex_);
    job.Done = true;
    Changed_.notify_all();
  }

  std::mutex Mutex_;
  std::condition_variable Changed_;
  std::deque<std::shared_ptr<TJob>> Queue_;
  bool Closed_ = false;
  int Callers_ = 0;
};

using TTimerPtr = std::unique_ptr<TAnimationTimerThread>;

TTimerPtr MakeTimer(TOwnerLoop& loop) { return std::make_unique<TAnimationTimerThread>(loop.HandOver()); }

// Runs the call right there on the worker: ticks then run on the worker
// thread, which lets a test own the whole timeline.
void Inline(const std::function<void()>& call) { call(); }

// Waits for every worker to end (a detached one ends once its tick is gone).
bool AllWorkersEnded() {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (TAnimationTimerThread::LiveWorkers() != 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Frees the timer on the owner thread and runs the owner's queue until its
// worker has ended.
void Shutdown(TOwnerLoop& loop, TTimerPtr& timer) {
  timer.reset();
  EXPECT_TRUE(loop.PumpUntil([] { return TAnimationTimerThread::LiveWorkers() == 0; }));
}

// A clock that moves only when the worker sleeps or a tick draws, on the
// worker thread; the test reads it back after the worker has been joined.
struct TFakeTime {
  explicit TFakeTime(uint32_t start = 1000) : Now(start) {}
  uint32_t Now;
  std::vector<int32_t> Sleeps;
  uint32_t RenderMs = 0;
  uint32_t Oversleep = 0;
};

// Plays `ticks` ticks on fake time with ticks run inline; `onTick(timer, n)`
// runs inside tick n (1-based) before the count is checked. Returns the sleep
// times in order and the final Delay.
struct TFakeRun {
  std::vector<int32_t> Sleeps;
  int32_t FinalDelay = -1;
};
TFakeRun PlayOnFakeTime(TFakeTime& time, int ticks,
                        std::function<void(TAnimationTimerThread&, int)> onTick = {},
                        bool withHandler = true) {
  std::promise<void> stopped;
  auto timer = std::make_unique<TAnimationTimerThread>(
      Inline, [&time] { return time.Now; },
      [&time](int32_t ms) {
        time.Sleeps.push_back(ms);
        time.Now += static_cast<uint32_t>(ms) + time.Oversleep;
      });
  int count = 0;
  if (withHandler) {
    timer->OnTimer = [&](TAnimationTimerThread& sender) {
      time.Now += time.RenderMs;
      ++count;
      if (onTick) onTick(sender, count);
      if (count == ticks) {
        sender.SetRunning(false);
        stopped.set_value();
      }
    };
  }
  timer->SetRunning(true);
  EXPECT_EQ(stopped.get_future().wait_for(kPatience), std::future_status::ready);
  TFakeRun run;
  run.FinalDelay = timer->Delay();
  timer.reset();  // joins: the fake time is ours again
  run.Sleeps = time.Sleeps;
  return run;
}

}  // namespace

// ---- the millisecond feedback ----------------------------------------------------------

TEST(AnimationThread, AdjustDelayStepsOneMillisecondTowardsTheInterval) {
  EXPECT_EQ(TAnimationTimerThread::AdjustDelay(10, 100, 105, 25), 11);  // short tick: sleep longer
  EXPECT_EQ(TAnimationTimerThread::AdjustDelay(10, 100, 130, 25), 9);   // long tick: sleep less
  EXPECT_EQ(TAnimationTimerThread::AdjustDelay(10, 100, 125, 25), 10);  // on target
  EXPECT_EQ(TAnimationTimerThread::AdjustDelay(0, 100, 300, 25), 0);    // never below 0
  EXPECT_EQ(TAnimationTimerThread::AdjustDelay(3, 7, 7, 0), 3);
  EXPECT_EQ(TAnimationTimerThread::AdjustDelay(3, 7, 8, 0), 2);
}

TEST(AnimationThread, AdjustDelayMeasuresAcrossAClockWrap) {
  // 0xFFFFFFF0 -> 0x00000004 is 20 ms, shorter than the 25 ms target.
  EXPECT_EQ(TAnimationTimerThread::AdjustDelay(10, 0xFFFFFFF0u, 0x00000004u, 25), 11);
  // 0xFFFFFFFF -> 0x0000001D is 30 ms, longer.
  EXPECT_EQ(TAnimationTimerThread::AdjustDelay(10, 0xFFFFFFFFu, 0x0000001Du, 25), 9);
}

TEST(AnimationThread, SleepSettlesOnIntervalLessRedrawTime) {
  TFakeTime time;
  time.RenderMs = 5;
  const TFakeRun run = PlayOnFakeTime(time, 9);
  EXPECT_EQ(run.Sleeps, (std::vector<int32_t>{25, 24, 23, 22, 21, 20, 20, 20, 20}));
  EXPECT_EQ(run.FinalDelay, 20);
}

TEST(AnimationThread, SlowRedrawDrivesTheSleepToZero) {
  TFakeTime time;
  time.RenderMs = 40;  // longer than the 25 ms interval
  const TFakeRun run = PlayOnFakeTime(time, 28);
  ASSERT_EQ(run.Sleeps.size(), 28u);
  for (int i = 0; i <= 25; ++i) EXPECT_EQ(run.Sleeps[i], 25 - i) << "tick " << i;
  EXPECT_EQ(run.Sleeps[26], 0);
  EXPECT_EQ(run.Sleeps[27], 0);
  EXPECT_EQ(run.FinalDelay, 0);
}

TEST(AnimationThread, ClockWrapDuringPlaybackChangesNothing) {
  TFakeTime wrapping(0xFFFFFFF0u);
  wrapping.RenderMs = 5;
  TFakeTime plain;
  plain.RenderMs = 5;
  EXPECT_EQ(PlayOnFakeTime(wrapping, 9).Sleeps, PlayOnFakeTime(plain, 9).Sleeps);
  EXPECT_LT(wrapping.Now, 0x1000u);  // it did wrap
}

TEST(AnimationThread, FeedbackRunsWithoutAHandler) {
  // No OnTimer: nothing runs on the owner side, but the sleep still adapts
  // (here to a sleep that always lasts 10 ms too long).
  TFakeTime time;
  time.Oversleep = 10;
  std::promise<void> stopped;
  TAnimationTimerThread* raw = nullptr;
  auto timer = std::make_unique<TAnimationTimerThread>(
      Inline, [&time] { return time.Now; },
      [&time, &raw, &stopped](int32_t ms) {
        time.Sleeps.push_back(ms);
        time.Now += static_cast<uint32_t>(ms) + time.Oversleep;
        if (time.Sleeps.size() == 14) {  // this last sleep is cut short by the stop: no tick
          raw->SetRunning(false);
          stopped.set_value();
        }
      });
  raw = timer.get();
  timer->SetRunning(true);
  ASSERT_EQ(stopped.get_future().wait_for(kPatience), std::future_status::ready);
  timer.reset();
  EXPECT_EQ(time.Sleeps, (std::vector<int32_t>{25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 15, 15, 15}));
}

// ---- frames per second -----------------------------------------------------------------

TEST(AnimationThread, IntervalIsOneSecondDividedByTheRate) {
  TOwnerLoop loop;
  TTimerPtr timer = MakeTimer(loop);
  EXPECT_EQ(timer->FramesPerSecond(), 40);
  EXPECT_EQ(timer->Interval(), 25);
  EXPECT_EQ(timer->Delay(), 25);
  EXPECT_FALSE(timer->Running());

  timer->SetFramesPerSecond(3);
  EXPECT_EQ(timer->Interval(), 333);
  timer->SetRunning(true);
  timer->SetFramesPerSecond(25);
  EXPECT_EQ(timer->FramesPerSecond(), 25);
  EXPECT_EQ(timer->Interval(), 40);
  EXPECT_TRUE(timer->Running());
  timer->SetRunning(false);

  // Rates below 1 (a settings file can hold them) play at 1 frame a second.
  timer->SetFramesPerSecond(0);
  EXPECT_EQ(timer->FramesPerSecond(), 1);
  EXPECT_EQ(timer->Interval(), 1000);
  timer->SetFramesPerSecond(-7);
  EXPECT_EQ(timer->Interval(), 1000);
  Shutdown(loop, timer);
}

TEST(AnimationThread, NewRateMovesTheSleepByTheChangeOfInterval) {
  TFakeTime time;
  time.RenderMs = 5;
  const TFakeRun run = PlayOnFakeTime(time, 12, [](TAnimationTimerThread& timer, int n) {
    if (n == 7) timer.SetFramesPerSecond(10);  // 25 ms -> 100 ms
    if (n == 9) timer.SetFramesPerSecond(40);  // and back
    if (n == 11) timer.SetFramesPerSecond(200);  // 5 ms: less than the redraw
  });
  // The redraw's 5 ms stay accounted for across every change.
  EXPECT_EQ(run.Sleeps, (std::vector<int32_t>{25, 24, 23, 22, 21, 20, 20, 95, 95, 20, 20, 0}));
  EXPECT_EQ(run.FinalDelay, 0);
}

TEST(AnimationThread, RateChangedWhileStoppedHoldsFromTheFirstTick) {
  TFakeTime time;
  std::promise<void> stopped;
  int ticks = 0;
  auto timer = std::make_unique<TAnimationTimerThread>(
      Inline, [&time] { return time.Now; },
      [&time](int32_t ms) {
        time.Sleeps.push_back(ms);
        time.Now += static_cast<uint32_t>(ms);
      });
  timer->SetFramesPerSecond(4);
  timer->OnTimer = [&](TAnimationTimerThread& sender) {
    if (++ticks == 2) {
      sender.SetRunning(false);
      stopped.set_value();
    }
  };
  timer->SetRunning(true);
  ASSERT_EQ(stopped.get_future().wait_for(kPatience), std::future_status::ready);
  timer.reset();
  EXPECT_EQ(time.Sleeps, (std::vector<int32_t>{250, 250}));
}

// ---- ticks on the owner thread ---------------------------------------------------------

TEST(AnimationThread, TicksRunOnTheOwnerThreadUntilStopped) {
  TOwnerLoop loop;
  TTimerPtr timer = MakeTimer(loop);
  int ticks = 0;
  bool allOnOwner = true;
  const auto owner = std::this_thread::get_id();
  std::vector<TAnimationTimerThread*> senders;
  timer->OnTimer = [&](TAnimationTimerThread& sender) {
    ++ticks;
    allOnOwner = allOnOwner && std::this_thread::get_id() == owner;
    senders.push_back(&sender);
  };
  timer->SetFramesPerSecond(200);  // 5 ms: keeps the test short
  timer->SetRunning(true);
  ASSERT_TRUE(loop.PumpUntil([&] { return ticks >= 6; }));
  timer->SetRunning(false);
  const int atStop = ticks;
  EXPECT_TRUE(allOnOwner);
  for (auto* s : senders) EXPECT_EQ(s, timer.get());
  // A real sleep lasts at least Delay, so the feedback never sleeps longer
  // than a whole interval.
  const int32_t delay = timer->Delay();
  EXPECT_GE(delay, 0);
  EXPECT_LE(delay, timer->Interval());

  // A tick queued as playback stopped is dropped, and no new one comes.
  for (int i = 0; i < 20; ++i) {
    loop.Pump();
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(ticks, atStop);

  // Resumed, it ticks again.
  timer->SetRunning(true);
  ASSERT_TRUE(loop.PumpUntil([&] { return ticks >= atStop + 3; }));
  Shutdown(loop, timer);
}

TEST(AnimationThread, StopDropsATickAlreadyHandedOver) {
  TOwnerLoop loop;
  TTimerPtr timer = MakeTimer(loop);
  int ticks = 0;
  timer->OnTimer = [&](TAnimationTimerThread&) { ++ticks; };
  timer->SetFramesPerSecond(1000);  // no sleep worth the name
  timer->SetRunning(true);
  ASSERT_TRUE(loop.WaitQueued());
  timer->SetRunning(false);
  EXPECT_EQ(loop.Pump(), 1);
  EXPECT_EQ(ticks, 0);
  timer->SetRunning(true);
  ASSERT_TRUE(loop.PumpUntil([&] { return ticks >= 1; }));
  Shutdown(loop, timer);
}

TEST(AnimationThread, SetRunningTwiceIsHarmless) {
  TOwnerLoop loop;
  TTimerPtr timer = MakeTimer(loop);
  int ticks = 0;
  timer->OnTimer = [&](TAnimationTimerThread&) { ++ticks; };
  timer->SetFramesPerSecond(1000);
  timer->SetRunning(true);
  timer->SetRunning(true);
  ASSERT_TRUE(loop.PumpUntil([&] { return ticks >= 2; }));
  timer->SetRunning(false);
  timer->SetRunning(false);
  EXPECT_FALSE(timer->Running());
  Shutdown(loop, timer);
}

// ---- shutdown -------------------------------------------------------------------------

TEST(AnimationThread, DestroyedWithoutPlayingLeavesNoWorker) {
  ASSERT_TRUE(AllWorkersEnded());
  {
    TOwnerLoop loop;
    TAnimationTimerThread timer(loop.HandOver());
    EXPECT_EQ(TAnimationTimerThread::LiveWorkers(), 1);
  }
  EXPECT_EQ(TAnimationTimerThread::LiveWorkers(), 0);
}

TEST(AnimationThread, DestroyedWhilePlayingJoinsItsWorker) {
  ASSERT_TRUE(AllWorkersEnded());
  // Asleep at 1 frame a second: the destruction cuts the sleep short.
  TOwnerLoop loop;
  TTimerPtr timer = MakeTimer(loop);
  timer->SetFramesPerSecond(1);
  timer->OnTimer = [](TAnimationTimerThread&) { ADD_FAILURE() << "ticked"; };
  timer->SetRunning(true);
  timer.reset();
  EXPECT_EQ(TAnimationTimerThread::LiveWorkers(), 0);
  EXPECT_EQ(loop.Pump(), 0);
}

TEST(AnimationThread, DestroyedWhileATickWaitsForTheOwnerDoesNotDeadlock) {
  ASSERT_TRUE(AllWorkersEnded());
  TOwnerLoop loop;
  int ticks = 0;
  auto timer = std::make_unique<TAnimationTimerThread>(loop.HandOver());
  timer->OnTimer = [&](TAnimationTimerThread&) { ++ticks; };
  timer->SetFramesPerSecond(1000);
  timer->SetRunning(true);
  ASSERT_TRUE(loop.WaitQueued());
  timer.reset();  // on the owner thread, with the worker blocked on it
  EXPECT_EQ(TAnimationTimerThread::LiveWorkers(), 1);
  // The owner runs its queue later: the tick finds the timer gone.
  EXPECT_EQ(loop.Pump(), 1);
  EXPECT_EQ(ticks, 0);
  EXPECT_TRUE(AllWorkersEnded());
}

TEST(AnimationThread, OwnerLoopClosingReleasesAWorkerLeftBehind) {
  TOwnerLoop loop;
  auto timer = std::make_unique<TAnimationTimerThread>(loop.HandOver());
  timer->OnTimer = [](TAnimationTimerThread&) { ADD_FAILURE() << "ticked"; };
  timer->SetFramesPerSecond(1000);
  timer->SetRunning(true);
  ASSERT_TRUE(loop.WaitQueued());
  timer.reset();
  loop.Close();  // drops the queued tick without running it
  EXPECT_TRUE(AllWorkersEnded());
}

TEST(AnimationThread, HandlerMayFreeItsOwnTimer) {
  TOwnerLoop loop;
  int ticks = 0;
  auto timer = std::make_unique<TAnimationTimerThread>(loop.HandOver());
  timer->OnTimer = [&](TAnimationTimerThread&) {
    ++ticks;
    timer.reset();
  };
  timer->SetFramesPerSecond(1000);
  timer->SetRunning(true);
  ASSERT_TRUE(loop.PumpUntil([&] { return timer == nullptr; }));
  EXPECT_EQ(ticks, 1);
  EXPECT_TRUE(AllWorkersEnded());
  EXPECT_EQ(loop.Pump(), 0);
}

TEST(AnimationThread, HandlerMayFreeItsOwnTimerOnTheWorkerThread) {
  std::promise<void> freed;
  auto timer = std::make_unique<TAnimationTimerThread>(Inline);
  timer->OnTimer = [&](TAnimationTimerThread&) {
    timer.reset();  // destruction on the worker itself must not join it
    freed.set_value();
  };
  timer->SetFramesPerSecond(1000);
  timer->SetRunning(true);
  ASSERT_EQ(freed.get_future().wait_for(kPatience), std::future_status::ready);
  EXPECT_TRUE(AllWorkersEnded());
}

TEST(AnimationThread, DestructionWaitsForATickRunningElsewhere) {
  ASSERT_TRUE(AllWorkersEnded());
  // Ticks run inline on the worker; the timer is destroyed from the test
  // thread while one runs. The destructor must not return before it ends.
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> tickDone{false};
  std::atomic<int> ticks{0};
  auto timer = std::make_unique<TAnimationTimerThread>(Inline);
  timer->OnTimer = [&](TAnimationTimerThread&) {
    if (++ticks > 1) return;
    entered.set_value();
    released.wait();
    tickDone = true;
  };
  timer->SetFramesPerSecond(1000);
  timer->SetRunning(true);
  ASSERT_EQ(entered.get_future().wait_for(kPatience), std::future_status::ready);
  bool doneWhenDestroyed = false;
  std::thread destroyer([&] {
    timer.reset();
    doneWhenDestroyed = tickDone;
  });
  std::this_thread::sleep_for(20ms);  // give the destructor time to get stuck if it will
  release.set_value();
  destroyer.join();
  EXPECT_TRUE(doneWhenDestroyed);
  EXPECT_EQ(TAnimationTimerThread::LiveWorkers(), 0);  // joined
}

// ---- failures ------------------------------------------------------------------------

TEST(AnimationThread, HandlerErrorStopsPlaybackAndIsKept) {
  TOwnerLoop loop;
  TTimerPtr owned = MakeTimer(loop);
  TAnimationTimerThread& timer = *owned;
  int ticks = 0;
  timer.OnTimer = [&](TAnimationTimerThread&) {
    if (++ticks == 1) throw std::runtime_error("redraw failed");
  };
  timer.SetFramesPerSecond(1000);
  timer.SetRunning(true);
  ASSERT_TRUE(loop.PumpUntil([&] { return ticks >= 1; }));
  EXPECT_FALSE(timer.Running());
  std::exception_ptr error = timer.TakeFatalException();
  ASSERT_TRUE(error);
  try {
    std::rethrow_exception(error);
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "redraw failed");
  }
  EXPECT_FALSE(timer.TakeFatalException());

  timer.SetRunning(true);  // playback can start again
  ASSERT_TRUE(loop.PumpUntil([&] { return ticks >= 3; }));
  EXPECT_FALSE(timer.TakeFatalException());
  Shutdown(loop, owned);
}

TEST(AnimationThread, RefusedHandOverStopsPlayback) {
  TOwnerLoop loop;
  loop.Close();
  TAnimationTimerThread timer(loop.HandOver());
  timer.OnTimer = [](TAnimationTimerThread&) { ADD_FAILURE() << "ticked"; };
  timer.SetFramesPerSecond(1000);
  timer.SetRunning(true);
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (timer.Running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(timer.Running());
  std::exception_ptr error = timer.TakeFatalException();
  ASSERT_TRUE(error);
  EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
}

TEST(AnimationThread, FailingClockEndsTheWorkerCleanly) {
  ASSERT_TRUE(AllWorkersEnded());
  std::atomic<int> reads{0};
  TAnimationTimerThread timer(Inline, [&]() -> uint32_t {
    if (++reads == 3) throw std::runtime_error("clock gone");
    return 0;
  }, [](int32_t) {});
  timer.SetRunning(true);
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (TAnimationTimerThread::LiveWorkers() != 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  EXPECT_EQ(TAnimationTimerThread::LiveWorkers(), 0);
  EXPECT_FALSE(timer.Running());
  EXPECT_TRUE(timer.TakeFatalException());
}
