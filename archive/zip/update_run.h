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
#include <arc/support/byte_source.h>
#include "support/stream32.h"
#include "zip/archive_output.h"
#include "zip/header_list.h"
#include "zip/stored_name.h"

namespace arc {

struct UpdateRun {
  TCompHeaderObj headers;
  /// Full paths of the sources a swMove run erases once the archive is in
  /// place.
  std::vector<std::string> movedFiles;

  /// The old archive: positional reads for its directory and headers
  /// (through a window, see support/window_source.h), a stream for copying
  /// its entries. Both null for a new archive.
  std::unique_ptr<ByteSource> oldSource;
  std::unique_ptr<TFileStream32> oldStream;
  TArcType oldType = atNA;
  ArcOpenState oldOpen;
  /// Bytes of a self-extracting archive's program in front of the entries.
  int64_t stubLength = 0;
  /// The old archive's comment; written after the new end record.
  std::vector<uint8_t> archiveComment;

  /// Entries of the old archive by their stored bytes; built when a name is
  /// first not found by its local form.
  std::unordered_map<std::string, int32_t> oldByStoredBytes;
  bool oldByStoredBytesBuilt = false;

  /// The new archive.
  std::unique_ptr<ArchiveOutput> output;
  /// Kept entries that follow one another in the old archive, copied as one
  /// block once an entry of another kind or a gap comes (zip_copy.cpp): where
  /// it starts in the old archive, its length so far, where it goes in the
  /// new one and the last entry in it.
  struct BlockCopy {
    uint64_t from = 0;
    uint64_t length = 0;
    uint64_t to = 0;
    int32_t last = -1;
  } pendingCopy;

  bool isNew = true;
  /// The scan found something to work on.
  bool somethingToDo = false;
  /// Newest DOS date-time of the files the scan found (daMaxFileDate).
  uint32_t maxFileDate = 0;
  /// Entries swDelete marked while the directory was loaded.
  int32_t markedForDelete = 0;
  /// Which files the archive and the temporary output are (device, inode),
  /// taken once before the scan; a file found that is one of them is left
  /// out. Zero where there is no such file.
  std::pair<uint64_t, uint64_t> archiveId{};
  std::pair<uint64_t, uint64_t> tempId{};
  /// The directory of the FileSpec line being scanned, with a trailing '/'.
  std::string baseDir;
  NamingRules naming;
  /// The drive check found a removable drive.
  bool removable = false;

  /// Comment editing: a comment was changed since the directory was loaded.
  bool commentsChanged = false;
};

}  // namespace arc
