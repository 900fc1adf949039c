//===-- zip/source_stream.h - A file being added to an archive ---*- C++ -*-===//
//
// A file to compress is read more than once: an encrypted entry needs its
// CRC before its data, and a file that deflating would enlarge is read again
// to be stored. Other programs may write to it meanwhile. So its size is
// measured once, when it is opened, and every pass sees exactly that many
// bytes: a file that grows yields the bytes that were measured, one that
// shrinks yields fewer (and a ReadBuffer of the missing bytes raises).
//
// Each pass that reads the file from its first byte to its last also gives
// the CRC-32 of what it read and whether that looked like text, so the entry
// writer can tell whether two passes saw the same data.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "support/stream32.h"

namespace arc {

class SourceFileStream : public TFileStream32 {
 public:
  /// Opens `path` for reading and measures it; Valid() tells whether both
  /// worked.
  explicit SourceFileStream(const std::string& path);

  /// The file's status when it was opened.
  const struct stat& Opened() const { return opened_; }
  /// True when the file's size or modification time is no longer what it
  /// was when it was opened (or the file cannot be looked at any more).
  bool ChangedSinceOpened() const;

  int32_t Read(void* buffer, int32_t count) override;
  /// Positions within the measured size; the end is the measured size.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

  /// CRC-32 (final value) of the last pass that read the file from its first
  /// byte on; valid when PassComplete().
  uint32_t PassCrc() const { return passCrc_ ^ 0xFFFFFFFFu; }
  /// The last pass read every measured byte, in order.
  bool PassComplete() const { return inOrder_ && passEnd_ == size_; }
  /// The bytes of the last pass are text: no control character that text
  /// does not use, and at least one that it does.
  bool PassIsText() const { return !binary_ && someText_; }

 private:
  void StartPass();
  void Take(const uint8_t* data, int32_t count);

  struct stat opened_ {};
  int64_t size_ = 0;
  int64_t position_ = 0;
  int64_t handleAt_ = 0;  ///< where the descriptor is
  int64_t passEnd_ = 0;
  uint32_t passCrc_ = 0xFFFFFFFFu;
  bool inOrder_ = false;
  bool binary_ = false;
  bool someText_ = false;
};

}  // namespace arc
