//===-- tests/unzip/volumes_test.cpp - Split files and spanned disks ------===//
#include <gtest/gtest.h>

#include <filesystem>

#include <arc/support/drive_service.h>
#include <arc/support/drive_simulated.h>
#include <arc/support/error_codes.h>
#include "extract_fixture.h"

namespace arc {
namespace {

namespace fs = std::filesystem;

const std::string kSplit = std::string(ARC_TEST_DATA) + "/public/gen-infozip-split";

using SplitVolumes = test::ExtractFixture;

TEST_F(SplitVolumes, VolumesAreAskedForInOrder) {
  for (const char* ext : {".z01", ".z02", ".zip"})
    fs::copy_file(kSplit + ext, dir / ("backup" + std::string(ext)));
  UseFile(dir / "backup.zip");
  ASSERT_EQ(unzip.ArcType(), atZipMV);
  std::vector<std::pair<std::string, std::string>> asked;
  unzip.OnNextVolume = [&](TObject*, std::string& name, const std::string& id, bool exists,
                           bool& cancel) {
    asked.emplace_back(fs::path(name).filename().string(), id);
    EXPECT_TRUE(exists);
    EXPECT_TRUE(cancel == false);
  };
  EXPECT_EQ(unzip.Extract(), 4);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(fs::file_size(out + "longdist.bin"), 144632u);  // runs across all three volumes
  // backup.z01 for the first entry, then each volume as the data of
  // longdist.bin goes on, then the last one for random.bin.
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"backup.z01", "1"}, {"backup.z02", "2"}, {"backup.zip", "3"}};
  EXPECT_EQ(asked, expected);
  EXPECT_EQ(unzip.VolumeName(), dir / "backup.zip");  // the volume read last
}

TEST_F(SplitVolumes, MissingHandlerOrMissingFile) {
  for (const char* ext : {".z01", ".zip"})
    fs::copy_file(kSplit + ext, dir / ("backup" + std::string(ext)));
  UseFile(dir / "backup.zip");
  EXPECT_EQ(unzip.Extract(), 0);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].code, ec::RequiredEvent);
  EXPECT_EQ(errors[0].extendedMsg, "OnNextVolume");
  EXPECT_EQ(errors[0].volumeId, "1");

  // A handler that names a missing file without cancelling is asked again.
  int calls = 0;
  unzip.OnNextVolume = [&](TObject*, std::string& name, const std::string& id, bool exists,
                           bool& cancel) {
    ++calls;
    if (id == "2" && calls > 3) cancel = true;
    if (id == "2") {
      EXPECT_FALSE(exists);
    }
    (void)name;
  };
  errors.clear();
  unzip.Extract();
  EXPECT_GE(calls, 4);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.back().code, ec::UserCanceled);
}

/// The three volumes of the split set copied onto three simulated disks,
/// each as set.zip, labelled as a spanned set is.
class SpannedDisks : public test::ExtractFixture {
 protected:
  SpannedDisks() : drives(dir.MakeDir("drives") + "/", &DefaultDriveService()) {
    const char* exts[] = {".z01", ".z02", ".zip"};
    for (int i = 0; i < 3; ++i) {
      const int32_t d = drives.AddDisk(1 << 20, "PKBACK# 00" + std::to_string(i + 1));
      fs::copy_file(kSplit + exts[i], drives.DiskAt(d).folder + "set.zip");
    }
    unzip.SetDriveService(&drives);
    unzip.OnGetZipLastDisk = [this](TObject*, bool& cancel) { Ask(2, "last", cancel); };
    unzip.OnGetZipFirstDisk = [this](TObject*, bool& cancel) { Ask(0, "first", cancel); };
    unzip.OnGetZipNextDisk = [this](TObject*, const std::string& n, bool& cancel) {
      Ask(std::stoi(n) - 1, "next " + n, cancel);
    };
  }
  void Ask(int32_t disk, const std::string& what, bool& cancel) {
    EXPECT_TRUE(cancel);  // preset: a handler must clear it to go on
    prompts.push_back(what);
    if (prompts.size() > 20) return;  // a prompt loop would be a fault
    drives.Insert(disk);
    cancel = false;
  }

  SimulatedDrives drives;
  std::vector<std::string> prompts;
};

TEST_F(SpannedDisks, DisksAreAskedForAsTheDataNeedsThem) {
  drives.Insert(2);
  UseFile(drives.DrivePath() + "set.zip");
  ASSERT_EQ(unzip.ArcType(), atZipDS);
  EXPECT_EQ(unzip.Extract(), 4);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(prompts, (std::vector<std::string>{"first", "next 2", "next 3"}));
  EXPECT_EQ(fs::file_size(out + "longdist.bin"), 144632u);
  EXPECT_EQ(fs::file_size(out + "random.bin"), 12000u);
}

TEST_F(SpannedDisks, LastDiskIsAskedForUntilItIsThere) {
  drives.Insert(0);
  UseFile(drives.DrivePath() + "set.zip");
  ASSERT_EQ(unzip.ArcType(), atZipDS);
  EXPECT_EQ(unzip.Extract(), 4);
  ASSERT_FALSE(prompts.empty());
  EXPECT_EQ(prompts[0], "last");

  // A handler that keeps Cancel ends the run without a report of its own.
  drives.Insert(0);
  unzip.OnGetZipLastDisk = [](TObject*, bool&) {};
  errors.clear();
  EXPECT_EQ(unzip.Extract(), 0);
  EXPECT_TRUE(unzip.Cancel());
}

/// The simulated drives, whose next volume queries can be made to fail.
class FlakyDrives final : public DriveService {
 public:
  explicit FlakyDrives(DriveService& inner) : inner_(inner) {}
  int failures = 0;
  std::string DriveRoot(const std::string& p) override { return inner_.DriveRoot(p); }
  bool IsReady(const std::string& r) override { return inner_.IsReady(r); }
  bool IsWriteProtected(const std::string& r) override { return inner_.IsWriteProtected(r); }
  bool ReadVolume(const std::string& r, DriveInfo& info, std::string& error) override {
    if (failures > 0) return --failures, false;
    return inner_.ReadVolume(r, info, error);
  }
  bool ReadSpace(const std::string& r, int64_t& f, int64_t& t) override {
    return inner_.ReadSpace(r, f, t);
  }
  bool SetVolumeLabel(const std::string& r, const std::string& l) override {
    return inner_.SetVolumeLabel(r, l);
  }
  bool ClearDisk(const std::string& r) override { return inner_.ClearDisk(r); }

 private:
  DriveService& inner_;
};

TEST_F(SpannedDisks, DiskWithARecordNeedsNoDriveAnswer) {
  // The drive does not answer when the first disk is checked: a disk whose
  // file shows a record where one must stand is still the right one (the
  // answer, its label, matters only for a file too short to show one).
  FlakyDrives flaky(drives);
  unzip.SetDriveService(&flaky);
  drives.Insert(2);
  UseFile(drives.DrivePath() + "set.zip");
  unzip.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
    flaky.failures = 1;
    prompts.push_back("first");
    drives.Insert(0);
    cancel = prompts.size() > 5;
  };
  EXPECT_EQ(unzip.Extract(), 4);
  EXPECT_EQ(prompts, (std::vector<std::string>{"first", "next 2", "next 3"}));
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::NotAccessible});  // the query that failed
  EXPECT_EQ(unzip.VolumeName(), drives.DrivePath() + "set.zip");
}

TEST_F(SpannedDisks, ReopeningTheLastDiskClearsCancel) {
  // The last disk is opened again by assigning the archive to itself, which
  // clears a cancel made while the user was asked for it.
  drives.Insert(0);
  UseFile(drives.DrivePath() + "set.zip");
  unzip.OnGetZipLastDisk = [&](TObject*, bool& cancel) {
    unzip.SetCancel(true);
    drives.Insert(2);
    cancel = false;
  };
  EXPECT_EQ(unzip.Extract(), 4);
  EXPECT_FALSE(unzip.Cancel());
}

TEST_F(SpannedDisks, MissingDiskEvent) {
  drives.Insert(2);
  UseFile(drives.DrivePath() + "set.zip");
  unzip.OnGetZipFirstDisk = nullptr;
  EXPECT_EQ(unzip.Extract(), 0);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].code, ec::RequiredEvent);
  EXPECT_EQ(errors[0].extendedMsg, "OnGetZipFirstDisk");
}

}  // namespace
}  // namespace arc
