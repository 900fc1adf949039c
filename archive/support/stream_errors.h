//===-- support/stream_errors.h - Exceptions of the stream family -*- C++ -*-===//
//
// Streams never raise on open (an invalid handle is the signal) and report
// short reads and writes by their counts; only the Buffer forms, memory growth,
// range checks and truncation raise. A stream error keeps the operating
// system's error number of the failure (0 when there was none), so that a
// full disk can be told apart from other write errors.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace arc {

/// Base of the stream errors.
class EStreamError : public std::runtime_error {
 public:
  explicit EStreamError(const std::string& message, int osError = 0)
      : std::runtime_error(message), osError_(osError) {}
  /// errno of the failed system call, or 0.
  int OsError() const { return osError_; }

 private:
  int osError_;
};

/// ReadBuffer got fewer bytes than it asked for.
class EStreamRead : public EStreamError {
 public:
  explicit EStreamRead(int osError = 0) : EStreamError("Stream read error", osError) {}
};

/// WriteBuffer wrote fewer bytes than it was given.
class EStreamWrite : public EStreamError {
 public:
  explicit EStreamWrite(int osError = 0) : EStreamError("Stream write error", osError) {}
};

/// A memory stream could not grow; it keeps its old block, size and position.
class EStreamMemory : public EStreamError {
 public:
  EStreamMemory() : EStreamError("Out of memory while expanding memory stream") {}
};

/// A file the stream needed could not be created or opened.
class EFOpenError : public EStreamError {
 public:
  explicit EFOpenError(const std::string& message, int osError = 0)
      : EStreamError(message, osError) {}
};

/// An offset or size outside what the stream can represent.
class ERangeError : public std::runtime_error {
 public:
  ERangeError() : std::runtime_error("Range check error") {}
};

/// True when the exception in flight, or else `lastOsError`, means that the
/// disk (or the user's quota) is full.
bool IsDiskFullError(const std::exception_ptr& error, int lastOsError);

}  // namespace arc
