//===-- support/window_source.cpp - Positional reads through a window -----===//
#include "support/window_source.h"

#include <algorithm>
#include <cstring>

namespace arc {

WindowSource::WindowSource(ByteSource& inner, int32_t window)
    : inner_(inner),
      window_(new uint8_t[static_cast<size_t>(std::max(window, 1))]),
      capacity_(std::max(window, 1)) {}

WindowSource::WindowSource(std::unique_ptr<ByteSource> inner, int32_t window)
    : WindowSource(*inner, window) {
  owned_ = std::move(inner);
}

int32_t WindowSource::ReadAt(int64_t offset, void* buffer, int32_t count) {
  if (offset < 0 || count <= 0) return 0;
  if (count > capacity_ / 2) return inner_.ReadAt(offset, buffer, count);
  const bool inside =
      filled_ > 0 && offset >= start_ && offset - start_ + count <= static_cast<int64_t>(filled_);
  if (!inside) {
    // A short fill (the end of the file, or a failed read) is kept as it is:
    // the request is answered with what there is, as the file would answer.
    const int32_t got = inner_.ReadAt(offset, window_.get(), capacity_);
    start_ = offset;
    filled_ = std::max(got, 0);
  }
  const auto from = static_cast<int32_t>(offset - start_);
  const int32_t n = std::clamp(filled_ - from, 0, count);
  if (n > 0) std::memcpy(buffer, window_.get() + from, static_cast<size_t>(n));
  return n;
}

}  // namespace arc
