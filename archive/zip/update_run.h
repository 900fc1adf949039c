//===-- zip/update_run.h - State of one archive update -----------*- C++ -*-===//
//
// Everything one Compress call (or one comment-editing session) builds and
// frees again: the header list, the moved-files list, the old archive and
// the new one, and the counters of the merge. A ZipUpdater owns it; the
// component holds none of it between calls.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <arc/core/arc_root.h>
#include "support/stream32.h"
#include <arc/support/byte_source.h>
#include "zip/archive_output.h"
#include "zip/header_list.h"
#include "zip/stored_name.h"

namespace arc {

struct TUpdateRun {
  TCompHeaderObj Headers;
  /// Full paths of the sources a swMove run erases once the archive is in
  /// place.
  std::vector<std::string> MovedFiles;

  /// The old archive: positional reads for its directory and headers
  /// (through a window, see support/window_source.h), a stream for copying
  /// its entries. Both null for a new archive.
  std::unique_ptr<ByteSource> OldSource;
  std::unique_ptr<TFileStream32> OldStream;
  TArcType OldType = atNA;
  TArcOpenState OldOpen;
  /// Bytes of a self-extracting archive's program in front of the entries.
  int64_t StubLength = 0;
  /// The old archive's comment; written after the new end record.
  std::vector<uint8_t> ArchiveComment;

  /// Entries of the old archive by their stored bytes; built when a name is
  /// first not found by its local form.
  std::unordered_map<std::string, int32_t> OldByStoredBytes;
  bool OldByStoredBytesBuilt = false;

  /// The new archive.
  std::unique_ptr<TArchiveOutput> Output;
  /// Kept entries that follow one another in the old archive, copied as one
  /// block once an entry of another kind or a gap comes (zip_copy.cpp): where
  /// it starts in the old archive, its length so far, where it goes in the
  /// new one and the last entry in it.
  struct TBlockCopy {
    uint64_t From = 0;
    uint64_t Length = 0;
    uint64_t To = 0;
    int32_t Last = -1;
  } PendingCopy;

  bool IsNew = true;
  /// The scan found something to work on.
  bool SomethingToDo = false;
  /// Newest DOS date-time of the files the scan found (daMaxFileDate).
  uint32_t MaxFileDate = 0;
  /// Entries swDelete marked while the directory was loaded.
  int32_t MarkedForDelete = 0;
  /// Which files the archive and the temporary output are (device, inode),
  /// taken once before the scan; a file found that is one of them is left
  /// out. Zero where there is no such file.
  std::pair<uint64_t, uint64_t> ArchiveId{};
  std::pair<uint64_t, uint64_t> TempId{};
  /// The directory of the FileSpec line being scanned, with a trailing '/'.
  std::string BaseDir;
  TNamingRules Naming;
  /// The drive check found a removable drive.
  bool Removable = false;

  /// Comment editing: a comment was changed since the directory was loaded.
  bool CommentsChanged = false;
};

}  // namespace arc
