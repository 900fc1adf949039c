//===-- tests/span/round_trip_test.cpp - Disk sets written and read back --===//
//
// About 1 MB of mixed files written onto disks of three sizes, read back by
// our reader through its disk events, and the volumes handed to 7-Zip as a
// split set (a spanned and a split archive share one layout).
//
//===----------------------------------------------------------------------===//
#include <arc/support/error_codes.h>
#include "span_fixture.h"

namespace arc {
namespace {

using test::ListCentral;
using test::ReadText;

class RoundTrip : public test::SpanFixture, public ::testing::WithParamInterface<int64_t> {
 protected:
  /// The mixed files written onto disks of the test's size.
  void WriteOntoDisks() {
    WriteSources(test::MixedSources());
    AddDisks(20, GetParam());
    drives.Insert(0);
    TZip zip;
    Configure(zip);
    ASSERT_EQ(zip.Compress(), static_cast<int32_t>(sources.size()));
    EXPECT_TRUE(rec.reports.empty()) << rec.reports[0].code;
  }
};

TEST_P(RoundTrip, WrittenOntoDisksAndReadBackByteForByte) {
  const int64_t capacity = GetParam();
  ASSERT_NO_FATAL_FAILURE(WriteOntoDisks());

  const std::vector<int32_t> disks = VolumeDisks();
  ASSERT_FALSE(disks.empty());
  // About 1 MB takes one 1.5 MB disk and several smaller ones.
  const bool spanned = disks.size() > 1;
  EXPECT_EQ(spanned, capacity < 1024 * 1024) << disks.size() << " disks";
  for (size_t i = 0; i < disks.size(); ++i) {
    EXPECT_EQ(disks[i], static_cast<int32_t>(i));  // the disks in the order they were put in
    EXPECT_EQ(drives.DiskAt(disks[i]).label, SpanDiskLabel(static_cast<int32_t>(i) + 1));
    EXPECT_LE(drives.UsedBytes(disks[i]), capacity);
  }
  // The first disk is taken as it is; every further one is asked for.
  EXPECT_EQ(prompts.size(), disks.size() - 1);
  const std::string first = ReadText(Volume(disks.front()));
  EXPECT_EQ(first.compare(0, 4, "PK\x07\x08") == 0, spanned);

  // The whole directory is beside the end record on the last disk.
  const std::vector<test::ListedEntry> entries = ListCentral(Volume(disks.back()));
  ASSERT_EQ(entries.size(), sources.size());
  uint32_t lastDisk = 0;
  for (const test::ListedEntry& e : entries) {
    EXPECT_GE(e.extent.diskNumberStart, lastDisk) << e.name;
    lastDisk = e.extent.diskNumberStart;
  }
  EXPECT_LE(lastDisk, disks.size() - 1);
  if (!spanned) {
    EXPECT_EQ(lastDisk, 0u);
  }

  std::string errors;
  EXPECT_EQ(ExtractSet("out", errors), static_cast<int32_t>(sources.size()));
  EXPECT_EQ(errors, "");
  EXPECT_EQ(test::TreeDiff(test::Tree(dir / "out"), test::Tree(dir / "src")), "");
  if (!spanned) {
    // One disk holds a plain archive every tool reads.
    EXPECT_EQ(test::PeerFailures(Volume(disks.front())), "");
  }
}

TEST_P(RoundTrip, VolumesCopiedOffPassSevenZipAsASplitSet) {
  if (!test::HaveSevenZip()) GTEST_SKIP() << "7z missing";
  ASSERT_NO_FATAL_FAILURE(WriteOntoDisks());
  EXPECT_EQ(SevenZipFailures(), "");
}

class EncryptedRoundTrip : public test::SpanFixture,
                           public ::testing::WithParamInterface<TEncryptionMethod> {};

TEST_P(EncryptedRoundTrip, EncryptedEntriesAreCopiedLikeAnyOther) {
  WriteSources(test::MixedSources());
  AddDisks(20, 100 * 1024);
  drives.Insert(0);
  TZip zip;
  Configure(zip);
  zip.SetPassword("disk set");
  zip.SetEncryptionMethod(GetParam());
  ASSERT_EQ(zip.Compress(), static_cast<int32_t>(sources.size()));
  ASSERT_GT(VolumeDisks().size(), 1u);
  std::string errors;
  EXPECT_EQ(ExtractSet("out", errors, "disk set"), static_cast<int32_t>(sources.size()));
  EXPECT_EQ(errors, "");
  EXPECT_EQ(test::TreeDiff(test::Tree(dir / "out"), test::Tree(dir / "src")), "");
  if (test::HaveSevenZip()) {
    EXPECT_EQ(SevenZipFailures("disk set"), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, EncryptedRoundTrip, ::testing::Values(emTraditional, emAes256),
                         [](const auto& info) {
                           return std::string(info.param == emTraditional ? "ZipCrypto" : "Aes256");
                         });

INSTANTIATE_TEST_SUITE_P(DiskSizes, RoundTrip,
                         ::testing::Values(100 * 1024, 300 * 1024, 1536 * 1024),
                         [](const auto& info) { return std::to_string(info.param / 1024) + "KB"; });

}  // namespace
}  // namespace arc
