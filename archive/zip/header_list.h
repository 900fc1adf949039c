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
enum class EntryAction : uint8_t {
  Compress = 0,     // compress the file anew
  Copy = 1,         // copy the old entry unchanged
  Drop = 2,         // deleted, skipped or failed
  CopyRenamed = 3,  // copy the old entry under a new name
};

/// The paths of a file to compress where name cannot hold them (see
/// CompHeader::ShareNames); most entries of a large list need none.
struct FoundFile {
  /// Full path of the file or directory; empty while it is the entry's
  /// name, as for a new entry until it is written (CompHeader::SourcePath).
  std::string sourcePath;
  /// The stored name computed when it was found; empty while it is the
  /// last storedTail bytes of the entry's name (CompHeader::StoredName).
  std::string storedName;
};

struct CompHeader {
  /// Change it through TCompHeaderObj::SetName, which keeps the look-up
  /// index in step.
  std::string name;
  /// Empty while storedBytesInName: read it through Stored().
  std::string storedBytes;
  CentralHeader central;  ///< plain (deciphered) values
  /// Local-header offset: in the old archive until the entry is copied, then
  /// in the new one.
  uint64_t offset = 0;
  uint64_t compressedSize = 0;  ///< counts an encryption header
  uint64_t uncompressedSize = 0;
  /// Extra-field blocks of the central record other than the size blocks,
  /// which are written anew for every record.
  std::vector<uint8_t> centralExtra;
  std::vector<uint8_t> comment;

  // A file to compress (action Compress): what the scan found. found is
  // null where name holds both paths.
  std::unique_ptr<FoundFile> found;
  int64_t fileSize = 0;
  int64_t fileMtime = 0;    ///< the last write, seconds since the epoch
  uint32_t fileDate = 0;    ///< DOS date-time of the last write, local time
  uint32_t Attributes = 0;  ///< attribute bits as in arc/support/paths.h
  uint32_t mode = 0;        ///< type and permission bits (st_mode)
  uint32_t storedTail = 0;  ///< see FoundFile::storedName

  EntryAction action = EntryAction::Compress;
  /// The entry's local and central headers are enciphered.
  bool encipheredHeaders = false;
  /// The local header carries a Zip64 block (both sizes are in it).
  bool localZip64 = false;
  bool isDirectory = false;
  /// Came from the old archive (a refreshed entry keeps this and its place).
  bool fromOldArchive = false;
  /// storedBytes is empty because it equals name (see Stored).
  bool storedBytesInName = false;

  /// Full path of the file to compress.
  const std::string& SourcePath() const {
    return found && !found->sourcePath.empty() ? found->sourcePath : name;
  }
  /// The name as it stands in the archive: storedBytes, or name where the
  /// two are the same bytes.
  const std::string& Stored() const { return storedBytesInName ? name : storedBytes; }
  /// The stored name computed when the file was found.
  std::string StoredName() const;
  /// Keeps the names that equal name, or a tail of it, in name alone: a
  /// large list then holds most names once.
  void ShareNames();
  /// Gives every name its own string again, before name changes or the
  /// entry is written.
  void UnshareNames();
};

/// The header list of one update.
class TCompHeaderObj {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  CompHeader& operator[](int32_t i) { return items_.at(static_cast<size_t>(i)); }
  const CompHeader& operator[](int32_t i) const { return items_.at(static_cast<size_t>(i)); }

  /// Appends an entry (its names shared with name where they can be);
  /// returns its index.
  int32_t Add(CompHeader entry);
  void Clear();
  /// Gives entry `i` a new Name.
  void SetName(int32_t i, std::string name);

  /// Index of the first entry whose Name equals `name` without regard to
  /// ASCII case; -1 when there is none.
  int32_t IndexOf(std::string_view name) const;

  /// Entries whose action is not Drop.
  int32_t CountKept() const;

  std::deque<CompHeader>::iterator begin() { return items_.begin(); }
  std::deque<CompHeader>::iterator end() { return items_.end(); }
  std::deque<CompHeader>::const_iterator begin() const { return items_.begin(); }
  std::deque<CompHeader>::const_iterator end() const { return items_.end(); }

 private:
  void BuildIndex() const;
  void Place(int32_t i) const;
  /// Takes entry `i`, under its present name, out of the index.
  void Unplace(int32_t i) const;

  /// A deque: a list of many thousand entries grows without moving them,
  /// so it never stands in memory twice while it grows.
  std::deque<CompHeader> items_;

  /// The look-up index: an open-addressed table of entry index + 1 (0 for
  /// a free slot), each placed by the hash of its name with ASCII case
  /// folded; a power of two of at least twice the entries. Built by the
  /// first look-up: a run that only deletes never needs it.
  mutable std::vector<int32_t> slots_;
  mutable bool indexed_ = false;
};

}  // namespace arc
