//===-- tests/manual/zip64_large_test.cpp - Entries and archives of 4 GiB -===//
//
// Writes a 4.5 GiB entry of zeros (from a sparse file), deflated and then
// stored, each followed by a small file, and has the archives checked by
// unzip, 7z, Python's zipfile and our own reader. The stored archive is
// itself larger than 4 GiB, so its second entry's offset and its central
// directory need the Zip64 forms too. It takes minutes and 4.5 GB of disk:
// ctest runs it only when asked (label "manual").
//
//===----------------------------------------------------------------------===//
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "zip/zip_test_util.h"

namespace arc {
namespace {

constexpr int64_t kLarge = 4608ll << 20;  // 4.5 GiB

class LargeEntries : public ::testing::TestWithParam<TDeflateType> {};

TEST_P(LargeEntries, PeersAndOurReaderReadTheZip64Forms) {
  test::TempDir dir;
  const std::string source = dir / "src/zeros.bin";
  test::WriteText(source, "");
  ASSERT_EQ(truncate(source.c_str(), kLarge), 0);
  test::WriteText(dir / "src/after.txt", "a small file behind the large one");

  const std::string archive = dir / "large.zip";
  TZip zip;
  test::Recorder rec;
  rec.Attach(zip);
  zip.SetArchiveFile(archive);
  zip.SetTempDir(dir.path());
  zip.SetFileSpec({source});
  zip.SetDeflateType(GetParam());
  ASSERT_EQ(zip.Compress(), 1);
  zip.SetFileSpec({dir / "src/after.txt"});
  ASSERT_EQ(zip.Compress(), 1);
  EXPECT_TRUE(rec.reports.empty());

  const std::vector<test::ListedEntry> entries = test::ListCentral(archive);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].extent.uncompressedSize, static_cast<uint64_t>(kLarge));
  EXPECT_TRUE(entries[0].extent.zip64);
  if (GetParam() == dtDeflateS) {
    EXPECT_GT(entries[1].extent.localHeaderOffset, 0xFFFFFFFFull);
  }

  EXPECT_EQ(test::PeerFailures(archive), "");
  const test::ToolResult listed = test::Run("unzip -l " + test::Quote(archive));
  EXPECT_NE(listed.output.find("4831838208"), std::string::npos) << listed.output;
}

INSTANTIATE_TEST_SUITE_P(DeflatedAndStored, LargeEntries,
                         ::testing::Values(dtDeflateN, dtDeflateS));

}  // namespace
}  // namespace arc
