//===-- unzip/record_walk.h - Walking an archive's records ------*- C++ -*-===//
//
// The two walks over the entries of a ZIP archive, shared by everything that
// reads them (listing and extraction, the writer's load of the archive it
// replaces, the writer's OnRead report):
//
//   central directory  from its first record, record after record, checked
//                      at the end against the count the end record gives;
//   local headers      for an archive without a usable directory, header
//                      after header; an entry whose sizes follow its data
//                      (flag bit 3) is delimited by its data descriptor.
//
// A walk never decides what damage means to its caller: it says how far it
// got and why it stopped, and the reader reports while the writer refuses.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <arc/core/arc_root.h>
#include <arc/support/byte_source.h>
#include "unzip/zip_records.h"

namespace arc {

/// How a walk of the central directory ended.
struct DirectoryWalk {
  uint64_t records = 0;    ///< records read and handed over
  uint64_t declared = 0;   ///< entries the end record declares (0 without one)
  bool truncated = false;  ///< a record ran past the end of the file
  bool cancelled = false;

  /// Every record the archive declares was read in full. A walk that finds
  /// more records than declared is whole too (some writers wrap the count).
  bool Complete() const { return !truncated && !cancelled && records >= declared; }
};

/// Hands each central record from `open.DataOffset` on to `take`, with its
/// position, until a record does not start with a central signature, runs
/// past the end of the file, or `cancelled` says so (asked before each
/// record; may be empty).
DirectoryWalk WalkCentralDirectory(
    ByteSource& file, const ArcOpenState& open, const std::function<bool()>& cancelled,
    const std::function<void(const CentralRecord&, int64_t at)>& take);

/// One entry found by the local-header walk.
struct LocalEntry {
  LocalRecord record;
  int64_t at = 0;      ///< position of the local header
  uint32_t crc32 = 0;  ///< from the data descriptor when there is one
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t descriptorLength = 0;  ///< 0 without a data descriptor
  int64_t next = 0;               ///< where the next record stands
};

/// How a walk of the local headers ended.
struct LocalWalk {
  uint64_t records = 0;
  /// The walk stopped where a record should stand and none does: a header
  /// cut off, sizes that cannot be right, a data descriptor not found, or
  /// bytes that are no record after an entry.
  bool broken = false;
  int64_t brokenAt = -1;  ///< where that was
  /// The data of the last entry runs past the end of the file.
  bool truncated = false;
  bool cancelled = false;

  /// The walk ended at the directory, an end record or the end of the file.
  bool Complete() const { return !broken && !truncated && !cancelled; }
};

/// Hands each local header from `start` on to `take` (a span marker at
/// `start` is passed over).
LocalWalk WalkLocalHeaders(ByteSource& file, int64_t start, const std::function<bool()>& cancelled,
                           const std::function<void(const LocalEntry&)>& take);

/// The data descriptor of an entry whose data begins at `dataStart`: the
/// first place after it where a descriptor (with or without its signature,
/// 32- or 64-bit sizes) gives the compressed size as exactly the bytes
/// before it, is followed by a record or the end of the file, and, for data
/// that is stored as it is, gives the CRC-32 and size of those bytes. The
/// place the local header's own size names is tried first; when a record
/// stands right there, the entry has no descriptor (length 0) and keeps
/// its header's values.
std::optional<DataDescriptor> FindDataDescriptor(ByteSource& file, int64_t dataStart,
                                                 const LocalRecord& entry);

}  // namespace arc
