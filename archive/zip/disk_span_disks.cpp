//===-- zip/disk_span_disks.cpp - Asking for disks and opening volumes ----===//
//
// A disk goes requested -> tested -> (cleared) -> opened -> filling -> closed.
// Asking for a disk:
//
//   the disk in the drive is taken at once when it holds no archive file,
//   has the space and is not the disk written last; otherwise, in a loop:
//     OnInsertDisk (Cancel preset true) -> drive check -> not the disk
//     written last -> the archive file on it (OnDiskSpanFileExists) ->
//     not empty (OnClearDisk) -> enough space: open the volume
//
// The disk written last is recognised by its serial number before anything
// else is looked at, so that putting it back by mistake never offers its
// volume for overwriting.
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <arc/support/dos_time.h>
#include <arc/support/error_codes.h>
#include <arc/support/paths.h>
#include <arc/zip/zip.h>
#include "support/stream32.h"
#include "zip/disk_span.h"

namespace arc {
namespace {

bool IsFile(const std::string& path, struct stat& st) {
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace

bool TDiskSpanObj::CheckDrive() {
  if (!zip_.DiskManager().CheckDrive(archive_, true)) return false;
  info_ = zip_.DiskManager().Info();
  return true;
}

bool TDiskSpanObj::UsableAtOnce(int64_t required) {
  // Only a look at the drive: no prompts and no reports.
  DriveQueryHandlers quiet;
  DriveInfo found;
  if (!Service().DriveQuery(archive_, quiet, found)) return false;
  struct stat st {};
  if (IsFile(archive_, st)) return false;
  if (found.serialNumber != 0 && found.serialNumber == previousSerial_) return false;
  if (found.freeBytes < required) return false;
  info_ = found;
  return true;
}

bool TDiskSpanObj::PrepareDisk(int64_t required) {
  const std::string number = std::to_string(diskNumber_);
  if (!OnInsertDisk) {
    zip_.ReportError(archive_, "OnInsertDisk", number, ec::RequiredEvent);
    return false;
  }
  if (UsableAtOnce(required)) return OpenVolume();
  for (;;) {
    bool cancel = true;
    OnInsertDisk(this, number, cancel);
    if (cancel) return false;
    if (!CheckDrive()) continue;
    if (info_.serialNumber != 0 && info_.serialNumber == previousSerial_) continue;
    struct stat st {};
    if (IsFile(archive_, st)) {
      bool askAgain = false;
      if (!HandleExistingFile(askAgain)) return false;
      if (askAgain) continue;
    }
    if (info_.freeBytes < info_.totalBytes && !ClearDisk(required)) return false;
    if (info_.freeBytes >= required) return OpenVolume();
  }
}

bool TDiskSpanObj::HandleExistingFile(bool& askAgain) {
  askAgain = false;
  if (!OnDiskSpanFileExists) {
    zip_.ReportError(archive_, "OnFileExists", std::to_string(diskNumber_), ec::RequiredEvent);
    return false;
  }
  struct stat st {};
  const TDateTime date =
      IsFile(archive_, st) ? DosToDateTime(FileTimeToDos(st.st_mtime)) : kDosDefaultDateTime;
  TOverwriteMode mode = omOverwrite;
  OnDiskSpanFileExists(&zip_, archive_, date, mode);
  if (mode == omSkip) {
    zip_.SetCancel(true);
    return false;
  }
  // Deleted for good whatever DeleteOptions says: a trash folder would live
  // on the same disk and keep its space taken.
  ::unlink(archive_.c_str());
  askAgain = !CheckDrive();
  return true;
}

bool TDiskSpanObj::ClearDisk(int64_t required) {
  if (!OnClearDisk) {
    if (CheckDrive() && info_.freeBytes >= required) return true;
    zip_.ReportError(archive_, "OnClearDisk", std::to_string(diskNumber_), ec::RequiredEvent);
    return false;
  }
  for (;;) {
    bool cancel = true;
    OnClearDisk(this, info_.root, required, info_.freeBytes, info_.totalBytes, cancel);
    if (cancel) return false;
    if (CheckDrive() && info_.freeBytes >= required) return true;
  }
}

bool TDiskSpanObj::OpenVolume() {
  // A fresh disk lacks the folders of an archive that is not in its root.
  ForceDirectories(ExtractFilePath(archive_));
  volume_ = std::make_unique<TFileStream32>(archive_, fmCreate);
  if (!volume_->Valid()) {
    volume_.reset();
    return false;
  }
  volumeLength_ = 0;
  freshDisk_ = true;
  const std::string label = SpanDiskLabel(diskNumber_);
  if (info_.volumeLabel != label && !Service().SetVolumeLabel(info_.root, label)) {
    zip_.ReportError(archive_, "", label, ec::SpannedDiskLabel);
  }
  if (!CheckDrive()) return false;
  free_ = info_.freeBytes;
  if (diskNumber_ == 1) free_ -= std::max<int64_t>(zip_.LeaveSpaceOnFirstDisk(), 0);
  previousSerial_ = info_.serialNumber;
  return true;
}

bool TDiskSpanObj::CloseVolume() {
  if (!volume_) return true;
  // The disk is about to leave the drive: its volume must be on it.
  const bool synced = ::fsync(volume_->Handle()) == 0;
  volume_.reset();
  return synced || Fail(ec::WriteError);
}

bool TDiskSpanObj::NextDisk() {
  if (!CloseVolume()) return false;
  if (ZipDiskNumber() >= kLastZipDisk) return Fail(ec::WriteError);
  ++diskNumber_;
  return PrepareDisk(kRequiredSpace);
}

}  // namespace arc
