//===-- support/unique_fd.h - A file descriptor with one owner --*- C++ -*-===//
//
// UniqueFd closes the descriptor it holds when it goes out of scope, so that
// every path out of a function, an exception included, gives it back. Close()
// closes it early and tells whether the system reported an error (a delayed
// write error shows there). WriteAll writes a whole buffer to a descriptor.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace arc {

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  /// Hands the descriptor over; this object holds none after.
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  /// Closes the descriptor held (if any) and takes `fd`.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  /// Closes the descriptor held; false when the system reports an error.
  /// True when none was held.
  bool Close() { return fd_ < 0 || ::close(release()) == 0; }

 private:
  int fd_;
};

/// Writes `count` bytes to `fd`, again after an interrupted or partial
/// write; returns the bytes written. When not all of them were, `error` is
/// the system's reason (ENOSPC for a write that wrote nothing).
inline size_t WriteAll(int fd, const uint8_t* data, size_t count, int& error) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd, data + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace arc
