#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arc/support/drive_simulated.h>
#include <arc/support/error_codes.h>
#include "common/test_temp_dir.h"
#include "support/drive_linux.h"

namespace arc {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(DriveLabels, DiskNumberSerialAndTypeNames) {
  EXPECT_EQ(LabelDiskNumber("PKBACK# 003"), 3);
  EXPECT_EQ(LabelDiskNumber("PKBACK# 3a"), 0);
  EXPECT_EQ(LabelDiskNumber("BACKUP"), 0);
  EXPECT_EQ(LabelDiskNumber(""), 0);
  EXPECT_EQ(LabelDiskNumber("PKBACK# "), 0);
  EXPECT_EQ(LabelDiskNumber("PKBACK# 1PKBACK# 012"), 12);  // the last piece counts
  EXPECT_EQ(LabelDiskNumber("PKBACK# 99999999999"), 0);
  EXPECT_EQ(SpanDiskLabel(1), "PKBACK# 001");
  EXPECT_EQ(LabelDiskNumber(SpanDiskLabel(7)), 7);
  EXPECT_EQ(SerialText(0xAB), "000000AB");
  EXPECT_EQ(SerialText(0xDEADBEEF), "DEADBEEF");
  EXPECT_EQ(DriveTypeName(KDriveFixed), "Fixed");
  EXPECT_EQ(DriveTypeName(KDriveFloppy35), "3½ Floppy");
  EXPECT_EQ(DriveTypeName(9), "Unknown");
  EXPECT_EQ(SerialFromUuid("1234-ABCD"), 0x1234ABCDu);
  EXPECT_EQ(SerialFromUuid("0123456789ABCDEF"), 0x89ABCDEFu);
  EXPECT_EQ(SerialFromUuid("3f1c2a44-0b6e-4c1d-9a55-0d3b5a7e2f10"), 0x3F1C2A44u);
  EXPECT_EQ(SerialFromUuid(""), 0u);
}

// A drive with two disks in a scratch folder, and a record of the reports.
class SimulatedDrive : public ::testing::Test {
 protected:
  SimulatedDrive() : drives(tmp / "sim") {
    first = drives.AddDisk(100000, "PKBACK# 003", 0x1234ABCD);
    second = drives.AddDisk(50000, "DATA");
    handlers.reportError = [this](int32_t code, const std::string& drive) {
      codes.push_back(code);
      EXPECT_EQ(drive, drives.DrivePath());
    };
  }
  std::string Archive() const { return drives.DrivePath() + "backup.zip"; }

  TempDir tmp;
  SimulatedDrives drives;
  int32_t first = -1;
  int32_t second = -1;
  DriveQueryHandlers handlers;
  std::vector<int32_t> codes;
  DriveInfo info;
};

TEST_F(SimulatedDrive, FillsTheInformationOfTheInsertedDisk) {
  ASSERT_TRUE(drives.Insert(first));
  { std::ofstream(Archive(), std::ios::binary) << std::string(1000, 'z'); }
  ASSERT_TRUE(drives.DriveQuery(Archive(), handlers, info));
  EXPECT_TRUE(codes.empty());
  EXPECT_EQ(info.root, drives.DrivePath());
  EXPECT_EQ(info.volumeLabel, "PKBACK# 003");
  EXPECT_EQ(info.labelDiskNumber, 3);
  EXPECT_EQ(info.serialNumber, 0x1234ABCDu);
  EXPECT_EQ(info.serialText, "1234ABCD");
  EXPECT_EQ(info.driveType, KDriveRemovable);
  EXPECT_EQ(info.driveTypeName, "Unknown");  // the floppy kind cannot be told
  EXPECT_EQ(info.totalBytes, 100000);
  EXPECT_EQ(info.freeBytes, 99000);
}

TEST_F(SimulatedDrive, FileInputOutputReachesOnlyTheInsertedDisk) {
  ASSERT_TRUE(drives.Insert(first));
  { std::ofstream(Archive()) << "on the first disk"; }
  ASSERT_TRUE(drives.Insert(second));
  EXPECT_FALSE(fs::exists(Archive()));
  EXPECT_EQ(drives.UsedBytes(first), 17);
  EXPECT_NE(drives.DiskAt(first).serial, drives.DiskAt(second).serial);
  drives.Eject();
  EXPECT_EQ(drives.Inserted(), -1);
  EXPECT_FALSE(fs::exists(drives.DrivePath()));
  ASSERT_TRUE(drives.Insert(first));
  EXPECT_TRUE(fs::exists(Archive()));
}

TEST_F(SimulatedDrive, MissingDiskWithoutHandlerIsNotAccessible) {
  EXPECT_FALSE(drives.DriveQuery(Archive(), handlers, info));
  EXPECT_EQ(codes, std::vector<int32_t>{ec::NotAccessible});
}

TEST_F(SimulatedDrive, MissingDiskHandlerInsertsTheDiskAndClearsAbort) {
  int calls = 0;
  handlers.OnDiskInDrvErr = [&](bool& Abort) {
    EXPECT_TRUE(Abort);  // preset
    if (++calls == 2) {  // the first answer is "try again" with the drive still empty
      drives.Insert(second);
    }
    Abort = false;
  };
  ASSERT_TRUE(drives.DriveQuery(Archive(), handlers, info));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(info.volumeLabel, "DATA");
  EXPECT_EQ(info.labelDiskNumber, 0);
  EXPECT_TRUE(codes.empty());
}

TEST_F(SimulatedDrive, MissingDiskHandlerLeavingAbortCancels) {
  int calls = 0;
  handlers.OnDiskInDrvErr = [&](bool&) { ++calls; };
  EXPECT_FALSE(drives.DriveQuery(Archive(), handlers, info));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(codes, std::vector<int32_t>{ec::UserCanceled});
}

TEST_F(SimulatedDrive, WriteProtection) {
  drives.DiskAt(first).writeProtected = true;
  ASSERT_TRUE(drives.Insert(first));

  EXPECT_FALSE(drives.DriveQuery(Archive(), handlers, info));
  EXPECT_EQ(codes, std::vector<int32_t>{ec::WriteProtected});

  codes.clear();
  handlers.OnDiskWriteProtectErr = [&](bool&) {};
  EXPECT_FALSE(drives.DriveQuery(Archive(), handlers, info));
  EXPECT_EQ(codes, std::vector<int32_t>{ec::UserCanceled});

  codes.clear();
  handlers.OnDiskWriteProtectErr = [&](bool& Abort) {
    drives.DiskAt(first).writeProtected = false;  // the user slides the tab
    Abort = false;
  };
  EXPECT_TRUE(drives.DriveQuery(Archive(), handlers, info));
  EXPECT_TRUE(codes.empty());

  // A reader does not care whether the disk could be written.
  drives.DiskAt(first).writeProtected = true;
  handlers.OnDiskWriteProtectErr = nullptr;
  handlers.needWritable = false;
  EXPECT_TRUE(drives.DriveQuery(Archive(), handlers, info));
  EXPECT_FALSE(drives.SetVolumeLabel(drives.DrivePath(), "X"));
  EXPECT_FALSE(drives.ClearDisk(drives.DrivePath()));
}

TEST_F(SimulatedDrive, LabelAndClearDisk) {
  ASSERT_TRUE(drives.Insert(second));
  ASSERT_TRUE(drives.SetVolumeLabel(drives.DrivePath(), SpanDiskLabel(2)));
  { std::ofstream(drives.DrivePath() + "old.txt") << std::string(500, 'o'); }
  fs::create_directories(drives.DrivePath() + "dir/sub");
  { std::ofstream(drives.DrivePath() + "dir/sub/f") << std::string(700, 'o'); }
  ASSERT_TRUE(drives.DriveQuery(Archive(), handlers, info));
  EXPECT_EQ(info.labelDiskNumber, 2);
  EXPECT_EQ(info.freeBytes, 50000 - 1200);

  ASSERT_TRUE(drives.ClearDisk(drives.DrivePath()));
  ASSERT_TRUE(drives.DriveQuery(Archive(), handlers, info));
  EXPECT_EQ(info.freeBytes, info.totalBytes);
  EXPECT_TRUE(fs::is_empty(drives.DiskAt(second).folder));
  EXPECT_EQ(info.volumeLabel, "PKBACK# 002");  // clearing keeps the label
}

TEST_F(SimulatedDrive, PathsOutsideTheDriveGoToTheFallback) {
  EXPECT_EQ(drives.DriveRoot(tmp / "elsewhere"), "");
  DriveQueryHandlers quiet;
  quiet.reportError = [&](int32_t code, const std::string&) { codes.push_back(code); };
  EXPECT_FALSE(drives.DriveQuery(tmp / "elsewhere", quiet, info));
  EXPECT_EQ(codes, std::vector<int32_t>{ec::NotAccessible});

  LinuxDriveService real;
  SimulatedDrives withFallback(tmp / "sim2", &real);
  EXPECT_NE(withFallback.DriveRoot(tmp / "elsewhere"), "");
  EXPECT_TRUE(withFallback.DriveQuery(tmp / "elsewhere", quiet, info));
  EXPECT_NE(info.driveType, KDriveRemovable);
}

// A drive whose volume cannot be read a given number of times.
class FlakyVolume final : public DriveService {
 public:
  int failures = 0;
  std::string DriveRoot(const std::string&) override { return "/media/disk/"; }
  bool IsReady(const std::string&) override { return true; }
  bool IsWriteProtected(const std::string&) override { return false; }
  bool ReadVolume(const std::string&, DriveInfo& info, std::string& error) override {
    if (failures > 0) {
      --failures;
      error = "Input/output error";
      return false;
    }
    info.driveType = KDriveFixed;
    return true;
  }
  bool ReadSpace(const std::string&, int64_t& f, int64_t& t) override {
    f = 1;
    t = 2;
    return true;
  }
  bool SetVolumeLabel(const std::string&, const std::string&) override { return false; }
  bool ClearDisk(const std::string&) override { return false; }
};

TEST(DriveQueryRetryBox, RetryReadsAgainCancelReportsNotAccessible) {
  FlakyVolume drive;
  Prompts prompts;
  prompts.title = "Backup";
  std::vector<std::string> texts;
  prompts.retryCancel = [&](std::string_view caption, std::string_view text) {
    EXPECT_EQ(caption, "Backup");
    texts.emplace_back(text);
    return texts.size() < 2;  // Retry once, then Cancel
  };
  std::vector<int32_t> codes;
  DriveQueryHandlers h;
  h.prompts = &prompts;
  h.reportError = [&](int32_t code, const std::string&) { codes.push_back(code); };
  DriveInfo info;

  drive.failures = 1;
  EXPECT_TRUE(drive.DriveQuery("/media/disk/a.zip", h, info));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "/media/disk/is not accessible\r\n\r\nInput/output error");
  EXPECT_EQ(info.freeBytes, 1);
  EXPECT_EQ(info.driveTypeName, "Fixed");

  drive.failures = 5;
  EXPECT_FALSE(drive.DriveQuery("/media/disk/a.zip", h, info));
  EXPECT_EQ(texts.size(), 2u);
  EXPECT_EQ(codes, std::vector<int32_t>{ec::NotAccessible});

  // Without a prompt hook the answer is Cancel at once.
  drive.failures = 1;
  h.prompts = nullptr;
  EXPECT_FALSE(drive.DriveQuery("/media/disk/a.zip", h, info));
}

TEST(LinuxDrives, TheMountHoldingAFolder) {
  TempDir tmp;
  DriveService& drives = DefaultDriveService();
  DriveInfo info;
  DriveQueryHandlers quiet;
  ASSERT_TRUE(drives.DriveQuery(tmp / "not/yet/there.zip", quiet, info));
  EXPECT_EQ(tmp.slashed().rfind(fs::canonical(info.root).string(), 0), 0u);
  EXPECT_GT(info.totalBytes, 0);
  EXPECT_GE(info.totalBytes, info.freeBytes);
  EXPECT_GT(info.maxComponentLength, 0u);
  EXPECT_FALSE(info.fileSystemName.empty());
  EXPECT_EQ(info.serialText.size(), 8u);
  EXPECT_EQ(drives.DriveRoot("/"), "/");
  EXPECT_FALSE(drives.ClearDisk(info.root));  // never on a fixed disk

  std::vector<std::string> roots = LocalDriveRoots();
  EXPECT_NE(std::find(roots.begin(), roots.end(), info.root), roots.end());
  for (const std::string& r : roots) {
    EXPECT_NE(r.rfind("/proc", 0), 0u) << r;
    EXPECT_NE(r.rfind("/sys", 0), 0u) << r;
    EXPECT_NE(r.rfind("/dev/", 0), 0u) << r;
  }

  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec)) {
    ASSERT_TRUE(drives.DriveQuery("/dev/shm/x", quiet, info));
    EXPECT_EQ(info.driveType, KDriveRamDisk);
    EXPECT_EQ(info.root, "/dev/shm/");
  }
}

}  // namespace
}  // namespace arc
