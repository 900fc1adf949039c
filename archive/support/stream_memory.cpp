//===-- support/stream_memory.cpp - Memory streams ------------------------===//
#include "support/stream_memory.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace arc {

int32_t TCustomMemoryStream32::Read(void* buffer, int32_t count) {
  if (position_ < 0 || count < 0) return 0;
  int32_t n = size_ - position_;
  if (n <= 0) return 0;
  if (n > count) n = count;
  std::memcpy(buffer, memory_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TCustomMemoryStream32::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = position_;
  if (origin == TSeekOrigin::soEnd) base = size_;
  if (offset < std::numeric_limits<int32_t>::min() || offset > std::numeric_limits<int32_t>::max())
    throw ERangeError();
  const int64_t target = base + offset;
  if (target < std::numeric_limits<int32_t>::min() || target > std::numeric_limits<int32_t>::max())
    throw ERangeError();
  position_ = static_cast<int32_t>(target);
  return position_;
}

// What Clear does, without its paths that raise: the block is this stream's
// only when it has a capacity.
TMemoryStream32::~TMemoryStream32() {
  if (capacity_ != 0) std::free(memory_);
}

void TMemoryStream32::Clear() {
  SetCapacity(0);
  size_ = 0;
  position_ = 0;
}

uint8_t* TMemoryStream32::Realloc(int32_t& newCapacity) {
  if (newCapacity > 0 && newCapacity != size_) {
    const int64_t rounded =
        (static_cast<int64_t>(newCapacity) + (kMemoryDelta - 1)) & ~int64_t{kMemoryDelta - 1};
    if (rounded > std::numeric_limits<int32_t>::max()) throw EStreamMemory();
    newCapacity = static_cast<int32_t>(rounded);
  }
  if (newCapacity == capacity_) return memory_;
  if (newCapacity == 0) {
    std::free(memory_);
    return nullptr;
  }
  if (newCapacity < 0) throw EStreamMemory();
  void* block = std::realloc(memory_, static_cast<size_t>(newCapacity));
  if (block == nullptr) throw EStreamMemory();
  return static_cast<uint8_t*>(block);
}

void TMemoryStream32::SetCapacity(int32_t newCapacity) {
  uint8_t* block = Realloc(newCapacity);
  SetPointer(block, size_);
  capacity_ = newCapacity;
}

void TMemoryStream32::SetSize(int64_t newSize) {
  if (newSize < 0 || newSize > std::numeric_limits<int32_t>::max()) throw EStreamMemory();
  const int32_t n = static_cast<int32_t>(newSize);
  const int32_t oldPosition = position_;
  const int32_t oldSize = size_;
  SetCapacity(n);
  // Grown bytes read as zeros, never as what the allocator left there.
  if (n > oldSize) std::memset(memory_ + oldSize, 0, static_cast<size_t>(n - oldSize));
  size_ = n;
  if (oldPosition > n) position_ = n;
}

int32_t TMemoryStream32::Write(const void* buffer, int32_t count) {
  if (position_ < 0 || count < 0) return 0;
  const int64_t end = static_cast<int64_t>(position_) + count;
  if (end <= 0) return 0;
  if (end > std::numeric_limits<int32_t>::max()) return 0;  // beyond a 32-bit stream
  const int32_t newEnd = static_cast<int32_t>(end);
  if (newEnd > size_) {
    if (newEnd > capacity_) SetCapacity(newEnd);
    // A write that starts beyond the end leaves a gap of zeros.
    if (position_ > size_) std::memset(memory_ + size_, 0, static_cast<size_t>(position_ - size_));
    size_ = newEnd;
  }
  if (count > 0) std::memcpy(memory_ + position_, buffer, static_cast<size_t>(count));
  position_ = newEnd;
  return count;
}

}  // namespace arc
