//===-- zip/disk_span.h - Writing a finished archive onto disks -*- C++ -*-===//
//
// When the archive's drive takes removable disks, the finished temporary
// archive is not moved into place: TDiskSpanObj copies it onto one disk
// after another, each disk holding one volume file under the archive's own
// name and labelled "PKBACK# 001", "PKBACK# 002", ... The result is a
// standard spanned archive:
//
//   disk 1: [span marker] local header, name, extra, data, local header ...
//   disk 2: ... data goes on, local header ...
//   last:   ... central directory, end record
//
// Entry data is cut wherever a disk is full, but a record never is: a local
// header (with its name and extra field), a central record and the end
// records each stand whole on one disk, going onto the next disk when the
// rest of this one cannot hold them. Readers of disk sets look for a record
// only on the disk its position names. Each central record gets the 0-based
// number of the disk its local header is on and its offset in that disk's
// volume file; the end record names the last disk and the disk and offset
// where the directory starts. An archive that fits on the first disk is
// written as a plain archive: no marker, every disk number 0.
//
// Disks are asked for through OnInsertDisk; a disk that is not empty goes
// through OnClearDisk, one that already holds the archive through
// OnDiskSpanFileExists. The disk written last is never accepted as the next
// one (same serial number).
//
// Space is counted here: a disk is accepted with LeaveSpaceOnFirstDisk +
// 10,000 bytes free (the first) or 10,000 bytes (every later one), the first
// disk keeps LeaveSpaceOnFirstDisk free, and every write is cut to the space
// left. A disk that reports itself full before that is taken as full.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <arc/core/arc_events.h>
#include "core/disk_manager.h"

namespace arc {

class ByteSource;
class TFileStream32;
class TZipBase;
struct UpdateRun;

class TDiskSpanObj : public TDiskCommon {
 public:
  /// Space a disk after the first must have free to be accepted; the first
  /// needs LeaveSpaceOnFirstDisk more.
  static constexpr int64_t kRequiredSpace = 10000;
  /// Highest ZIP disk number (from 0) a central record holds as it is.
  static constexpr int32_t kLastZipDisk = 0xFFFE;

  /// For one run of `zip` on `run`, whose output holds every entry and
  /// nothing after them. The events are copied from `zip`.
  TDiskSpanObj(TZipBase& zip, UpdateRun& run);
  /// Closes the last volume file.
  ~TDiskSpanObj() override;

  /// Writes the archive onto disks; true when the end record is on the last
  /// one. Raises nothing.
  bool Run();

  /// The disk being written, from 1 (prompts and labels).
  int32_t DiskNumber() const { return diskNumber_; }
  /// The same disk as the ZIP records count it, from 0.
  int32_t ZipDiskNumber() const { return diskNumber_ - 1; }

  TOnInsertDisk OnInsertDisk;
  TOnClearDisk OnClearDisk;
  TOnFileExists OnDiskSpanFileExists;

 private:
  /// An entry to copy: where it lies in the temporary archive and where its
  /// local header went.
  struct Piece {
    int32_t index = 0;   ///< in the header list
    int64_t source = 0;  ///< offset in the temporary archive
    int64_t length = 0;  ///< local header to the next entry
    int64_t header = 0;  ///< the local header with its name and extra field
    uint32_t disk = 0;   ///< ZIP disk number of the local header
    int64_t offset = 0;  ///< its offset in that disk's volume file
  };

  // --- Disks (disk_span_disks.cpp) ----------------------------------------

  /// Gets a disk with `required` bytes free into the drive and opens the
  /// volume file on it; false when the run must end.
  bool PrepareDisk(int64_t required);
  /// The disk in the drive can be taken without asking: no archive file on
  /// it, enough space, not the disk written last.
  bool UsableAtOnce(int64_t required);
  /// What to do with an archive file that is already on the disk: true to
  /// go on with this disk, false to end the run.
  bool HandleExistingFile(bool& askAgain);
  /// Frees a disk that is not empty; true when it may be used.
  bool ClearDisk(int64_t required);
  /// Creates the volume file, labels the disk and counts its space.
  bool OpenVolume();
  /// Closes the volume and asks for the next disk.
  bool NextDisk();
  /// The component's drive check; keeps its findings.
  bool CheckDrive();
  /// Flushes and closes the volume file; false (reported) when its data may
  /// not all be on the disk.
  bool CloseVolume();

  // --- Writing (disk_span.cpp) ----------------------------------------------

  /// Writes `count` bytes, going on on the next disk when this one is full.
  bool WriteWithDiskChange(const uint8_t* data, int64_t count);
  /// Copies `count` bytes of the temporary archive from `offset` the same way.
  bool CopyWithDiskChange(ByteSource& from, int64_t offset, int64_t count);
  /// Checks the entries of the temporary archive and where each one ends.
  bool CollectEntries(ByteSource& from);
  /// The central records of the entries where the pieces say they are.
  std::vector<std::vector<uint8_t>> CentralRecords() const;
  /// The records after the directory, for a directory that starts on disk
  /// `dirDisk` at `dirOffset` and an end written at `here` on disk `endDisk`.
  std::vector<uint8_t> EndRecords(uint32_t dirDisk, uint64_t dirOffset, uint64_t dirSize,
                                  uint32_t endDisk, uint64_t here) const;
  /// Writes the directory and the end records.
  bool WriteDirectory();
  /// Writes the bytes `build` makes for a disk and position uncut onto one
  /// disk: on a further disk when they do not fit on this one. Only bytes
  /// that do not fit on an empty disk either are cut.
  template <class Build>
  bool WriteWhole(Build build);
  /// A record of `size` bytes is about to be written: a further disk when
  /// the rest of this one cannot hold it.
  bool RoomFor(int64_t size);
  bool Fail(int32_t code, const std::string& extended = {});

  TZipBase& zip_;
  UpdateRun& run_;
  std::string archive_;
  bool* cancel_;

  std::unique_ptr<TFileStream32> volume_;
  /// Bytes written to the open volume file.
  int64_t volumeLength_ = 0;
  /// Bytes that may still go onto the disk in the drive.
  int64_t free_ = 0;
  /// A volume is open on the disk and nothing has been written to it yet.
  bool freshDisk_ = false;
  int32_t diskNumber_ = 0;
  uint32_t previousSerial_ = 0;

  /// Where each entry to copy lies in the temporary archive and where it
  /// went on the disks.
  std::vector<Piece> pieces_;
};

}  // namespace arc
