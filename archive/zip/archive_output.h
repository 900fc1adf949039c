//===-- zip/archive_output.h - The new archive while it is built -*- C++ -*-===//
//
// An update writes its new archive into a temporary stream: a file in
// TempDir (cmTempFile) or memory (cmInMemory). The archive file itself is
// touched only by Commit, which flushes the temporary file to disk and moves
// the result into place through the owner's MoveIntoPlace (a rename, or a
// copy into a new file beside the archive that is then renamed over it).
// Dropping the object without a commit discards the temporary output, so
// every path out of an update, an exception included, leaves the old archive
// as it was.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <arc/core/arc_types.h>
#include "support/stream_temp.h"

namespace arc {

/// The owner's side of the move.
struct ArchiveOutputHooks {
  TempMoveBegin MoveBegin;
  TempMoveEnd MoveEnd;
  TempMoveIntoPlace MoveIntoPlace;
  TempReportError ReportError;
  /// Called for each block read while the archive is copied into place.
  ProgressHandler ReadProgress;
  /// Receives the size of a copy into place, for the progress totals.
  std::function<void(int64_t size)> storeTotals;
  /// The owner's bytes-remaining counter, lowered by the copy into place.
  int64_t* remaining = nullptr;
};

class ArchiveOutput {
 public:
  /// Creates the temporary stream; Valid() tells whether that worked.
  ArchiveOutput(TCompressionMethod method, const std::string& archive, const std::string& tempDir,
                ArchiveOutputHooks hooks, bool* cancel);
  /// Discards the output unless it was committed.
  ~ArchiveOutput();
  ArchiveOutput(const ArchiveOutput&) = delete;
  ArchiveOutput& operator=(const ArchiveOutput&) = delete;

  bool Valid() const;
  TStream32& Stream();
  /// The temporary file's path; empty for memory.
  std::string TempFileName() const;
  /// The temporary file's descriptor; -1 for memory.
  int FileHandle() const;
  /// Tells the temporary file's stream that the file now reaches `end`,
  /// written through FileHandle() rather than through the stream.
  void WrittenUpTo(int64_t end);
  const std::string& ArchiveName() const { return archive_; }

  /// Length of the output so far.
  int64_t Size();
  /// Cuts the output back to `size` bytes and moves to its end.
  void CutBack(int64_t size);

  /// Flushes the output and moves it over the archive. Raises when anything
  /// fails; the old archive is then untouched and the output discarded. A
  /// full disk is reported through the hooks and raised as E_RAISE.
  void Commit();
  /// Drops the output; the archive is not touched. Never raises.
  void Discard();

 private:
  void Move();

  std::string archive_;
  ArchiveOutputHooks hooks_;
  std::unique_ptr<TTempFileStream> file_;
  std::unique_ptr<TTempMemStream> memory_;
  bool done_ = false;
};

}  // namespace arc
