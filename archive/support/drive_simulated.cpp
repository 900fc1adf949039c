//===-- support/drive_simulated.cpp - Simulated removable disks -*- C++ -*-===//
#include <arc/support/drive_simulated.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <arc/support/paths.h>

namespace arc {

namespace fs = std::filesystem;

SimulatedDrives::SimulatedDrives(const std::string& folder, DriveService* fallback)
    : folder_(AppendSlash(ExpandPath(folder))),
      drivePath_(folder_ + "drive/"),
      fallback_(fallback) {
  ForceDirectories(folder_ + "disks");
  unlink(RemoveSlash(drivePath_).c_str());  // a drive left over from an earlier run
}

int32_t SimulatedDrives::AddDisk(int64_t capacity, const std::string& label, uint32_t serial,
                                 bool writeProtected) {
  Disk d;
  int32_t index = int32_t(disks_.size());
  d.folder = folder_ + "disks/" + std::to_string(index + 1) + "/";
  ForceDirectories(d.folder);
  d.capacity = capacity;
  d.label = label;
  d.serial = serial != 0 ? serial : 0x5D000001u + uint32_t(index);
  d.writeProtected = writeProtected;
  disks_.push_back(d);
  return index;
}

bool SimulatedDrives::Insert(int32_t index) {
  if (index < 0 || index >= DiskCount()) return false;
  Eject();
  if (symlink(RemoveSlash(disks_[size_t(index)].folder).c_str(), RemoveSlash(drivePath_).c_str()) !=
      0)
    return false;
  inserted_ = index;
  return true;
}

void SimulatedDrives::Eject() {
  unlink(RemoveSlash(drivePath_).c_str());
  inserted_ = -1;
}

int64_t SimulatedDrives::UsedBytes(int32_t index) const {
  int64_t used = 0;
  std::error_code ec;
  const std::string& folder = disks_.at(size_t(index)).folder;
  for (auto it = fs::recursive_directory_iterator(folder, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code ec2;
    if (it->is_regular_file(ec2)) used += int64_t(it->file_size(ec2));
  }
  return used;
}

std::string SimulatedDrives::DriveRoot(const std::string& path) {
  std::string full = ExpandPath(path.empty() ? std::string(".") : path);
  std::string bare = RemoveSlash(drivePath_);
  if (full.compare(0, bare.size(), bare) == 0 &&
      (full.size() == bare.size() || full[bare.size()] == '/'))
    return drivePath_;
  return fallback_ != nullptr ? fallback_->DriveRoot(path) : std::string();
}

bool SimulatedDrives::IsReady(const std::string& root) {
  if (!Ours(root)) return fallback_ != nullptr && fallback_->IsReady(root);
  return Current() != nullptr;
}

bool SimulatedDrives::IsWriteProtected(const std::string& root) {
  if (!Ours(root)) return fallback_ != nullptr && fallback_->IsWriteProtected(root);
  return Current() != nullptr && Current()->writeProtected;
}

bool SimulatedDrives::ReadVolume(const std::string& root, DriveInfo& info, std::string& error) {
  if (!Ours(root)) {
    if (fallback_ != nullptr) return fallback_->ReadVolume(root, info, error);
    error = std::strerror(ENOENT);
    return false;
  }
  const Disk* d = Current();
  if (d == nullptr) {
    error = std::strerror(ENOMEDIUM);
    return false;
  }
  info.volumeLabel = d->label;
  info.serialNumber = d->serial;
  info.maxComponentLength = 255;
  info.fileSystemName = "FAT";
  info.fileSystemFlags = 0;
  info.driveType = KDriveRemovable;
  return true;
}

bool SimulatedDrives::ReadSpace(const std::string& root, int64_t& freeBytes, int64_t& totalBytes) {
  if (!Ours(root)) return fallback_ != nullptr && fallback_->ReadSpace(root, freeBytes, totalBytes);
  const Disk* d = Current();
  if (d == nullptr) return false;
  totalBytes = d->capacity;
  int64_t used = UsedBytes(inserted_);
  freeBytes = used >= d->capacity ? 0 : d->capacity - used;
  return true;
}

bool SimulatedDrives::SetVolumeLabel(const std::string& root, const std::string& label) {
  if (!Ours(root)) return fallback_ != nullptr && fallback_->SetVolumeLabel(root, label);
  Disk* d = Current();
  if (d == nullptr || d->writeProtected) return false;
  d->label = label;
  return true;
}

bool SimulatedDrives::ClearDisk(const std::string& root) {
  if (!Ours(root)) return fallback_ != nullptr && fallback_->ClearDisk(root);
  Disk* d = Current();
  if (d == nullptr || d->writeProtected) return false;
  std::error_code ec;
  bool ok = true;
  for (auto it = fs::directory_iterator(d->folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code ec2;
    fs::remove_all(it->path(), ec2);
    ok = ok && !ec2;
  }
  return ok && !ec;
}

}  // namespace arc
