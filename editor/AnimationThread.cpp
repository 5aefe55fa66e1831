#include "editor/AnimationThread.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

std::atomic<int> gLiveWorkers{0};

}  // namespace

// Everything the worker and the handed-over ticks use. It outlives the timer
// object for as long as the worker or a queued tick still holds it.
struct TAnimationTimerThread::TState {
  enum class TPhase {
    Idle,     // the owner thread owes the worker nothing
    Queued,   // a tick waits to be run on the owner thread
    Ticking,  // OnTimer is running on TickThread
  };

  TOwnerCall OwnerCall;
  TTickSource Clock;
  TSleep Sleep;

  std::mutex Mutex;
  std::condition_variable Changed;
  bool Terminated = false;
  bool Running = false;
  int32_t Fps = kDefaultFramesPerSecond;
  int32_t Interval = 1000 / kDefaultFramesPerSecond;
  int32_t Delay = 1000 / kDefaultFramesPerSecond;
  // The interval Delay was learnt for; the worker moves Delay when they part.
  int32_t DelayInterval = 1000 / kDefaultFramesPerSecond;
  TPhase Phase = TPhase::Idle;
  // Numbers the ticks handed over, so a late call of an earlier tick is
  // recognised and ignored.
  uint64_t Serial = 0;
  bool TickRan = false;
  std::thread::id TickThread;
  // Null once the timer object is gone.
  TAnimationTimerThread* Owner = nullptr;
  std::exception_ptr Fatal;

  // Keeps the first error and stops playback.
  void Fail(std::exception_ptr error) {
    if (!Fatal) Fatal = error;
    Running = false;
  }
};

TAnimationTimerThread::TAnimationTimerThread(TOwnerCall ownerCall, TTickSource clock, TSleep sleep)
    : State_(std::make_shared<TState>()) {
  State_->OwnerCall = std::move(ownerCall);
  State_->Clock = clock ? std::move(clock) : TTickSource(SteadyTickCount);
  State_->Sleep = std::move(sleep);
  State_->Owner = this;
  ++gLiveWorkers;
  try {
    Worker_ = std::thread(&TAnimationTimerThread::Execute, State_);
  } catch (...) {
    --gLiveWorkers;
    throw;
  }
}

TAnimationTimerThread::~TAnimationTimerThread() {
  TState& s = *State_;
  std::unique_lock lock(s.Mutex);
  s.Terminated = true;
  s.Owner = nullptr;
  s.Changed.notify_all();
  // A tick running on another thread still uses this object: let it end.
  const std::thread::id self = std::this_thread::get_id();
  s.Changed.wait(lock, [&] { return s.Phase != TState::TPhase::Ticking || s.TickThread == self; });
  // Joining now would wait for a worker that waits for the owner thread,
  // which may be this very thread; such a worker ends by itself instead.
  const bool ownerOwesWorker = s.Phase != TState::TPhase::Idle;
  lock.unlock();
  if (ownerOwesWorker)
    Worker_.detach();
  else
    Worker_.join();
}

bool TAnimationTimerThread::Running() const {
  std::lock_guard lock(State_->Mutex);
  return State_->Running;
}

void TAnimationTimerThread::SetRunning(bool on) {
  std::lock_guard lock(State_->Mutex);
  if (State_->Running == on) return;
  State_->Running = on;
  State_->Changed.notify_all();
}

int32_t TAnimationTimerThread::FramesPerSecond() const {
  std::lock_guard lock(State_->Mutex);
  return State_->Fps;
}

void TAnimationTimerThread::SetFramesPerSecond(int32_t fps) {
  fps = std::max<int32_t>(fps, 1);
  std::lock_guard lock(State_->Mutex);
  State_->Fps = fps;
  State_->Interval = 1000 / fps;
}

int32_t TAnimationTimerThread::Interval() const {
  std::lock_guard lock(State_->Mutex);
  return State_->Interval;
}

int32_t TAnimationTimerThread::Delay() const {
  std::lock_guard lock(State_->Mutex);
  return State_->Delay;
}

std::exception_ptr TAnimationTimerThread::TakeFatalException() {
  std::lock_guard lock(State_->Mutex);
  return std::exchange(State_->Fatal, nullptr);
}

int TAnimationTimerThread::LiveWorkers() { return gLiveWorkers.load(); }

int32_t TAnimationTimerThread::AdjustDelay(int32_t delay, uint32_t t0, uint32_t t1, int32_t interval) {
  const uint32_t elapsed = TicksBetween(t0, t1);
  const uint32_t target = static_cast<uint32_t>(std::max<int32_t>(interval, 0));
  if (elapsed < target && delay < INT32_MAX)
    ++delay;
  else if (elapsed > target)
    --delay;
  return std::max<int32_t>(delay, 0);
}

void TAnimationTimerThread::Execute(std::shared_ptr<TState> state) {
  using TPhase = TState::TPhase;
  TState& s = *state;
  try {
    std::unique_lock lock(s.Mutex);
    for (;;) {
      s.Changed.wait(lock, [&] { return s.Terminated || s.Running; });
      if (s.Terminated) break;
      // The settled sleep is the interval less the redraw's cost; a new rate
      // keeps that cost and moves the sleep with the interval.
      const int32_t interval = s.Interval;
      if (interval != s.DelayInterval) {
        const int64_t moved = int64_t{s.Delay} + interval - s.DelayInterval;
        s.Delay = static_cast<int32_t>(std::clamp<int64_t>(moved, 0, INT32_MAX));
        s.DelayInterval = interval;
      }
      const int32_t delay = s.Delay;

      lock.unlock();
      const uint32_t t0 = s.Clock();
      if (s.Sleep) {
        s.Sleep(delay);
        lock.lock();
      } else {
        lock.lock();
        s.Changed.wait_for(lock, std::chrono::milliseconds(delay),
                           [&] { return s.Terminated || !s.Running; });
      }
      if (s.Terminated) break;
      if (!s.Running) continue;  // stopped while asleep: no tick

      s.Phase = TPhase::Queued;
      s.TickRan = false;
      const uint64_t serial = ++s.Serial;
      lock.unlock();
      std::exception_ptr handOverError;
      try {
        s.OwnerCall([state, serial] { RunTick(state, serial); });
      } catch (...) {
        handOverError = std::current_exception();
      }
      lock.lock();
      s.Phase = TPhase::Idle;
      s.Changed.notify_all();
      if (handOverError) s.Fail(handOverError);
      if (s.Terminated) break;
      if (!s.TickRan) continue;  // dropped: nothing was drawn, nothing to learn

      lock.unlock();
      const uint32_t t1 = s.Clock();
      lock.lock();
      s.Delay = AdjustDelay(delay, t0, t1, interval);
    }
  } catch (...) {
    // Only an injected clock or sleep can get here; the worker ends.
    std::lock_guard lock(s.Mutex);
    s.Phase = TPhase::Idle;
    s.Fail(std::current_exception());
    s.Changed.notify_all();
  }
  state.reset();
  --gLiveWorkers;
}

void TAnimationTimerThread::RunTick(const std::shared_ptr<TState>& state, uint64_t serial) {
  using TPhase = TState::TPhase;
  TState& s = *state;
  std::unique_lock lock(s.Mutex);
  if (s.Terminated || !s.Running || s.Phase != TPhase::Queued || s.Serial != serial) return;
  s.Phase = TPhase::Ticking;
  s.TickThread = std::this_thread::get_id();
  s.TickRan = true;
  TAnimationTimerThread* owner = s.Owner;
  // A copy, because the handler may free the timer and with it OnTimer.
  const TNotifyEvent handler = owner->OnTimer;
  lock.unlock();
  std::exception_ptr error;
  if (handler) {
    try {
      handler(*owner);
    } catch (...) {
      error = std::current_exception();
    }
  }
  lock.lock();
  if (error) s.Fail(error);
  s.Phase = TPhase::Idle;
  s.Changed.notify_all();
}
