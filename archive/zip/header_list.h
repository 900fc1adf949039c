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
// Sizes and offsets are whole 64-bit values here; the central record keeps
// only their low 32 bits (or the Zip64 markers) and is completed when the
// directory is written.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
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

struct CompHeader {
  /// Change it through TCompHeaderObj::SetName, which keeps the look-up
  /// index in step.
  std::string name;
  std::string storedBytes;
  CentralHeader central;  ///< plain (deciphered) values
  EntryAction action = EntryAction::Compress;
  /// Local-header offset: in the old archive until the entry is copied, then
  /// in the new one.
  uint64_t offset = 0;
  uint64_t compressedSize = 0;  ///< counts an encryption header
  uint64_t uncompressedSize = 0;
  /// The entry's local and central headers are enciphered.
  bool encipheredHeaders = false;
  /// The local header carries a Zip64 block (both sizes are in it).
  bool localZip64 = false;
  /// Extra-field blocks of the central record other than the size blocks,
  /// which are written anew for every record.
  std::vector<uint8_t> centralExtra;
  std::vector<uint8_t> comment;
  /// Length of the base directory cut from the full path.
  int32_t baseDirLength = 0;

  // A file to compress: what the scan found.
  std::string sourcePath;  ///< full path of the file or directory
  std::string storedName;  ///< the stored name computed when it was found
  int64_t fileSize = 0;
  uint32_t fileDate = 0;    ///< DOS date-time of the last write, local time
  int64_t fileMtime = 0;    ///< the last write, seconds since the epoch
  uint32_t Attributes = 0;  ///< attribute bits as in arc/support/paths.h
  uint32_t mode = 0;        ///< type and permission bits (st_mode)
  bool isDirectory = false;
  /// Came from the old archive (a refreshed entry keeps this and its place).
  bool fromOldArchive = false;
};

/// The header list of one update.
class TCompHeaderObj {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  CompHeader& operator[](int32_t i) { return items_.at(static_cast<size_t>(i)); }
  const CompHeader& operator[](int32_t i) const { return items_.at(static_cast<size_t>(i)); }

  /// Appends an entry; returns its index.
  int32_t Add(CompHeader entry);
  void Clear();
  /// Gives entry `i` a new Name.
  void SetName(int32_t i, std::string name);

  /// Index of the first entry whose Name equals `name` without regard to
  /// ASCII case; -1 when there is none.
  int32_t IndexOf(std::string_view name) const;

  /// Entries whose action is not Drop.
  int32_t CountKept() const;

  std::vector<CompHeader>::iterator begin() { return items_.begin(); }
  std::vector<CompHeader>::iterator end() { return items_.end(); }
  std::vector<CompHeader>::const_iterator begin() const { return items_.begin(); }
  std::vector<CompHeader>::const_iterator end() const { return items_.end(); }

 private:
  std::vector<CompHeader> items_;
  /// Names folded to lower case -> indices, for look-ups in large lists.
  std::unordered_multimap<std::string, int32_t> index_;
};

}  // namespace arc
