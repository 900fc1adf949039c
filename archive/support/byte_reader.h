//===-- support/byte_reader.h - Bounds-checked little-endian cursors --*- C++ -*-===//
//
// Every ZIP record is read through ByteReader and written through ByteWriter;
// no other code does pointer arithmetic on archive bytes.
//
// Both cursors have a sticky failure: once an access would leave the buffer,
// the cursor fails, stops moving, and every later access yields zeros (reads)
// or does nothing (writes). A parser therefore reads a whole record and tests
// the cursor once at the end:
//
//   ByteReader r(bytes);
//   uint32_t sig = r.u32();
//   uint16_t len = r.u16();
//   if (!r) return std::nullopt;
//
//===----------------------------------------------------------------------===//
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace arc {

// The cursors keep the short lower-case vocabulary of format readers
// (r.u32(), r.sub(n)) that every record parser is written in.
// NOLINTBEGIN(readability-identifier-naming)

/// Reads little-endian integers and byte runs from a buffer it does not own.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  /// True while no access has gone past the end.
  explicit operator bool() const { return ok_; }
  bool ok() const { return ok_; }

  size_t offset() const { return offset_; }
  size_t remaining() const { return bytes_.size() - offset_; }

  uint8_t u8() { return static_cast<uint8_t>(take(1)); }
  uint16_t u16() { return static_cast<uint16_t>(take(2)); }
  uint32_t u32() { return static_cast<uint32_t>(take(4)); }
  uint64_t u64() { return take(8); }

  /// The next `n` bytes as a view; an empty view (and failure) when fewer remain.
  std::span<const uint8_t> bytes(size_t n) {
    if (!reserve(n)) return {};
    std::span<const uint8_t> out = bytes_.subspan(offset_, n);
    offset_ += n;
    return out;
  }

  /// A reader over the next `n` bytes; this reader moves past them. A nested
  /// record that claims more than is left yields a failed sub-reader.
  ByteReader sub(size_t n) {
    ByteReader inner(bytes(n));
    inner.ok_ = ok_;
    return inner;
  }

  void skip(size_t n) {
    if (reserve(n)) offset_ += n;
  }

 private:
  bool reserve(size_t n) {
    if (!ok_ || n > remaining()) {
      ok_ = false;
      return false;
    }
    return true;
  }

  uint64_t take(size_t width) {
    if (!reserve(width)) return 0;
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i)
      value |= static_cast<uint64_t>(bytes_[offset_ + i]) << (8 * i);
    offset_ += width;
    return value;
  }

  std::span<const uint8_t> bytes_;
  size_t offset_ = 0;
  bool ok_ = true;
};

/// The little-endian value at `at` in `bytes`; 0 when it does not fit there.
/// For scans that test many places of one buffer.
inline uint16_t U16At(std::span<const uint8_t> bytes, size_t at) {
  return ByteReader(bytes.subspan(std::min(at, bytes.size()))).u16();
}
inline uint32_t U32At(std::span<const uint8_t> bytes, size_t at) {
  return ByteReader(bytes.subspan(std::min(at, bytes.size()))).u32();
}

/// Writes little-endian integers and byte runs into a buffer it does not own.
class ByteWriter {
 public:
  explicit ByteWriter(std::span<uint8_t> bytes) : bytes_(bytes) {}

  /// True while every write fitted.
  explicit operator bool() const { return ok_; }
  bool ok() const { return ok_; }

  size_t offset() const { return offset_; }
  size_t remaining() const { return bytes_.size() - offset_; }

  void u8(uint8_t v) { put(v, 1); }
  void u16(uint16_t v) { put(v, 2); }
  void u32(uint32_t v) { put(v, 4); }
  void u64(uint64_t v) { put(v, 8); }

  void bytes(std::span<const uint8_t> data) {
    if (!reserve(data.size())) return;
    for (size_t i = 0; i < data.size(); ++i) bytes_[offset_ + i] = data[i];
    offset_ += data.size();
  }

 private:
  bool reserve(size_t n) {
    if (!ok_ || n > remaining()) {
      ok_ = false;
      return false;
    }
    return true;
  }

  void put(uint64_t value, size_t width) {
    if (!reserve(width)) return;
    for (size_t i = 0; i < width; ++i) bytes_[offset_ + i] = static_cast<uint8_t>(value >> (8 * i));
    offset_ += width;
  }

  std::span<uint8_t> bytes_;
  size_t offset_ = 0;
  bool ok_ = true;
};

// NOLINTEND(readability-identifier-naming)

}  // namespace arc
