//===-- tests/hardening/update_test.cpp - Updating an archive that lies ---===//
//
// An update copies the entries it keeps from the old archive; a size there
// that cannot be true must stop the update and leave the old file as it was.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <arc/support/error_codes.h>
#include <arc/zip/zip.h>
#include "common/test_temp_dir.h"
#include "hostile_zip.h"

namespace arc {
namespace {

using test::BuildHostile;
using test::ExtraBlock;
using test::HostileEntry;
using test::Le64;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(UpdatingALyingArchive, Zip64SizeThatWrapsTheOffsetSumStopsTheUpdate) {
  // The kept entry's compressed size is so close to 2^64 that header offset
  // + header length + size wraps round to 2, inside the file.
  HostileEntry kept = HostileEntry::Stored("kept.txt", "data");
  kept.compressedSize = kept.uncompressedSize = 0xFFFFFFFFu;
  const uint64_t wrapping = ~uint64_t{0} - (30 + kept.name.size()) + 3;
  kept.centralExtra = ExtraBlock(0x0001, Le64(4) + Le64(wrapping));
  const std::vector<uint8_t> bytes =
      BuildHostile({kept, HostileEntry::Stored("gone.txt", "delete me")});

  test::TempDir dir;
  const std::string archive = dir / "old.zip";
  std::ofstream(archive, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const std::string before = ReadAll(archive);
  dir.MakeDir("tmp");

  TZip zip;
  zip.SetArchiveFile(archive);
  zip.SetTempDir(dir / "tmp");
  zip.SetSwitch(swDelete);
  zip.SetFileSpec({"gone.txt"});
  std::vector<int32_t> codes;
  zip.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&,
                    int32_t code) { codes.push_back(code); };
  EXPECT_LE(zip.Compress(), 0);
  EXPECT_NE(std::find(codes.begin(), codes.end(), ec::BadFileHeader), codes.end());
  EXPECT_EQ(ReadAll(archive), before);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}

}  // namespace
}  // namespace arc
