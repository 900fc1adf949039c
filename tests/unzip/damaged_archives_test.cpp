//===-- tests/unzip/damaged_archives_test.cpp - Damage is found and said --===//
//
// Archives whose end was cut off, whose records disagree or whose data goes
// on beyond its size: the reader finds every entry it can, extracts the
// sound ones, and reports the damage instead of ending with no error.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <algorithm>

#include <arc/support/error_codes.h>
#include "extract_fixture.h"
#include "hardening/hostile_zip.h"
#include "zip_builder.h"

namespace arc {
namespace {

using test::PrePacked;
using test::ZipBuilder;
using B = test::ZipBuilder;

using DamagedArchive = test::ExtractFixture;

enum class Form { Signed32, Bare32, Signed64, Bare64 };

/// An entry whose CRC and sizes are 0 in its local header and follow its
/// data (flag bit 3), in a data descriptor of `form`.
test::HostileEntry Streamed(const std::string& name, const std::string& contents, uint16_t method,
                            Form form) {
  test::HostileEntry e = method == 8 ? test::HostileEntry::Deflated(name, contents)
                                     : test::HostileEntry::Stored(name, contents);
  auto le32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  const bool wide = form == Form::Signed64 || form == Form::Bare64;
  if (form == Form::Signed32 || form == Form::Signed64) e.data += "PK\x07\x08";
  e.data += le32(e.crc) + (wide ? test::Le64(e.compressedSize) + test::Le64(contents.size())
                                : le32(e.compressedSize) + le32(e.uncompressedSize));
  e.flags = 0x0008;
  e.crc = e.compressedSize = e.uncompressedSize = 0;
  return e;
}

TEST_F(DamagedArchive, LocalWalkGoesPastDataDescriptorsOfEveryForm) {
  // The directory is cut off: the entries are found from their local
  // headers, the streamed ones by their descriptors. A stored entry whose
  // data holds a descriptor look-alike (right distance, a record after it)
  // is not cut there: its CRC says it is not the end.
  const std::string lookAlike = std::string("abcd") + "PK\x07\x08" + std::string(4, '\0') +
                                std::string("\x04\0\0\0\x04\0\0\0", 8) + "PK\x03\x04" + "tail";
  for (Form form : {Form::Signed32, Form::Bare32, Form::Signed64, Form::Bare64}) {
    for (uint16_t method : {uint16_t{0}, uint16_t{8}}) {
      const std::string label =
          std::to_string(static_cast<int>(form)) + "/" + std::to_string(method);
      const std::string third = method == 0 ? lookAlike : "third " + label;
      auto bytes = test::BuildHostile({Streamed("a.txt", "first " + label, method, form),
                                       test::HostileEntry::Stored("b.txt", "second"),
                                       Streamed("c.txt", third, method, form)});
      bytes.resize(std::string(bytes.begin(), bytes.end()).find("PK\x01\x02"));
      std::filesystem::remove_all(out);
      UseArchive(bytes);
      errors.clear();
      EXPECT_EQ(unzip.Extract(), 3) << label;
      EXPECT_EQ(Read(out + "a.txt"), "first " + label);
      EXPECT_EQ(Read(out + "b.txt"), "second");
      EXPECT_EQ(Read(out + "c.txt"), third);
      EXPECT_EQ(Codes(), std::vector<int32_t>{ec::HeaderNotFound}) << label;
    }
  }
  // A descriptor whose size no entry can have does not end one: the walk
  // stops there, and says so.
  test::HostileEntry absurd = Streamed("a.txt", "data", 0, Form::Signed64);
  absurd.data.replace(absurd.data.size() - 8, 8, test::Le64(uint64_t{1} << 60));
  auto bytes = test::BuildHostile({absurd});
  bytes.resize(std::string(bytes.begin(), bytes.end()).find("PK\x01\x02"));
  UseArchive(bytes);
  errors.clear();
  EXPECT_EQ(unzip.Extract(), 0);
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});
}

/// An archive of one sound entry and, after the directory, a Zip64 end
/// record and locator whose entry count no directory of this size can hold.
/// With `markers` the end record defers its values to the Zip64 record.
std::vector<uint8_t> WithAbsurdZip64(bool markers) {
  auto bytes = ZipBuilder().Add({.name = "ok.txt", .data = "sound"}).Build();
  std::vector<uint8_t> end(bytes.end() - 22, bytes.end());
  bytes.resize(bytes.size() - 22);
  const uint64_t cdSize = 46 + 6;
  const uint64_t cdOffset = bytes.size() - cdSize;
  const uint64_t z64At = bytes.size();
  B::U32(bytes, 0x06064B50);
  B::Bytes(bytes, test::Le64(44));
  B::U16(bytes, 45);
  B::U16(bytes, 45);
  B::U32(bytes, 0);
  B::U32(bytes, 0);
  B::Bytes(bytes, test::Le64(uint64_t{1} << 40) + test::Le64(uint64_t{1} << 40));
  B::Bytes(bytes, test::Le64(markers ? uint64_t{1} << 50 : cdSize) + test::Le64(cdOffset));
  B::U32(bytes, 0x07064B50);
  B::U32(bytes, 0);
  B::Bytes(bytes, test::Le64(z64At));
  B::U32(bytes, 1);
  if (markers) {
    for (size_t i = 8; i < 20; ++i) end[i] = 0xFF;
  }
  bytes.insert(bytes.end(), end.begin(), end.end());
  return bytes;
}

TEST_F(DamagedArchive, DamageIsReportedAndSoundEntriesAreStillExtracted) {
  // A comment length that runs past the end of the file.
  auto badComment = ZipBuilder().Add({.name = "ok.txt", .data = "sound"}).Comment("abc").Build();
  badComment[badComment.size() - 5] = 100;
  // Data that goes on beyond the declared size: the declared bytes and
  // their CRC agree, the rest would be dropped without a word.
  const std::string longer = "sound and then some more";
  const PrePacked deflatedLonger{test::DeflateRaw(longer), test::Crc32Of("sound"), 5};
  const PrePacked storedLonger{longer, test::Crc32Of("sound"), 5};
  const struct {
    std::string what;
    std::vector<uint8_t> bytes;
    std::vector<int32_t> codes;
  } cases[] = {
      {"comment past the end", badComment, {ec::InvalidCommentHeader}},
      {"absurd Zip64 record", WithAbsurdZip64(false), {ec::BadFileHeader}},
      {"absurd Zip64 record behind markers",
       WithAbsurdZip64(true),
       {ec::BadFileHeader, ec::HeaderNotFound}},
      {"deflate stream longer than its size",
       ZipBuilder()
           .Add({.name = "ok.txt", .data = "", .method = 8, .packed = deflatedLonger})
           .Build(),
       {ec::FileSizeDifferent}},
      {"stored data longer than its size",
       ZipBuilder()
           .Add({.name = "ok.txt", .data = "", .method = 0, .packed = storedLonger})
           .Build(),
       {ec::FileSizeDifferent}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(out);
    UseArchive(c.bytes);
    errors.clear();
    EXPECT_EQ(unzip.Extract(), 1) << c.what;
    EXPECT_EQ(Read(out + "ok.txt"), "sound") << c.what;
    EXPECT_EQ(Codes(), c.codes) << c.what;
  }
}

TEST_F(DamagedArchive, ExtractNeverThrowsAndStartsWithoutTheLastEntryName) {
  UseArchive(ZipBuilder().Add({.name = "a.txt", .data = "A"}).Build());
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(unzip.StoredEntryName(), "a.txt");
  // A handler that throws at the first report, made before the run starts.
  unzip.OnError = [](TObject*, const std::string&, const std::string&, const std::string&,
                     int32_t) { throw std::runtime_error("handler"); };
  unzip.SetArchiveFile(dir / "missing.zip");
  EXPECT_NO_THROW(EXPECT_EQ(unzip.Extract(), 0));
  EXPECT_NO_THROW(EXPECT_EQ(unzip.Test(), 0));
  EXPECT_EQ(unzip.StoredEntryName(), "");
}

}  // namespace
}  // namespace arc
