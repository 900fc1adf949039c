//===-- tests/core/disk_manager_test.cpp - The component's drive check ---===//
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arc/support/drive_simulated.h>
#include <arc/zip/zip.h>
#include "core/disk_manager.h"

namespace arc {
namespace {

namespace fs = std::filesystem;

class DiskCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string base = (fs::temp_directory_path() / "arc_disks_XXXXXX").string();
    ASSERT_NE(mkdtemp(base.data()), nullptr);
    root = base;
    drives = std::make_unique<SimulatedDrives>(root);
    disk = drives->AddDisk(1440 * 1024, "PKBACK# 002", 0x1234ABCD);
    zip.SetDriveService(drives.get());  // opening and checking alike
    zip.OnError = [this](TObject*, const std::string& f, const std::string&, const std::string& v,
                         int32_t code) {
      reports.push_back(std::to_string(code) + " " + f + " " + v);
    };
  }
  void TearDown() override {
    drives.reset();
    fs::remove_all(root);
  }

  std::string Archive() const { return drives->DrivePath() + "backup.zip"; }

  std::string root;
  std::unique_ptr<SimulatedDrives> drives;
  int32_t disk = -1;
  TZip zip;
  std::vector<std::string> reports;
};

TEST_F(DiskCheck, HandlerIsAskedWithTheCheckObjectAsSenderUntilADiskIsIn) {
  std::vector<TObject*> senders;
  zip.OnDiskInDrvErr = [&](TObject* sender, bool& Abort) {
    senders.push_back(sender);
    EXPECT_TRUE(Abort);
    if (senders.size() == 2) {
      drives->Insert(disk);
      Abort = false;
    } else {
      Abort = false;  // try again with the drive still empty
    }
  };
  ASSERT_TRUE(zip.DiskManager().CheckDrive(Archive()));
  EXPECT_EQ(senders, (std::vector<TObject*>{&zip.DiskManager(), &zip.DiskManager()}));
  EXPECT_TRUE(reports.empty());
  const DriveInfo& info = zip.DiskManager().Info();
  EXPECT_EQ(info.volumeLabel, "PKBACK# 002");
  EXPECT_EQ(info.labelDiskNumber, 2);
  EXPECT_EQ(info.serialNumber, 0x1234ABCDu);
  EXPECT_TRUE(zip.DiskManager().IsRemovable());
}

TEST_F(DiskCheck, FailuresGoThroughTheErrorPathWithTheDrive) {
  EXPECT_FALSE(zip.DiskManager().CheckDrive(Archive()));  // empty drive, no handler
  drives->DiskAt(disk).writeProtected = true;
  drives->Insert(disk);
  EXPECT_FALSE(zip.DiskManager().CheckDrive(Archive()));
  EXPECT_TRUE(zip.DiskManager().CheckDrive(Archive(), /*need_writable=*/false));
  // A handler that gives up turns the report into a cancel.
  zip.OnDiskWriteProtectErr = [](TObject*, bool&) {};
  EXPECT_FALSE(zip.DiskManager().CheckDrive(Archive()));
  EXPECT_EQ(reports, (std::vector<std::string>{"25170 " + drives->DrivePath() + " 0",
                                               "25171 " + drives->DrivePath() + " 0",
                                               "25443 " + drives->DrivePath() + " 0"}));
}

}  // namespace
}  // namespace arc
