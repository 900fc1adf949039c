//===-- tests/codec/inflate_deflate64_test.cpp - Deflate64 and format edges -*- C++ -*-===//
//
// Deflate64 entries written by 7-Zip and by others, and hand-made streams at
// the places where the two formats differ: long lengths, distance symbols 30
// and 31, the dynamic header's code counts and the two fixed codes.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "inflate_test_util.h"

namespace arc::test {
namespace {

namespace res = inflate_result;

/// Expected output of a match, byte by byte as the format defines it.
void ReferenceMatch(Bytes& out, uint32_t length, uint32_t distance) {
  for (uint32_t i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
}

/// A stored block of `data` (at most 65,535 bytes).
void StoredBlock(BitWriter& w, bool last, const Bytes& data) {
  w.header(last, 0);
  w.align();
  w.bits(static_cast<uint32_t>(data.size()), 16);
  w.bits(~static_cast<uint32_t>(data.size()) & 0xFFFF, 16);
  for (uint8_t b : data) w.bits(b, 8);
}

Bytes Pattern(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 7 + i / 251) % 253);
  return b;
}

void ExpectDecodes(const Bytes& stream, InflateVariant v, const Bytes& expected) {
  for (size_t outStep : {size_t{1}, size_t{7}, size_t{32768}, expected.size() + 1}) {
    for (size_t inStep : {size_t{1}, size_t{0}}) {
      const Outcome o = InflateWith(stream, v, inStep, outStep);
      ASSERT_EQ(o.result, res::kStreamEnd) << o.msg << ", output buffers of " << outStep;
      ASSERT_TRUE(o.out == expected)
          << "output buffers of " << outStep << ", input pieces of " << inStep;
      EXPECT_EQ(o.totalIn, stream.size());
    }
  }
}

// Fixed code, Deflate64: 'A', then length symbol 285 with 16 extra bits all
// set (3 + 65,535) at distance 1.
TEST(InflateDeflate64, MatchOf65538AtDistanceOneRepeatsThePreviousByte) {
  BitWriter w;
  w.header(true, 1);
  w.fixedSymbol('A');
  w.fixedSymbol(285);
  w.bits(0xFFFF, 16);
  w.fixedDistance(0);
  w.fixedSymbol(256);
  ExpectDecodes(w.finish(), InflateVariant::Deflate64, Bytes(65539, 'A'));
}

// 65,535 bytes of history in a stored block, then matches at the bottom and
// top of distance symbols 30 (32,769..49,152) and 31 (49,153..65,536). In
// Deflate the same symbols are invalid (see the table of invalid streams).
TEST(InflateDeflate64, DistanceSymbols30And31DecodeInDeflate64) {
  const Bytes history = Pattern(65535);
  BitWriter w;
  StoredBlock(w, false, history);
  w.header(true, 1);
  Bytes expected = history;
  const struct {
    uint32_t sym, extra, distance;
  } kMatches[] = {{30, 0, 32769}, {30, 16383, 49152}, {31, 0, 49153}, {31, 16383, 65536}};
  for (const auto& m : kMatches) {
    w.fixedSymbol(258);  // length 4
    w.fixedDistance(m.sym);
    w.bits(m.extra, 14);
    ReferenceMatch(expected, 4, m.distance);
  }
  w.fixedSymbol(256);
  ExpectDecodes(w.finish(), InflateVariant::Deflate64, expected);
}

// A dynamic header announcing 288 literal/length and 32 distance codes:
//   literal/length: symbols 0-255 get 9-bit codes, 256-287 6-bit codes
//   distance: all 32 symbols 5-bit codes
//   code-length code: 9 -> "0", 5 -> "10", 6 -> "11"
// Deflate rejects the counts; Deflate64 decodes a match at distance symbol 31.
Bytes DynamicBlockWithAllCodes(const Bytes& history, Bytes& expected) {
  BitWriter w;
  StoredBlock(w, false, history);
  w.header(true, 2);
  w.bits(31, 5);  // HLIT: 288 codes
  w.bits(31, 5);  // HDIST: 32 codes
  w.bits(6, 4);   // HCLEN: 10 code-length codes (16 17 18 0 8 7 9 6 10 5)
  for (uint32_t len : {0, 0, 0, 0, 0, 0, 1, 2, 0, 2}) w.bits(len, 3);
  for (int i = 0; i < 256; ++i) w.code(0, 1);  // length 9
  for (int i = 0; i < 32; ++i) w.code(3, 2);   // length 6
  for (int i = 0; i < 32; ++i) w.code(2, 2);   // length 5
  auto literal = [&](uint8_t c) { w.code(256 + c, 9); };
  auto symbol = [&](uint32_t sym) { w.code(sym - 256, 6); };
  expected = history;
  literal('Z');
  expected.push_back('Z');
  symbol(260);  // length 6
  w.code(31, 5);
  w.bits(100, 14);
  ReferenceMatch(expected, 6, 49153 + 100);
  symbol(285);  // length 3 + 16 extra bits
  w.bits(1000, 16);
  w.code(0, 5);  // distance 1
  ReferenceMatch(expected, 1003, 1);
  symbol(256);
  return w.finish();
}

TEST(InflateDeflate64, DynamicHeaderWith288And32CodesIsDeflate64Only) {
  Bytes expected;
  const Bytes stream = DynamicBlockWithAllCodes(Pattern(60000), expected);
  ExpectDecodes(stream, InflateVariant::Deflate64, expected);
  const Outcome o = InflateWith(stream, InflateVariant::Deflate, 0, 65536);
  EXPECT_EQ(o.result, res::kDataError);
  EXPECT_EQ(o.msg, "too many length or distance symbols");
}

// Symbol 285 means 258 in Deflate and 3 + 16 extra bits in Deflate64: a
// decoder that used one format's fixed tables for the other would get these
// wrong. Deflate, Deflate64, Deflate again, in one process.
TEST(InflateDeflate64, FixedCodesOfTheTwoFormatsAreKeptApart) {
  BitWriter a;
  a.header(true, 1);
  a.fixedSymbol('a');
  a.fixedSymbol(285);
  a.fixedDistance(0);
  a.fixedSymbol(256);
  const Bytes deflateStream = a.finish();

  BitWriter b;
  b.header(true, 1);
  b.fixedSymbol('b');
  b.fixedSymbol(285);
  b.bits(1000, 16);
  b.fixedDistance(0);
  b.fixedSymbol(256);
  const Bytes deflate64Stream = b.finish();

  ExpectDecodes(deflateStream, InflateVariant::Deflate, Bytes(259, 'a'));
  ExpectDecodes(deflate64Stream, InflateVariant::Deflate64, Bytes(1004, 'b'));
  ExpectDecodes(deflateStream, InflateVariant::Deflate, Bytes(259, 'a'));
}

TEST(InflateDeflate64, StoredBlockOfLengthZeroThenEmptyFixedBlock) {
  BitWriter w;
  StoredBlock(w, false, {});
  w.header(true, 1);
  w.fixedSymbol(256);
  const Bytes stream = w.finish();
  for (InflateVariant v : {InflateVariant::Deflate, InflateVariant::Deflate64}) {
    const Outcome o = InflateWith(stream, v, 1, 1);
    EXPECT_EQ(o.result, res::kStreamEnd);
    EXPECT_TRUE(o.out.empty());
    EXPECT_EQ(o.totalIn, stream.size());
  }
}

/// Decodes every Deflate64 entry of a ZIP file and checks it against the
/// central directory; returns how many there were.
int CheckDeflate64Entries(const Bytes& zip, const std::string& what) {
  int count = 0;
  for (const ZipEntry& e : ReadZipEntries(zip)) {
    if (e.method != 9) continue;
    ++count;
    SCOPED_TRACE(what + ": " + e.name);
    for (auto [inStep, outStep] :
         {std::pair<size_t, size_t>{0, 32768}, {65536, 32768}, {31, 1}, {1, 7}}) {
      const Outcome o = InflateWith(e.data, InflateVariant::Deflate64, inStep, outStep);
      EXPECT_EQ(o.result, res::kStreamEnd) << o.msg;
      EXPECT_EQ(o.out.size(), e.size);
      EXPECT_EQ(Crc32Of(o.out), e.crc);
      EXPECT_EQ(o.totalIn, e.packedSize);
    }
  }
  return count;
}

// Entries of the public sample archives, with the sizes and CRCs their
// manifest lists.
TEST(InflateDeflate64, PublicSampleArchivesDecode) {
  const struct {
    const char* file;
    const char* entry;
    uint32_t size, crc;
  } kEntries[] = {
      {"cc-lorem-ipsum-deflate64.zip", "lorem-ipsum.txt", 144060, 0xb9034f7e},
      {"gen-7z-deflate64.zip", "docs/report.txt", 194035, 0xc241efac},
      {"gen-7z-deflate64.zip", "longdist.bin", 144632, 0x8ae7fc78},
  };
  for (const auto& k : kEntries) {
    const Bytes zip = ReadFile(std::string(ARC_TEST_DATA) + "/public/" + k.file);
    int found = 0;
    for (const ZipEntry& e : ReadZipEntries(zip)) {
      if (e.name != k.entry) continue;
      ++found;
      ASSERT_EQ(e.method, 9);
      for (auto [inStep, outStep] : {std::pair<size_t, size_t>{0, 32768}, {31, 1}}) {
        const Outcome o = InflateWith(e.data, InflateVariant::Deflate64, inStep, outStep);
        EXPECT_EQ(o.result, res::kStreamEnd) << k.entry << ": " << o.msg;
        EXPECT_EQ(o.out.size(), k.size) << k.entry;
        EXPECT_EQ(Crc32Of(o.out), k.crc) << k.entry;
        EXPECT_EQ(o.totalIn, e.packedSize) << k.entry;
      }
    }
    EXPECT_EQ(found, 1) << k.file << ": " << k.entry;
  }
}

// Files with text, far repeats (distances above 32 KiB), runs longer than
// 258 bytes and structured binary, packed by 7-Zip at its fastest and its
// strongest setting.
TEST(InflateDeflate64, EntriesWrittenBy7ZipDecode) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  std::mt19937 rng(64);
  auto random = [&](size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng() % 64 + 32);
    return b;
  };
  Bytes text;
  static const char* const kWords[] = {"account ", "balance ", "invoice ", "total ",
                                       "\n",       "paid ",    "due "};
  while (text.size() < 300'000) {
    const std::string w = kWords[rng() % std::size(kWords)] + std::to_string(rng() % 5000) + " ";
    text.insert(text.end(), w.begin(), w.end());
  }
  Bytes longdist = random(24 * 1024);
  const Bytes middle = random(44 * 1024);
  longdist.insert(longdist.end(), middle.begin(), middle.end());
  longdist.insert(longdist.end(), longdist.begin(), longdist.begin() + 24 * 1024);
  longdist.insert(longdist.end(), 70'000, 0);
  longdist.insert(longdist.end(), middle.begin(), middle.end());
  Bytes records;
  for (uint32_t i = 0; i < 40'000; ++i) {
    const uint32_t v[4] = {i, i * 3 % 977, 0, 0x20240601u + i % 300};
    const auto* p = reinterpret_cast<const uint8_t*>(v);
    records.insert(records.end(), p, p + sizeof v);
  }
  WriteFile(dir / "text.txt", text);
  WriteFile(dir / "longdist.bin", longdist);
  WriteFile(dir / "records.bin", records);

  for (const char* level : {"-mx=1", "-mx=9"}) {
    const auto zip = dir / (std::string("d64") + level + ".zip");
    const std::string cmd = "cd '" + dir.path() + "' && 7z a -tzip -mm=Deflate64 " + level + " '" +
                            zip + "' text.txt longdist.bin records.bin >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    EXPECT_EQ(CheckDeflate64Entries(ReadFile(zip), level), 3);
  }
}

}  // namespace
}  // namespace arc::test
