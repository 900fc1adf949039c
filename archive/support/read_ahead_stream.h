//===-- support/read_ahead_stream.h - An archive read in large pieces -*- C++ -*-===//
//
// A read-only file stream that serves the small reads of a reader (a 30-byte
// record, a name, an extra field) from two windows of the file read with
// pread, and reads large blocks straight into the caller's buffer. The
// position and the size are kept here: a seek is no system call, and the
// file is taken to keep its size while it is open (the reader opens it
// denying writes). A window grows from 4 KiB to 256 KiB while reads go on
// where the last one ended, so a walk of records and entry data costs a few
// large reads instead of a seek and two reads per entry.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "support/stream32.h"

namespace arc {

class ReadAheadFileStream final : public TFileStream32 {
 public:
  explicit ReadAheadFileStream(const std::string& fileName);

  int32_t Read(void* buffer, int32_t count) override;
  /// Never writes: the stream is opened for reading.
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 private:
  struct Window {
    std::unique_ptr<uint8_t[]> data;
    int64_t start = 0;
    int64_t length = 0;  // bytes held
    uint64_t lastUse = 0;
  };
  /// pread of up to `count` bytes at `offset`, going on after short reads.
  int64_t ReadAt(int64_t offset, uint8_t* to, int64_t count);
  /// The window that holds `pos`, filling the one used least recently.
  Window* WindowAt(int64_t pos, int64_t want);

  int64_t pos_ = 0;
  int64_t size_ = 0;
  uint64_t clock_ = 0;
  Window windows_[2];
};

}  // namespace arc
