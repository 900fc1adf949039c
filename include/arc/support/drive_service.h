//===-- arc/support/drive_service.h - Drive checks and identification --*- C++ -*-===//
//
// A drive is the unit a removable disk is swapped in: on Linux the mount that
// holds a path, in tests a simulated disk drive. DriveService is the one
// interface the archive components use; it has a small set of primitives per
// platform and one algorithm on top of them, DriveQuery:
//
//   1. find the drive root of the path;
//   2. unless the path is a network path: wait for a disk (OnDiskInDrvErr),
//      then, when the caller will write, for a writable one
//      (OnDiskWriteProtectErr); each handler gets Abort preset to true and
//      clears it to have the test run again;
//   3. read the volume information, offering Retry/Cancel through the prompt
//      hook when that fails;
//   4. fill DriveInfo, with free and total space.
//
// Failures are reported through the caller's error path (code, drive root)
// when one is given, and DriveQuery returns false.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <arc/support/prompts.h>

namespace arc {

/// Drive types as the archive components see them.
enum : int32_t {
  KDriveUnknown = 0,
  KDriveNoRootDir = 1,
  KDriveRemovable = 2,
  KDriveFixed = 3,
  KDriveRemote = 4,
  KDriveCdRom = 5,
  KDriveRamDisk = 6,
  KDriveFloppy35 = 7,  // type names only: the two floppy kinds of a removable drive
  KDriveFloppy525 = 8,
};

/// What a successful DriveQuery learnt about the drive.
struct DriveInfo {
  std::string root;  ///< the drive root, with a trailing '/'
  std::string volumeLabel;
  int32_t labelDiskNumber = 0;  ///< the number after "PKBACK# " in the label, else 0
  uint32_t serialNumber = 0;
  std::string serialText;  ///< SerialNumber as 8 upper-case hex digits
  uint32_t maxComponentLength = 0;
  std::string fileSystemName;
  uint32_t fileSystemFlags = 0;
  int32_t driveType = KDriveUnknown;
  std::string driveTypeName;
  int64_t freeBytes = 0;
  int64_t totalBytes = 0;
};

/// The label prefix of the disks of a spanned archive.
inline constexpr std::string_view kSpanLabelPrefix = "PKBACK# ";

/// The disk number of a spanned-archive label: the last piece after
/// "PKBACK# " when it is all digits, else 0 ("PKBACK# 003" -> 3).
int32_t LabelDiskNumber(std::string_view label);

/// The label the spanning writer gives disk `n`: "PKBACK# 001" and so on.
std::string SpanDiskLabel(int32_t n);

/// 8 upper-case hexadecimal digits.
std::string SerialText(uint32_t serial);

/// "Unknown", "None", "Floppy", "Fixed", "Network", "CD-ROM", "RAM",
/// "3½ Floppy", "5¼ Floppy" by drive type; "Unknown" out of range.
std::string_view DriveTypeName(int32_t driveType);

/// The caller's side of one DriveQuery: its events and its error path.
struct DriveQueryHandlers {
  /// No disk in the drive. Abort comes preset to true; clear it to test again.
  std::function<void(bool& Abort)> OnDiskInDrvErr;
  /// The disk is write-protected. Abort comes preset to true; clear it to test again.
  std::function<void(bool& Abort)> OnDiskWriteProtectErr;
  /// The component's error path: code and the drive root as file name.
  std::function<void(int32_t code, const std::string& drive)> reportError;
  /// The retry box when the volume cannot be read; null answers Cancel.
  const Prompts* prompts = nullptr;
  /// Writers need a writable disk; readers set this to false, since a
  /// write-protected disk reads perfectly well.
  bool needWritable = true;
};

class DriveService {
 public:
  virtual ~DriveService() = default;

  /// Checks the drive of `path` (see the file comment) and fills `info`.
  bool DriveQuery(const std::string& path, const DriveQueryHandlers& handlers, DriveInfo& info);

  /// The drive root (with a trailing '/') of `path`; a relative path is taken
  /// from the current directory. Empty when the path lies on no drive this
  /// service knows.
  virtual std::string DriveRoot(const std::string& path) = 0;

  /// True when a disk is present (its size can be read).
  virtual bool IsReady(const std::string& root) = 0;

  /// True when the disk refuses writes.
  virtual bool IsWriteProtected(const std::string& root) = 0;

  /// Fills label, serial number, maximum component length, file system name
  /// and flags and the drive type; on failure returns false with the system's
  /// text for the error in `error`.
  virtual bool ReadVolume(const std::string& root, DriveInfo& info, std::string& error) = 0;

  /// Free and total bytes of the disk.
  virtual bool ReadSpace(const std::string& root, int64_t& freeBytes, int64_t& totalBytes) = 0;

  /// Gives the disk a new volume label.
  virtual bool SetVolumeLabel(const std::string& root, const std::string& label) = 0;

  /// Deletes every file and folder on a removable disk; refuses other drives.
  virtual bool ClearDisk(const std::string& root) = 0;
};

/// The service for the real drives of this machine (it keeps no state, so
/// one instance serves every component).
DriveService& DefaultDriveService();

}  // namespace arc
