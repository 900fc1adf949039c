//===-- unzip/unzip_volumes.cpp - Reading split and spanned archives ------===//
//
// Split archives are files on one drive: name.z01, name.z02, ... and the
// archive itself as the last volume; OnNextVolume is asked for each one.
// Spanned archives are disks that all carry the archive's name; the wanted
// disk (0 the last, 1 the first, n disk n) is asked for with
// OnGetZipLastDisk, OnGetZipFirstDisk or OnGetZipNextDisk until the disk in
// the drive holds a record where one must stand.
//
//===----------------------------------------------------------------------===//
#include <cstdio>

#include <arc/support/ascii_case.h>
#include <arc/support/error_codes.h>
#include <arc/support/paths.h>
#include "core/disk_manager.h"
#include "unzip/end_record.h"
#include "unzip/stream_source.h"
#include "unzip/zip_extractor.h"
#include "unzip/zip_records.h"

namespace arc {
namespace {

/// `name` with its extension (from the last dot of the file-name part)
/// replaced by ".z" and `number` in at least two digits.
std::string WithVolumeExtension(const std::string& name, int32_t number) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                               ? name.substr(0, dot)
                               : name;
  char ext[16];
  std::snprintf(ext, sizeof ext, ".z%.2d", number);
  return stem + ext;
}

}  // namespace

std::string TUnZip::VolumeFileName(int32_t index) {
  const int32_t last = OpenState().endVolume;
  const std::string& base = run_ != nullptr ? run_->BaseVolume() : ArchiveFile();
  return index < last ? WithVolumeExtension(base, index + 1) : ArchiveFile();
}

bool ZipExtractor::RequestVolume(int32_t index) {
  const std::string volumeId = std::to_string(index + 1);
  if (!z_.OnNextVolume) {
    // Reported before the flag is set, which would turn the code into 25443.
    z_.ReportError(archiveName_, "OnNextVolume", volumeId, ec::RequiredEvent);
    z_.SetCancel(true);
    return false;
  }
  archive_.reset();
  std::string name = z_.VolumeFileName(index);
  baseVolume_ = name;
  if (z_.OpenState().headerState == htLocal && SameTextIgnoringCase(name, archiveName_)) {
    // Opened without a directory, the archive itself is not the last volume.
    name = WithVolumeExtension(baseVolume_, index + 2);
    ++index;
  }
  const std::string id = std::to_string(index + 1);
  bool& cancel = *z_.CancelFlag();
  do {
    const bool exists = FileExists(name);
    z_.OnNextVolume(&z_, name, id, exists, cancel);
  } while (!cancel && !FileExists(name));
  if (cancel) {
    z_.ReportError(name, "", id, ec::UserCanceled);
    return false;
  }
  baseVolume_ = name;
  z_.open_.volumeNumber = index + 1;
  z_.SetVolumeName(name);
  if (!OpenArchive(name)) {
    z_.ReportError(name, "", id, ec::OpenError);
    return false;
  }
  return true;
}

bool ZipExtractor::NextVolumeForData(int64_t stillToRead) {
  checkPos_ = stillToRead;
  if (z_.ArcType() == atZipDS) return FetchDisk();
  // The data of an entry cannot go on beyond the last volume; without this
  // bound a damaged size would cycle through the last volume for ever.
  const int32_t next = z_.open_.volumeNumber;
  if (next > z_.OpenState().endVolume) {
    z_.ReportError(archiveName_, z_.EntryName(), std::to_string(next + 1), ec::ReadError);
    return false;
  }
  return z_.RequestVolume(next);
}

bool ZipExtractor::CheckDisk() {
  // The drive's answer (its label) matters only for a file too short to
  // show a record; a disk whose file holds one is judged by that alone.
  const bool queried = z_.DiskManager().CheckDrive(archiveName_, false);
  const int32_t label = z_.DiskManager().Info().labelDiskNumber;
  TFileStream32 disk(archiveName_, fmOpenRead | fmShareDenyWrite);
  if (!disk.Valid()) {
    z_.ReportError(archiveName_, "", "0", ec::OpenError);
    return false;
  }
  StreamSource source(disk);
  if (source.Size() < checkPos_ + static_cast<int64_t>(kLocalHeaderLen)) {
    return queried && label == wantedDisk_;
  }
  const std::optional<uint32_t> value = SignatureAt(source, checkPos_);
  return value == kLocalHeaderSig || value == kCentralHeaderSig || value == kSpanMarkerSig;
}

bool ZipExtractor::FetchDisk() {
  archive_.reset();
  const char* eventName = wantedDisk_ == 0   ? "OnGetZipLastDisk"
                          : wantedDisk_ == 1 ? "OnGetZipFirstDisk"
                                             : "OnGetZipNextDisk";
  const bool assigned = wantedDisk_ == 0   ? static_cast<bool>(z_.OnGetZipLastDisk)
                        : wantedDisk_ == 1 ? static_cast<bool>(z_.OnGetZipFirstDisk)
                                           : static_cast<bool>(z_.OnGetZipNextDisk);
  bool ok = assigned;
  if (!assigned) {
    z_.ReportError(archiveName_, eventName, std::to_string(wantedDisk_), ec::RequiredEvent);
  } else if (wantedDisk_ == 0) {
    // The open procedure runs on whatever disk is in the drive, until one
    // holds the end record. Assigning the archive to itself is that
    // procedure, and clears the cancel flag as every assignment does.
    auto reopen = [this] {
      z_.StoreArcType(atNA);
      z_.SetArchiveFile(archiveName_);
    };
    reopen();
    while (ok && !HasHeader(z_.OpenState().headerState, htEnding)) {
      bool cancel = true;
      z_.OnGetZipLastDisk(&z_, cancel);
      if (cancel)
        ok = false;
      else
        reopen();
    }
    if (ok && !IsValidArcType(z_.ArcType())) ok = false;
    if (ok) wantedDisk_ = 1;
  } else {
    while (!CheckDisk()) {
      bool cancel = true;
      if (wantedDisk_ == 1) {
        z_.OnGetZipFirstDisk(&z_, cancel);
      } else {
        z_.OnGetZipNextDisk(&z_, std::to_string(wantedDisk_), cancel);
      }
      if (cancel) {
        ok = false;
        break;
      }
    }
    if (ok) ++wantedDisk_;
  }
  if (!ok) {
    *z_.CancelFlag() = true;  // the run unwinds without a report of its own
    return false;
  }
  if (!OpenArchive(archiveName_)) {
    z_.ReportError(archiveName_, "", "0", ec::OpenError);
    return false;
  }
  z_.SetVolumeName(archiveName_);
  return true;
}

}  // namespace arc
