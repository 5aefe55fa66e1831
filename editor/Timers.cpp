#include "editor/Timers.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "core/Format.h"

TESSEL_STREAMABLE_IMPL(TPoolTimer, TStreamable);
TESSEL_STREAMABLE_IMPL(TOneShotPoolTimer, TPoolTimer);
TESSEL_STREAMABLE_IMPL(TPoolTimerCollection, TCollection);

namespace {
// The collection is streamable from start-up on, and so are the timers it
// holds, so that a stored collection can be read back.
const bool TimerClassesRegistered = (RegisterStreamable(TPoolTimerCollection::StreamableClass),
                                     RegisterStreamable(TOneShotPoolTimer::StreamableClass), true);
}  // namespace

// ---- TPoolTimer ---------------------------------------------------------------------

void TPoolTimer::Load(TFilter& filter) {
  TStreamable::Load(filter);
  Id = ReadI32LE(filter);
  Interval = ReadI32LE(filter);
}

void TPoolTimer::Store(TFilter& filter) const {
  TStreamable::Store(filter);
  WriteI32LE(filter, Id);
  WriteI32LE(filter, Interval);
}

uint32_t TPoolTimer::Now() const { return Clock && *Clock ? (*Clock)() : SteadyTickCount(); }

void TPoolTimer::Start() {
  if (Finished) return;
  StartTick = Now();
  Active = true;
}

void TPoolTimer::StartIfIdle() {
  if (!Active) Start();
}

bool TPoolTimer::Expired() const {
  // Unsigned subtraction bridges one wrap of the 32-bit counter.
  return Active && int64_t(TicksBetween(StartTick, Now())) > int64_t(Interval);
}

void TOneShotPoolTimer::Tick() {
  if (!Expired()) return;
  Stop();
  // Finished even when the event raises: a one-shot timer never fires twice,
  // and a stopped timer that never finished would stay in the pool for good.
  struct TFinish {
    TPoolTimer& Timer;
    ~TFinish() { Timer.MarkFinished(); }
  } finish{*this};
  if (OnExpire.Code) OnExpire.Code(*this, Id);
}

// ---- TPoolTimerCollection -------------------------------------------------------------

TPoolTimerCollection::TPoolTimerCollection() {
  Sortable_ = true;
  Sorted_ = true;
  OwnsItems_ = true;
  // Ids are unique by construction; a clash is a fault to hear about.
  Duplicates_ = dupError;
}

TPoolTimerCollection::~TPoolTimerCollection() { DestroyItems(); }

void TPoolTimerCollection::Load(TFilter& filter) {
  TCollection::Load(filter);
  // The stream's options say nothing about what the pool relies on.
  OwnsItems_ = true;
  Sortable_ = true;
  SetSorted(true);
  SetDuplicates(dupError);
}

TStreamable* TPoolTimerCollection::ReadItem(TFilter& filter) {
  std::unique_ptr<TStreamable> item(TCollection::ReadItem(filter));
  if (!dynamic_cast<TPoolTimer*>(item.get()))
    throw EStreamError(Format("%s is not a pool timer", std::string(item->ClassName()).c_str()));
  return item.release();
}

TContainerKey TPoolTimerCollection::KeyOf(const TStreamable* item) const {
  const auto* timer = dynamic_cast<const TPoolTimer*>(item);
  if (!timer) throw EContainerError("Container error: only pool timers belong in a timer collection");
  return &timer->Id;
}

int TPoolTimerCollection::Compare(TContainerKey key1, TContainerKey key2) const {
  const int32_t a = *static_cast<const int32_t*>(key1);
  const int32_t b = *static_cast<const int32_t*>(key2);
  return a < b ? -1 : (a > b ? 1 : 0);
}

std::string TPoolTimerCollection::GetString(TStreamable* item) const {
  return Format("%d", *static_cast<const int32_t*>(KeyOf(item)));
}

TPoolTimer* TPoolTimerCollection::FindId(int32_t id) const {
  int index;
  return SearchId(id, index) ? Timer(index) : nullptr;
}

// ---- TTimerPool --------------------------------------------------------------------------

TTimerPool::TTimerPool() = default;

TTimerPool::~TTimerPool() {
  StopAll();
  for (TTimerPoolComponent* c : Components_) c->PoolGone();
  Components_.clear();
}

TTimerPool& TimerPool() {
  static TTimerPool pool;
  return pool;
}

int32_t TTimerPool::NewId() const {
  const int n = Timers_.Count();
  if (n == 0) return 9999;
  const int32_t min = Timers_.Timer(0)->Id;
  const int32_t max = Timers_.Timer(n - 1)->Id;
  if (min >= 1) return min - 1;
  if (max < INT32_MAX) return max + 1;
  // Every id up to the top is taken at the ends: use the first gap.
  int32_t expected = min;
  for (int i = 0; i < n; ++i, ++expected)
    if (Timers_.Timer(i)->Id != expected) return expected;
  throw ETimerPoolError("No timer id left in the timer pool");
}

int32_t TTimerPool::AddTimer(int32_t interval, TPoolTimerEvent onExpire) {
  auto timer = std::make_unique<TOneShotPoolTimer>();
  timer->Id = NewId();
  timer->Interval = interval;
  timer->OnExpire = std::move(onExpire);
  timer->Clock = &Clock;
  TOneShotPoolTimer* raw = timer.get();
  Timers_.Add(raw);
  timer.release();
  raw->StartIfIdle();
  return raw->Id;
}

void TTimerPool::CancelTimer(const void* receiver, int32_t id) {
  TPoolTimer* timer = Timers_.FindId(id);
  if (timer && timer->IsOwnedBy(receiver)) {
    timer->Stop();
    timer->MarkFinished();
  }
}

void TTimerPool::StopAll() {
  for (int i = 0; i < Timers_.Count(); ++i) {
    TPoolTimer* timer = Timers_.Timer(i);
    timer->Stop();
    timer->MarkFinished();
  }
}

void TTimerPool::Tick() {
  struct TDepth {
    int& Depth;
    explicit TDepth(int& d) : Depth(d) { ++Depth; }
    ~TDepth() { --Depth; }
  } depth(TickDepth_);
  const bool outermost = TickDepth_ == 1;

  // Callbacks may add timers (shifting indexes) or finish others, so the
  // timers are visited from a list taken now, last index first. Only this
  // loop frees timers, and only in the outermost tick, so the list's
  // pointers stay good throughout.
  const std::vector<TStreamable*> timers = Timers_.Items();
  for (auto it = timers.rbegin(); it != timers.rend(); ++it) {
    auto* timer = static_cast<TPoolTimer*>(*it);
    if (timer->Finished) {
      if (!outermost) continue;
      int index;
      if (Timers_.SearchId(timer->Id, index) && Timers_.Get(index) == timer) Timers_.FreeAt(index);
    } else {
      timer->Tick();
    }
  }
}

void TTimerPool::Attach(TTimerPoolComponent* component) { Components_.push_back(component); }

void TTimerPool::Detach(TTimerPoolComponent* component) {
  Components_.erase(std::remove(Components_.begin(), Components_.end(), component), Components_.end());
}

// ---- components ------------------------------------------------------------------------------

TTimerPoolComponent::TTimerPoolComponent(TTimerPool& pool) : Pool_(&pool) { pool.Attach(this); }

TTimerPoolComponent::~TTimerPoolComponent() {
  if (!Pool_) return;
  if (Id_ != -1) Pool_->CancelTimer(Receiver(), Id_);
  Pool_->Detach(this);
}

void TTimerPoolComponent::SetEnabled(bool value) {
  Enabled_ = value;
  UpdateTimer();
}

void TTimerPoolComponent::SetInterval(int32_t value) {
  Interval_ = value;
  UpdateTimer();
}

void TTimerPoolComponent::TimerFired(TPoolTimer&, int32_t id) {
  if (id != Id_) throw ETimerPoolError("Timer pool handles do not match");
  if (OnTimer) OnTimer(*this);
}

TPoolTimerEvent TTimerPoolComponent::FiredEvent() {
  return {[this](TPoolTimer& sender, int32_t id) { TimerFired(sender, id); }, Receiver()};
}

void TOneShotTimer::SetEnabled(bool value) {
  if (!value || !Enabled_ || Retriggerable_) TTimerPoolComponent::SetEnabled(value);
}

void TOneShotTimer::UpdateTimer() {
  if (Pool_ && Id_ != -1) Pool_->CancelTimer(Receiver(), Id_);
  Id_ = -1;
  if (Enabled_ && Pool_) Id_ = Pool_->AddTimer(Interval_, FiredEvent());
}
