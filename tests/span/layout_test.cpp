//===-- tests/span/layout_test.cpp - Where records land on the disks ------===//
//
// Disks sized to the byte against the same archive written as one file:
// a directory that does not fit beside the last entry, an entry that fills
// a disk exactly, a local header cut in two. Each set must still be read by
// 7-Zip as a split set, and the central records must point where the local
// headers really are.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <fstream>

#include "span_fixture.h"

namespace arc {
namespace {

using test::ListCentral;
using test::ReadText;

namespace fs = std::filesystem;

class SpanLayout : public test::SpanFixture {
 protected:
  void SetUp() override {
    WriteSources(test::MixedSources());
    // The same archive as one file: where each entry starts, how long the
    // entries and the directory are.
    TZip zip;
    Configure(zip);
    zip.SetArchiveFile(dir / "one.zip");
    ASSERT_EQ(zip.Compress(), static_cast<int32_t>(sources.size()));
    for (const test::ListedEntry& e : ListCentral(dir / "one.zip"))
      starts.push_back(e.header.localHeaderOffset);
    std::sort(starts.begin(), starts.end());
    const std::string bytes = ReadText(dir / "one.zip");
    const size_t end = bytes.rfind("PK\x05\x06");
    ASSERT_NE(end, std::string::npos);
    directory = static_cast<int64_t>(test::ListCentral(dir / "one.zip").size());
    dirSize = static_cast<int64_t>(static_cast<uint8_t>(bytes[end + 12])) |
              static_cast<int64_t>(static_cast<uint8_t>(bytes[end + 13])) << 8 |
              static_cast<int64_t>(static_cast<uint8_t>(bytes[end + 14])) << 16;
    entryBytes = static_cast<int64_t>(end) - dirSize;
    rec.reports.clear();
  }

  /// Writes the set onto a first disk of `first` bytes and 100 KiB disks.
  void WriteSet(int64_t first) {
    drives.AddDisk(first);
    AddDisks(12, 100 * 1024);
    drives.Insert(0);
    TZip zip;
    Configure(zip);
    ASSERT_EQ(zip.Compress(), static_cast<int32_t>(sources.size()));
    EXPECT_TRUE(rec.reports.empty());
    if (test::HaveSevenZip()) {
      EXPECT_EQ(SevenZipFailures(), "");
    }
  }

  /// Central records of the set, by their place in the temporary archive.
  std::vector<test::ListedEntry> Directory() {
    std::vector<test::ListedEntry> entries = ListCentral(Volume(VolumeDisks().back()));
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return std::pair(a.extent.diskNumberStart, a.extent.localHeaderOffset) <
             std::pair(b.extent.diskNumberStart, b.extent.localHeaderOffset);
    });
    return entries;
  }

  /// The first entry that starts at least `at` bytes into the archive.
  size_t EntryFrom(uint64_t at) const {
    return static_cast<size_t>(std::lower_bound(starts.begin(), starts.end(), at) - starts.begin());
  }

  std::vector<uint64_t> starts;
  int64_t directory = 0;
  int64_t dirSize = 0;
  int64_t entryBytes = 0;
};

constexpr int64_t kMarker = 4;
constexpr int64_t kEndRecord = 22;

TEST_F(SpanLayout, DirectoryThatDoesNotFitGoesWholeOntoAFurtherDisk) {
  // Room for the directory after the entries, but not for the end record too.
  WriteSet(kMarker + entryBytes + dirSize + 10);
  const std::vector<int32_t> disks = VolumeDisks();
  ASSERT_EQ(disks.size(), 2u);
  EXPECT_EQ(static_cast<int64_t>(fs::file_size(Volume(disks[0]))), kMarker + entryBytes);
  EXPECT_EQ(static_cast<int64_t>(fs::file_size(Volume(disks[1]))), dirSize + kEndRecord);
  const std::string last = ReadText(Volume(disks[1]));
  const std::string end = last.substr(last.size() - kEndRecord);
  EXPECT_EQ(end.substr(4, 4), std::string("\x01\x00\x01\x00", 4));  // this disk 1, directory on 1
  EXPECT_EQ(end.substr(16, 4), std::string(4, '\0'));               // at offset 0
  for (const test::ListedEntry& e : Directory()) EXPECT_EQ(e.extent.diskNumberStart, 0u);

  std::string errors;
  EXPECT_EQ(ExtractSet("out", errors), static_cast<int32_t>(sources.size()));
  EXPECT_EQ(errors, "");
}

TEST_F(SpanLayout, FirstDiskWithTheMarginToSpareTakesAPlainArchive) {
  const int64_t whole = entryBytes + dirSize + kEndRecord;
  WriteSet(whole + 10000);
  const std::vector<int32_t> disks = VolumeDisks();
  ASSERT_EQ(disks.size(), 1u);
  EXPECT_EQ(static_cast<int64_t>(fs::file_size(Volume(disks[0]))), whole);
  EXPECT_EQ(ReadText(Volume(disks[0])), ReadText(dir / "one.zip"));
  EXPECT_TRUE(prompts.empty());
}

TEST_F(SpanLayout, ArchiveWithinTheMarginIsMarkedAndStillReadFromOneDisk) {
  // One byte short of the margin: the marker goes in front although the
  // archive then fits, and the offsets count it.
  const int64_t whole = entryBytes + dirSize + kEndRecord;
  WriteSet(whole + 10000 - 1);
  const std::vector<int32_t> disks = VolumeDisks();
  ASSERT_EQ(disks.size(), 1u);
  const std::string volume = ReadText(Volume(disks[0]));
  EXPECT_EQ(static_cast<int64_t>(volume.size()), kMarker + whole);
  EXPECT_EQ(volume.substr(0, 4), "PK\x07\x08");
  const std::vector<test::ListedEntry> entries = Directory();
  ASSERT_EQ(entries.size(), starts.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].extent.diskNumberStart, 0u);
    EXPECT_EQ(entries[i].extent.localHeaderOffset, starts[i] + kMarker);
  }
  std::string errors;
  EXPECT_EQ(ExtractSet("out", errors), static_cast<int32_t>(sources.size()));
  EXPECT_EQ(errors, "");
  EXPECT_EQ(test::TreeDiff(test::Tree(dir / "out"), test::Tree(dir / "src")), "");
}

TEST_F(SpanLayout, EntryFillingADiskPutsTheNextHeaderOnTheNextDisk) {
  const size_t k = EntryFrom(20000);
  ASSERT_LT(k, starts.size());
  WriteSet(kMarker + static_cast<int64_t>(starts[k]));
  const std::vector<test::ListedEntry> entries = Directory();
  ASSERT_EQ(entries.size(), starts.size());
  for (size_t i = 0; i < k; ++i) {
    EXPECT_EQ(entries[i].extent.diskNumberStart, 0u);
    EXPECT_EQ(entries[i].extent.localHeaderOffset, starts[i] + kMarker);
  }
  EXPECT_EQ(entries[k].extent.diskNumberStart, 1u);
  EXPECT_EQ(entries[k].extent.localHeaderOffset, 0u);
}

TEST_F(SpanLayout, LocalHeaderIsNeverCut) {
  // Ten bytes left for a header of more than thirty: it goes onto the next
  // disk whole and the ten bytes stay free.
  const size_t k = EntryFrom(20000);
  ASSERT_LT(k, starts.size());
  WriteSet(kMarker + static_cast<int64_t>(starts[k]) + 10);
  const std::vector<test::ListedEntry> entries = Directory();
  ASSERT_EQ(entries.size(), starts.size());
  EXPECT_EQ(entries[k].extent.diskNumberStart, 1u);
  EXPECT_EQ(entries[k].extent.localHeaderOffset, 0u);
  EXPECT_EQ(static_cast<int64_t>(fs::file_size(Volume(VolumeDisks()[0]))),
            kMarker + static_cast<int64_t>(starts[k]));
}

TEST(SpanDirectory, DirectoryLargerThanADiskIsSpreadBetweenWholeRecords) {
  // Long names make a directory of about 170 KB for disks of 100 KB.
  test::TempDir dir;
  fs::create_directories(dir / "tmp");
  constexpr int kFiles = 1200;
  const std::string padding(90, 'n');
  for (int i = 0; i < kFiles; ++i)
    test::WriteText(dir / ("src/" + padding + std::to_string(i)), "x");
  SimulatedDrives drives(dir / "drives", &DefaultDriveService());
  for (int i = 0; i < 8; ++i) drives.AddDisk(100 * 1024);
  drives.Insert(0);
  TZip zip;
  zip.SetDriveService(&drives);
  zip.SetArchiveFile(drives.DrivePath() + "names.zip");
  zip.SetFileSpec({dir / "src/*"});
  zip.SetTempDir(dir / "tmp");
  zip.SetCompressMethod(cmStore);
  zip.OnInsertDisk = [&](TObject*, const std::string& volume, bool& cancel) {
    cancel = false;
    drives.Insert(std::stoi(volume) - 1);
  };
  test::Recorder rec;
  rec.Attach(zip);
  ASSERT_EQ(zip.Compress(), kFiles);
  EXPECT_TRUE(rec.reports.empty());

  std::vector<std::string> volumes;
  for (int i = 0; i < drives.DiskCount(); ++i) {
    const std::string name = drives.DiskAt(i).folder + "names.zip";
    if (fs::exists(name)) volumes.push_back(ReadText(name));
  }
  ASSERT_GE(volumes.size(), 4u);
  const auto u16 = [](const std::string& v, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(v[at]) | static_cast<uint8_t>(v[at + 1])
                                                                   << 8);
  };
  const auto u32 = [&](const std::string& v, size_t at) {
    return u16(v, at) | u16(v, at + 2) << 16;
  };
  const std::string& last = volumes.back();
  ASSERT_GE(last.size(), 22u);
  const size_t end = last.size() - 22;
  ASSERT_EQ(last.substr(end, 4), "PK\x05\x06");
  EXPECT_EQ(u16(last, end + 4), volumes.size() - 1);  // this disk
  const uint32_t dirDisk = u16(last, end + 6);
  EXPECT_LT(dirDisk, volumes.size() - 1);  // the directory starts further back
  EXPECT_EQ(u16(last, end + 10), static_cast<uint32_t>(kFiles));

  // Walking the records from where the end record says: none is cut, and
  // together they are as long as it says.
  size_t disk = dirDisk, at = u32(last, end + 16);
  uint64_t bytes = 0;
  int records = 0;
  while (records < kFiles && disk < volumes.size()) {
    const std::string& v = volumes[disk];
    if (at == v.size() || (disk + 1 == volumes.size() && at == end)) {
      ++disk;
      at = 0;
      continue;
    }
    ASSERT_LE(at + 46, v.size()) << "disk " << disk;
    ASSERT_EQ(v.substr(at, 4), "PK\x01\x02") << "disk " << disk << " at " << at;
    const size_t length = 46 + u16(v, at + 28) + u16(v, at + 30) + u16(v, at + 32);
    ASSERT_LE(at + length, v.size()) << "record cut at the end of disk " << disk;
    EXPECT_LT(u16(v, at + 34), volumes.size() - 1);  // local headers lie before the end
    at += length;
    bytes += length;
    ++records;
  }
  EXPECT_EQ(records, kFiles);
  EXPECT_EQ(bytes, u32(last, end + 12));
  EXPECT_EQ(disk, volumes.size() - 1);
  EXPECT_EQ(at, end);

  if (!test::HaveSevenZip()) return;
  const std::string split = dir / "split";
  fs::create_directories(split);
  for (size_t i = 0; i < volumes.size(); ++i) {
    char ext[32];
    std::snprintf(ext, sizeof ext, ".z%02zu", i + 1);
    test::WriteText(split + "/names" + (i + 1 == volumes.size() ? ".zip" : ext), volumes[i]);
  }
  const test::ToolResult r = test::Run("7z t " + test::Quote(split + "/names.zip"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Files: " + std::to_string(kFiles)), std::string::npos) << r.output;
}

TEST(SpanZip64, ManyEntriesGetZip64RecordsThatNameTheDisks) {
  // More entries than the end record can count: the Zip64 end record and
  // its locator carry the count, and the disk numbers of the set.
  test::TempDir dir;
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "tmp");
  constexpr int kFiles = 65540;
  for (int i = 0; i < kFiles; ++i) std::ofstream(dir / ("src/f" + std::to_string(i)));
  SimulatedDrives drives(dir / "drives", &DefaultDriveService());
  drives.AddDisk(1 << 20);
  drives.AddDisk(8 << 20);
  drives.Insert(0);
  TZip zip;
  zip.SetDriveService(&drives);
  zip.SetArchiveFile(drives.DrivePath() + "many.zip");
  zip.SetFileSpec({dir / "src/*"});
  zip.SetTempDir(dir / "tmp");
  zip.OnInsertDisk = [&](TObject*, const std::string& volume, bool& cancel) {
    cancel = volume != "2";
    drives.Insert(1);
  };
  ASSERT_EQ(zip.Compress(), kFiles);

  const std::string last = ReadText(drives.DiskAt(1).folder + "many.zip");
  ASSERT_GT(last.size(), 98u);
  const auto u16 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(last[at]) | static_cast<uint8_t>(last[at + 1])
                                                                      << 8);
  };
  const size_t end = last.size() - 22, locator = end - 20, record = locator - 56;
  EXPECT_EQ(last.substr(record, 4), "PK\x06\x06");
  EXPECT_EQ(u16(record + 16), 1u);  // this disk
  EXPECT_EQ(u16(record + 20), 1u);  // the directory's disk
  EXPECT_EQ(last.substr(locator, 4), "PK\x06\x07");
  EXPECT_EQ(u16(locator + 4), 1u);   // the disk of the Zip64 end record
  EXPECT_EQ(u16(locator + 16), 2u);  // disks in the set
  EXPECT_EQ(u16(end + 4), 1u);
  EXPECT_EQ(u16(end + 8), 0xFFFFu);  // the count is in the Zip64 record

  if (!test::HaveSevenZip()) return;
  const std::string split = dir / "split";
  fs::create_directories(split);
  fs::copy_file(drives.DiskAt(0).folder + "many.zip", split + "/many.z01");
  fs::copy_file(drives.DiskAt(1).folder + "many.zip", split + "/many.zip");
  const test::ToolResult r = test::Run("7z t " + test::Quote(split + "/many.zip"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Files: " + std::to_string(kFiles)), std::string::npos) << r.output;
}

}  // namespace
}  // namespace arc
