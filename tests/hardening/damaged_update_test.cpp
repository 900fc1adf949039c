//===-- tests/hardening/damaged_update_test.cpp - Updating a damaged archive -===//
//
// An update rewrites the whole archive from the entries it finds in the old
// one. When some of them cannot be found, it is refused and the old archive
// stays as it was to the byte; entries that can be found (also through their
// data descriptors) are all kept.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <arc/support/error_codes.h>
#include <arc/unzip/unzip.h>
#include <arc/zip/zip.h>
#include "common/test_temp_dir.h"
#include "hostile_zip.h"

namespace arc {
namespace {

using test::BuildHostile;
using test::HostileEntry;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string Written(const test::TempDir& dir, const std::vector<uint8_t>& bytes) {
  return dir.Write("old.zip", std::string(bytes.begin(), bytes.end()));
}

/// Where the data of `bytes` ends: at its first central record.
size_t DirectoryOf(const std::vector<uint8_t>& bytes, size_t from = 0) {
  return std::string(bytes.begin(), bytes.end()).find("PK\x01\x02", from);
}

TEST(UpdatingADamagedArchive, EntriesThatCannotAllBeFoundStopTheUpdate) {
  const std::vector<HostileEntry> three = {HostileEntry::Stored("a.txt", "first"),
                                           HostileEntry::Stored("b.txt", "second"),
                                           HostileEntry::Deflated("c.txt", "third")};
  std::vector<uint8_t> badSignature = BuildHostile(three);
  badSignature[DirectoryOf(badSignature, DirectoryOf(badSignature) + 4) + 3] = 0x99;
  test::HostileEnd fourOfThree;
  fourOfThree.entries = 4;
  std::vector<uint8_t> cutInData = BuildHostile(three);
  cutInData.resize(30 + 5 + 5 + 30 + 5 + 3);  // no directory, b.txt's data cut
  const std::vector<uint8_t> archives[] = {badSignature, BuildHostile(three, fourOfThree),
                                           cutInData};

  test::TempDir dir;
  dir.MakeDir("tmp");
  const std::string added = dir.Write("new.txt", "added");
  for (const auto& bytes : archives) {
    const std::string archive = Written(dir, bytes);
    const std::string before = ReadAll(archive);
    for (TSwitch sw : {swAdd, swDelete}) {
      TZip zip;
      zip.SetArchiveFile(archive);
      zip.SetTempDir(dir / "tmp");
      zip.SetSwitch(sw);
      zip.SetFileSpec({sw == swAdd ? added : std::string("a.txt")});
      std::vector<int32_t> codes;
      zip.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&,
                        int32_t code) { codes.push_back(code); };
      EXPECT_LE(zip.Compress(), 0);
      EXPECT_EQ(codes, std::vector<int32_t>{ec::BadFileHeader});
      EXPECT_EQ(ReadAll(archive), before);
      EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
    }
    const std::string command = ARC_BIN_DIR "/arcz a '" + archive + "' '" + added + "'";
    EXPECT_NE(std::system((command + " >/dev/null 2>&1").c_str()), 0);
    EXPECT_EQ(ReadAll(archive), before);
  }
}

TEST(UpdatingADamagedArchive, EntriesWithDataDescriptorsAreKeptFromAnArchiveWithoutDirectory) {
  HostileEntry streamed = HostileEntry::Deflated("a.txt", "streamed entry");
  auto le32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  streamed.data += "PK\x07\x08" + le32(streamed.crc) + le32(streamed.compressedSize) +
                   le32(streamed.uncompressedSize);
  streamed.flags = 0x0008;
  streamed.crc = streamed.compressedSize = streamed.uncompressedSize = 0;
  std::vector<uint8_t> bytes = BuildHostile({streamed, HostileEntry::Stored("b.txt", "plain")});
  bytes.resize(DirectoryOf(bytes));

  test::TempDir dir;
  TZip zip;
  zip.SetArchiveFile(Written(dir, bytes));
  zip.SetTempDir(dir.MakeDir("tmp"));
  zip.SetFileSpec({dir.Write("c.txt", "added")});
  zip.SetStoredDirNames(sdNone);
  EXPECT_EQ(zip.Compress(), 1);

  TUnZip unzip;
  int errors = 0;
  unzip.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&,
                      int32_t) { ++errors; };
  unzip.SetArchiveFile(dir / "old.zip");
  unzip.SetExtractDir(dir.MakeDir("out"));
  unzip.SetFileSpec({"*"});
  EXPECT_EQ(unzip.Extract(), 3);
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(ReadAll(dir / "out/a.txt"), "streamed entry");
  EXPECT_EQ(ReadAll(dir / "out/b.txt"), "plain");
}

}  // namespace
}  // namespace arc
