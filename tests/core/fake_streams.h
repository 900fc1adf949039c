//===-- tests/core/fake_streams.h - Streams that fail on purpose -*- C++ -*-===//
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/stream_memory.h"

namespace arc::fakes {

/// Takes at most `room` bytes, then fails its writes with `error` set in
/// errno, the way a file on a full or broken disk does.
class ShortWriteStream : public TMemoryStream32 {
 public:
  ShortWriteStream(int32_t room, int error) : room_(room), error_(error) {}
  int32_t Write(const void* buffer, int32_t count) override {
    const int32_t n = count < room_ ? count : room_;
    room_ -= n;
    const int32_t written = n > 0 ? TMemoryStream32::Write(buffer, n) : 0;
    if (written < count) errno = error_;
    return written;
  }

 private:
  int32_t room_;
  int error_;
};

/// A stream that cannot be read at all.
class UnreadableStream : public TMemoryStream32 {
 public:
  int32_t Read(void*, int32_t) override { return -1; }
};

}  // namespace arc::fakes
