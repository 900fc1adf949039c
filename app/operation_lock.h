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
// say who holds the company.
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

  /// What the run holding the lock wrote, after a refused TryLock; empty
  /// when it had not written yet.
  const std::string& Holder() const { return holder_; }

  bool Held() const { return fd_ >= 0; }
  void Release() noexcept;

 private:
  int fd_ = -1;
  std::string holder_;
};

}  // namespace app
