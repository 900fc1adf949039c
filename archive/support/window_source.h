//===-- support/window_source.h - Positional reads through a window -*- C++ -*-===//
//
// Walking a directory of many thousand records, or the local headers of the
// entries one after another, asks for a few dozen bytes at a time in rising
// order. WindowSource answers such reads from one window of the file it
// reads, refilled by a single large read where a request falls outside it;
// a request larger than half the window goes straight to the file.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <arc/support/byte_source.h>

namespace arc {

class WindowSource final : public ByteSource {
 public:
  static constexpr int32_t kDefaultWindow = 128 * 1024;

  /// Reads `inner`, which must outlive this object.
  explicit WindowSource(ByteSource& inner, int32_t window = kDefaultWindow);
  /// Reads `inner` and owns it.
  explicit WindowSource(std::unique_ptr<ByteSource> inner, int32_t window = kDefaultWindow);

  int64_t Size() const override { return inner_.Size(); }
  int32_t ReadAt(int64_t offset, void* buffer, int32_t count) override;

 private:
  std::unique_ptr<ByteSource> owned_;
  ByteSource& inner_;
  std::unique_ptr<uint8_t[]> window_;
  int32_t capacity_;
  int64_t start_ = 0;
  int32_t filled_ = 0;  ///< valid bytes at start_; 0 before the first fill
};

}  // namespace arc
