//===-- tests/codec/inflate_zlib_diff_test.cpp - Inflater against zlib ---*- C++ -*-===//
//
// Streams made by zlib's compressor at every level and strategy must come
// back byte for byte, whatever the sizes of the input pieces and output
// buffers, and the decoder must stop where zlib's own inflater stops.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "inflate_test_util.h"

namespace arc::test {
namespace {

constexpr int kStrategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
constexpr const char* kStrategyNames[] = {"default", "filtered", "huffman-only", "rle", "fixed"};

Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

/// Words, numbers and repeated lines: the matches of ordinary text.
Bytes TextLike(size_t n, uint32_t seed) {
  static const char* const kWords[] = {"invoice", "customer", "amount",    "ledger", "debit",
                                       "credit",  "the",      "of",        "total",  "balance",
                                       "\n",      ", ",       "2024-06-01"};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) {
    if (rng() % 16 == 0 && s.size() > 200) {
      const size_t from = rng() % (s.size() - 100);
      s.append(s, from, 20 + rng() % 80);  // an older line again
    } else {
      s += kWords[rng() % std::size(kWords)];
      s += std::to_string(rng() % 1000);
    }
  }
  s.resize(n);
  return Bytes(s.begin(), s.end());
}

/// Long runs, short periods and far repeats: distance 1, overlapping copies,
/// lengths of 258 and distances near 32 KiB.
Bytes Repetitive(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < n) {
    switch (rng() % 4) {
      case 0:
        b.insert(b.end(), 300 + rng() % 2000, static_cast<uint8_t>(rng()));
        break;
      case 1: {
        const uint32_t period = 2 + rng() % 7;
        for (uint32_t i = 0, len = 100 + rng() % 900; i < len; ++i)
          b.push_back(static_cast<uint8_t>('a' + i % period));
        break;
      }
      case 2:
        if (b.size() > 33000) {
          const size_t from = b.size() - 32768 + rng() % 64;
          for (uint32_t i = 0; i < 600; ++i) b.push_back(b[from + i]);
        }
        break;
      default:
        for (uint32_t i = 0, len = rng() % 64; i < len; ++i)
          b.push_back(static_cast<uint8_t>(rng()));
    }
  }
  b.resize(n);
  return b;
}

struct Source {
  std::string name;
  Bytes data;
};

std::vector<Source> SmallSources() {
  return {{"random", RandomBytes(6000, 1)},
          {"text", TextLike(20000, 2)},
          {"repetitive", Repetitive(40000, 3)},
          {"empty", {}}};
}

/// Real files: a licence text and the start of this test program.
std::vector<Source> RealSources() {
  std::vector<Source> v;
  Bytes licence = ReadFile("/usr/share/common-licenses/GPL-3");
  if (!licence.empty()) v.push_back({"GPL-3", licence});
  Bytes program = ReadFile("/proc/self/exe", 400'000);
  if (!program.empty()) v.push_back({"test program", program});
  v.push_back({"repetitive", Repetitive(300'000, 4)});
  return v;
}

void ExpectSameAsZlib(const Bytes& original, const Bytes& packed, size_t inStep, size_t outStep,
                      const Outcome& zlibEnd, const std::string& what) {
  SCOPED_TRACE(what + ", input pieces " + std::to_string(inStep) + ", output buffers " +
               std::to_string(outStep));
  const Outcome ours = InflateWith(packed, InflateVariant::Deflate, inStep, outStep);
  ASSERT_EQ(ours.result, zlibEnd.result);
  ASSERT_EQ(ours.out.size(), original.size());
  ASSERT_TRUE(ours.out == original);
  EXPECT_EQ(ours.totalIn, zlibEnd.totalIn);
  EXPECT_EQ(ours.totalOut, zlibEnd.totalOut);
  EXPECT_EQ(ours.availIn, zlibEnd.availIn);
}

// Every level and strategy, each stream decoded with output buffers of 1, 7,
// 32 KiB and the whole size and input fed 1 and 31 bytes at a time and at once.
// Four bytes after each stream check that decoding stops at its exact end.
TEST(InflateAgainstZlib, EveryLevelAndStrategyWithPiecesOfEverySize) {
  const Bytes trailer = {0xDE, 0xAD, 0xBE, 0xEF};
  for (const Source& src : SmallSources()) {
    for (int level = 0; level <= 9; ++level) {
      for (size_t k = 0; k < std::size(kStrategies); ++k) {
        Bytes packed = ZlibDeflate(src.data, level, kStrategies[k]);
        ASSERT_FALSE(packed.empty());
        packed.insert(packed.end(), trailer.begin(), trailer.end());
        const Outcome zlibEnd = ZlibInflate(packed, 0, src.data.size() + 1);
        ASSERT_EQ(zlibEnd.result, Z_STREAM_END);
        ASSERT_EQ(zlibEnd.availIn, trailer.size());
        const std::string what =
            src.name + " level " + std::to_string(level) + " " + kStrategyNames[k];
        for (size_t outStep : {size_t{1}, size_t{7}, size_t{32768}, src.data.size() + 1})
          for (size_t inStep : {size_t{1}, size_t{31}, size_t{0}})
            ExpectSameAsZlib(src.data, packed, inStep, outStep, zlibEnd, what);
      }
    }
  }
}

// Larger real inputs exercise the fast loop and the window ring over many
// buffers; the small steps above already cover every piece boundary.
TEST(InflateAgainstZlib, RealFilesAtEveryLevelAndStrategy) {
  for (const Source& src : RealSources()) {
    for (int level = 0; level <= 9; ++level) {
      for (size_t k = 0; k < std::size(kStrategies); ++k) {
        const Bytes packed = ZlibDeflate(src.data, level, kStrategies[k]);
        const Outcome zlibEnd = ZlibInflate(packed, 0, 65536);
        const std::string what =
            src.name + " level " + std::to_string(level) + " " + kStrategyNames[k];
        ExpectSameAsZlib(src.data, packed, 65536, 32768, zlibEnd, what);
        if (level == 1 || level == 6 || level == 9)
          ExpectSameAsZlib(src.data, packed, 31, 4093, zlibEnd, what);
      }
    }
  }
}

// With a 512-byte window every match of a long stream reaches across call
// boundaries and around the ring many times.
TEST(InflateAgainstZlib, SmallWindowWrapsTheRing) {
  const Bytes data = TextLike(60000, 9);
  const Bytes packed = ZlibDeflate(data, 9, Z_DEFAULT_STRATEGY, -9);
  for (size_t outStep : {size_t{1}, size_t{100}, size_t{700}, data.size()}) {
    const Outcome ours = InflateWith(packed, InflateVariant::Deflate, 0, outStep, -9);
    ASSERT_EQ(ours.result, inflate_result::kStreamEnd);
    EXPECT_TRUE(ours.out == data) << "output buffers of " << outStep;
  }
}

// A truncated stream gives back everything it holds, then reports that it
// cannot go on: BufError, like zlib.
TEST(InflateAgainstZlib, TruncatedStreamStarvesWithBufError) {
  const Bytes data = TextLike(50000, 5);
  const Bytes packed = ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY);
  for (size_t cut : {size_t{1}, packed.size() / 3, packed.size() - 1}) {
    const Bytes part(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(cut));
    const Outcome ours = InflateWith(part, InflateVariant::Deflate, 0, 32768);
    const Outcome theirs = ZlibInflate(part, 0, 32768);
    EXPECT_EQ(ours.result, inflate_result::kBufError);
    EXPECT_EQ(theirs.result, Z_BUF_ERROR);
    ASSERT_LE(ours.out.size(), data.size());
    EXPECT_TRUE(std::equal(ours.out.begin(), ours.out.end(), data.begin()));
    EXPECT_EQ(ours.totalIn, cut);
    EXPECT_EQ(ours.out.size(), theirs.out.size());
  }
}

}  // namespace
}  // namespace arc::test
