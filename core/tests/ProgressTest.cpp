#include "core/Progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every event an observer receives, with the progressor's state then.
struct Recorder {
  TProgressObserver Observer;
  std::vector<std::string> Log;
  Recorder() {
    Observer.OnStart = [this](TProgressObserver*) { Log.push_back("start"); };
    Observer.OnFinish = [this](TProgressObserver*) { Log.push_back("finish"); };
    Observer.OnDescriptionChange = [this](TProgressObserver*) {
      Log.push_back("desc " + Progressor().Description());
    };
    Observer.OnProgressChange = [this](TProgressObserver*) {
      Log.push_back("pos " + std::to_string(Progressor().Position()));
    };
  }
};

class ProgressTest : public ::testing::Test {
protected:
  void SetUp() override {
    while (Progressor().Active()) Progressor().Finish();
    Cursor = 0;
    SetScreenCursorHook({[this] { return Cursor; }, [this](TCursor c) { Cursor = c; }});
  }
  void TearDown() override { SetScreenCursorHook({}); }
  TCursor Cursor = 0;
};

}  // namespace

TEST_F(ProgressTest, OutermostStartNotifiesDescriptionPositionThenStart) {
  Recorder r;
  Progressor().Start(0, "Loading");
  Progressor().SetPosition(100);
  Progressor().Finish();
  // The position 0 is not reported: it is in the same accuracy step as before.
  std::vector<std::string> expected = {"desc Loading", "start", "pos 100", "finish"};
  EXPECT_EQ(r.Log, expected);
}

TEST_F(ProgressTest, AccuracyFiltersSmallStepsAndIsClamped) {
  Recorder r;
  Progressor().Start(0, "a");
  for (int p : {3, 4, 5, 7, 10, 11}) Progressor().SetPosition(p);
  Progressor().Finish();
  std::vector<std::string> expected = {"desc a", "start", "pos 5", "pos 10", "finish"};
  EXPECT_EQ(r.Log, expected);

  r.Observer.SetAccuracy(0);
  EXPECT_EQ(r.Observer.Accuracy(), 1);
  r.Observer.SetAccuracy(80);
  EXPECT_EQ(r.Observer.Accuracy(), 50);
}

TEST_F(ProgressTest, LastPositionSurvivesBetweenOperations) {
  Recorder r;
  Progressor().Start(0, "one");
  Progressor().SetPosition(100);
  Progressor().Finish();
  r.Log.clear();
  Progressor().Start(0, "two");  // from 100 back to 0: reported
  Progressor().SetPosition(2);
  Progressor().Finish();
  r.Log.clear();
  Progressor().Start(0, "three");  // from 2 to 0: same step, not reported
  Progressor().Finish();
  std::vector<std::string> expected = {"desc three", "start", "finish"};
  EXPECT_EQ(r.Log, expected);
}

TEST_F(ProgressTest, NestedOperationsRestoreTheOuterState) {
  Recorder r;
  Progressor().SetBusyCursor(-11);
  Cursor = 5;
  Progressor().Start(0, "Saving");
  EXPECT_EQ(Cursor, -11);
  Progressor().SetPosition(40);
  Cursor = 3;  // something changed the cursor inside the operation
  Progressor().Start(0, ">Frame 0");
  Progressor().SetPosition(60);
  r.Log.clear();
  Progressor().Finish();
  EXPECT_TRUE(Progressor().Active());
  EXPECT_EQ(Progressor().Description(), "Saving");
  EXPECT_EQ(Progressor().Position(), 40);
  EXPECT_EQ(Cursor, 3);
  std::vector<std::string> expected = {"desc Saving", "pos 40"};
  EXPECT_EQ(r.Log, expected);  // no finish for the inner operation
  Progressor().Finish();
  EXPECT_FALSE(Progressor().Active());
  EXPECT_EQ(Cursor, 5);
  EXPECT_EQ(r.Log.back(), "finish");
}

TEST_F(ProgressTest, DisabledObserversAndUnchangedTextsSendNothing) {
  Recorder r;
  Recorder off;
  off.Observer.Enabled = false;
  Progressor().Start(0, "x");
  Progressor().SetDescription("x");
  Progressor().Finish();
  EXPECT_TRUE(off.Log.empty());
  std::vector<std::string> expected = {"desc x", "start", "finish"};
  EXPECT_EQ(r.Log, expected);
}

TEST_F(ProgressTest, AHandlerMayDestroyAnotherObserver) {
  auto victim = std::make_unique<Recorder>();
  TProgressObserver killer;
  killer.OnStart = [&](TProgressObserver*) { victim.reset(); };
  // killer registered after victim, so reverse the order of registration
  Progressor().RemoveObserver(&victim->Observer);
  Progressor().AddObserver(&victim->Observer);
  Progressor().Start(0, "y");
  Progressor().Finish();
  EXPECT_EQ(victim, nullptr);
}

TEST_F(ProgressTest, ScopeFinishesWhenTheOperationFails) {
  try {
    TProgressScope scope(0, "Importing");
    throw std::runtime_error("bad file");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(Progressor().Active());
}
