//===-- arc/support/drive_simulated.h - Simulated removable disks --*- C++ -*-===//
//
// A set of removable disks for tests of spanned archives. Each disk is a
// folder with a capacity, a label, a 32-bit serial number and a
// write-protect switch. One drive path (a symbolic link) leads to the disk
// now inserted, so ordinary file I/O through the drive path reaches that
// disk; with no disk inserted the drive path does not exist.
//
// Free space is the capacity less the bytes of the files on the disk. The
// capacity and the write-protect switch are seen through this service only:
// file I/O through the drive path is not stopped by them (the writers check
// the drive before writing and keep to the free space).
//
// Paths outside the drive go to the fallback service when one is given.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <arc/support/drive_service.h>

namespace arc {

class SimulatedDrives final : public DriveService {
 public:
  struct Disk {
    std::string folder;  ///< where the disk's files live, with a trailing '/'
    int64_t capacity = 0;
    std::string label;
    uint32_t serial = 0;
    bool writeProtected = false;
  };

  /// Disks go into folder/disks/, the drive path is folder/drive/.
  explicit SimulatedDrives(const std::string& folder, DriveService* fallback = nullptr);
  ~SimulatedDrives() override = default;
  SimulatedDrives(const SimulatedDrives&) = delete;
  SimulatedDrives& operator=(const SimulatedDrives&) = delete;

  /// Adds a disk (not inserted) and returns its index. A serial of 0 is
  /// replaced by a distinct non-zero one.
  int32_t AddDisk(int64_t capacity, const std::string& label = {}, uint32_t serial = 0,
                  bool writeProtected = false);
  /// Puts disk `index` into the drive (taking out any other); false for a bad index.
  bool Insert(int32_t index);
  /// Takes the disk out of the drive.
  void Eject();
  /// The index of the inserted disk, -1 when the drive is empty.
  int32_t Inserted() const { return inserted_; }

  Disk& DiskAt(int32_t index) { return disks_.at(size_t(index)); }
  int32_t DiskCount() const { return int32_t(disks_.size()); }
  /// Bytes of the files on disk `index`.
  int64_t UsedBytes(int32_t index) const;

  /// The drive path with a trailing '/'.
  const std::string& DrivePath() const { return drivePath_; }

  std::string DriveRoot(const std::string& path) override;
  bool IsReady(const std::string& root) override;
  bool IsWriteProtected(const std::string& root) override;
  bool ReadVolume(const std::string& root, DriveInfo& info, std::string& error) override;
  bool ReadSpace(const std::string& root, int64_t& freeBytes, int64_t& totalBytes) override;
  bool SetVolumeLabel(const std::string& root, const std::string& label) override;
  bool ClearDisk(const std::string& root) override;

 private:
  bool Ours(const std::string& root) const { return root == drivePath_; }
  Disk* Current() { return inserted_ < 0 ? nullptr : &disks_[size_t(inserted_)]; }

  std::string folder_;
  std::string drivePath_;
  DriveService* fallback_;
  std::vector<Disk> disks_;
  int32_t inserted_ = -1;
};

}  // namespace arc
