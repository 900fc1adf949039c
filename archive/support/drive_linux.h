//===-- support/drive_linux.h - The drives of this machine ------*- C++ -*-===//
//
// A drive is the mount that holds a path. The drive type comes from the file
// system type and the block device: network file systems are "Network",
// iso9660/udf "CD-ROM", tmpfs/ramfs "RAM", a block device whose sysfs
// `removable` flag is set "Floppy" (removable), anything else "Fixed".
// Label and serial number come from /dev/disk/by-label and by-uuid, or from
// blkid; the serial is the FAT volume id (or the first 32 bits of a longer
// UUID). A read-only mount counts as write-protected.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <vector>

#include <arc/support/drive_service.h>

namespace arc {

class LinuxDriveService final : public DriveService {
 public:
  std::string DriveRoot(const std::string& path) override;
  bool IsReady(const std::string& root) override;
  bool IsWriteProtected(const std::string& root) override;
  bool ReadVolume(const std::string& root, DriveInfo& info, std::string& error) override;
  bool ReadSpace(const std::string& root, int64_t& freeBytes, int64_t& totalBytes) override;
  /// Only FAT and exFAT disks, through fatlabel / exfatlabel.
  bool SetVolumeLabel(const std::string& root, const std::string& label) override;
  bool ClearDisk(const std::string& root) override;
};

/// Mount points (with a trailing '/', sorted) of every fixed, network,
/// optical and RAM drive; kernel and device file systems are left out, and so
/// are removable drives.
std::vector<std::string> LocalDriveRoots();

/// The serial number that a file system UUID stands for: "1234-ABCD" (FAT)
/// gives 0x1234ABCD, 16 hex digits (NTFS) their low 32 bits, longer ones their
/// first 32 bits; 0 when the text holds no hex digits.
uint32_t SerialFromUuid(std::string_view uuid);

}  // namespace arc
