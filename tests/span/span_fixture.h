//===-- tests/span/span_fixture.h - A writer, a reader and simulated disks -*- C++ -*-===//
//
// The spanning tests write onto simulated removable disks: each disk a
// folder with a capacity, a label and a serial number, reached through one
// drive path. The writer is pointed at backup.zip on that drive; a prompt
// handler puts in the disk a test has lined up for each request, and the
// reader gets the disks back through its own disk events.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <arc/support/drive_simulated.h>
#include "zip/disk_span.h"
#include "zip/zip_test_util.h"

namespace arc::test {

/// Names and contents of about 1 MB of files: text that deflates well and
/// random bytes that do not, in sizes that cut records at odd places.
inline std::map<std::string, std::string> MixedSources() {
  std::map<std::string, std::string> files;
  const size_t text[] = {180000, 95000, 40000, 12345, 777, 1};
  const size_t random[] = {250000, 170000, 130000, 65536, 30001, 100};
  for (size_t i = 0; i < std::size(text); ++i)
    files["text/t" + std::to_string(i) + ".txt"] = Text(text[i], static_cast<uint32_t>(i + 1));
  for (size_t i = 0; i < std::size(random); ++i)
    files["data/r" + std::to_string(i) + ".bin"] =
        RandomBytes(random[i], static_cast<uint32_t>(i + 7));
  files["empty.txt"] = "";
  return files;
}

/// 7-Zip is there to check disk sets with.
inline bool HaveSevenZip() {
  static const bool have = Run("command -v 7z").status == 0;
  return have;
}

class SpanFixture : public ::testing::Test {
 protected:
  SpanFixture() : drives(dir / "drives", &DefaultDriveService()) {
    std::filesystem::create_directories(dir / "tmp");
  }

  /// Writes the sources below dir/src.
  void WriteSources(const std::map<std::string, std::string>& files) {
    sources = files;
    for (const auto& [name, content] : files) WriteText(dir / ("src/" + name), content);
  }

  /// `count` empty disks of `capacity` bytes; returns the index of the first.
  int32_t AddDisks(int32_t count, int64_t capacity) {
    const int32_t first = drives.DiskCount();
    for (int32_t i = 0; i < count; ++i) drives.AddDisk(capacity);
    return first;
  }

  std::string Archive() const { return drives.DrivePath() + "backup.zip"; }

  /// The writer on the drive, with every report recorded and a prompt
  /// handler that puts in disk n - 1 (or the one `plan` names) for disk n.
  void Configure(TZip& zip) {
    rec.Attach(zip);
    zip.SetDriveService(&drives);
    zip.SetArchiveFile(Archive());
    zip.SetFileSpec({dir / "src/*"});
    zip.SetRecurseDirs(true);
    zip.SetTempDir(dir / "tmp");
    zip.SetDeleteOptions(doFinal);
    zip.OnInsertDisk = [this](TObject* sender, const std::string& volume, bool& cancel) {
      EXPECT_NE(dynamic_cast<TDiskSpanObj*>(sender), nullptr);
      EXPECT_TRUE(cancel);
      prompts.push_back(volume);
      if (prompts.size() > 50) return;  // a prompt loop is a fault
      const int32_t n = std::stoi(volume);
      auto it = plan.find(n);
      drives.Insert(it != plan.end() ? it->second : n - 1);
      cancel = false;
    };
  }

  /// Indices of the disks that carry a volume, in the order of their labels.
  std::vector<int32_t> VolumeDisks() {
    std::map<std::string, int32_t> byLabel;
    for (int32_t i = 0; i < drives.DiskCount(); ++i)
      if (std::filesystem::exists(drives.DiskAt(i).folder + "backup.zip"))
        byLabel[drives.DiskAt(i).label] = i;
    std::vector<int32_t> disks;
    for (const auto& [label, index] : byLabel) disks.push_back(index);
    return disks;
  }

  std::string Volume(int32_t disk) { return drives.DiskAt(disk).folder + "backup.zip"; }

  /// Extracts the set with our reader into dir/`into`, asking for the disks
  /// through its events; the files written.
  int32_t ExtractSet(const std::string& into, std::string& errors,
                     const std::string& password = {}) {
    const std::vector<int32_t> disks = VolumeDisks();
    if (disks.empty()) return 0;
    TUnZip unzip;
    unzip.SetDriveService(&drives);
    unzip.OnError = [&errors](TObject*, const std::string& f, const std::string& x,
                              const std::string& v, int32_t c) {
      errors += std::to_string(c) + " " + f + " " + x + " volume " + v + "\n";
    };
    int32_t asked = 0;
    unzip.OnGetZipLastDisk = [&](TObject*, bool& cancel) {
      cancel = ++asked > 50;
      drives.Insert(disks.back());
    };
    unzip.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
      cancel = ++asked > 50;
      drives.Insert(disks.front());
    };
    unzip.OnGetZipNextDisk = [&](TObject*, const std::string& n, bool& cancel) {
      const size_t k = static_cast<size_t>(std::stoi(n)) - 1;
      cancel = ++asked > 50 || k >= disks.size();
      if (!cancel) drives.Insert(disks[k]);
    };
    drives.Insert(disks.back());
    unzip.SetArchiveFile(Archive());
    unzip.SetExtractDir(dir / into);
    unzip.SetFileSpec({"*"});
    unzip.SetRecurseDirs(true);
    if (!password.empty()) unzip.SetPasswords({password});
    return unzip.Extract();
  }

  /// The volumes copied off the disks as a split set set.z01, ..., set.zip
  /// in dir/split; the path of set.zip.
  std::string CopyAsSplitSet() {
    const std::vector<int32_t> disks = VolumeDisks();
    const std::string folder = dir / "split";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (size_t i = 0; i < disks.size(); ++i) {
      char ext[32];
      std::snprintf(ext, sizeof ext, ".z%02zu", i + 1);
      const std::string name = folder + "/set" + (i + 1 == disks.size() ? ".zip" : ext);
      std::filesystem::copy_file(Volume(disks[i]), name);
    }
    return folder + "/set.zip";
  }

  /// What 7-Zip says against the volumes as a split set; empty when it
  /// reads them all without fault.
  std::string SevenZipFailures(const std::string& password = {}) {
    const std::string pw = password.empty() ? "" : " -p" + Quote(password);
    const ToolResult r = test::Run("7z t" + pw + " " + Quote(CopyAsSplitSet()));
    return r.status == 0 ? "" : r.output;
  }

  TempDir dir;
  SimulatedDrives drives;
  Recorder rec;
  std::map<std::string, std::string> sources;
  std::vector<std::string> prompts;
  /// Disk number (from 1) -> index of the disk to put in for it.
  std::map<int32_t, int32_t> plan;
};

}  // namespace arc::test
