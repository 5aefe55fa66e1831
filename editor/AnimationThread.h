#pragma once
// The worker that paces animation playback. It only sleeps, reads the clock
// and hands each tick to the thread that owns the model (the user-interface
// thread), waiting until the tick has run there; everything the tick touches
// stays on that thread. After every tick the sleep time is nudged by one
// millisecond so that sleep plus redraw settles on the target period.
//
// Shutdown never makes the owner wait for a worker that is itself waiting
// for the owner: the worker's state is shared with the worker and with every
// tick handed over, so an object destroyed while a tick is queued on the
// owner thread returns at once; the queued tick finds the object gone, does
// nothing, and the worker then ends by itself (it frees itself, as a thread
// with free-on-terminate would).

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

#include "core/TickCount.h"

class TAnimationTimerThread {
public:
  // Runs `call` on the owner thread and returns when it has run. The call
  // must always come back: an owner loop that shuts down drops (destroys) the
  // calls still queued and releases their callers, and may then throw.
  using TOwnerCall = std::function<void(const std::function<void()>& call)>;
  // Sleeps about `ms` milliseconds. Empty: the worker waits on its own
  // condition, which a stop or the destruction cuts short.
  using TSleep = std::function<void(int32_t ms)>;
  using TNotifyEvent = std::function<void(TAnimationTimerThread& sender)>;

  static constexpr int32_t kDefaultFramesPerSecond = 40;

  // Starts the worker suspended at 40 frames per second, with the sleep time
  // at one whole interval. `clock` and `sleep` are there so tests can drive
  // time by hand.
  explicit TAnimationTimerThread(TOwnerCall ownerCall, TTickSource clock = SteadyTickCount,
                                 TSleep sleep = {});
  // Marks the worker terminated and joins it, unless a tick is queued for
  // the owner thread (which may be the one destroying) or is running on the
  // calling thread (a handler that frees its own timer): then the worker is
  // left to end by itself once that tick has run or been dropped, and the
  // tick does nothing. A tick running on another thread is waited for, so
  // OnTimer never runs once this returns.
  ~TAnimationTimerThread();
  TAnimationTimerThread(const TAnimationTimerThread&) = delete;
  TAnimationTimerThread& operator=(const TAnimationTimerThread&) = delete;

  bool Running() const;
  // Resumes (true) or suspends (false) the ticks; nothing when unchanged. A
  // tick still queued for the owner thread when playback stops is dropped,
  // so once the owner thread has called SetRunning(false) OnTimer does not
  // run again until playback is resumed.
  void SetRunning(bool on);

  int32_t FramesPerSecond() const;
  // Interval := 1000 div fps; fps below 1 counts as 1. Takes effect from the
  // next tick, whether the worker runs or not; the sleep time then moves by
  // as much as the interval did, so a new rate holds at once instead of
  // creeping towards it one ms per tick.
  void SetFramesPerSecond(int32_t fps);
  // Target period of one tick, in ms.
  int32_t Interval() const;
  // Current sleep time of one tick, in ms; never below 0.
  int32_t Delay() const;

  // The error that escaped OnTimer or the hand-over, which stopped playback;
  // null when there was none. Taking it clears it.
  std::exception_ptr TakeFatalException();

  // Workers of every timer that have not ended yet (a program can check at
  // exit that none is left behind).
  static int LiveWorkers();

  // The next sleep time after a tick that began at `t0` and ended at `t1`:
  // one ms longer when the tick was shorter than `interval`, one shorter when
  // it was longer, never below 0. The 32-bit clock may wrap in between.
  static int32_t AdjustDelay(int32_t delay, uint32_t t0, uint32_t t1, int32_t interval);

  // Called on the owner thread once per tick. Assign it on the owner thread.
  TNotifyEvent OnTimer;

private:
  struct TState;
  static void Execute(std::shared_ptr<TState> state);
  static void RunTick(const std::shared_ptr<TState>& state, uint64_t serial);

  std::shared_ptr<TState> State_;
  std::thread Worker_;
};
