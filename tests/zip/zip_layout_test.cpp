//===-- tests/zip/zip_layout_test.cpp - Records at the 4 GiB boundaries ---===//
//
// Values of 4 GiB and more cannot be written into an archive in a test of
// modest size, so the records are built and read back directly: each field
// one below its 32-bit limit stays in place, the limit itself moves into a
// Zip64 block, and the end of the directory gets a Zip64 end record and
// locator that the end-record search follows.
//
//===----------------------------------------------------------------------===//
#include "zip/zip_layout.h"

#include <gtest/gtest.h>

#include <arc/support/byte_source.h>
#include "unzip/end_record.h"

namespace arc {
namespace {

constexpr uint64_t k4G = 0x100000000ull;

CentralRecord ReadBack(const std::vector<uint8_t>& bytes) {
  MemorySource source(bytes);
  const RecordRead<CentralRecord> rec = ReadCentralRecord(source, 0);
  EXPECT_TRUE(rec);
  return rec.record;
}

TEST(CentralRecordBytes, EachValueMovesIntoTheZip64BlockAtItsLimit) {
  struct Case {
    uint64_t compressed, uncompressed, offset;
    size_t zip64_data;  // bytes of the Zip64 block's data, 0 without one
  } cases[] = {
      {k4G - 2, k4G - 2, k4G - 2, 0},
      {10, 10, k4G - 1, 8},             // offset alone
      {10, k4G - 1, 0, 16},             // sizes go together
      {k4G + 5, 3 * k4G, 7 * k4G, 24},  // everything
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    CentralRecordParts parts;
    parts.header.versionMadeBy = kVersionDefault;
    parts.header.versionNeeded = kVersionDefault;
    parts.name = "big.bin";
    parts.compressedSize = c.compressed;
    parts.uncompressedSize = c.uncompressed;
    parts.localHeaderOffset = c.offset;
    parts.otherExtra = {0x55, 0x54, 0x01, 0x00, 0x07};  // a block of another tool, kept
    parts.comment = {'h', 'i'};
    const std::vector<uint8_t> bytes = CentralRecordBytes(parts);
    const CentralRecord rec = ReadBack(bytes);
    EXPECT_EQ(rec.extent.compressedSize, c.compressed);
    EXPECT_EQ(rec.extent.uncompressedSize, c.uncompressed);
    EXPECT_EQ(rec.extent.localHeaderOffset, c.offset);
    EXPECT_EQ(rec.header.extraLength, (c.zip64_data ? c.zip64_data + 4 : 0) + 5);
    EXPECT_EQ(rec.header.versionNeeded, c.zip64_data ? kVersionZip64 : kVersionDefault);
    EXPECT_EQ(rec.recordLength, bytes.size());
    EXPECT_EQ(std::string(rec.comment.begin(), rec.comment.end()), "hi");
  }
}

TEST(CentralRecordBytes, LocalZip64KeepsTheSizesInTheBlock) {
  CentralRecordParts parts;
  parts.name = "x";
  parts.compressedSize = 100;
  parts.uncompressedSize = 200;
  parts.localZip64 = true;
  const CentralRecord rec = ReadBack(CentralRecordBytes(parts));
  EXPECT_EQ(rec.header.compressedSize, 0xFFFFFFFFu);
  EXPECT_EQ(rec.extent.compressedSize, 100u);
  EXPECT_EQ(rec.extent.uncompressedSize, 200u);
}

TEST(CentralRecordBytes, EncipheredHeaderReadsBackWithTheBuiltInKeys) {
  CentralRecordParts parts;
  parts.header.method = 8;
  parts.name = "secret/name.txt";
  parts.compressedSize = 1234;
  parts.encipher = true;
  const std::vector<uint8_t> bytes = CentralRecordBytes(parts);
  EXPECT_EQ(bytes[1], 'L');
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("secret"), std::string::npos);
  const CentralRecord rec = ReadBack(bytes);
  EXPECT_TRUE(rec.encipheredHeader);
  EXPECT_EQ(std::string(rec.storedName.begin(), rec.storedName.end()), "secret/name.txt");
  EXPECT_EQ(rec.header.method, 8);
  EXPECT_EQ(rec.extent.compressedSize, 1234u);
}

TEST(LocalHeaderBytes, Zip64BlockHoldsBothSizes) {
  LocalHeader h;
  h.uncompressedSize = kZip64Marker32;
  h.compressedSize = kZip64Marker32;
  h.nameLength = 1;
  h.extraLength = kZip64LocalBlockLen;
  const std::vector<uint8_t> bytes = LocalHeaderBytes(h, "z", true, 5 * k4G + 1, 3, false);
  ASSERT_EQ(bytes.size(), kLocalHeaderLen + 1 + kZip64LocalBlockLen);
  MemorySource source(bytes);
  const RecordRead<LocalRecord> rec = ReadLocalRecord(source, 0);
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->extent.uncompressedSize, 5 * k4G + 1);
  EXPECT_EQ(rec->extent.compressedSize, 3u);
}

TEST(EndOfDirectoryBytes, Zip64RecordsOnlyWhereAFieldOverflows) {
  EXPECT_EQ(EndOfDirectoryBytes(0xFFFE, 100, k4G - 2, k4G + 98, {}).size(), kEndRecordLen);
  for (auto [entries, size, offset] :
       {std::tuple<uint64_t, uint64_t, uint64_t>{0xFFFF, 1, 1}, {1, k4G - 1, 1}, {1, 1, k4G - 1}}) {
    const std::vector<uint8_t> bytes = EndOfDirectoryBytes(entries, size, offset, 1000, {'c'});
    ASSERT_EQ(bytes.size(), kZip64EndRecordLen + kZip64LocatorLen + kEndRecordLen + 1);
    const auto z = ParseZip64EndRecord(bytes);
    ASSERT_TRUE(z.has_value());
    EXPECT_EQ(z->totalEntries, entries);
    EXPECT_EQ(z->centralDirSize, size);
    EXPECT_EQ(z->centralDirOffset, offset);
    const auto l = ParseZip64Locator(std::span<const uint8_t>(bytes).subspan(kZip64EndRecordLen));
    ASSERT_TRUE(l.has_value());
    EXPECT_EQ(l->zip64EndOffset, 1000u);
    const auto e = ParseEndRecord(
        std::span<const uint8_t>(bytes).subspan(kZip64EndRecordLen + kZip64LocatorLen));
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->commentLength, 1);
  }
}

TEST(EndOfDirectoryBytes, TheEndRecordSearchFollowsTheZip64Locator) {
  // 70,000 entries need the Zip64 end record; the search must find the
  // directory through the locator.
  std::vector<uint8_t> archive(100, 0);  // stands for the entries' data
  const uint64_t start = archive.size();
  for (int i = 0; i < 70000; ++i) {
    CentralRecordParts parts;
    parts.name = "f" + std::to_string(i);
    parts.localHeaderOffset = 0;
    const std::vector<uint8_t> rec = CentralRecordBytes(parts);
    archive.insert(archive.end(), rec.begin(), rec.end());
  }
  const uint64_t end = archive.size();
  const std::vector<uint8_t> tail = EndOfDirectoryBytes(70000, end - start, start, end, {});
  archive.insert(archive.end(), tail.begin(), tail.end());
  MemorySource source(archive);
  ArcOpenState open;
  EXPECT_EQ(SearchEndRecord(source, open), static_cast<int64_t>(start));
  EXPECT_TRUE(HasHeader(open.headerState, htZip64Locator));
  EXPECT_TRUE(HasHeader(open.headerState, htZip64Ending));
  EXPECT_TRUE(HasHeader(open.headerState, htCentral));
}

}  // namespace
}  // namespace arc
