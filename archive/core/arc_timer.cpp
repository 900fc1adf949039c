//===-- core/arc_timer.cpp - Stopwatch of an archive operation ------------===//
#include <arc/core/arc_timer.h>

#include <chrono>
#include <utility>

namespace arc {
namespace {

uint32_t SystemTicks() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}

}  // namespace

TArcTimer::TArcTimer() : ticks_(SystemTicks) {}

TArcTimer::TArcTimer(TickSource ticks) : ticks_(std::move(ticks)) {}

void TArcTimer::Start() {
  elapsed_ = 0;
  start_ = ticks_();
  pauseDepth_ = 0;
  running_ = true;
}

void TArcTimer::Stop() {
  if (!running_) return;
  if (pauseDepth_ > 0) {
    // Stopped inside a pause: the paused stretch does not count.
    pauseDepth_ = 1;
    Resume();
  }
  elapsed_ = static_cast<float>(static_cast<uint32_t>(ticks_() - start_)) / 1000.0f;
  running_ = false;
  start_ = 0;
}

void TArcTimer::Pause() {
  if (!running_) return;
  if (pauseDepth_++ == 0) pauseTick_ = ticks_();
}

void TArcTimer::Resume() {
  if (!running_ || pauseDepth_ == 0) return;
  if (--pauseDepth_ == 0) start_ += static_cast<uint32_t>(ticks_() - pauseTick_);
}

}  // namespace arc
