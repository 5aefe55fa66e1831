#pragma once
// Light-weight timers served by one periodic tick. The program-wide pool
// keeps its timers in a collection sorted by id and checks them whenever its
// Tick runs, every kTickInterval ms; the pool owns no platform timer, so the
// user interface drives Tick (and tests drive it, and the clock, by hand).
// TOneShotTimer is the component a window uses: enabling it asks the pool
// for a one-shot timer, and OnTimer fires once when the interval has passed.

#include <cstdint>
#include <functional>
#include <vector>

#include "core/Containr.h"
#include "core/Exception.h"
#include "core/TickCount.h"

TESSEL_DECLARE_EXCEPTION(ETimerPoolError, Exception);

class TPoolTimer;

// What a pool timer calls when it fires: the code, and the object it runs
// for (the receiver, by which timers are cancelled).
struct TPoolTimerEvent {
  std::function<void(TPoolTimer& sender, int32_t id)> Code;
  const void* Receiver = nullptr;
};

// A timer of the pool. Stored to a stream it keeps its id and interval; a
// timer read back is idle and has no event.
class TPoolTimer : public TStreamable {
  TESSEL_STREAMABLE_CLASS()

public:
  TPoolTimer() = default;

  void Load(TFilter& filter) override;
  void Store(TFilter& filter) const override;

  // Called on every pool tick while the timer is not finished.
  virtual void Tick() {}

  // Starts counting now, unless the timer is finished.
  void Start();
  void StartIfIdle();
  void Stop() { Active = false; }
  void MarkFinished() { Finished = true; }
  // Counting and more than Interval ms since it started.
  bool Expired() const;
  bool IsOwnedBy(const void* receiver) const { return OnExpire.Receiver == receiver; }
  // The tick count of the clock the timer counts by.
  uint32_t Now() const;

  int32_t Id = 0;
  int32_t Interval = 0;
  TPoolTimerEvent OnExpire;
  bool Active = false;
  uint32_t StartTick = 0;
  // Done: the pool removes the timer at its next tick.
  bool Finished = false;
  // The pool sets its own clock here; without one the steady clock counts.
  const TTickSource* Clock = nullptr;
};

// Fires once: at the first tick after it expired it stops, calls OnExpire
// and is finished.
class TOneShotPoolTimer : public TPoolTimer {
  TESSEL_STREAMABLE_CLASS()

public:
  void Tick() override;
};

// The pool's timers, sorted by id in ascending order, owned, ids unique.
// Only pool timers are accepted; options read from a stream are overruled
// so that a loaded collection keeps these rules too.
class TPoolTimerCollection : public TCollection {
  TESSEL_STREAMABLE_CLASS()

public:
  TPoolTimerCollection();
  ~TPoolTimerCollection() override;

  void Load(TFilter& filter) override;
  TStreamable* ReadItem(TFilter& filter) override;
  // The key is the timer's id; anything else raises EContainerError.
  TContainerKey KeyOf(const TStreamable* item) const override;
  int Compare(TContainerKey key1, TContainerKey key2) const override;
  std::string GetString(TStreamable* item) const override;

  TPoolTimer* Timer(int index) const { return static_cast<TPoolTimer*>(Get(index)); }
  // The timer with this id, or null.
  TPoolTimer* FindId(int32_t id) const;
  bool SearchId(int32_t id, int& index) const { return Search(&id, index); }
};

class TTimerPoolComponent;

class TTimerPool {
public:
  // How often the user interface should call Tick, in ms.
  static constexpr int kTickInterval = 50;

  TTimerPool();
  // Stops every timer; components still attached are cut loose.
  ~TTimerPool();
  TTimerPool(const TTimerPool&) = delete;
  TTimerPool& operator=(const TTimerPool&) = delete;

  // Adds a started one-shot timer and returns its id.
  int32_t AddTimer(int32_t interval, TPoolTimerEvent onExpire);
  // 9999 for an empty pool, then counting down; at 0 it goes on above the
  // largest id in use.
  int32_t NewId() const;
  // Stops and finishes timer `id` if `receiver` owns it.
  void CancelTimer(const void* receiver, int32_t id);
  void StopAll();
  // Frees the timers finished before and ticks the others. Every timer in
  // the pool when the tick begins is visited once, whatever the callbacks
  // add or cancel; timers added meanwhile wait for the next tick. A tick
  // that runs inside a callback (a modal loop, say) frees nothing, so the
  // outer tick never meets a freed timer.
  void Tick();

  // For inspection; changing the collection from inside a timer's event
  // would pull timers from under the running tick.
  TPoolTimerCollection& Timers() { return Timers_; }
  const TPoolTimerCollection& Timers() const { return Timers_; }
  uint32_t Now() const { return Clock ? Clock() : SteadyTickCount(); }

  // The 32-bit millisecond tick count the timers count by.
  TTickSource Clock = SteadyTickCount;

private:
  friend class TTimerPoolComponent;
  void Attach(TTimerPoolComponent* component);
  void Detach(TTimerPoolComponent* component);

  TPoolTimerCollection Timers_;
  std::vector<TTimerPoolComponent*> Components_;
  int TickDepth_ = 0;
};

// The program-wide pool, made on first use and freed at exit.
TTimerPool& TimerPool();

// A component served by the pool: Enabled, Interval and OnTimer as an
// ordinary timer has them; Id is its current pool timer (-1: none).
class TTimerPoolComponent {
public:
  using TNotifyEvent = std::function<void(TTimerPoolComponent& sender)>;

  explicit TTimerPoolComponent(TTimerPool& pool = TimerPool());
  // Cancels a pending pool timer, so nothing fires into a freed component.
  virtual ~TTimerPoolComponent();
  TTimerPoolComponent(const TTimerPoolComponent&) = delete;
  TTimerPoolComponent& operator=(const TTimerPoolComponent&) = delete;

  bool Enabled() const { return Enabled_; }
  virtual void SetEnabled(bool value);
  int32_t Interval() const { return Interval_; }
  void SetInterval(int32_t value);
  int32_t Id() const { return Id_; }
  // Null once the pool has been freed.
  TTimerPool* Pool() const { return Pool_; }

  // The pool timer's event: fires OnTimer. Raises ETimerPoolError when `id`
  // is not this component's pool timer.
  virtual void TimerFired(TPoolTimer& sender, int32_t id);

  TNotifyEvent OnTimer;

protected:
  virtual void UpdateTimer() {}
  // The event that makes a pool timer call TimerFired here.
  TPoolTimerEvent FiredEvent();
  // How the pool knows this component's timers.
  const void* Receiver() const { return static_cast<const TTimerPoolComponent*>(this); }

  bool Enabled_ = false;
  int32_t Id_ = -1;
  int32_t Interval_ = 1000;
  TTimerPool* Pool_;

private:
  friend class TTimerPool;
  void PoolGone() {
    Pool_ = nullptr;
    Id_ = -1;
  }
};

// Enabling starts a fresh one-shot pool timer; OnTimer fires once, Interval
// ms later. A retriggerable timer starts over on every enabling, so a burst
// of requests ends in a single OnTimer; a timer that is not retriggerable
// ignores enabling while it is enabled.
class TOneShotTimer : public TTimerPoolComponent {
public:
  using TTimerPoolComponent::TTimerPoolComponent;

  bool Retriggerable() const { return Retriggerable_; }
  void SetRetriggerable(bool value) { Retriggerable_ = value; }
  void SetEnabled(bool value) override;

protected:
  void UpdateTimer() override;

private:
  bool Retriggerable_ = true;
};
