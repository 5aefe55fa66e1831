// Animation playback of the frame paint box: the tick, the rate, starting
// and stopping, and the worker handing its ticks to the owner thread.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "render/tests/FramePickFixtures.h"

using namespace picktest;

namespace {

// A model of `frames` frames in scene 0 and two in scene 1, one triangle.
void OpenScenes(TView& v, int frames) {
  TMDL& m = *v.Editor.Model;
  StartModel(m, frames);
  TMDLFrameGroup& s = m.Frames->NewScene();
  for (int i = 0; i < 2; ++i) {
    auto f = std::make_unique<TMDLFrame>(&m);
    f->SetPivotCount(m.Objects->Count());
    f->SetName("other" + std::to_string(i + 1));
    s.Add(std::move(f));
  }
  m.Frames->RebuildIndex();
  AddFrontTriangle(m, 0, 5);
  v.Open();
}

// The owner thread's queue: the worker's hand-over waits here until the
// test thread runs the call, as a window system's blocking call does.
class TOwnerQueue {
public:
  void Call(const std::function<void()>& f) {
    std::unique_lock lock(Mutex_);
    const uint64_t ticket = ++Posted_;
    Calls_.push_back(f);
    Changed_.notify_all();
    Changed_.wait(lock, [&] { return Done_ >= ticket || Closed_; });
  }
  // Runs the next call, waiting up to 10 s for one; false when none came.
  bool RunOne() {
    std::unique_lock lock(Mutex_);
    if (!Changed_.wait_for(lock, std::chrono::seconds(10), [&] { return !Calls_.empty(); })) return false;
    std::function<void()> f = std::move(Calls_.front());
    Calls_.pop_front();
    lock.unlock();
    f();
    lock.lock();
    ++Done_;
    Changed_.notify_all();
    return true;
  }
  // Waits up to 10 s for a call to be posted, without running it.
  bool WaitPosted() {
    std::unique_lock lock(Mutex_);
    return Changed_.wait_for(lock, std::chrono::seconds(10), [&] { return !Calls_.empty(); });
  }
  // Drops what is queued and releases every waiting caller.
  void Close() {
    std::lock_guard lock(Mutex_);
    Calls_.clear();
    Closed_ = true;
    Changed_.notify_all();
  }

private:
  std::mutex Mutex_;
  std::condition_variable Changed_;
  std::deque<std::function<void()>> Calls_;
  uint64_t Posted_ = 0;
  uint64_t Done_ = 0;
  bool Closed_ = false;
};

// A hand-over that is never used: the tests run the ticks themselves.
TAnimationTimerThread::TOwnerCall Unused() {
  return [](const std::function<void()>&) {};
}

bool WorkersBackTo(int count) {
  for (int i = 0; i < 1000; ++i) {
    if (TAnimationTimerThread::LiveWorkers() == count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace

TEST(FrameAnimation, TicksLoopThroughTheSceneRedrawingAtOnce) {
  TView v(320, 200, Unused());
  OpenScenes(v, 3);
  v.Editor.SetCurrentFrame(2);
  int changes = 0;
  v.Box->OnFrameChange = [&](TMDLFramePaintBox& sender) {
    EXPECT_EQ(&sender, v.Box.get());
    ++changes;
  };
  v.Box->StartAnimation();
  EXPECT_TRUE(v.Box->AnimationTimer().Running());
  EXPECT_EQ(v.Box->PlayFrame, 0);
  const int repaints = v.Host.Repaints;
  std::vector<int> shown;
  for (int i = 0; i < 4; ++i) {
    v.Box->AnimationTick();
    shown.push_back(v.Box->PlayFrame);
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1}));
  EXPECT_EQ(v.Host.Repaints - repaints, 4);
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(v.Editor.CurrentFrame, 2) << "playback leaves the editor's frame alone";
  EXPECT_EQ(v.Editor.AbsoluteFrame(), 2);
}

TEST(FrameAnimation, OneFrameSceneKeepsShowingItsFrameAndAnEmptyEditorDoesNotStart) {
  TView v(320, 200, Unused());
  OpenScenes(v, 1);
  v.Box->StartAnimation();
  EXPECT_TRUE(v.Box->AnimationTimer().Running());
  for (int i = 0; i < 3; ++i) {
    v.Box->AnimationTick();
    EXPECT_EQ(v.Box->PlayFrame, 0);
  }

  TView empty(320, 200, Unused());
  int changes = 0;
  empty.Box->OnFrameChange = [&](TMDLFramePaintBox&) { ++changes; };
  empty.Box->StartAnimation();
  EXPECT_FALSE(empty.Box->AnimationTimer().Running());
  empty.Box->AnimationTick();
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(empty.Host.Repaints, 0);
}

TEST(FrameAnimation, AViewWithoutAHandOverToTheOwnerThreadDoesNotPlay) {
  TView v;
  OpenScenes(v, 3);
  v.Box->StartAnimation();
  EXPECT_FALSE(v.Box->AnimationTimer().Running());
}

TEST(FrameAnimation, FramesPerSecondSetsTheIntervalWithinOneToForty) {
  TView v(320, 200, Unused());
  OpenScenes(v, 3);
  EXPECT_EQ(v.Box->FramesPerSecond(), 40);
  EXPECT_EQ(v.Box->AnimationTimer().Interval(), 25);
  v.Box->StartAnimation();
  v.Box->SetFramesPerSecond(25);
  EXPECT_EQ(v.Box->AnimationTimer().Interval(), 40);
  EXPECT_TRUE(v.Box->AnimationTimer().Running()) << "a new rate keeps playing";
  v.Box->SetFramesPerSecond(3);
  EXPECT_EQ(v.Box->AnimationTimer().Interval(), 333);
  v.Box->StopAnimation();
  v.Box->SetFramesPerSecond(0);
  EXPECT_EQ(v.Box->FramesPerSecond(), 1);
  EXPECT_EQ(v.Box->AnimationTimer().Interval(), 1000);
  v.Box->SetFramesPerSecond(-7);
  EXPECT_EQ(v.Box->AnimationTimer().Interval(), 1000);
  v.Box->SetFramesPerSecond(100);
  EXPECT_EQ(v.Box->FramesPerSecond(), 40);
  EXPECT_EQ(v.Box->AnimationTimer().Interval(), 25);
}

TEST(FrameAnimation, StopShowsTheEditorsFrameAgain) {
  TView v(320, 200, Unused());
  OpenScenes(v, 4);
  v.Editor.SetCurrentFrame(3);
  v.Box->StartAnimation();
  v.Box->AnimationTick();
  ASSERT_EQ(v.Box->PlayFrame, 1);
  const int invalidations = v.Host.Invalidations;
  v.Box->StopAnimation();
  EXPECT_FALSE(v.Box->AnimationTimer().Running());
  EXPECT_EQ(v.Box->PlayFrame, 3);
  EXPECT_GT(v.Host.Invalidations, invalidations) << "the picture must be drawn again";
}

TEST(FrameAnimation, RenderTimeIsTheRedrawsDurationAcrossAClockWrap) {
  TView v(320, 200, Unused());
  OpenScenes(v, 3);
  v.Box->StartAnimation();
  // The tick reads the clock first; the redraw and the tick's end read the
  // later time.
  v.Box->TickSource = [calls = 0]() mutable -> uint32_t { return calls++ == 0 ? 1000u : 1007u; };
  v.Box->AnimationTick();
  EXPECT_DOUBLE_EQ(v.Box->RenderTime, 7.0);
  v.Box->TickSource = [calls = 0]() mutable -> uint32_t { return calls++ == 0 ? 0xFFFFFFFEu : 3u; };
  v.Box->AnimationTick();
  EXPECT_DOUBLE_EQ(v.Box->RenderTime, 5.0);
}

TEST(FrameAnimation, APressWithAnEditingToolStopsPlayback) {
  for (uint8_t tool = tmView; tool <= tmScalePivot; ++tool) {
    TView v(320, 200, Unused());
    OpenScenes(v, 3);
    v.Box->SetToolMode(tool);
    v.Box->StartAnimation();
    v.Box->AnimationTick();
    v.Box->AnimationTick();
    v.Box->MouseDown(mbMiddle, ssMiddle, 3, 3);
    if (tool == tmView) {
      EXPECT_TRUE(v.Box->AnimationTimer().Running());
      EXPECT_EQ(v.Box->PlayFrame, 2);
    } else {
      EXPECT_FALSE(v.Box->AnimationTimer().Running()) << "tool " << int(tool);
      EXPECT_EQ(v.Box->PlayFrame, v.Editor.CurrentFrame) << "tool " << int(tool);
    }
  }
}

TEST(FrameAnimation, SceneThatShrankUnderPlaybackStartsOver) {
  TView v(320, 200, Unused());
  OpenScenes(v, 3);
  v.Box->Loaded();
  v.Box->StartAnimation();
  v.Box->AnimationTick();
  v.Box->AnimationTick();
  ASSERT_EQ(v.Box->PlayFrame, 2);
  v.Editor.SetCurrentScene(1);  // two frames
  EXPECT_EQ(v.Box->PlayFrame, 0) << "a scene change shows the new scene's current frame";
  v.Box->PlayFrame = 5;
  v.Box->AnimationTick();
  EXPECT_EQ(v.Box->PlayFrame, 0);
  v.Box->AnimationTick();
  EXPECT_EQ(v.Box->PlayFrame, 1);
}

// The real worker: ticks arrive on this thread through the hand-over, stop
// drops them, and a view destroyed while a tick waits for this thread ends
// without waiting for it.
TEST(FrameAnimation, WorkerTicksReachTheOwnerThreadAndDestructionDoesNotWaitForThem) {
  const int workers = TAnimationTimerThread::LiveWorkers();
  auto queue = std::make_shared<TOwnerQueue>();
  {
    TView v(320, 200, [queue](const std::function<void()>& f) { queue->Call(f); });
    OpenScenes(v, 3);
    v.Box->Loaded();
    const std::thread::id self = std::this_thread::get_id();
    std::vector<int> shown;
    v.Box->OnFrameChange = [&](TMDLFramePaintBox& box) {
      EXPECT_EQ(std::this_thread::get_id(), self);
      shown.push_back(box.PlayFrame);
    };
    v.Box->SetFramesPerSecond(40);
    v.Box->StartAnimation();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(queue->RunOne());
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 0}));
    v.Box->StopAnimation();
    EXPECT_EQ(v.Box->PlayFrame, v.Editor.CurrentFrame);

    // Once more, and leave a tick waiting for this thread.
    v.Box->StartAnimation();
    ASSERT_TRUE(queue->WaitPosted());
  }
  // The view is gone; the waiting tick finds it gone and does nothing.
  queue->RunOne();
  queue->Close();
  EXPECT_TRUE(WorkersBackTo(workers)) << "the worker did not end";
}
