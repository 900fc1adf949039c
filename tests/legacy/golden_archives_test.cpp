//===-- tests/legacy/golden_archives_test.cpp - Legacy entries of real archives -===//
//
// Every shrunk, reduced and imploded entry of data/public (archives made by
// other tools, listed with their CRCs in MANIFEST.md) must decode to the size
// and CRC-32 stored in its local header, also when the compressed bytes
// arrive one at a time or in 31-byte pieces.
//
//===----------------------------------------------------------------------===//
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "legacy/legacy_test_util.h"

namespace arc::test {
namespace {

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
  return v;
}

TEST(GoldenArchives, EveryLegacyEntryDecodesToItsStoredSizeAndCrc) {
  constexpr size_t kLocalHeaderLen = 30;  // + name + extra + data
  int decoded = 0;
  for (const auto& file : std::filesystem::directory_iterator(ARC_TEST_DATA "/public")) {
    std::ifstream in(file.path(), std::ios::binary);
    std::vector<uint8_t> zip((std::istreambuf_iterator<char>(in)), {});
    for (size_t at = 0; at + kLocalHeaderLen <= zip.size() && Le(zip, at, 4) == 0x04034B50;) {
      const uint16_t flags = static_cast<uint16_t>(Le(zip, at + 6, 2));
      const uint16_t method = static_cast<uint16_t>(Le(zip, at + 8, 2));
      const uint32_t crc = Le(zip, at + 14, 4), packed = Le(zip, at + 18, 4);
      const uint32_t size = Le(zip, at + 22, 4);
      const size_t nameLen = Le(zip, at + 26, 2);
      const size_t data = at + kLocalHeaderLen + nameLen + Le(zip, at + 28, 2);
      if (data + packed > zip.size()) break;
      SCOPED_TRACE(file.path().filename().string() + ": " +
                   std::string(zip.begin() + at + kLocalHeaderLen,
                               zip.begin() + at + kLocalHeaderLen + nameLen));
      at = data + packed;
      if (!IsLegacyMethod(method)) continue;

      std::vector<uint8_t> entry(zip.begin() + data, zip.begin() + at);
      DecodeRun run = Decode(method, flags, entry, size);
      EXPECT_EQ(run.result, 0);
      EXPECT_TRUE(run.errors.empty());
      EXPECT_EQ(run.output.size(), size);
      EXPECT_EQ(Crc32Of(run.output), crc);
      EXPECT_EQ(run.requested, packed);
      for (uint32_t chunk : {1u, 31u}) {
        EXPECT_TRUE(Decode(method, flags, entry, size, chunk).output == run.output) << chunk;
      }
      ++decoded;
    }
  }
  EXPECT_EQ(decoded, 35);  // the count MANIFEST.md lists for methods 1 to 6
}

}  // namespace
}  // namespace arc::test
