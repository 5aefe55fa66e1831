#include "editor/Timers.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "core/Filters.h"
#include "core/Streams.h"

namespace {

// A pool on a clock the test moves by hand.
struct TPoolRig {
  TTimerPool Pool;
  uint32_t Now = 1000;
  std::vector<int32_t> Fired;

  TPoolRig() {
    Pool.Clock = [this] { return Now; };
  }
  // A timer that records its id when it fires.
  int32_t Add(int32_t interval, const void* receiver = nullptr) {
    return Pool.AddTimer(interval, {[this](TPoolTimer&, int32_t id) { Fired.push_back(id); }, receiver});
  }
  void TickAt(uint32_t now) {
    Now = now;
    Pool.Tick();
  }
  // Ticks every 50 ms from the current time until `until` (inclusive).
  void TickUntil(uint32_t until) {
    while (Now + TTimerPool::kTickInterval <= until) TickAt(Now + TTimerPool::kTickInterval);
  }
};

TOneShotPoolTimer* Timer(TPoolTimerCollection& c, int32_t id, int32_t interval) {
  auto* t = new TOneShotPoolTimer;
  t->Id = id;
  t->Interval = interval;
  c.Add(t);
  return t;
}

}  // namespace

// ---- pool timers and the pool --------------------------------------------------------

TEST(TimerPool, IdsCountDownFrom9999ThenGoAboveTheLargest) {
  TPoolRig rig;
  EXPECT_EQ(rig.Add(100), 9999);
  EXPECT_EQ(rig.Add(100), 9998);
  EXPECT_EQ(rig.Pool.Timers().Timer(0)->Id, 9998);  // kept in id order

  TPoolTimerCollection& c = rig.Pool.Timers();
  Timer(c, 0, 5);
  EXPECT_EQ(rig.Pool.NewId(), 10000);
  // With 0 and the largest id both taken, a gap is used instead of overflowing.
  Timer(c, INT32_MAX, 5);
  EXPECT_EQ(rig.Pool.NewId(), 1);
}

TEST(TimerPool, AOneShotFiresAtTheFirstTickMoreThanItsIntervalLaterAndIsFreedAtTheNext) {
  TPoolRig rig;
  const int32_t id = rig.Add(10);
  rig.TickAt(1010);  // exactly 10 ms: not yet
  EXPECT_TRUE(rig.Fired.empty());
  rig.TickAt(1011);
  EXPECT_EQ(rig.Fired, std::vector<int32_t>{id});
  TPoolTimer* t = rig.Pool.Timers().FindId(id);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->Finished);
  EXPECT_FALSE(t->Active);
  rig.TickAt(1061);
  EXPECT_EQ(rig.Pool.Timers().Count(), 0);
  EXPECT_EQ(rig.Fired.size(), 1u);

  // On the 50 ms beat a 10 ms timer fires between 10 and 60 ms after it started.
  rig.Now = 2003;
  rig.Add(10);
  rig.TickAt(2010);
  rig.TickAt(2060);
  EXPECT_EQ(rig.Fired.size(), 2u);
}

TEST(TimerPool, ElapsedTimeBridgesTheWrapOfTheTickCount) {
  TPoolRig rig;
  rig.Now = 0xFFFFFFFAu;
  rig.Add(10);
  rig.TickAt(4);  // 10 ms after the start, across the wrap
  EXPECT_TRUE(rig.Fired.empty());
  rig.TickAt(5);
  EXPECT_EQ(rig.Fired.size(), 1u);
}

TEST(TimerPool, OnlyTheOwnerCancelsATimer) {
  TPoolRig rig;
  int owner = 0, stranger = 0;
  const int32_t id = rig.Add(10, &owner);
  rig.Pool.CancelTimer(&stranger, id);
  rig.Pool.CancelTimer(&owner, id + 1);  // no such timer
  rig.TickAt(1011);
  EXPECT_EQ(rig.Fired.size(), 1u);

  const int32_t other = rig.Add(10, &owner);
  rig.Pool.CancelTimer(&owner, other);
  rig.TickAt(1100);
  rig.TickAt(1150);
  EXPECT_EQ(rig.Fired.size(), 1u);
  EXPECT_EQ(rig.Pool.Timers().Count(), 0);
}

TEST(TimerPool, StartedTimersOnlyStartAgainWhenIdleAndNeverOnceFinished) {
  TOneShotPoolTimer t;
  uint32_t now = 100;
  TTickSource clock = [&] { return now; };
  t.Clock = &clock;
  t.Interval = 5;
  t.StartIfIdle();
  now = 104;
  t.StartIfIdle();  // already counting: the start stays
  EXPECT_EQ(t.StartTick, 100u);
  t.Start();
  EXPECT_EQ(t.StartTick, 104u);
  now = 110;
  EXPECT_TRUE(t.Expired());
  t.Stop();
  EXPECT_FALSE(t.Expired());
  t.MarkFinished();
  t.Start();
  EXPECT_FALSE(t.Active);
}

TEST(TimerPool, EventsThatCancelOrAddTimersNeitherSkipNorRepeatAnother) {
  TPoolRig rig;
  int receiver = 0;
  std::vector<int32_t> fired;
  std::vector<int32_t> ids(5);
  // Ids 9999..9995; the tick visits them from the largest id down.
  for (int i = 0; i < 5; ++i)
    ids[i] = rig.Pool.AddTimer(10, {[&, i](TPoolTimer&, int32_t id) {
                                      fired.push_back(id);
                                      if (i == 0) {
                                        // Adds timers, which take the lowest indexes and
                                        // move every other timer up, and cancels one not yet
                                        // visited and one already done.
                                        rig.Add(0);
                                        rig.Add(0);
                                        rig.Pool.CancelTimer(&receiver, ids[3]);
                                        rig.Pool.CancelTimer(&receiver, ids[0]);
                                      }
                                    },
                                    &receiver});
  rig.TickAt(1011);
  EXPECT_EQ(fired, (std::vector<int32_t>{ids[0], ids[1], ids[2], ids[4]}));
  EXPECT_TRUE(rig.Fired.empty());  // added during the tick: not visited by it

  rig.TickAt(1061);
  EXPECT_EQ(fired.size(), 4u);
  EXPECT_EQ(rig.Fired.size(), 2u);
  rig.TickAt(1111);
  EXPECT_EQ(rig.Pool.Timers().Count(), 0);
}

TEST(TimerPool, ATickInsideAnEventFreesNothingUnderTheOuterTick) {
  TPoolRig rig;
  int calls = 0;
  bool keptDuringNestedTick = false;
  // The largest id is visited first; its event runs a nested tick, as a
  // modal message loop would, while the outer tick has yet to visit the rest.
  rig.Pool.AddTimer(10, {[&](TPoolTimer&, int32_t) {
                           ++calls;
                           rig.Pool.Tick();
                           keptDuringNestedTick = rig.Pool.Timers().FindId(9998) != nullptr;
                         },
                         nullptr});
  const int32_t early = rig.Add(5);
  const int32_t late = rig.Add(10);
  rig.TickAt(1008);  // only `early` fires
  ASSERT_EQ(rig.Fired, std::vector<int32_t>{early});

  rig.TickAt(1020);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(keptDuringNestedTick);           // finished, but the outer tick still had it in hand
  EXPECT_EQ(rig.Fired, (std::vector<int32_t>{early, late}));  // `late` fired in the nested tick, once
  EXPECT_EQ(rig.Pool.Timers().FindId(early), nullptr);        // freed by the outer tick
  rig.TickAt(1070);
  EXPECT_EQ(rig.Pool.Timers().Count(), 0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(rig.Fired.size(), 2u);
}

TEST(TimerPool, AnEventThatRaisesStillFinishesItsTimer) {
  TPoolRig rig;
  rig.Pool.AddTimer(0, {[](TPoolTimer&, int32_t) { throw ETimerPoolError("boom"); }, nullptr});
  EXPECT_THROW(rig.TickAt(1001), ETimerPoolError);
  EXPECT_NO_THROW(rig.TickAt(1051));
  EXPECT_EQ(rig.Pool.Timers().Count(), 0);
}

TEST(TimerPool, StopAllFinishesEverything) {
  TPoolRig rig;
  rig.Add(10);
  rig.Add(20);
  rig.Pool.StopAll();
  rig.TickAt(2000);
  EXPECT_TRUE(rig.Fired.empty());
  EXPECT_EQ(rig.Pool.Timers().Count(), 0);
}

// ---- components --------------------------------------------------------------------------

TEST(OneShotTimer, StartsDisabledAndFiresOnceEachTimeItIsEnabled) {
  TPoolRig rig;
  TOneShotTimer t(rig.Pool);
  EXPECT_FALSE(t.Enabled());
  EXPECT_EQ(t.Interval(), 1000);
  EXPECT_TRUE(t.Retriggerable());
  EXPECT_EQ(t.Id(), -1);
  int fired = 0;
  TTimerPoolComponent* sender = nullptr;
  t.OnTimer = [&](TTimerPoolComponent& s) {
    ++fired;
    sender = &s;
  };
  t.SetInterval(10);
  EXPECT_EQ(t.Id(), -1);  // disabled: no pool timer
  t.SetEnabled(true);
  EXPECT_EQ(t.Id(), 9999);
  rig.TickUntil(1100);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(sender, &t);
  EXPECT_TRUE(t.Enabled());  // stays enabled after firing
  EXPECT_EQ(rig.Pool.Timers().Count(), 0);

  t.SetEnabled(true);
  rig.TickUntil(1200);
  EXPECT_EQ(fired, 2);

  // Disabled before it fires: nothing, and the pool timer goes.
  t.SetEnabled(true);
  t.SetEnabled(false);
  EXPECT_EQ(t.Id(), -1);
  rig.TickUntil(1400);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(rig.Pool.Timers().Count(), 0);
}

TEST(OneShotTimer, ABurstOfRetriggersGivesOneEventAfterTheLast) {
  TPoolRig rig;
  TOneShotTimer t(rig.Pool);
  t.SetInterval(100);
  int fired = 0;
  uint32_t firedAt = 0;
  t.OnTimer = [&](TTimerPoolComponent&) {
    ++fired;
    firedAt = rig.Now;
  };
  for (int i = 0; i < 5; ++i) {
    t.SetEnabled(true);
    rig.TickAt(rig.Now + 50);
  }
  EXPECT_EQ(fired, 0);
  // The last request was made at 1200: the first tick more than 100 ms later.
  rig.TickUntil(2000);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(firedAt, 1350u);
}

TEST(OneShotTimer, WithoutRetriggeringASecondEnableIsIgnored) {
  TPoolRig rig;
  TOneShotTimer t(rig.Pool);
  t.SetRetriggerable(false);
  t.SetInterval(100);
  std::vector<uint32_t> firedAt;
  t.OnTimer = [&](TTimerPoolComponent&) { firedAt.push_back(rig.Now); };
  t.SetEnabled(true);
  const int32_t id = t.Id();
  rig.TickAt(1050);
  t.SetEnabled(true);  // ignored: keeps the first start
  EXPECT_EQ(t.Id(), id);
  rig.TickUntil(1500);
  EXPECT_EQ(firedAt, std::vector<uint32_t>{1150});
  t.SetEnabled(true);  // still enabled: still ignored
  rig.TickUntil(1800);
  EXPECT_EQ(firedAt.size(), 1u);

  t.SetEnabled(false);
  t.SetEnabled(true);
  rig.TickUntil(2000);
  EXPECT_EQ(firedAt, (std::vector<uint32_t>{1150, 1950}));
}

TEST(OneShotTimer, ChangingTheIntervalWhileEnabledStartsOver) {
  TPoolRig rig;
  TOneShotTimer t(rig.Pool);
  int fired = 0;
  t.OnTimer = [&](TTimerPoolComponent&) { ++fired; };
  t.SetInterval(100);
  t.SetEnabled(true);
  rig.TickAt(1050);
  t.SetInterval(300);
  rig.TickAt(1200);
  EXPECT_EQ(fired, 0);
  rig.TickAt(1351);
  EXPECT_EQ(fired, 1);
}

TEST(OneShotTimer, ReEnablingFromItsOwnEventRunsAgain) {
  TPoolRig rig;
  TOneShotTimer t(rig.Pool);
  t.SetInterval(10);
  int fired = 0;
  t.OnTimer = [&](TTimerPoolComponent& sender) {
    if (++fired < 3) static_cast<TOneShotTimer&>(sender).SetEnabled(true);
  };
  t.SetEnabled(true);
  rig.TickUntil(1500);
  EXPECT_EQ(fired, 3);
  EXPECT_EQ(rig.Pool.Timers().Count(), 0);
}

TEST(OneShotTimer, AMismatchedPoolTimerIsAnError) {
  TPoolRig rig;
  TOneShotTimer t(rig.Pool);
  t.SetEnabled(true);
  TOneShotPoolTimer stray;
  try {
    t.TimerFired(stray, t.Id() + 1);
    FAIL() << "no error";
  } catch (const ETimerPoolError& e) {
    EXPECT_STREQ(e.what(), "Timer pool handles do not match");
  }
}

TEST(OneShotTimer, FreedComponentsAndFreedPoolsLeaveNothingDangling) {
  auto rig = std::make_unique<TPoolRig>();
  int fired = 0;
  {
    TOneShotTimer t(rig->Pool);
    t.OnTimer = [&](TTimerPoolComponent&) { ++fired; };
    t.SetInterval(10);
    t.SetEnabled(true);
  }
  rig->TickUntil(1200);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(rig->Pool.Timers().Count(), 0);

  // A component that outlives its pool is cut loose and can still be used.
  auto t = std::make_unique<TOneShotTimer>(rig->Pool);
  t->SetEnabled(true);
  rig.reset();
  EXPECT_EQ(t->Pool(), nullptr);
  EXPECT_EQ(t->Id(), -1);
  EXPECT_NO_THROW(t->SetEnabled(false));
  EXPECT_NO_THROW(t->SetEnabled(true));
  EXPECT_EQ(t->Id(), -1);
  t.reset();
}

// ---- streaming ----------------------------------------------------------------------------

TEST(PoolTimerCollection, IsStreamableAndKeepsItsRulesWhenRead) {
  EXPECT_NE(FindStreamable("TPoolTimerCollection"), nullptr);

  TPoolTimerCollection c;
  Timer(c, 7, 70);
  Timer(c, 3, 30);
  TMemoryStream mem;
  TFilter out(&mem);
  out.WriteObject(c);

  mem.SetPosition(0);
  TFilter in(&mem);
  std::unique_ptr<TStreamable> read = in.ReadObject();
  auto* back = dynamic_cast<TPoolTimerCollection*>(read.get());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->Count(), 2);
  EXPECT_EQ(back->Timer(0)->Id, 3);
  EXPECT_EQ(back->Timer(1)->Interval, 70);
  EXPECT_FALSE(back->Timer(0)->Active);
  EXPECT_EQ(back->FindId(7), back->Timer(1));

  // Damaged options: not sorted, not owning, duplicates accepted.
  TMemoryStream bad;
  TFilter w(&bad);
  WriteShortString(w, "TPoolTimerCollection");
  for (uint8_t option : {0, 1, 0, 0}) WriteU8(w, option);  // sortable, duplicates, owns, sorted
  WriteI32LE(w, 3);
  for (int32_t id : {9, 2, 9}) {
    TOneShotPoolTimer t;
    t.Id = id;
    w.WriteObject(t);
  }
  bad.SetPosition(0);
  TFilter r(&bad);
  read = r.ReadObject();
  back = dynamic_cast<TPoolTimerCollection*>(read.get());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->Count(), 2);
  EXPECT_EQ(back->Timer(0)->Id, 2);
  EXPECT_EQ(back->Timer(1)->Id, 9);
  EXPECT_TRUE(back->OwnsItems());
  EXPECT_TRUE(back->Sorted());
}

TEST(PoolTimerCollection, RefusesItemsThatAreNotTimers) {
  TMemoryStream bad;
  TFilter w(&bad);
  WriteShortString(w, "TPoolTimerCollection");
  for (uint8_t option : {1, 2, 1, 1}) WriteU8(w, option);
  WriteI32LE(w, 2);
  TOneShotPoolTimer t;
  w.WriteObject(t);
  TCollection stranger;
  w.WriteObject(stranger);
  bad.SetPosition(0);
  TFilter r(&bad);
  EXPECT_THROW(r.ReadObject(), EStreamError);

  TPoolTimerCollection c;
  TCollection item;
  EXPECT_THROW(c.Add(&item), EContainerError);
  EXPECT_EQ(c.Count(), 0);
}
