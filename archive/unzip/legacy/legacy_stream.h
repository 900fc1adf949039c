//===-- unzip/legacy/legacy_stream.h - Buffered bit input and byte output -*- C++ -*-===//
//
// Private to the legacy decoders; readers use legacy_io.h.
//
// All three decoders take compressed bytes through one 32 KiB input buffer and
// hand decoded bytes out through one 32 KiB output buffer; reduce and implode
// also keep a sliding window of recent output. The buffers live in each
// decoder's per-entry tables, so nothing here allocates.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <cstring>

#include "unzip/legacy/legacy_io.h"

namespace arc::legacy {

/// Size of the input buffer, the output buffer and of every block handed to
/// the reader's callbacks.
constexpr uint32_t kBlockSize = 32768;

/// Passes one failure to the reader's error path and returns its code.
inline int32_t Fail(LegacyIo& io, int32_t code, LegacySeverity severity) {
  if (io.onError) io.onError(code, severity);
  return code;
}

/// Compressed bytes in, bits out, least significant bit first.
///
/// Bits(n) returns the next n bits as an integer whose bit 0 is the first bit
/// read, or -1 when the input ends before n bits were collected. The input ends
/// when the entry's compressed size has been taken, when the block source
/// returns nothing, or when the cancel flag is found set before a byte.
class BitInput {
 public:
  BitInput(LegacyIo& io, uint8_t* buffer)
      : io_(io),
        buffer_(buffer),
        remaining_(io.compressedSize),
        cancel_(io.cancel ? io.cancel : &kNeverCancelled) {}

  /// n is 0..16.
  int32_t Bits(int n) {
    while (held_ < n) {
      int32_t byte = NextByte();
      if (byte < 0) return -1;
      hold_ |= static_cast<uint32_t>(byte) << held_;
      held_ += 8;
    }
    int32_t value = static_cast<int32_t>(hold_ & ((1u << n) - 1));
    hold_ >>= n;
    held_ -= n;
    return value;
  }

  bool Ended() const { return ended_; }
  bool Cancelled() const { return cancelled_; }
  /// True once at least one compressed byte was taken.
  bool TookAny() const { return tookAny_; }

 private:
  static constexpr bool kNeverCancelled = false;

  int32_t NextByte() {
    if (next_ < end_ && !*cancel_) return buffer_[next_++];
    return Refill();
  }
  int32_t Refill();

  LegacyIo& io_;
  uint8_t* buffer_;     // kBlockSize bytes
  uint64_t remaining_;  // compressed bytes not yet read from the source
  const bool* cancel_;
  uint32_t next_ = 0;  // next unread byte of buffer_
  uint32_t end_ = 0;   // bytes valid in buffer_
  uint32_t hold_ = 0;  // bit accumulator, next bit in bit 0
  int held_ = 0;       // bits in hold_
  bool ended_ = false;
  bool cancelled_ = false;
  bool tookAny_ = false;
};

/// Decoded bytes out, in blocks of kBlockSize.
///
/// A full buffer is written at once; Flush writes the rest. A failed write is
/// raised as WriteError once; the output is then dropped (still counted in
/// Produced) and the decoder stops at its next check of Failed().
class ByteOutput {
 public:
  ByteOutput(LegacyIo& io, uint8_t* buffer) : io_(io), buffer_(buffer) {}

  void Put(uint8_t byte) {
    buffer_[count_++] = byte;
    if (count_ == kBlockSize) Flush();
  }
  void Flush();

  bool Failed() const { return failed_; }
  /// Bytes produced so far, flushed or not.
  uint64_t Produced() const { return flushed_ + count_; }

 private:
  LegacyIo& io_;
  uint8_t* buffer_;       // kBlockSize bytes
  uint32_t count_ = 0;    // bytes waiting in buffer_
  uint64_t flushed_ = 0;  // bytes passed on (or dropped after a failure)
  uint64_t written_ = 0;  // bytes the sink accepted
  bool failed_ = false;
};

/// The ring of the last `size` output bytes (a power of two), zero-filled when
/// the entry starts, so that references before the first byte read zeros.
class SlidingWindow {
 public:
  SlidingWindow(uint8_t* ring, uint32_t size) : ring_(ring), mask_(size - 1) {
    std::memset(ring_, 0, size);
  }

  void Put(ByteOutput& out, uint8_t byte) {
    ring_[pos_] = byte;
    pos_ = (pos_ + 1) & mask_;
    out.Put(byte);
  }

  /// Outputs `length` bytes, one at a time, starting `distance` (1..size)
  /// bytes back; the copy may overlap its own output. Stops early once
  /// `limit` bytes have been produced.
  void Copy(ByteOutput& out, uint32_t distance, uint32_t length, uint64_t limit) {
    uint64_t produced = out.Produced();
    if (produced >= limit) return;
    if (length > limit - produced) length = static_cast<uint32_t>(limit - produced);
    uint32_t from = pos_ - distance;
    while (length--) Put(out, ring_[from++ & mask_]);
  }

 private:
  uint8_t* ring_;
  uint32_t mask_;
  uint32_t pos_ = 0;
};

/// Ends a decoder: flushes the output and turns the stream's state into the
/// decoder's result (0, WriteError or UserCanceled).
int32_t Finish(BitInput& in, ByteOutput& out);

/// Ends a decoder on a failure: flushes what was decoded, then passes `code`
/// on (unless the flush itself failed, which was raised already).
int32_t Abort(LegacyIo& io, ByteOutput& out, int32_t code, LegacySeverity severity);

}  // namespace arc::legacy
