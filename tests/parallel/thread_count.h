//===-- tests/parallel/thread_count.h - Threads of this process ---*- C++ -*-===//
#pragma once

#include <filesystem>
#include <thread>

namespace arc::test {

/// Threads of the process right now, from /proc: a call that claims to stop
/// its workers must leave this where it found it.
inline int ThreadCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

/// The count to come back to. A thread is started and joined first: a
/// sanitizer's runtime starts a helper thread of its own with the first one.
inline int ThreadBaseline() {
  std::thread([] {}).join();
  return ThreadCount();
}

}  // namespace arc::test
