//===-- core/disk_manager.h - Drive checks of a component -------*- C++ -*-===//
//
// Before a component writes to (or reads a volume set from) a drive it asks
// the drive service whether a disk is present and, for writing, whether it
// takes writes. The prompts that come up on the way are the owner's
// OnDiskInDrvErr and OnDiskWriteProtectErr events, raised with the drive-check
// object as Sender; failures go through the owner's error path with the drive
// root as FileName. The last check's findings (label, serial number, space,
// drive type) stay readable for the spanning writer.
//
// The service is the component's (the machine's real drives unless a test
// points it at simulated ones).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

#include <arc/core/component.h>
#include <arc/support/drive_service.h>

namespace arc {

class TZipCommon;

/// What every drive-checking object has: the service it asks and what the
/// last check found.
class TDiskCommon : public TObject {
 public:
  /// `service` null: the default (see Service()).
  explicit TDiskCommon(DriveService* service = nullptr) : service_(service) {}

  /// The service given, else the machine's real drives.
  virtual DriveService& Service() const;
  /// Not owned; null returns to the default.
  void SetService(DriveService* service) { service_ = service; }

  /// Findings of the last successful check.
  const DriveInfo& Info() const { return info_; }
  bool IsRemovable() const { return info_.driveType == KDriveRemovable; }

 protected:
  DriveService* service_;
  DriveInfo info_;
};

class TDiskManager : public TDiskCommon {
 public:
  explicit TDiskManager(TZipCommon& owner, DriveService* service = nullptr);

  /// The service given, else the owner's (TArcRoot::Drives), so that one
  /// SetDriveService on the component serves opening and checking alike.
  DriveService& Service() const override;

  /// Checks the drive that holds `path`: a disk must be present and, when
  /// `need_writable`, take writes. False when the check failed (reported)
  /// or the user gave up at a prompt.
  bool CheckDrive(const std::string& path, bool needWritable = true);

 private:
  TZipCommon& owner_;
};

}  // namespace arc
