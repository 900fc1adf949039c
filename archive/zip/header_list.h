//===-- zip/header_list.h - Entries of an archive update ---------*- C++ -*-===//
//
// One update of an archive works on a list of entries in the order they will
// stand in the new archive: first the entries of the old archive (copied,
// renamed or dropped), then the files the scan found. Each entry carries what
// the entry writer needs for its action and, once written, what the central
// directory needs.
//
// Names are held in two forms. `Name` is what the update works with: the
// local form of a stored name (UTF-8, '/'), or for a file to compress the
// full path of its source until it is written. `StoredBytes` is the name as
// it stands in the archive, with `flags` bit 11 telling whether it is UTF-8.
// Look-ups compare `Name` without regard to ASCII case.
//
// A list may hold a hundred thousand entries, so each is kept small: where
// the stored bytes, the source path or the stored name computed by the scan
// equal Name (or, for the stored name, its tail) they are not kept a second
// time. Read them through Stored(), SourcePath() and StoredName(); the list
// gives them their own strings again before Name changes (SetName), and the
// writer before it writes the entry.
//
// Sizes and offsets are whole 64-bit values here; the central record keeps
// only their low 32 bits (or the Zip64 markers) and is completed when the
// directory is written.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "unzip/zip_records.h"

namespace arc {

/// What the update does with an entry.
enum class TEntryAction : uint8_t {
  Compress = 0,     // compress the file anew
  Copy = 1,         // copy the old entry unchanged
  Drop = 2,         // deleted, skipped or failed
  CopyRenamed = 3,  // copy the old entry under a new name
};

/// The paths of a file to compress where Name cannot hold them (see
/// TCompHeader::ShareNames); most entries of a large list need none.
struct TFoundFile {
  /// Full path of the file or directory; empty while it is the entry's
  /// Name, as for a new entry until it is written (TCompHeader::SourcePath).
  std::string SourcePath;
  /// The stored name computed when it was found; empty while it is the
  /// last StoredTail bytes of the entry's Name (TCompHeader::StoredName).
  std::string StoredName;
};

struct TCompHeader {
  /// Change it through TCompHeaderObj::SetName, which keeps the look-up
  /// index in step.
  std::string Name;
  /// Empty while StoredBytesInName: read it through Stored().
  std::string StoredBytes;
  CentralHeader Central;  ///< plain (deciphered) values
  /// Local-header offset: in the old archive until the entry is copied, then
  /// in the new one.
  uint64_t Offset = 0;
  uint64_t CompressedSize = 0;  ///< counts an encryption header
  uint64_t UncompressedSize = 0;
  /// Extra-field blocks of the central record other than the size blocks,
  /// which are written anew for every record.
  std::vector<uint8_t> CentralExtra;
  std::vector<uint8_t> Comment;

  // A file to compress (Action Compress): what the scan found. Found is
  // null where Name holds both paths.
  std::unique_ptr<TFoundFile> Found;
  int64_t FileSize = 0;
  int64_t FileMtime = 0;    ///< the last write, seconds since the epoch
  uint32_t FileDate = 0;    ///< DOS date-time of the last write, local time
  uint32_t Attributes = 0;  ///< attribute bits as in arc/support/paths.h
  uint32_t Mode = 0;        ///< type and permission bits (st_mode)
  uint32_t StoredTail = 0;  ///< see TFoundFile::StoredName

  TEntryAction Action = TEntryAction::Compress;
  /// The entry's local and central headers are enciphered.
  bool EncipheredHeaders = false;
  /// The local header carries a Zip64 block (both sizes are in it).
  bool LocalZip64 = false;
  bool IsDirectory = false;
  /// Came from the old archive (a refreshed entry keeps this and its place).
  bool FromOldArchive = false;
  /// StoredBytes is empty because it equals Name (see Stored).
  bool StoredBytesInName = false;

  /// Full path of the file to compress.
  const std::string& SourcePath() const {
    return Found && !Found->SourcePath.empty() ? Found->SourcePath : Name;
  }
  /// The name as it stands in the archive: StoredBytes, or Name where the
  /// two are the same bytes.
  const std::string& Stored() const { return StoredBytesInName ? Name : StoredBytes; }
  /// The stored name computed when the file was found.
  std::string StoredName() const;
  /// Keeps the names that equal Name, or a tail of it, in Name alone: a
  /// large list then holds most names once.
  void ShareNames();
  /// Gives every name its own string again, before Name changes or the
  /// entry is written.
  void UnshareNames();
};

/// The header list of one update.
class TCompHeaderObj {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  TCompHeader& operator[](int32_t i) { return items_.at(static_cast<size_t>(i)); }
  const TCompHeader& operator[](int32_t i) const { return items_.at(static_cast<size_t>(i)); }

  /// Appends an entry (its names shared with Name where they can be);
  /// returns its index.
  int32_t Add(TCompHeader entry);
  void Clear();
  /// Gives entry `i` a new Name.
  void SetName(int32_t i, std::string name);

  /// Index of the first entry whose Name equals `name` without regard to
  /// ASCII case; -1 when there is none.
  int32_t IndexOf(std::string_view name) const;

  /// Entries whose action is not Drop.
  int32_t CountKept() const;

  std::deque<TCompHeader>::iterator begin() { return items_.begin(); }
  std::deque<TCompHeader>::iterator end() { return items_.end(); }
  std::deque<TCompHeader>::const_iterator begin() const { return items_.begin(); }
  std::deque<TCompHeader>::const_iterator end() const { return items_.end(); }

 private:
  void BuildIndex() const;
  void Place(int32_t i) const;
  /// Takes entry `i`, under its present Name, out of the index.
  void Unplace(int32_t i) const;

  /// A deque: a list of many thousand entries grows without moving them,
  /// so it never stands in memory twice while it grows.
  std::deque<TCompHeader> items_;

  /// The look-up index: an open-addressed table of entry index + 1 (0 for
  /// a free slot), each placed by the hash of its Name with ASCII case
  /// folded; a power of two of at least twice the entries. Built by the
  /// first look-up: a run that only deletes never needs it.
  mutable std::vector<int32_t> slots_;
  mutable bool indexed_ = false;
};

}  // namespace arc
