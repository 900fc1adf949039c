//===-- tests/legacy/explode_test.cpp - Method 6 on streams built here -===//
//
// Most streams use flat trees: every symbol the same length, so that symbol s
// of an n-symbol tree gets the code n - 1 - s (the last symbol takes 0).
// The code assignment itself is checked on one mixed tree worked out by hand.
//
//===----------------------------------------------------------------------===//
#include <string>

#include <gtest/gtest.h>

#include "legacy/bit_writer.h"
#include "legacy/decode_harness.h"

namespace arc::test {
namespace {

constexpr uint16_t kImplode = 6;
constexpr uint16_t kBigWindow = 2;
constexpr uint16_t kLiteralTree = 4;

/// Writes a tree description for the given code lengths (symbol 0 first).
void PutTree(BitWriter& w, const std::vector<int>& lengths) {
  std::vector<uint32_t> runs;
  for (size_t i = 0; i < lengths.size();) {
    size_t j = i;
    while (j < lengths.size() && lengths[j] == lengths[i] && j - i < 16) ++j;
    runs.push_back(static_cast<uint32_t>((j - i - 1) << 4 | (lengths[i] - 1)));
    i = j;
  }
  w.Put(static_cast<uint32_t>(runs.size() - 1), 8);
  for (uint32_t r : runs) w.Put(r, 8);
}

/// A test-only imploder over flat trees: 8-bit literal codes, 6-bit length
/// and distance codes. It does no searching of its own.
class ImplodeWriter {
 public:
  explicit ImplodeWriter(uint16_t flags)
      : literalTree_(flags & kLiteralTree), lowBits_(flags & kBigWindow ? 7 : 6),
        minMatch_(flags & kLiteralTree ? 3 : 2) {
    if (literalTree_) PutTree(w_, std::vector<int>(256, 8));
    PutTree(w_, std::vector<int>(64, 6));  // lengths
    PutTree(w_, std::vector<int>(64, 6));  // distances
  }
  ImplodeWriter& Literal(uint8_t byte) {
    w_.Put(1, 1);
    if (literalTree_) {
      w_.PutCode(255u - byte, 8);
    } else {
      w_.Put(byte, 8);
    }
    return *this;
  }
  ImplodeWriter& Literals(const std::string& text) {
    for (char c : text) Literal(static_cast<uint8_t>(c));
    return *this;
  }
  ImplodeWriter& Match(uint32_t distance, uint32_t length) {
    uint32_t d = distance - 1;
    w_.Put(0, 1).Put(d & ((1u << lowBits_) - 1), lowBits_).PutCode(63 - (d >> lowBits_), 6);
    uint32_t n = length - minMatch_;
    if (n < 63) {
      w_.PutCode(63 - n, 6);
    } else {
      w_.PutCode(0, 6).Put(n - 63, 8);
    }
    return *this;
  }
  std::vector<uint8_t> Bytes() const { return w_.Bytes(); }

 private:
  bool literalTree_;
  int lowBits_;
  uint32_t minMatch_;
  BitWriter w_;
};

DecodeRun Explode(uint16_t flags, const std::vector<uint8_t>& data, uint64_t size) {
  return Decode(kImplode, flags, data, size);
}

/// Appends a copy of `length` bytes from `distance` back, as the decoder does.
void Copy(std::string& text, size_t distance, size_t length) {
  for (size_t i = 0; i < length; ++i) text += text[text.size() - distance];
}

class ExplodeVariant : public ::testing::TestWithParam<uint16_t> {};

TEST_P(ExplodeVariant, WindowTreesAndMinimumMatchFollowTheFlags) {
  const uint16_t flags = GetParam();
  const uint32_t window = flags & kBigWindow ? 8192 : 4096;
  const uint32_t minMatch = flags & kLiteralTree ? 3 : 2;  // one per tree

  std::string text;
  for (uint32_t i = 0; i < window; ++i) text += static_cast<char>((i * 13 + i / 256) & 0xFF);
  ImplodeWriter w(flags);
  w.Literals(text);
  std::string expected = text;
  w.Match(window, minMatch);  // the farthest distance, the shortest length
  Copy(expected, window, minMatch);
  w.Match(2, minMatch + 62);  // the longest length without extra bits
  Copy(expected, 2, minMatch + 62);

  DecodeRun run = Explode(flags, w.Bytes(), expected.size());
  EXPECT_EQ(run.result, 0);
  EXPECT_TRUE(run.errors.empty());
  EXPECT_EQ(run.output, Bytes(expected));
}

// 0: 4 KiB, two trees; 6: 8 KiB, three trees; 2 and 4: the mixed pairs.
INSTANTIATE_TEST_SUITE_P(Flags, ExplodeVariant, ::testing::Values(0, 2, 4, 6));

TEST(Explode, LengthSymbol63AddsTheNextEightBits) {
  for (uint16_t flags : {uint16_t{0}, uint16_t{6}}) {
    SCOPED_TRACE(flags);
    const uint32_t minMatch = flags & kLiteralTree ? 3 : 2;
    ImplodeWriter w(flags);
    w.Literal('q').Match(1, minMatch + 63).Match(1, minMatch + 63 + 255);
    std::string expected(1 + (minMatch + 63) + (minMatch + 63 + 255), 'q');
    DecodeRun run = Explode(flags, w.Bytes(), expected.size());
    EXPECT_EQ(run.output, Bytes(expected));
  }
}

TEST(Explode, CopyAtTheStartReadsZeros) {
  DecodeRun run = Explode(6, ImplodeWriter(6).Match(8192, 3).Match(5, 4).Literal('z').Bytes(), 8);
  EXPECT_EQ(run.output, Bytes(std::string(7, '\0') + "z"));
}

TEST(Explode, CodesFollowFromLengthsLongestFirst) {
  // Length tree: symbol 0 has 1 bit, symbol 1 2 bits, symbols 2 and 3 7 bits,
  // symbols 4..63 8 bits (a complete code). Worked out by hand:
  //   symbols 63..4  00000000 .. 00111011   (longest codes, smallest values)
  //   symbol 3       0011110
  //   symbol 2       0011111
  //   symbol 1       01
  //   symbol 0       1
  std::vector<int> lengths(64, 8);
  lengths[0] = 1;
  lengths[1] = 2;
  lengths[2] = lengths[3] = 7;
  BitWriter w;
  PutTree(w, lengths);
  PutTree(w, std::vector<int>(64, 6));
  struct {
    uint32_t code;
    int bits;
    uint32_t length;  // symbol + 2
  } matches[] = {{0b1, 1, 2},         {0b01, 2, 3},         {0b0011111, 7, 4},
                 {0b0011110, 7, 5},   {0b00111011, 8, 6},   {0b00000001, 8, 2 + 62}};
  w.Put(1, 1).Put('a', 8);
  std::string expected = "a";
  for (const auto& m : matches) {
    w.Put(0, 1).Put(0, 6).PutCode(63, 6).PutCode(m.code, m.bits);  // distance 1
    expected.append(m.length, 'a');
  }
  DecodeRun run = Explode(0, w.Bytes(), expected.size());
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.output, Bytes(expected));
}

TEST(Explode, StopsAtTheDeclaredSizeEvenInsideACopy) {
  std::vector<uint8_t> data = ImplodeWriter(0).Literals("ab").Match(2, 20).Literals("tail").Bytes();
  DecodeRun run = Explode(0, data, 7);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.output, Bytes("abababa"));
}

TEST(Explode, ShortInputJustEndsTheEntry) {
  std::vector<uint8_t> full = ImplodeWriter(6).Literals("hello world").Bytes();
  for (size_t keep : {size_t{0}, size_t{10}, full.size() - 3}) {
    SCOPED_TRACE(keep);
    std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep));
    DecodeRun run = Explode(6, part, 11);
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(run.errors.empty());
    EXPECT_LT(run.output.size(), 11u);
  }
}

struct BadTrees {
  const char* what;
  std::vector<int> lengthTree;  // the distance tree stays flat
  LegacySeverity severity;
};

TEST(Explode, TreesThatAreNoPrefixCodeEndTheEntryWithoutData) {
  std::vector<int> deep(64, 16);
  deep[0] = 1;
  const BadTrees cases[] = {
      {"65 symbols described", std::vector<int>(65, 6), LegacySeverity::Report},
      {"64 codes of 5 bits", std::vector<int>(64, 5), LegacySeverity::Raise},
      // 63 codes of 16 bits share 10 leading zeros and then fan out: more
      // inner nodes than any prefix code of 64 symbols needs.
      {"more branches than 64 symbols can use", deep, LegacySeverity::Report},
  };
  for (const BadTrees& c : cases) {
    SCOPED_TRACE(c.what);
    BitWriter w;
    PutTree(w, c.lengthTree);
    PutTree(w, std::vector<int>(64, 6));
    w.Put(1, 1).Put('a', 8);
    DecodeRun run = Explode(0, w.Bytes(), 1);
    EXPECT_EQ(run.result, ec::AmbiguousShannonFano);
    ASSERT_EQ(run.errors.size(), 1u);
    EXPECT_EQ(run.errors[0].first, ec::AmbiguousShannonFano);
    EXPECT_EQ(run.errors[0].second, c.severity);
    EXPECT_TRUE(run.output.empty());
  }
}

TEST(Explode, DataTakingABranchNoCodeUsesIsRaisedAfterWritingWhatCameBefore) {
  // 64 distance codes of 7 bits fill only the half of the tree under 0.
  BitWriter w;
  PutTree(w, std::vector<int>(64, 6));
  PutTree(w, std::vector<int>(64, 7));
  w.Put(1, 1).Put('a', 8);                   // literal a
  w.Put(0, 1).Put(0, 6).PutCode(0b1, 1);      // a match whose distance code starts with 1
  DecodeRun run = Explode(0, w.Bytes(), 100);
  EXPECT_EQ(run.result, ec::AmbiguousShannonFano);
  ASSERT_EQ(run.errors.size(), 1u);
  EXPECT_EQ(run.errors[0].second, LegacySeverity::Raise);
  EXPECT_EQ(run.output, Bytes("a"));
}

}  // namespace
}  // namespace arc::test
