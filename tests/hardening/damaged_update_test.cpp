//===-- tests/hardening/damaged_update_test.cpp - Updating a damaged archive -===//
//
// An update rewrites the whole archive from the entries it finds in the old
// one. When some of them cannot be found, the update must not go on without
// them: it is refused, and the old archive stays as it was to the byte.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/error_codes.h"
#include "hostile_zip.h"
#include "support/scratch_dir.h"
#include "unzip/unzip.h"
#include "zip/zip.h"

namespace arc {
namespace {

using test::BuildHostile;
using test::HostileEntry;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ThreeEntries() {
  return BuildHostile({HostileEntry::Stored("a.txt", "first"),
                       HostileEntry::Stored("b.txt", "second"),
                       HostileEntry::Deflated("c.txt", "third")});
}

/// Where the signature of the 2nd central record stands.
size_t SecondCentralRecord(const std::vector<uint8_t>& bytes) {
  const std::string text(bytes.begin(), bytes.end());
  return text.find("PK\x01\x02", text.find("PK\x01\x02") + 4);
}

TEST(UpdatingADamagedArchive, EntriesThatCannotAllBeFoundStopTheUpdate) {
  std::vector<uint8_t> badSignature = ThreeEntries();
  badSignature[SecondCentralRecord(badSignature) + 3] = 0x99;
  test::HostileEnd threeOfTwo;
  threeOfTwo.entries = 3;
  const std::vector<uint8_t> countTooHigh = BuildHostile(
      {HostileEntry::Stored("a.txt", "first"), HostileEntry::Stored("b.txt", "second")},
      threeOfTwo);
  // No directory, and the last entry's data runs past the end of the file.
  std::vector<uint8_t> cutInData = ThreeEntries();
  cutInData.resize(30 + 5 + 5 + 30 + 5 + 3);
  const struct {
    std::string what;
    std::vector<uint8_t> bytes;
  } archives[] = {{"2nd central signature broken", badSignature},
                  {"end record counts 3 of 2", countTooHigh},
                  {"no directory, data cut", cutInData}};

  test::ScratchDir dir;
  dir.MakeDir("tmp");
  dir.Write("new.txt", "added");
  const std::string arcz = std::string(ARC_BIN_DIR) + "/arcz";
  for (const auto& a : archives) {
    const std::string archive = dir / "old.zip";
    WriteAll(archive, a.bytes);
    const std::string before = ReadAll(archive);
    for (TSwitch sw : {swAdd, swDelete}) {
      TZip zip;
      zip.SetArchiveFile(archive);
      zip.SetTempDir(dir / "tmp");
      zip.SetSwitch(sw);
      zip.SetFileSpec({sw == swAdd ? dir / "new.txt" : std::string("a.txt")});
      std::vector<int32_t> codes;
      zip.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&,
                        int32_t code) { codes.push_back(code); };
      EXPECT_LE(zip.Compress(), 0) << a.what;
      EXPECT_EQ(codes, std::vector<int32_t>{ec::BadFileHeader}) << a.what;
      EXPECT_EQ(ReadAll(archive), before) << a.what;
      EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp")) << a.what;
    }
    for (const std::string& command : {" a '" + archive + "' '" + (dir / "new.txt") + "'",
                                       " d '" + archive + "' a.txt"}) {
      EXPECT_NE(std::system((arcz + command + " >/dev/null 2>&1").c_str()), 0) << a.what << command;
      EXPECT_EQ(ReadAll(archive), before) << a.what << command;
    }
  }
}

TEST(UpdatingADamagedArchive, EntriesWithDataDescriptorsAreKeptFromAnArchiveWithoutDirectory) {
  // Sizes and CRC after the data (flag bit 3), and no directory: the local
  // headers lead from one entry to the next through the descriptors.
  HostileEntry streamed = HostileEntry::Deflated("a.txt", "streamed entry");
  auto le32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  const std::string descriptor = std::string("PK\x07\x08", 4) + le32(streamed.crc) +
                                 le32(streamed.compressedSize) + le32(streamed.uncompressedSize);
  streamed.flags = 0x0008;
  streamed.crc = streamed.compressedSize = streamed.uncompressedSize = 0;
  streamed.data += descriptor;
  std::vector<uint8_t> bytes = BuildHostile({streamed, HostileEntry::Stored("b.txt", "plain")});
  const std::string text(bytes.begin(), bytes.end());
  bytes.resize(text.find("PK\x01\x02"));

  test::ScratchDir dir;
  dir.MakeDir("tmp");
  const std::string archive = dir / "old.zip";
  WriteAll(archive, bytes);
  TZip zip;
  zip.SetArchiveFile(archive);
  zip.SetTempDir(dir / "tmp");
  zip.SetFileSpec({dir.Write("c.txt", "added")});
  zip.SetStoredDirNames(sdNone);
  EXPECT_EQ(zip.Compress(), 1);

  TUnZip unzip;
  std::vector<int32_t> codes;
  unzip.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&,
                      int32_t code) { codes.push_back(code); };
  unzip.SetArchiveFile(archive);
  unzip.SetExtractDir(dir.MakeDir("out"));
  unzip.SetFileSpec({"*"});
  EXPECT_EQ(unzip.Extract(), 3);
  EXPECT_TRUE(codes.empty());
  EXPECT_EQ(ReadAll(dir / "out/a.txt"), "streamed entry");
  EXPECT_EQ(ReadAll(dir / "out/b.txt"), "plain");
  EXPECT_EQ(ReadAll(dir / "out/c.txt"), "added");
}

}  // namespace
}  // namespace arc
