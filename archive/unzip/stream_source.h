//===-- unzip/stream_source.h - A component stream read by position -*- C++ -*-===//
#pragma once

#include <arc/support/byte_source.h>
#include "support/stream32.h"

namespace arc {

/// Positional reads over a TStream32 (seek, then read). The stream's
/// position is left after the bytes read.
class StreamSource final : public ByteSource {
 public:
  explicit StreamSource(TStream32& stream) : stream_(stream), size_(stream.Size()) {}
  int64_t Size() const override { return size_; }
  int32_t ReadAt(int64_t offset, void* buffer, int32_t count) override {
    if (offset < 0 || count <= 0 || offset >= size_) return 0;
    if (stream_.Seek(offset, TSeekOrigin::soBeginning) != offset) return 0;
    int32_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
      const int32_t got = stream_.Read(out + done, count - done);
      if (got <= 0) break;
      done += got;
    }
    return done;
  }

 private:
  TStream32& stream_;
  int64_t size_;
};

}  // namespace arc
