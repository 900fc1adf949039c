//===-- tools/arcz_terminal.h - Progress bar and questions on a terminal -*- C++ -*-===//
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "arcz_progress.h"

namespace arcz {

/// True when `fd` is a terminal.
bool IsTerminal(int fd);

/// `text` (a name from an archive) safe to print: control characters, which
/// a terminal would take as commands, are shown as '?'. That covers C0,
/// DEL, and C1 in its UTF-8 form.
std::string Printable(const std::string& text);

/// A one-line progress bar on standard error: bytes done of the total, the
/// rate and the time left (arcz_progress.h). Drawn only when standard error
/// is a terminal, once the work has taken a second, and at most ten times a
/// second; Clear it before printing anything else.
class ProgressBar {
 public:
  /// `quiet`: never draws.
  explicit ProgressBar(bool quiet = false);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  /// `remaining` of `total` bytes still to handle, as the component counts
  /// them (a count from a lying archive may fall below 0); `name` is what is
  /// being worked on (a name from an archive is made printable here).
  void Update(int64_t total, int64_t remaining, const std::string& name);
  /// Removes the bar so that other text can be printed on a clean line.
  void Clear();

 private:
  int64_t ElapsedMs() const;

  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  RedrawThrottle throttle_;
  RateMeter rate_;
};

/// Asks on the terminal (standard error) and reads one line from standard
/// input; empty on end of input or when standard input is no terminal.
std::string AskLine(const std::string& prompt);
/// As AskLine; false on end of input or without a terminal.
bool AskLine(const std::string& prompt, std::string& line);
/// As AskLine, with echo off.
std::string AskSecret(const std::string& prompt);

}  // namespace arcz
