//===-- tests/unzip/arc_detect_test.cpp - Archive type detection ----------===//
#include "unzip/arc_detect.h"
#include "unzip/pe_resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pe_builder.h"
#include "zip_builder.h"

namespace arc {
namespace {

using test::PeBuilder;
using test::TestEntry;
using test::ZipBuilder;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> Padded(std::vector<uint8_t> v, size_t size) {
  v.resize(std::max(v.size(), size), 0);
  return v;
}

void Place(std::vector<uint8_t>& v, size_t at, const std::string& s) {
  if (v.size() < at + s.size()) v.resize(at + s.size(), 0);
  std::memcpy(v.data() + at, s.data(), s.size());
}

Detection Detect(const std::vector<uint8_t>& bytes, const std::string& name = "a.zip",
                 DiskSetQuery query = {}) {
  MemorySource src(bytes);
  return ArcDetector(src, name, std::move(query)).Detect();
}

std::vector<uint8_t> PublicFile(const std::string& name) {
  std::ifstream in(std::string(ARC_TEST_DATA) + "/public/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

ZipBuilder TwoEntries() {
  ZipBuilder b;
  b.Add({.name = "a.txt", .data = "alpha alpha alpha"});
  b.Add({.name = "sub/b.txt", .data = std::string(3000, 'b'), .method = 8});
  return b;
}

TEST(ArcDetect, LeadingBytesOfPlainArchives) {
  struct Case {
    std::string lead;
    TArcType type;
  } cases[] = {
      {"Rar!\x1a\x07", atRar},      {"MSCF", atCab},
      {"\x42\x48\x05\x07", atBh},   {"\x1f\x8b\x08\0", atGZip},
      {"HA\x02\0", atHA},           {"ZOO 2.10", atZoo},
      {"\x60\xea\x10\0", atArj},    {"xx-lh5-", atLha},
      {"PKG5", atUnknown},          {"\x1a\x08xx", atArc},
      {"\x1a\x0bxx", atPak},        {"\x13\x5d\x65\x8c", atMsGZ},
      {"\xb7\x92xx", atArcExe},     {"1234567**ACE**", atAce},
      {"begin 644 f.txt\n", atUUE}, {"hello\nbegin\nM86)C\n", atUUE},
  };
  for (const Case& c : cases) {
    const Detection d = Detect(Padded(Bytes(c.lead), 600));
    EXPECT_EQ(d.type, c.type) << c.lead;
    if (IsValidArcType(c.type)) {
      EXPECT_EQ(d.open.dataOffset, c.type == atArcExe ? 7716 : 0) << c.lead;
    }
  }
  // "begin" that does not open a line, and an M line before any begin.
  EXPECT_EQ(Detect(Padded(Bytes("xbegin 644 f\nMabc\n"), 600)).type, atNA);
  EXPECT_EQ(Detect(Padded(Bytes("Mxx\nbegin 5\n"), 600)).type, atNA);
}

TEST(ArcDetect, TinyFilesAndLeadingZeros) {
  EXPECT_EQ(Detect(Bytes("Rar!012345678901234")).type, atNA);  // 19 bytes
  EXPECT_EQ(Detect(Bytes("Rar!0123456789012345")).type, atRar);
  // Zero bytes in front are skipped before classifying.
  std::vector<uint8_t> zeros(40, 0);
  Place(zeros, 40, "Rar!");
  EXPECT_EQ(Detect(Padded(zeros, 200)).type, atRar);
  // ...unless an LHA header stands at 128 behind them.
  std::vector<uint8_t> lha(128, 0);
  Place(lha, 130, "-lh5-");
  EXPECT_EQ(Detect(Padded(lha, 300)).type, atLha);
  EXPECT_EQ(Detect(Padded(lha, 300)).open.dataOffset, 128);
}

TEST(ArcDetect, TarHeaderChecksum) {
  std::vector<uint8_t> tar(1536, 0);
  Place(tar, 0, "file.txt");
  Place(tar, 156, "0");
  auto seal = [](std::vector<uint8_t>& v, size_t at) {
    std::memset(v.data() + at + 148, ' ', 8);
    unsigned sum = 0;
    for (size_t i = 0; i < 512; ++i) sum += v[at + i];
    char field[8];
    std::snprintf(field, sizeof field, "%06o", sum);
    std::memcpy(v.data() + at + 148, field, 7);
  };
  seal(tar, 0);
  EXPECT_EQ(Detect(tar, "x.tar").type, atTar);
  std::vector<uint8_t> damaged = tar;
  damaged[3] ^= 1;
  EXPECT_NE(Detect(damaged, "x.tar").type, atTar);

  // A volume header is passed over once; the member header behind it counts.
  std::vector<uint8_t> volume(2048, 0);
  Place(volume, 0, "LABEL");
  volume[156] = 'V';
  Place(volume, 512, "file.txt");
  seal(volume, 512);
  EXPECT_EQ(Detect(volume, "x.tar").type, atTar);
}

TEST(ArcDetect, PlainZipFindsDirectoryAndFirstLocalHeader) {
  const auto zip = TwoEntries().Build();
  const Detection d = Detect(zip);
  EXPECT_EQ(d.type, atZip);
  EXPECT_EQ(d.open.headerState, htLocal | htCentral | htEnding);
  EXPECT_EQ(d.open.offsetAdjustment, 0);
  // The directory starts right after the second entry's data.
  EXPECT_EQ(d.open.dataOffset, static_cast<int64_t>(zip.size()) - 22 - 2 * 46 - 5 - 9);
  EXPECT_EQ(d.open.commentPos, static_cast<int64_t>(zip.size()));
  EXPECT_EQ(Detect(zip, "lib/app.JAR").type, atJar);
}

TEST(ArcDetect, PrefixedArchiveWithAndWithoutAdjustedOffsets) {
  const std::string prefix = "#!/bin/sh\n" + std::string(90, '#');
  const Detection adjusted = Detect(TwoEntries().Prefix(prefix, true).Build());
  EXPECT_EQ(adjusted.type, atZip);
  EXPECT_EQ(adjusted.open.offsetAdjustment, 0);
  EXPECT_TRUE(adjusted.open.headerState & htLocal);

  // Offsets that still count from the start of the archive proper: the
  // adjustment makes the local headers appear where they really are.
  const Detection raw = Detect(TwoEntries().Prefix(prefix, false).Build());
  EXPECT_EQ(raw.type, atZip);
  EXPECT_EQ(raw.open.offsetAdjustment, 100);
  EXPECT_TRUE(raw.open.headerState & htLocal);
}

TEST(ArcDetect, EndRecordBehindTheLongestCommentOrAlone) {
  // The longest comment there is leaves the end record inside the window.
  const Detection far = Detect(TwoEntries().Comment(std::string(65535, 'c')).Build());
  EXPECT_EQ(far.type, atZip);
  EXPECT_TRUE(far.open.headerState & htCentral);
  EXPECT_EQ(far.open.damage, 0);

  // An archive of nothing but an end record: the window starts at its
  // second byte, so no end record is found.
  const Detection empty = Detect(ZipBuilder().Build());
  EXPECT_EQ(empty.type, atZip);
  EXPECT_EQ(empty.open.headerState, htLocal);
}

TEST(ArcDetect, EndRecordNearestTheEndWins) {
  auto zip = TwoEntries().Build();
  // A comment that holds a second end record; its directory size reaches
  // back over the first end record to the same directory.
  std::vector<uint8_t> second(zip.end() - 22, zip.end());
  const uint32_t cdSize = second[12] | second[13] << 8;
  second[12] = static_cast<uint8_t>(cdSize + 22);
  second[20] = 0;
  zip[zip.size() - 2] = 22;  // comment length of the first record
  zip.insert(zip.end(), second.begin(), second.end());
  const Detection d = Detect(zip);
  EXPECT_EQ(d.open.commentPos, static_cast<int64_t>(zip.size()));
  EXPECT_TRUE(d.open.headerState & htCentral);
}

TEST(ArcDetect, CommentEndingInTheBytesOfAnEndRecord) {
  // The copy in the comment reaches the end of the file too, but its
  // directory is nowhere; the real record's is.
  auto zip = TwoEntries().Build();
  std::string fake(zip.end() - 22, zip.end());
  fake.replace(16, 4, "\x39\x30\0\0");  // directory offset 12345
  fake.replace(20, 2, std::string(2, '\0'));
  const std::string comment = "note: " + fake;
  zip[zip.size() - 2] = static_cast<uint8_t>(comment.size());
  zip.insert(zip.end(), comment.begin(), comment.end());
  const Detection d = Detect(zip);
  EXPECT_EQ(d.open.headerState, htEnding | htCentral | htLocal);
  EXPECT_EQ(d.open.commentPos, static_cast<int64_t>(zip.size() - comment.size()));
  EXPECT_EQ(d.open.commentLength, comment.size());
}

TEST(ArcDetect, VolumesOfASetGoThroughTheDiskSetDecision) {
  const auto last = PublicFile("gen-infozip-split.zip");
  EXPECT_EQ(Detect(last, "s.zip").type, atZipMV);
  auto removable = [](std::string label) {
    return [label](const std::string&) { return std::optional<DiskSetDrive>({true, label}); };
  };
  EXPECT_EQ(Detect(last, "s.zip", removable("pkback# 003")).type, atZipDS);
  EXPECT_EQ(Detect(last, "s.zip", removable("BACKUP")).type, atZipMV);
  EXPECT_EQ(Detect(last, "s.zip", [](const std::string&) { return std::nullopt; }).type, atNA);
  // The first volume starts with the spanning marker.
  EXPECT_EQ(Detect(PublicFile("gen-infozip-split.z01"), "s.z01").type, atZipMV);

  // A last volume that happens to begin with a local header.
  auto zip = TwoEntries().Build();
  zip[zip.size() - 22 + 4] = 1;  // number of this volume
  zip[zip.size() - 22 + 6] = 1;  // volume of the central directory
  EXPECT_EQ(Detect(zip).type, atZipMV);
}

TEST(ArcDetect, SelfExtractorsFromPeers) {
  const Detection adjusted = Detect(PublicFile("gen-sfx-adjusted.zip"));
  EXPECT_EQ(adjusted.type, atZipExe);
  EXPECT_EQ(adjusted.open.offsetAdjustment, 0);
  const Detection raw = Detect(PublicFile("gen-sfx-unadjusted.zip"));
  EXPECT_EQ(raw.type, atZipExe);
  EXPECT_EQ(raw.open.offsetAdjustment, 5000);
  EXPECT_TRUE(raw.open.headerState & htLocal);
  const Detection garbage = Detect(PublicFile("la-test_compat_zip_4.zip"));
  EXPECT_EQ(garbage.type, atZip);
  EXPECT_TRUE(garbage.open.headerState & htLocal);
}

TEST(ArcDetect, ProgramWithAnEmptyArchiveBehindIt) {
  // What deleting every entry of a self-extractor leaves: the program, then
  // an end record whose empty directory starts where the record stands. The
  // program's bytes may hold record signatures of their own.
  std::string stub = "MZ" + std::string(300, '\x8d');
  stub.replace(40, 4, "PK\x05\x06");
  stub.replace(120, 4, "PK\x07\x08");
  stub.replace(stub.size() - 20, 4, "PK\x06\x07");  // where a Zip64 locator would stand
  const auto sfx = ZipBuilder().Prefix(stub, true).Build();
  const Detection d = Detect(sfx, "x.exe");
  EXPECT_EQ(d.type, atZipExe);
  EXPECT_EQ(d.open.headerState, htEnding | htCentral);
  EXPECT_EQ(d.open.dataOffset, static_cast<int64_t>(stub.size()));
  EXPECT_EQ(d.open.declaredEntries, 0);
}

TEST(ArcDetect, ExecutableProbesAtFixedOffsets) {
  std::vector<uint8_t> exe(20000, 0);
  Place(exe, 0, "MZ");
  std::vector<uint8_t> arc = exe;
  Place(arc, 6867, "\x1a\x09");
  Place(arc, 8601, "\x1a\x0a");
  const Detection a = Detect(arc, "x.exe");
  EXPECT_EQ(a.type, atArcExe);
  EXPECT_EQ(a.open.dataOffset, 6867);

  std::vector<uint8_t> lha = exe;
  Place(lha, 1947, "-lh5-");
  EXPECT_EQ(Detect(lha, "x.exe").type, atLhaExe);
  EXPECT_EQ(Detect(lha, "x.exe").open.dataOffset, 1945);

  // A ZIP archive at 7612: read through its directory when it has one...
  std::vector<uint8_t> head(exe.begin(), exe.begin() + 7612);
  const auto sfx = TwoEntries().Prefix(std::string(head.begin(), head.end()), true).Build();
  const Detection z = Detect(sfx, "x.exe");
  EXPECT_EQ(z.type, atZipExe);
  EXPECT_TRUE(z.open.headerState & htCentral);
  // ...and by its local headers from 7612 when it has none.
  std::vector<uint8_t> cut(sfx.begin(), sfx.begin() + 7612 + 60);
  const Detection c = Detect(cut, "x.exe");
  EXPECT_EQ(c.type, atZipExe);
  EXPECT_EQ(c.open.headerState, htLocal);
  EXPECT_EQ(c.open.dataOffset, 7612);
}

TEST(ArcDetect, OffsetsFromStringResources) {
  auto pe = PeBuilder().String(1, "1000").Build();
  pe = Padded(pe, 1000);
  Place(pe, 1000, "Rar!\x1a\x07");
  pe = Padded(pe, 3000);
  const Detection d = Detect(pe, "x.exe");
  EXPECT_EQ(d.type, atRarExe);
  EXPECT_EQ(d.open.dataOffset, 1000);

  MemorySource src(pe);
  EXPECT_EQ(ReadPeString(src, 1, 5), "1000");
  EXPECT_EQ(ReadPeString(src, 2, 5), std::nullopt);
  auto longer = PeBuilder().String(3, "1234567").Build();
  MemorySource longerSrc(longer);
  EXPECT_EQ(ReadPeString(longerSrc, 3, 5), "12345");

  // A string that is not a number, or an offset beyond the file, stops the
  // probe without a type.
  auto word = Padded(PeBuilder().String(1, "abc").Build(), 3000);
  EXPECT_EQ(Detect(word, "x.exe").type, atNA);
  auto beyond = Padded(PeBuilder().String(1, "99999").Build(), 3000);
  EXPECT_EQ(Detect(beyond, "x.exe").type, atNA);
}

TEST(ArcDetect, DamagedPeImagesReadNothing) {
  const auto pe = PeBuilder().String(1, "1000").String(7, "2000").Build();
  // Every cut of the image, and every single damaged byte of its headers
  // and resource tree, either reads the string or reads nothing.
  for (size_t len = 0; len < pe.size(); ++len) {
    std::vector<uint8_t> cut(pe.begin(), pe.begin() + static_cast<long>(len));
    MemorySource src(cut);
    EXPECT_EQ(ReadPeString(src, 1, 5), std::nullopt) << len;
  }
  for (size_t at = 0; at < pe.size(); ++at) {
    for (uint8_t value : {0x00, 0x7F, 0xFF}) {
      std::vector<uint8_t> bad = pe;
      bad[at] = value;
      MemorySource src(bad);
      const auto s = ReadPeString(src, 7, 5);
      if (s) {
        EXPECT_LE(s->size(), 5u);
      }
    }
  }
}

TEST(ArcDetect, EndOfTheDosImage) {
  std::vector<uint8_t> exe(3000, 0);
  Place(exe, 0, "MZ");
  exe[2] = 100;  // bytes in the last page
  exe[4] = 3;    // pages: the image ends at 2 * 512 + 100
  Place(exe, 1124, "Rar!");
  const Detection d = Detect(exe, "x.exe");
  EXPECT_EQ(d.type, atRarExe);
  EXPECT_EQ(d.open.dataOffset, 1124);
  // An ARJ id in the third and fourth byte moves the probe two bytes on.
  std::vector<uint8_t> arj = exe;
  Place(arj, 1124, std::string("\0\0\x60\xea\x20\0", 6));
  EXPECT_EQ(Detect(arj, "x.exe").type, atArjExe);
  EXPECT_EQ(Detect(arj, "x.exe").open.dataOffset, 1126);
}

TEST(ArcDetect, SignatureScanInsideExecutables) {
  std::vector<uint8_t> exe(60000, 0);
  Place(exe, 0, "MZ");
  std::vector<uint8_t> rar = exe;
  Place(rar, 40000, "Rar!");
  EXPECT_EQ(Detect(rar, "x.exe").type, atRarExe);
  EXPECT_EQ(Detect(rar, "x.exe").open.dataOffset, 40000);
  std::vector<uint8_t> ace = exe;
  Place(ace, 20007, "**ACE**");
  EXPECT_EQ(Detect(ace, "x.exe").type, atAceExe);
  EXPECT_EQ(Detect(ace, "x.exe").open.dataOffset, 20000);
  // A signature across the boundary of two scan blocks is still seen.
  std::vector<uint8_t> across = exe;
  Place(across, 17000 + 32768 - 2, "Rar!");
  EXPECT_EQ(Detect(across, "x.exe").type, atRarExe);
}

}  // namespace
}  // namespace arc
