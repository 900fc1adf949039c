//===-- support/stream_memory.h - Memory streams ------------------*- C++ -*-===//
//
// A stream over one block of memory. Size and position are 32-bit; the
// position may lie beyond the size, or below 0, after a seek: reads there
// return nothing, and a write beyond the size grows the stream (the gap reads
// as zeros).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

#include "support/stream32.h"

namespace arc {

/// Capacity of a growing memory stream is a multiple of this.
constexpr int32_t kMemoryDelta = 8192;

/// A memory stream whose block is managed by a descendant.
class TCustomMemoryStream32 : public TStream32 {
 public:
  /// Copies min(count, size - position) bytes; 0 when the position or count
  /// is negative or the position is at or beyond the end.
  int32_t Read(void* buffer, int32_t count) override;
  /// No clamping; ERangeError when the new position leaves the 32-bit range.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

  /// The block (null while empty); valid until the next size change.
  uint8_t* Memory() const { return memory_; }

 protected:
  void SetPointer(uint8_t* memory, int32_t size) {
    memory_ = memory;
    size_ = size;
  }

  uint8_t* memory_ = nullptr;
  int32_t size_ = 0;
  int32_t position_ = 0;
};

/// A memory stream that grows its own block in steps of kMemoryDelta.
class TMemoryStream32 : public TCustomMemoryStream32 {
 public:
  TMemoryStream32() = default;
  ~TMemoryStream32() override;

  /// Writes at the position, growing the stream when it ends beyond the size;
  /// returns `count`, or 0 (nothing changed) when the position or count is
  /// negative or the write would end at or before 0.
  int32_t Write(const void* buffer, int32_t count) override;
  /// Capacity for `newSize`, then size = newSize; a position beyond it moves
  /// to the new end. A size outside 0..2^31-1 raises EStreamMemory.
  void SetSize(int64_t newSize) override;
  /// Size, position and capacity 0; the block is freed.
  void Clear();

  int32_t Capacity() const { return capacity_; }

 protected:
  /// The growth rule: a positive request that differs from the current size
  /// is rounded up to a multiple of kMemoryDelta; the block is kept when the
  /// capacity does not change, freed for 0, reallocated otherwise. Raises
  /// EStreamMemory (block unchanged) when memory runs out.
  virtual uint8_t* Realloc(int32_t& newCapacity);
  void SetCapacity(int32_t newCapacity);

  int32_t capacity_ = 0;
};

}  // namespace arc
