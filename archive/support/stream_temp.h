//===-- support/stream_temp.h - Streams that collect a new archive -*- C++ -*-===//
//
// A new archive is never written over the old one directly. It is collected in
// a temporary file (TTempFileStream) or in memory (TTempMemStream), and moved
// over the archive file when the stream is destroyed:
//
//   file:   MoveBegin -> [close the handle when a rename can do] -> MoveIntoPlace
//           -> MoveEnd (also after a failure) -> temporary file deleted
//   memory: archive file created -> MoveBegin -> totals -> copy -> MoveEnd
//           -> memory freed
//
// What a move does with the old archive is the owner's: the callbacks below
// capture it. The owner abandons a temporary archive (nothing moved, the
// temporary file deleted) by setting the mode to 0 or clearing the final name
// before the stream is destroyed.
//
// Destroy() runs the end of life where the owner can catch its errors; the
// destructor runs it when the owner did not, and swallows what it raises.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "support/stream32.h"
#include "support/stream_memory.h"

namespace arc {

/// Chunk of TransferFrom.
constexpr int32_t kTransferChunk = 100000;

/// Owner callbacks around the move (the owner raises its events in them).
using TempMoveBegin =
    std::function<void(const std::string& archive, const std::string& tempFileName)>;
using TempMoveEnd = std::function<void()>;
using TempReportError = std::function<void(int32_t code, const std::string& fileName)>;
/// Moves the finished temporary file over `archive` (rename on the same file
/// system, where the stream's handle is already closed, else a copy from the
/// stream).
using TempMoveIntoPlace =
    std::function<void(TStream32& stream, const std::string& archive, int64_t size, bool sameDrive,
                       const std::string& tempFileName)>;

class TTempFileStream : public TFileStream32 {
 public:
  /// With fmCreate: temporary mode, a new file named by TempFileName in
  /// `tempDir` (or the system's temporary directory), `archiveName` kept as the
  /// final name. Any other mode opens `archiveName` itself. Never raises; an
  /// invalid handle tells the failure.
  TTempFileStream(uint16_t mode, const std::string& archiveName, const std::string& tempDir);
  ~TTempFileStream() override;

  /// Reads from the file, lowers the owner's remaining counter by `count` and
  /// calls ReadProgress.
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  /// In temporary mode the file is this stream's alone, so its position and
  /// size are kept here: asking for either, or moving where the file already
  /// is, makes no system call (a writer asks for them around every entry).
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t newSize) override;
  /// The file was written up to `end` behind this stream's back (a copy
  /// made by the kernel at explicit offsets, which leaves the position).
  void WrittenUpTo(int64_t end) {
    if (size_ >= 0 && end > size_) size_ = end;
  }
  /// CopyFrom with chunks of kTransferChunk, the transfer handler and flag.
  int64_t TransferFrom(TStream32& source, int64_t count);

  /// Moves the temporary archive into place (when the mode is not 0 and a
  /// final name is known) and deletes the temporary file. A full disk is
  /// reported through ReportError as "Disk full" for the archive; every
  /// failure is raised again after the temporary file was deleted.
  void Destroy();

  uint16_t Mode() const { return mode_; }
  void SetMode(uint16_t mode) { mode_ = mode; }
  const std::string& ArchiveName() const { return finalName_; }
  void SetArchiveName(const std::string& name) { finalName_ = name; }
  const std::string& TempFileName() const { return tempName_; }
  bool TempMode() const { return tempMode_; }

  int64_t* remaining = nullptr;  ///< the owner's bytes-remaining counter
  ProgressHandler transferProgress;
  bool* transferCancel = nullptr;
  ProgressHandler ReadProgress;
  TempMoveBegin MoveBegin;
  TempMoveEnd MoveEnd;
  TempMoveIntoPlace MoveIntoPlace;
  TempReportError ReportError;

 private:
  void Move();

  uint16_t mode_;
  std::string finalName_;
  std::string tempName_;
  bool tempMode_;
  bool destroyed_ = false;
  // Where the file is and how long, as this stream left it; -1 when unknown
  // (not in temporary mode, or after a call that failed).
  int64_t position_ = -1;
  int64_t size_ = -1;
};

class TTempMemStream : public TMemoryStream32 {
 public:
  /// With fmCreate: temporary mode, the archive is collected in memory and
  /// `archiveName` kept as the final name. Otherwise the name is only kept.
  TTempMemStream(uint16_t mode, const std::string& archiveName);
  ~TTempMemStream() override;

  /// Reads from memory, lowers the owner's remaining counter by `count` and
  /// calls ReadProgress.
  int32_t Read(void* buffer, int32_t count) override;
  int64_t TransferFrom(TStream32& source, int64_t count);

  /// Writes the collected archive to the final name (when the mode is not 0
  /// and a final name is known) and frees the memory in every case. A file
  /// that cannot be created raises EFOpenError ("Error opening file"); a full
  /// disk is reported as for TTempFileStream and raised again.
  void Destroy();

  uint16_t Mode() const { return mode_; }
  void SetMode(uint16_t mode) { mode_ = mode; }
  const std::string& ArchiveName() const { return finalName_; }
  void SetArchiveName(const std::string& name) { finalName_ = name; }
  /// The name given when not in temporary mode.
  const std::string& OpenedName() const { return openedName_; }
  bool TempMode() const { return tempMode_; }

  int64_t* remaining = nullptr;
  ProgressHandler transferProgress;
  bool* transferCancel = nullptr;
  ProgressHandler ReadProgress;
  TempMoveBegin MoveBegin;
  TempMoveEnd MoveEnd;
  TempReportError ReportError;
  /// Receives the size to copy, for the owner's progress totals.
  std::function<void(int64_t size)> storeTotals;

 private:
  void Move();

  uint16_t mode_;
  std::string finalName_;
  std::string openedName_;
  bool tempMode_;
  bool destroyed_ = false;
};

/// True when a rename can move `tempFile` to `archive`: both on one file
/// system (the archive's directory is compared, the archive may not exist).
bool SameFileSystem(const std::string& tempFile, const std::string& archive);

}  // namespace arc
