//===-- arc/core/arc_timer.h - Stopwatch of an archive operation --*- C++ -*-===//
//
// Measures the duration of a whole operation for OnElapsedTime. Time spent in
// the application's error handlers is left out: the error path pauses the
// stopwatch around each report and resuming moves the start tick on by the
// paused time. Ticks are 32-bit milliseconds and may wrap; all differences are
// taken modulo 2^32.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>

namespace arc {

class TArcTimer {
 public:
  /// Milliseconds from an arbitrary origin.
  using TickSource = std::function<uint32_t()>;

  /// Uses the system's monotonic clock.
  TArcTimer();
  /// Uses `ticks` instead of the clock (tests drive time by hand).
  explicit TArcTimer(TickSource ticks);

  /// Elapsed := 0 and the stopwatch runs from now.
  void Start();
  /// When running: elapsed := seconds since the start, not counting pauses.
  void Stop();
  /// When running, remembers when the pause began. Pauses nest: only the
  /// outermost Pause/Resume pair moves the start tick.
  void Pause();
  void Resume();

  bool Running() const { return running_; }
  bool Paused() const { return pauseDepth_ > 0; }
  /// Seconds measured by the last Stop().
  float ElapsedTime() const { return elapsed_; }

  uint32_t StartTick() const { return start_; }

 private:
  TickSource ticks_;
  uint32_t start_ = 0;
  uint32_t pauseTick_ = 0;
  int pauseDepth_ = 0;
  // Kept apart from the start tick so that a clock reading of 0 cannot look
  // like a stopped stopwatch.
  bool running_ = false;
  float elapsed_ = 0;
};

}  // namespace arc
