//===-- tests/legacy/golden_archives_test.cpp - Legacy entries of real archives -===//
//
// Every shrunk, reduced and imploded entry of the archives in data/public
// (made by tools nobody on this project wrote; see data/public/MANIFEST.md)
// must decode to the size and CRC-32 those tools stored. The entries are found
// by walking the local headers; all of them carry their sizes there.
//
//===----------------------------------------------------------------------===//
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "legacy/decode_harness.h"

namespace arc::test {
namespace {

struct LocalEntry {
  std::string name;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint32_t uncompressedSize = 0;
  std::vector<uint8_t> data;
};

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
  return v;
}

/// The entries of the archive's leading run of local headers.
std::vector<LocalEntry> WalkLocalHeaders(const std::vector<uint8_t>& zip) {
  constexpr uint32_t kLocalSignature = 0x04034B50;
  constexpr size_t kLocalHeaderLen = 30;  // + name + extra + data
  std::vector<LocalEntry> entries;
  size_t at = 0;
  while (at + kLocalHeaderLen <= zip.size() && Le(zip, at, 4) == kLocalSignature) {
    LocalEntry e;
    e.flags = static_cast<uint16_t>(Le(zip, at + 6, 2));
    e.method = static_cast<uint16_t>(Le(zip, at + 8, 2));
    e.crc = Le(zip, at + 14, 4);
    uint32_t packed = Le(zip, at + 18, 4);
    e.uncompressedSize = Le(zip, at + 22, 4);
    size_t nameLen = Le(zip, at + 26, 2);
    size_t extraLen = Le(zip, at + 28, 2);
    size_t data = at + kLocalHeaderLen + nameLen + extraLen;
    if (data + packed > zip.size()) break;
    e.name.assign(zip.begin() + at + kLocalHeaderLen, zip.begin() + at + kLocalHeaderLen + nameLen);
    e.data.assign(zip.begin() + data, zip.begin() + data + packed);
    entries.push_back(std::move(e));
    at = data + packed;
  }
  return entries;
}

std::vector<uint8_t> ReadArchive(const std::string& file) {
  std::ifstream in(std::string(ARC_TEST_DATA) + "/public/" + file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Expected {
  const char* file;
  const char* name;
  uint16_t method;
  uint16_t flags;
  uint32_t size;
  uint32_t crc;
};

// From MANIFEST.md (central directory values, confirmed there by other tools).
constexpr Expected kEntries[] = {
    {"cc-SHRUNK.ZIP", "TEST1.XML", 1, 0, 76, 0x393a497a},
    {"cc-SHRUNK.ZIP", "TEST2.XML", 1, 0, 81, 0xd19abf92},
    {"cc-imploding-4Kdict-2trees.zip", "HEADER.TXT", 6, 0, 818, 0x3222d8c7},
    {"cc-imploding-8Kdict-3trees.zip", "LICENSE.TXT", 6, 6, 11560, 0x495fc599},
    {"cc-lorem-ipsum-implode.zip", "LOREM.TXT", 6, 6, 144060, 0xb9034f7e},
    {"gen-hwzip-implode-8K2.zip", "report.txt", 6, 2, 194035, 0xc241efac},
    {"gen-hwzip-implode-8K2.zip", "longdist.bin", 6, 2, 144632, 0x8ae7fc78},
    {"gen-hwzip-implode.zip", "report.txt", 6, 6, 194035, 0xc241efac},
    {"gen-hwzip-implode.zip", "longdist.bin", 6, 6, 144632, 0x8ae7fc78},
    {"gen-hwzip-reduce.zip", "report.txt", 5, 0, 194035, 0xc241efac},
    {"gen-hwzip-reduce.zip", "longdist.bin", 5, 0, 144632, 0x8ae7fc78},
    {"gen-hwzip-shrink.zip", "report.txt", 1, 0, 194035, 0xc241efac},
    {"gen-hwzip-shrink.zip", "longdist.bin", 1, 0, 144632, 0x8ae7fc78},
    {"ou-example-i.zip", "I.BIN", 6, 0, 2048, 0x8314ddd9},
    {"ou-example-r.zip", "R.BIN", 5, 0, 2048, 0x8314ddd9},
    {"ou-example-s.zip", "S.BIN", 1, 0, 2048, 0x8314ddd9},
    {"sc-Zip.implode.zip", "EXE/TEST.EXE", 6, 0, 45056, 0xcfb109c8},
    {"sc-Zip.implode.zip", "\xe2\xa5\xe1\xe2.txt", 6, 6, 15498, 0x9bd160fa},
    {"sc-Zip.reduce1.zip", "TECT.TXT", 1, 0, 15498, 0x9bd160fa},
    {"sc-Zip.reduce1.zip", "TEST.EXE", 2, 0, 45056, 0xcfb109c8},
    {"sc-Zip.reduce1.zip", "TEST.JPG", 2, 0, 40372, 0x088814e3},
    {"sc-Zip.reduce2.zip", "TECT.TXT", 1, 0, 15498, 0x9bd160fa},
    {"sc-Zip.reduce2.zip", "TEST.EXE", 3, 0, 45056, 0xcfb109c8},
    {"sc-Zip.reduce2.zip", "TEST.JPG", 3, 0, 40372, 0x088814e3},
    {"sc-Zip.reduce3.zip", "TECT.TXT", 1, 0, 15498, 0x9bd160fa},
    {"sc-Zip.reduce3.zip", "TEST.EXE", 4, 0, 45056, 0xcfb109c8},
    {"sc-Zip.reduce3.zip", "TEST.JPG", 4, 0, 40372, 0x088814e3},
    {"sc-Zip.reduce4.zip", "TECT.TXT", 1, 0, 15498, 0x9bd160fa},
    {"sc-Zip.reduce4.zip", "TEST.EXE", 5, 0, 45056, 0xcfb109c8},
    {"sc-Zip.reduce4.zip", "TEST.JPG", 5, 0, 40372, 0x088814e3},
    {"sc-Zip.shrink.zip", "TECT.TXT", 1, 0, 15498, 0x9bd160fa},
    {"sc-Zip.shrink.zip", "TEST.EXE", 1, 0, 45056, 0xcfb109c8},
    {"zr-implode.zip", "first.txt", 6, 6, 1092, 0x22957a6e},
    {"zr-reduce.zip", "first.txt", 5, 0, 1092, 0x22957a6e},
    {"zr-shrink.zip", "FIRST.TXT", 1, 0, 1092, 0x22957a6e},
};

const LocalEntry* Find(const std::vector<LocalEntry>& entries, const char* name) {
  for (const LocalEntry& e : entries)
    if (e.name == name) return &e;
  return nullptr;
}

class GoldenLegacyEntry : public ::testing::TestWithParam<Expected> {};

TEST_P(GoldenLegacyEntry, DecodesToStoredSizeAndCrc) {
  const Expected& x = GetParam();
  std::vector<LocalEntry> entries = WalkLocalHeaders(ReadArchive(x.file));
  const LocalEntry* e = Find(entries, x.name);
  ASSERT_NE(e, nullptr) << x.file << ": " << x.name;
  ASSERT_EQ(e->method, x.method);
  ASSERT_EQ(e->flags & 6, x.flags);
  ASSERT_EQ(e->crc, x.crc);

  DecodeRun run = Decode(e->method, e->flags, e->data, e->uncompressedSize);
  EXPECT_EQ(run.result, 0);
  EXPECT_TRUE(run.errors.empty());
  EXPECT_EQ(run.output.size(), x.size);
  EXPECT_EQ(Crc32Of(run.output), x.crc);
  EXPECT_EQ(run.requested, e->data.size()) << "asked for more than the entry holds";

  // Block ends at every byte and at odd places must not change the result.
  for (uint32_t chunk : {1u, 31u}) {
    DecodeRun piecewise = Decode(e->method, e->flags, e->data, e->uncompressedSize, chunk);
    EXPECT_EQ(piecewise.result, 0) << "chunk " << chunk;
    EXPECT_TRUE(piecewise.output == run.output) << "chunk " << chunk;
  }
}

std::string EntryName(const ::testing::TestParamInfo<Expected>& info) {
  std::string name = std::string(info.param.file) + "_" + std::to_string(info.index);
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(PublicArchives, GoldenLegacyEntry, ::testing::ValuesIn(kEntries), EntryName);

TEST(GoldenLegacyArchives, EveryLegacyEntryOfThePublicSetIsListed) {
  // A new archive in data/public with legacy entries must join the table.
  size_t listed = 0;
  for (const char* file : {"cc-SHRUNK.ZIP", "cc-imploding-4Kdict-2trees.zip",
                           "cc-imploding-8Kdict-3trees.zip", "cc-lorem-ipsum-implode.zip",
                           "gen-hwzip-implode-8K2.zip", "gen-hwzip-implode.zip",
                           "gen-hwzip-reduce.zip", "gen-hwzip-shrink.zip", "ou-example-i.zip",
                           "ou-example-r.zip", "ou-example-s.zip", "sc-Zip.implode.zip",
                           "sc-Zip.reduce1.zip", "sc-Zip.reduce2.zip", "sc-Zip.reduce3.zip",
                           "sc-Zip.reduce4.zip", "sc-Zip.shrink.zip", "zr-implode.zip",
                           "zr-reduce.zip", "zr-shrink.zip"}) {
    for (const LocalEntry& e : WalkLocalHeaders(ReadArchive(file)))
      if (IsLegacyMethod(e.method)) ++listed;
  }
  EXPECT_EQ(listed, std::size(kEntries));
}

}  // namespace
}  // namespace arc::test
