// Animation playback of the frame paint box: the view's own play position
// within the current scene, advanced by the ticks of its timer thread. The
// ticks arrive on the user-interface thread through the hand-over given at
// construction; playback never changes the editor's current frame.

#include <algorithm>

#include "render/MDLFramePaintBox.h"

void TMDLFramePaintBox::InitAnimation(TAnimationTimerThread::TOwnerCall ownerCall) {
  // Without a way onto the user-interface thread a tick would touch the
  // model from the worker; such a view does not play.
  AnimationHandOver_ = static_cast<bool>(ownerCall);
  Timer_ = std::make_unique<TAnimationTimerThread>(std::move(ownerCall));
  Timer_->SetFramesPerSecond(FramesPerSecond_);
  Timer_->OnTimer = [this](TAnimationTimerThread&) { AnimationTick(); };
}

void TMDLFramePaintBox::StartAnimation() {
  PlayFrame = 0;
  Timer_->SetRunning(AnimationHandOver_ && HasValidEditor() && Editor_->SceneFrameCount > 0);
}

void TMDLFramePaintBox::StopAnimation() {
  Timer_->SetRunning(false);
  const int32_t current = Editor_ ? Editor_->CurrentFrame : 0;
  // The editor's frame again, shown at once when the picture was elsewhere.
  if (PlayFrame != current) {
    PlayFrame = current;
    Invalidate();
  }
}

void TMDLFramePaintBox::SetFramesPerSecond(int32_t fps) {
  // The options offer 1..40; a settings file may hold anything.
  fps = std::clamp<int32_t>(fps, 1, TAnimationTimerThread::kDefaultFramesPerSecond);
  FramesPerSecond_ = fps;
  Timer_->SetFramesPerSecond(fps);
}

void TMDLFramePaintBox::AnimationTick() {
  if (!HasValidEditor()) return;
  const int32_t count = Editor_->SceneFrameCount;
  if (count <= 0) return;
  auto clock = [this] { return TickSource ? TickSource() : SteadyTickCount(); };
  const uint32_t t0 = clock();
  // The scene loops; a scene that shrank under playback starts again.
  PlayFrame = PlayFrame >= count - 1 ? 0 : PlayFrame + 1;
  Repaint();
  RenderTime = TicksBetween(t0, clock());
  if (OnFrameChange) OnFrameChange(*this);
}
