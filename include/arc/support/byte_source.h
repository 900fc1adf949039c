//===-- arc/support/byte_source.h - Positional reads of an archive file --*- C++ -*-===//
//
// Opening an archive only ever asks "give me n bytes at offset p" and "how long
// is the file". ByteSource is that question and nothing more, so that type
// detection and the end-record search can run over a file, over a stream of
// the component or over bytes in memory (tests, the fuzzer) alike.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace arc {

/// Random-access reading of an archive. Reads never throw; a read at or
/// beyond the end, at a negative offset or after an I/O error returns fewer
/// bytes than asked (possibly 0).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  /// Length of the data in bytes.
  virtual int64_t Size() const = 0;
  /// Copies up to `count` bytes from `offset` into `buffer`; returns how many.
  virtual int32_t ReadAt(int64_t offset, void* buffer, int32_t count) = 0;

  /// Reads up to `count` bytes at `offset` into a fresh vector, shortened to
  /// what was read.
  std::vector<uint8_t> ReadVector(int64_t offset, int32_t count);
  /// True when all of `buffer` could be filled from `offset`.
  bool ReadExact(int64_t offset, std::span<uint8_t> buffer);
};

/// A ByteSource over bytes owned by the caller.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
  int32_t ReadAt(int64_t offset, void* buffer, int32_t count) override;

 private:
  std::span<const uint8_t> bytes_;
};

/// A ByteSource over a file opened read-only; it owns the descriptor.
class FileSource final : public ByteSource {
 public:
  /// Opens `path`; IsOpen() tells whether that worked.
  explicit FileSource(const std::string& path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int64_t Size() const override { return size_; }
  int32_t ReadAt(int64_t offset, void* buffer, int32_t count) override;

 private:
  int fd_ = -1;
  int64_t size_ = 0;
};

}  // namespace arc
