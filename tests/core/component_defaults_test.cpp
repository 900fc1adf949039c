//===-- tests/core/component_defaults_test.cpp - Defaults and setters -----===//
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arc/support/dos_time.h>
#include <arc/unzip/unzip.h>
#include <arc/zip/zip.h>

namespace arc {
namespace {

TEST(ArcTypes, OrdinalsFollowTheDeclarationOrder) {
  EXPECT_EQ(atNA, 0);
  EXPECT_EQ(atUnknown, 3);
  EXPECT_EQ(atGZip, 14);
  EXPECT_EQ(atZip, 30);
  EXPECT_EQ(atZipDS, 32);
  EXPECT_EQ(atZipMV, 33);
  EXPECT_EQ(atZoo, 34);
  EXPECT_FALSE(IsValidArcType(atUnknown));
  EXPECT_TRUE(IsValidArcType(atAce));

  EXPECT_EQ(fsEncrypted, 8);
  EXPECT_EQ(cmTarGzip, 12);
  EXPECT_EQ(dtDeflateX, 3);
  EXPECT_EQ(daMaxFileDate, 2);
  EXPECT_EQ(doAllowUndo, 1);
  EXPECT_EQ(omSkip, 1);
  EXPECT_EQ(sdExplorer_UserDefineDefaultDir, 7);
  EXPECT_EQ(swRead, 4);
  EXPECT_EQ(cpt80486, 3);
  EXPECT_EQ(cmTempFile, 1);
}

TEST(ArcFileAttrs, BitNIsOrdinalNAndValuesBeyondBit15AreIgnored) {
  TArcFileAttrs set{fsZeroAttr, fsDirectory};
  EXPECT_EQ(set.Bits(), 0x21);
  set.Include(static_cast<TArcFileAttr>(16));
  set.Include(static_cast<TArcFileAttr>(200));
  EXPECT_EQ(set.Bits(), 0x21);
  EXPECT_FALSE(set.Contains(static_cast<TArcFileAttr>(16)));
  set.Exclude(fsZeroAttr);
  EXPECT_EQ(set, TArcFileAttrs{fsDirectory});
}

TEST(ZipDefaults, EveryPropertyStartsAtItsDefault) {
  TZip zip;
  EXPECT_EQ(zip.ArchiveFile(), "");
  EXPECT_EQ(zip.ArcType(), atZip);
  EXPECT_EQ(zip.Attributes().Bits(), 451);
  EXPECT_TRUE(zip.AttributesEx().Empty());
  EXPECT_EQ(zip.CompressMethod(), cmDeflate);
  EXPECT_EQ(zip.CompressionMethod(), cmTempFile);
  EXPECT_EQ(zip.DateAttribute(), daFileDate);
  EXPECT_EQ(zip.DefaultExt(), ".ZIP");
  EXPECT_EQ(zip.DeflateType(), dtDeflateN);
  EXPECT_EQ(zip.DeleteOptions(), doAllowUndo);
  EXPECT_FALSE(zip.EncryptHeaders());
  EXPECT_TRUE(zip.ExcludeSpec().empty());
  EXPECT_TRUE(zip.FileSpec().empty());
  EXPECT_FALSE(zip.IncludeHiddenDirs());
  EXPECT_EQ(zip.LeaveSpaceOnFirstDisk(), 0);
  EXPECT_EQ(zip.Password(), "");
  EXPECT_TRUE(zip.RecurseDirs());
  EXPECT_FALSE(zip.StoreEmptySubDirs());
  EXPECT_EQ(zip.StoredDirNames(), sdRelative);
  EXPECT_EQ(zip.Switch(), swAdd);
  EXPECT_TRUE(zip.TranslateOemChar());
  EXPECT_FALSE(zip.VerifyBeforeDelete());
  // State that is not published.
  EXPECT_FALSE(zip.Cancel());
  EXPECT_EQ(zip.DefaultDir(), "");
  EXPECT_TRUE(zip.UseStoredDirs());
  EXPECT_EQ(zip.PasswordAttempts(), 3);
  EXPECT_EQ(zip.OverwriteMode(), omOverwrite);
  EXPECT_FALSE(zip.ConfirmOverwrites());
  EXPECT_TRUE(zip.SkipExtList().empty());
  EXPECT_EQ(zip.ProcessedCount(), 0);
  EXPECT_EQ(zip.DeletedCount(), 0);
  EXPECT_FALSE(zip.OnError);
  EXPECT_FALSE(zip.OnProgress);
  EXPECT_FALSE(zip.OnTmpFileProgress);
}

TEST(ZipDefaults, StoreFilesOfTypeHoldsTheTwentyFourExtensionsInOrder) {
  TZip zip;
  const std::vector<std::string> expected{".ACE", ".ARC", ".ARJ", ".BH",  ".CAB", ".ENC",
                                          ".GZ",  ".HA",  ".JAR", ".LHA", ".LZH", ".PAK",
                                          ".PK3", ".PK_", ".RAR", ".TAR", ".TGZ", ".UUE",
                                          ".UU",  ".WAR", ".XXE", ".Z",   ".ZIP", ".ZOO"};
  EXPECT_EQ(zip.StoreFilesOfType(), expected);
}

TEST(UnZipDefaults, EveryPropertyStartsAtItsDefault) {
  TUnZip unzip;
  EXPECT_EQ(unzip.ArchiveFile(), "");
  EXPECT_EQ(unzip.ArcType(), atNA);
  EXPECT_FALSE(unzip.ConfirmOverwrites());
  EXPECT_EQ(unzip.CpuType(), cptAuto);
  EXPECT_FALSE(unzip.CreateStoredDirs());
  EXPECT_EQ(unzip.DateAttribute(), daFileDate);
  EXPECT_EQ(unzip.ExtractDir(), "");
  EXPECT_TRUE(unzip.FileSpec().empty());
  EXPECT_EQ(unzip.OverwriteMode(), omOverwrite);
  EXPECT_EQ(unzip.PasswordAttempts(), 3);
  EXPECT_TRUE(unzip.Passwords().empty());
  EXPECT_TRUE(unzip.RecurseDirs());
  EXPECT_TRUE(unzip.RestoreFileAttr());
  EXPECT_TRUE(unzip.TranslateOemChar());
  EXPECT_TRUE(unzip.UseStoredDirs());
  EXPECT_FALSE(unzip.Cancel());
}

TEST(ZipSetters, CompressMethodTakesOnlyStoreAndDeflate) {
  TZip zip;
  zip.SetCompressMethod(cmFuse);
  EXPECT_EQ(zip.CompressMethod(), cmDeflate);
  zip.SetCompressMethod(cmStore);
  EXPECT_EQ(zip.CompressMethod(), cmStore);
  zip.SetCompressMethod(cmTarGzip);
  EXPECT_EQ(zip.CompressMethod(), cmStore);
  zip.SetCompressMethod(cmDeflate);
  EXPECT_EQ(zip.CompressMethod(), cmDeflate);
}

TEST(ZipSetters, SetAttributeAndSetAttributeExChangeOneBitEach) {
  TZip zip;
  zip.SetAttribute(fsHidden, true);
  zip.SetAttribute(fsEncrypted, false);
  EXPECT_EQ(zip.Attributes().Bits(), 451 + 4 - 256);
  zip.SetAttribute(static_cast<TArcFileAttr>(17), true);
  EXPECT_EQ(zip.Attributes().Bits(), 451 + 4 - 256);

  zip.SetAttributeEx(fsSysFile, true);
  zip.SetAttributeEx(fsDirectory, true);
  zip.SetAttributeEx(fsSysFile, false);
  EXPECT_EQ(zip.AttributesEx(), TArcFileAttrs{fsDirectory});
  EXPECT_EQ(zip.Attributes().Bits(), 451 + 4 - 256);
}

TEST(ZipSetters, ArchiveFileWithoutExtensionGetsDefaultExt) {
  TZip zip;
  zip.SetArchiveFile("/backups/company");
  EXPECT_EQ(zip.ArchiveFile(), "/backups/company.ZIP");
  zip.SetArchiveFile("/backups.d/company.zip");
  EXPECT_EQ(zip.ArchiveFile(), "/backups.d/company.zip");
  zip.SetArchiveFile("/backups.d/company");
  EXPECT_EQ(zip.ArchiveFile(), "/backups.d/company.ZIP");
  // A leading dot makes a hidden name, not an extension.
  zip.SetArchiveFile("/backups/.company");
  EXPECT_EQ(zip.ArchiveFile(), "/backups/.company.ZIP");
  zip.SetDefaultExt(".bak");
  zip.SetArchiveFile("x");
  EXPECT_EQ(zip.ArchiveFile(), "x.bak");
  zip.SetArchiveFile("");
  EXPECT_EQ(zip.ArchiveFile(), "");
}

TEST(ZipSetters, ArcTypeIsAlwaysZipAndCompletesTheArchiveName) {
  TZip zip;
  zip.BeginLoading();
  std::string dir = (std::filesystem::temp_directory_path() / "arc_core_XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const std::string bare = dir + "/plain";
  std::ofstream(bare) << "x";
  zip.SetArchiveFile(bare);  // loading: stored unchanged
  zip.Loaded();
  EXPECT_EQ(zip.ArchiveFile(), bare);
  zip.SetArcType(atRar);
  EXPECT_EQ(zip.ArcType(), atZip);
  EXPECT_EQ(zip.ArchiveFile(), bare + ".ZIP");
  std::filesystem::remove_all(dir);
}

TEST(ZipSetters, ArchiveFileWhileLoadingDropsAMissingFile) {
  TZip zip;
  zip.BeginLoading();
  zip.SetArchiveFile("/nonexistent-dir-of-arc-tests/a");
  EXPECT_EQ(zip.ArchiveFile(), "");
  zip.Loaded();
  zip.SetArchiveFile("/nonexistent-dir-of-arc-tests/a");
  EXPECT_EQ(zip.ArchiveFile(), "/nonexistent-dir-of-arc-tests/a.ZIP");
}

TEST(ZipSetters, AssigningTheArchiveClearsTheCancelFlag) {
  TZip zip;
  zip.SetCancel(true);
  zip.SetArchiveFile("/tmp/a.zip");
  EXPECT_FALSE(zip.Cancel());
  TUnZip unzip;
  unzip.SetCancel(true);
  unzip.SetArchiveFile("/nonexistent-dir-of-arc-tests/a.zip");
  EXPECT_FALSE(unzip.Cancel());
}

TEST(UnZipSetters, ZipCmntBufSizeIsHeldToItsRange) {
  TUnZip unzip;
  unzip.SetZipCmntBufSize(100);
  EXPECT_EQ(unzip.ZipCmntBufSize(), 2000);
  unzip.SetZipCmntBufSize(40000);
  EXPECT_EQ(unzip.ZipCmntBufSize(), 32767);
  unzip.SetZipCmntBufSize(5000);
  EXPECT_EQ(unzip.ZipCmntBufSize(), 5000);
}

TEST(ZipCommon, DosDateThatDoesNotConvertReadsAsTheFirstMinuteOf1980) {
  TUnZip unzip;
  EXPECT_DOUBLE_EQ(unzip.DosDateToDateTime(0), kDosDefaultDateTime);
  // Month 13 at 10:30: the time of day is not kept.
  const uint32_t bad_month = (20u << 25) | (13u << 21) | (1u << 16) | (10u << 11) | (30u << 5);
  EXPECT_DOUBLE_EQ(unzip.DosDateToDateTime(bad_month), kDosDefaultDateTime);
  const uint32_t good = (44u << 25) | (2u << 21) | (29u << 16) | (12u << 11);
  EXPECT_DOUBLE_EQ(unzip.DosDateToDateTime(good), DosToDateTime(good));
  EXPECT_DOUBLE_EQ(unzip.DosDateToDateTime(good), EncodeDate(2024, 2, 29) + 0.5);
}

}  // namespace
}  // namespace arc
