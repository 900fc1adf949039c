//===-- app/operation_lock.h - One operation per company at a time -*- C++ -*-===//
//
// A backup or a restore holds an exclusive flock(2) on the company's lock file
// in the data folder for as long as it runs, in the window and without one
// alike. A second operation does not wait for it: it is refused at once. The
// kernel drops the lock when its holder ends, however it ends, so a crashed
// run never leaves the company locked. The file itself stays; removing it
// would let two runs lock two different files of the same name.
//
// The holder writes what it is doing into the file, so that a refused run can
// say who holds the company, and notes below it the files it has under
// temporary names. A run that ends releases the lock with the file emptied;
// what the next holder finds in it was written by a run that was killed.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

namespace app {

class TOperationLock {
 public:
  TOperationLock() = default;
  ~TOperationLock() { Release(); }
  TOperationLock(const TOperationLock&) = delete;
  TOperationLock& operator=(const TOperationLock&) = delete;

  /// Takes the lock on `file` (created mode 0600 when missing) without
  /// waiting and writes `what` into it. False when someone else holds it;
  /// Holder() then says what that run wrote. Throws std::system_error when
  /// the file cannot be opened or locked at all.
  bool TryLock(const std::string& file, const std::string& what);

  /// What the run holding the lock wrote (its first line), after a refused
  /// TryLock; empty when it had not written yet.
  const std::string& Holder() const { return holder_; }

  /// What a killed run left in the file, after a TryLock that took the lock;
  /// empty when the last holder ended normally.
  const std::string& LeftByKilledRun() const { return left_; }

  /// Adds `line` below what TryLock wrote, while the lock is held.
  void Note(const std::string& line);

  bool Held() const { return fd_ >= 0; }
  void Release() noexcept;

 private:
  int fd_ = -1;
  std::string holder_;
  std::string left_;
};

}  // namespace app
