//===-- app/operation_lock.cpp - One operation per company at a time -*- C++ -*-===//
#include "operation_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace app {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& file) {
  throw std::system_error(errno, std::generic_category(), what + " '" + file + "'");
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[512];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
    if (n <= 0 || text.size() > 4096) break;
    text.append(buffer, static_cast<size_t>(n));
    at += n;
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  return text;
}

}  // namespace

bool TOperationLock::TryLock(const std::string& file, const std::string& what) {
  Release();
  holder_.clear();
  left_.clear();
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) Fail("Cannot open the lock file", file);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) {
      holder_ = ReadAll(fd);
      holder_.erase(std::min(holder_.find('\n'), holder_.size()));
      ::close(fd);
      return false;
    }
    const int error = errno;
    ::close(fd);
    errno = error;
    Fail("Cannot lock", file);
  }
  fd_ = fd;
  left_ = ReadAll(fd);
  // Only a note for whoever is refused: a failure to write it changes nothing.
  const std::string line = what + "\n";
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, line.data(), line.size(), 0);
  }
  return true;
}

void TOperationLock::Note(const std::string& line) {
  if (fd_ < 0) return;
  const std::string text = line + "\n";
  struct stat st {};
  if (::fstat(fd_, &st) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd_, text.data(), text.size(), st.st_size);
  }
}

void TOperationLock::Release() noexcept {
  if (fd_ < 0) return;
  // Emptied first, so that nobody reads a finished run's note as a holder's.
  [[maybe_unused]] const int truncated = ::ftruncate(fd_, 0);
  ::close(fd_);  // drops the lock
  fd_ = -1;
}

}  // namespace app
