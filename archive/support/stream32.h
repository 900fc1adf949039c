//===-- support/stream32.h - Stream base and file streams ---------*- C++ -*-===//
//
// The archive components move all their data through this family. Besides a
// plain byte stream, every TStream32 carries
//   - an owner progress handler, which a copy makes the active handler when it
//     starts, and the active handler, which Notify calls;
//   - a pointer to the owner's cancel flag (null: never cancelled), read
//     before every chunk of a copy;
//   - an optional message pump, called between the chunks of long copies so
//     that a user interface stays responsive and can set the cancel flag.
// Positions and sizes are 64-bit; one Read or Write moves at most 2^31-1 bytes.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "support/stream_errors.h"

namespace arc {

class TStream32;

/// Called with the stream that moved data.
using ProgressHandler = std::function<void(TStream32& sender)>;

enum class TSeekOrigin : uint16_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

/// Open modes: fmCreate, or an access value (bits 0-1) plus a sharing value
/// (bits 4-6). Sharing is accepted and not enforced.
constexpr uint16_t fmCreate = 0xFFFF;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

/// Chunk of CopyFrom.
constexpr int32_t kCopyChunk = 61440;

class TStream32 {
 public:
  virtual ~TStream32() = default;
  TStream32(const TStream32&) = delete;
  TStream32& operator=(const TStream32&) = delete;

  /// Changes the size; streams without a size ignore it.
  virtual void SetSize(int64_t newSize);
  /// Reads up to `count` bytes; returns the number read (0 on failure), or -1
  /// where reading is not supported.
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  /// Writes up to `count` bytes; returns the number written (0 on failure),
  /// or -1 where writing is not supported.
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  /// Moves the position; returns the new one (-1 where not possible).
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  /// Copies `count` bytes from the source's position, or the whole source from
  /// its beginning when `count` is 0, in chunks of kCopyChunk. Stops before the
  /// next chunk when the cancel flag is set. Returns the count asked for, also
  /// after a cancel. Read and write failures raise.
  virtual int64_t CopyFrom(TStream32& source, int64_t count);

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  /// The size, found by seeking to the end; the position is kept.
  int64_t Size();

  /// Reads exactly `count` bytes or raises EStreamRead.
  void ReadBuffer(void* buffer, int32_t count);
  /// Writes exactly `count` bytes or raises EStreamWrite.
  void WriteBuffer(const void* buffer, int32_t count);

  /// Calls the sender's active progress handler, when it has one.
  static void Notify(TStream32& sender);

  bool Cancelled() const { return Cancel != nullptr && *Cancel; }

  ProgressHandler ownerProgress;          ///< set by the owner
  ProgressHandler activeProgress;         ///< called by Notify
  bool* Cancel = nullptr;                 ///< the owner's cancel flag, or null
  std::function<void()> processMessages;  ///< message pump between chunks; may be empty

 protected:
  TStream32() = default;

  /// The loop of CopyFrom with its chunk size, active handler and cancel flag
  /// as parameters (the temporary streams' TransferFrom uses other ones).
  int64_t CopyChunks(TStream32& source, int64_t count, int32_t chunk,
                     const ProgressHandler& handler, const bool* cancel);
};

/// The value of a handle that is not open.
constexpr int kInvalidHandle = -1;

/// A stream over an operating-system file descriptor it does not own.
class THandleStream32 : public TStream32 {
 public:
  explicit THandleStream32(int handle) : handle_(handle) {}

  int Handle() const { return handle_; }
  bool Valid() const { return handle_ != kInvalidHandle; }

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  /// Moves to `newSize` and cuts the file there; a refusal raises
  /// std::system_error with the operating system's error.
  void SetSize(int64_t newSize) override;

 protected:
  int handle_;
};

/// A file stream that owns its descriptor. Opening never raises: a file that
/// cannot be opened leaves Handle() == kInvalidHandle, and callers report
/// their own error.
class TFileStream32 : public THandleStream32 {
 public:
  /// fmCreate creates or empties the file for reading and writing; any other
  /// mode opens an existing file with the access in bits 0-1 (read, write,
  /// read-write). A directory is never opened.
  TFileStream32(const std::string& fileName, uint16_t mode);
  ~TFileStream32() override;

  const std::string& FileName() const { return fileName_; }

 protected:
  /// Closes the descriptor now; the stream is invalid afterwards.
  void CloseHandle();

 private:
  std::string fileName_;
};

}  // namespace arc
