//===-- tests/parallel/thread_count.h - Threads of this process ---*- C++ -*-===//
#pragma once

#include <filesystem>

namespace arc::test {

/// Threads of the process right now, from /proc: a call that claims to stop
/// its workers must leave this where it found it.
inline int ThreadCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

}  // namespace arc::test
