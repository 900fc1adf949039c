//===-- tests/unzip/open_archive_test.cpp - Assigning an archive file -----===//
#include <gtest/gtest.h>

#include <filesystem>

#include <arc/support/drive_simulated.h>
#include <arc/unzip/unzip.h>
#include "common/test_temp_dir.h"
#include "support/stream_errors.h"

namespace arc {
namespace {

const std::string kPublic = std::string(ARC_TEST_DATA) + "/public/";

TEST(OpenArchive, MissingFileClearsTheNameAndType) {
  test::TempDir dir;
  TUnZip z;
  z.SetArchiveFile(kPublic + "gen-infozip-comments.zip");
  EXPECT_EQ(z.ArcType(), atZip);
  z.SetArchiveFile(dir / "missing.zip");
  EXPECT_EQ(z.ArchiveFile(), "");
  EXPECT_EQ(z.ArcType(), atNA);
  EXPECT_THROW(z.SetArcType(atZip), EFOpenError);
}

TEST(OpenArchive, ZipArchiveLayoutAndDate) {
  test::TempDir dir;
  const std::string copy = dir / "c.zip";
  std::filesystem::copy_file(kPublic + "gen-infozip-comments.zip", copy);
  std::filesystem::last_write_time(copy, std::filesystem::file_time_type::clock::now());
  TUnZip z;
  z.SetArchiveFile(copy);
  EXPECT_EQ(z.ArchiveFile(), copy);
  EXPECT_EQ(z.ArcType(), atZip);
  EXPECT_EQ(z.OpenState().archiveSize, 35714);
  EXPECT_TRUE(z.OpenState().headerState & htCentral);
  EXPECT_NE(z.OpenState().archiveDate, ArcOpenState::kUnknownArchiveDate);
  // Assigning the type detects again; the value given is ignored.
  z.SetArcType(atRar);
  EXPECT_EQ(z.ArcType(), atZip);
}

TEST(OpenArchive, LastDiskOfASpannedSetOnARemovableDrive) {
  test::TempDir dir;
  SimulatedDrives drives(dir.slashed(), &DefaultDriveService());
  drives.Insert(drives.AddDisk(1 << 20, "PKBACK# 003"));
  const std::string onDisk = drives.DrivePath() + "set.zip";
  std::filesystem::copy_file(kPublic + "gen-infozip-split.zip", onDisk);
  TUnZip z;
  z.SetDriveService(&drives);
  z.SetArchiveFile(onDisk);
  EXPECT_EQ(z.ArcType(), atZipDS);

  // The same volume on a fixed drive is one file of a split set.
  const std::string onFixed = dir / "set.zip";
  std::filesystem::copy_file(kPublic + "gen-infozip-split.zip", onFixed);
  z.SetArchiveFile(onFixed);
  EXPECT_EQ(z.ArcType(), atZipMV);
}

}  // namespace
}  // namespace arc
