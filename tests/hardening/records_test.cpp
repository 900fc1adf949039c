//===-- tests/hardening/records_test.cpp - Records that lie about the archive ===//
//
// Directory records that share or overlap data, counts and offsets that
// point nowhere, extra fields and Zip64 values out of all proportion, and
// sizes that disagree with the data. Each archive is extracted and tested:
// nothing may crash or hang, and every lie is reported.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <filesystem>

#include <arc/support/error_codes.h>
#include "hostile_zip.h"
#include "unzip/arc_detect.h"
#include "unzip/entry_list.h"
#include "unzip/extract_fixture.h"

namespace arc {
namespace {

using test::BuildHostile;
using test::ExtraBlock;
using test::HostileEnd;
using test::HostileEntry;
using test::Le64;

using LyingRecords = test::ExtractFixture;

constexpr uint32_t kMarker = 0xFFFFFFFFu;

/// Size of the local header written for `e`.
uint32_t LocalLength(const HostileEntry& e) {
  return static_cast<uint32_t>(30 + e.name.size() + e.localExtra.size() + e.data.size());
}

TEST_F(LyingRecords, DirectoryRecordsSharingOrOverlappingData) {
  // Two directory records for one local header: the data is written once.
  HostileEntry a = HostileEntry::Stored("a.txt", std::string(1000, 'a'));
  HostileEntry twin = a;
  twin.name = "twin.txt";
  twin.writeLocal = false;
  twin.localOffset = 0;
  UseArchive(BuildHostile({a, twin}));
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_FALSE(Exists("twin.txt"));
  ASSERT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});
  EXPECT_EQ(errors[0].fileName, "twin.txt");

  // A local header hidden inside another entry's data.
  HostileEntry inner = HostileEntry::Stored("inner.txt", "hidden");
  const std::vector<uint8_t> innerZip = BuildHostile({inner});
  HostileEntry outer = HostileEntry::Stored(
      "outer.txt", std::string(innerZip.begin(), innerZip.begin() + LocalLength(inner)));
  HostileEntry quoted = inner;
  quoted.writeLocal = false;
  quoted.localOffset = 30 + static_cast<uint32_t>(outer.name.size());
  errors.clear();
  UseArchive(BuildHostile({outer, quoted}));
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_FALSE(Exists("inner.txt"));
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});
}

TEST_F(LyingRecords, CountsAndOffsetsThatPointNowhere) {
  const HostileEntry a = HostileEntry::Stored("a.txt", "first");
  const HostileEntry b = HostileEntry::Stored("b.txt", "second");

  // The end record claims far more entries than the file can hold: what is
  // there is extracted, and the shortfall is reported once.
  HostileEnd manyMore;
  manyMore.entries = 60000;
  UseArchive(BuildHostile({a, b}, manyMore));
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});

  // A local-header offset into the directory, at a local header smuggled
  // into a directory record's extra field.
  HostileEntry smuggler = b;
  const std::vector<uint8_t> fake = BuildHostile({HostileEntry::Stored("fake.txt", "fake")});
  smuggler.centralExtra = ExtraBlock(0x6666, std::string(fake.begin(), fake.begin() + 30 + 8 + 4));
  const uint32_t directoryAt = LocalLength(a) + LocalLength(b);
  const uint32_t smuggledAt = directoryAt + 46 + static_cast<uint32_t>(a.name.size()) + 46 +
                              static_cast<uint32_t>(b.name.size()) + 4;
  HostileEntry intoDirectory = HostileEntry::Stored("fake.txt", "fake");
  intoDirectory.writeLocal = false;
  intoDirectory.localOffset = smuggledAt;
  errors.clear();
  UseArchive(BuildHostile({a, smuggler, intoDirectory}));
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_FALSE(Exists("fake.txt"));
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});

  // A Zip64 offset beyond 48 bits must not wrap onto a real local header.
  HostileEntry wrapped = HostileEntry::Stored("wrapped.txt", "first");
  wrapped.writeLocal = false;
  wrapped.localOffset = kMarker;
  wrapped.centralExtra = ExtraBlock(0x0001, Le64((uint64_t{1} << 48) + 0));
  errors.clear();
  UseArchive(BuildHostile({a, wrapped}));
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_FALSE(Exists("wrapped.txt"));
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});
}

TEST_F(LyingRecords, ExtraFieldsAndZip64ValuesOutOfAllProportion) {
  // Blocks whose lengths run past the end of their field are passed over.
  HostileEntry crossing = HostileEntry::Stored("crossing.txt", "data");
  crossing.centralExtra = ExtraBlock(0x5455, "abcd", 0xFFF0);
  crossing.localExtra = ExtraBlock(0x0001, "abcd", 0x7FFF);
  HostileEntry tail = HostileEntry::Stored("tail.txt", "data");
  tail.centralExtra = "\x01";
  UseArchive(BuildHostile({crossing, tail}));
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(Read(out + "crossing.txt"), "data");

  // Sizes of 2^63 are no sizes: the entry is reported and left out, and
  // nothing is allocated or written for it.
  HostileEntry giant = HostileEntry::Stored("giant.txt", "");
  giant.crc = 0;
  giant.compressedSize = giant.uncompressedSize = kMarker;
  giant.centralExtra = ExtraBlock(0x0001, Le64(uint64_t{1} << 63) + Le64(uint64_t{1} << 63));
  const HostileEntry after = HostileEntry::Stored("after.txt", "after");
  errors.clear();
  UseArchive(BuildHostile({giant, after}));
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_FALSE(Exists("giant.txt"));
  EXPECT_EQ(Read(out + "after.txt"), "after");
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});

  // A Zip64 block too short for the sizes it should hold: the markers stay
  // and the data cannot match them.
  HostileEntry shortBlock = HostileEntry::Stored("short.txt", "data");
  shortBlock.compressedSize = shortBlock.uncompressedSize = kMarker;
  shortBlock.centralExtra = ExtraBlock(0x0001, "1234");
  errors.clear();
  UseArchive(BuildHostile({shortBlock}));
  unzip.Extract();
  EXPECT_FALSE(errors.empty());
}

TEST_F(LyingRecords, EncryptedEntryTooShortForItsHeader) {
  HostileEntry e = HostileEntry::Stored("secret.txt", "12345");
  e.flags = 1;
  UseArchive(BuildHostile({e, HostileEntry::Stored("plain.txt", "plain")}));
  int asked = 0;
  unzip.OnGetPassword = [&](TObject*, const std::string&, std::string&, bool& again) {
    ++asked;
    again = false;
  };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(Exists("secret.txt"));
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});
  errors.clear();
  EXPECT_EQ(unzip.Test(), 1);
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});
}

TEST_F(LyingRecords, DeclaredSizeLargerThanTheData) {
  const std::string text(5000, 'x');
  // Deflated data that ends early, with a CRC that matches what is there.
  HostileEntry deflated = HostileEntry::Deflated("deflated.txt", text);
  deflated.uncompressedSize += 1000;
  // A stored entry whose declared size reaches into the next record.
  HostileEntry stored = HostileEntry::Stored("stored.txt", text);
  stored.uncompressedSize += 40;
  // Gigabytes declared, a few bytes there.
  HostileEntry huge = HostileEntry::Deflated("huge.txt", "tiny");
  huge.uncompressedSize = 0xFFFFFF00u;
  UseArchive(BuildHostile({deflated, stored, huge}));
  EXPECT_EQ(unzip.Extract(), 3);
  EXPECT_EQ(Read(out + "deflated.txt"), text);
  EXPECT_EQ(Read(out + "stored.txt"), text);
  EXPECT_EQ(Read(out + "huge.txt"), "tiny");
  EXPECT_EQ(Codes(), std::vector<int32_t>(3, ec::FileSizeDifferent));

  std::vector<bool> passed;
  unzip.OnEnd = [&](TObject*, const std::string&, bool pass) { passed.push_back(pass); };
  // With OnEnd the verdict goes there, as for a failed CRC check.
  errors.clear();
  EXPECT_EQ(unzip.Test(), 3);
  EXPECT_EQ(passed, std::vector<bool>(3, false));
  EXPECT_TRUE(errors.empty());
}

TEST_F(LyingRecords, DeclaredSizeSmallerThanTheData) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += static_cast<char>('a' + i * 7 % 26);
  HostileEntry deflated = HostileEntry::Deflated("deflated.txt", text);
  deflated.uncompressedSize = 10;
  HostileEntry stored = HostileEntry::Stored("stored.txt", text);
  stored.uncompressedSize = 10;
  UseArchive(BuildHostile({deflated, stored}));
  EXPECT_EQ(unzip.Extract(), 2);
  // Output stops at the declared size; the CRC of the whole data fails.
  EXPECT_EQ(Read(out + "deflated.txt"), text.substr(0, 10));
  EXPECT_EQ(Read(out + "stored.txt"), text.substr(0, 10));
  EXPECT_EQ(Codes(), std::vector<int32_t>(2, ec::CrcFailed));
}

TEST(EntryTotals, TensOfThousandsOfEntriesOfAlmost2To48BytesEach) {
  // Together they claim more than 2^63 bytes; the totals for progress must
  // stay positive (and never overflow, which the sanitizer build checks).
  constexpr uint64_t kLargest = (uint64_t{1} << 48) - 1;
  HostileEntry e = HostileEntry::Stored("x", "");
  e.compressedSize = e.uncompressedSize = kMarker;
  e.centralExtra = ExtraBlock(0x0001, Le64(kLargest) + Le64(kLargest));
  const std::vector<HostileEntry> entries(33000, e);
  const std::vector<uint8_t> bytes = BuildHostile(entries);
  MemorySource file(bytes);
  const Detection found = ArcDetector(file, "a.zip", nullptr).Detect();
  ASSERT_EQ(found.type, atZip);
  EntryListHost host;
  host.arcType = atZip;
  host.selects = [](const std::string&) { return true; };
  int reports = 0;
  host.report = [&](const std::string&, int32_t) { ++reports; };
  const ZipEntryList list = ListCentralDirectory(file, found.open, host);
  EXPECT_EQ(list.items.size(), entries.size());
  EXPECT_EQ(reports, 0);
  EXPECT_GT(list.uncompressedTotal, int64_t{1} << 61);
  EXPECT_GT(list.compressedTotal, int64_t{1} << 61);
}

}  // namespace
}  // namespace arc
