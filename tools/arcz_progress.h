//===-- tools/arcz_progress.h - What the progress bar shows, and when -*- C++ -*-===//
//
// The pieces of the progress bar that do not touch the terminal: the line it
// draws, the pace of redrawing and the rate it reports. Times are
// milliseconds from the start of the command, so that each piece is a plain
// function of its input.
//
//   [##########..........]  50%  1.2 GiB / 2.4 GiB  85.3 MiB/s  0:14 left  name
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace arcz {

/// "512 B", "1.5 KiB", "23.0 MiB", ... (binary units, one decimal).
std::string FormatBytes(int64_t bytes);

/// "0:07", "12:34", "1:02:03"; "--:--" for an unknown (negative) time.
std::string FormatDuration(int64_t seconds);

struct ProgressFigures {
  int64_t done = 0;
  int64_t total = 0;
  double bytesPerSecond = -1;  ///< below 0: not known yet
  std::string name;            ///< printable already
};

/// The bar as one line of at most `width` - 1 columns (the last column stays
/// free, so that the terminal does not wrap): the name is shortened from the
/// left, or left out, and on a very narrow terminal the graphic as well.
std::string FormatProgressLine(const ProgressFigures& figures, size_t width);

/// Redraws no earlier than `delay` after the start and then at most once
/// per `interval`: short work shows no bar, and long work no flicker.
class RedrawThrottle {
 public:
  explicit RedrawThrottle(int64_t delayMs = 1000, int64_t intervalMs = 100)
      : delay_(delayMs), interval_(intervalMs) {}
  /// True when a redraw at `nowMs` is due; it then counts as done.
  bool Due(int64_t nowMs);

 private:
  int64_t delay_;
  int64_t interval_;
  int64_t last_ = -1;
};

/// Bytes per second over the last few seconds, so that a change of pace is
/// soon followed. A count that goes back (a new stage of the work) or a
/// silence of seconds (a question on the terminal) starts afresh.
class RateMeter {
 public:
  explicit RateMeter(int64_t windowMs = 5000) : window_(windowMs) {}
  void Add(int64_t nowMs, int64_t done);
  /// Below 0 until the samples span a quarter of a second.
  double BytesPerSecond() const;

 private:
  struct Sample {
    int64_t ms;
    int64_t done;
  };
  int64_t window_;
  std::deque<Sample> samples_;
};

}  // namespace arcz
