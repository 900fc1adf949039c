//===-- tests/legacy/explode_test.cpp - Method 6 on streams built here -===//
//
// The streams use flat trees: every symbol the same length, so that symbol s
// of an n-symbol tree gets the code n - 1 - s (the last symbol takes 0).
// Mixed code lengths are covered by the real archives.
//
//===----------------------------------------------------------------------===//
#include <string>

#include <gtest/gtest.h>

#include "legacy/legacy_test_util.h"

namespace arc::test {
namespace {

constexpr uint16_t kImplode = 6;
constexpr uint16_t kBigWindow = 2;
constexpr uint16_t kLiteralTree = 4;

/// Writes a tree description for the code lengths of symbols 0, 1, ...
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

/// A test-only imploder over flat trees (8-bit literal codes, 6-bit length
/// and distance codes) that also keeps the text the decoder must produce.
class ImplodeWriter {
 public:
  explicit ImplodeWriter(uint16_t flags)
      : literalTree_(flags & kLiteralTree),
        lowBits_(flags & kBigWindow ? 7 : 6),
        minMatch_(flags & kLiteralTree ? 3 : 2) {
    if (literalTree_) PutTree(w_, std::vector<int>(256, 8));
    PutTree(w_, std::vector<int>(64, 6));
    PutTree(w_, std::vector<int>(64, 6));
  }
  ImplodeWriter& Literals(const std::string& text) {
    for (char c : text) {
      w_.Put(1, 1);
      if (literalTree_) {
        w_.PutCode(255u - static_cast<uint8_t>(c), 8);
      } else {
        w_.Put(static_cast<uint8_t>(c), 8);
      }
    }
    text_ += text;
    return *this;
  }
  ImplodeWriter& Match(uint32_t distance, uint32_t length) {
    const uint32_t d = distance - 1, n = length - minMatch_;
    w_.Put(0, 1).Put(d & ((1u << lowBits_) - 1), lowBits_).PutCode(63 - (d >> lowBits_), 6);
    w_.PutCode(63 - std::min(n, 63u), 6);
    if (n >= 63) w_.Put(n - 63, 8);
    for (uint32_t i = 0; i < length; ++i)  // before the start: zeros
      text_ += text_.size() >= distance ? text_[text_.size() - distance] : '\0';
    return *this;
  }
  const std::vector<uint8_t>& Bytes() const { return w_.Bytes(); }
  const std::string& Text() const { return text_; }

 private:
  bool literalTree_;
  int lowBits_;
  uint32_t minMatch_;
  BitWriter w_;
  std::string text_;
};

class ExplodeFlags : public ::testing::TestWithParam<uint16_t> {};

TEST_P(ExplodeFlags, WindowTreesAndMatchLengthsFollowTheFlags) {
  const uint16_t flags = GetParam();
  const uint32_t window = flags & kBigWindow ? 8192 : 4096;
  const uint32_t minMatch = flags & kLiteralTree ? 3 : 2;  // one per tree
  std::string text;
  for (uint32_t i = 0; i < window; ++i) text += static_cast<char>((i * 13 + i / 256) & 0xFF);

  ImplodeWriter w(flags);
  w.Match(window, minMatch + 1);  // before any output: zeros
  w.Literals(text);
  w.Match(window, minMatch);        // the farthest distance, the shortest length
  w.Match(2, minMatch + 62);        // the longest length without extra bits
  w.Match(1, minMatch + 63);        // length symbol 63 with extra bits 0 ...
  w.Match(5, minMatch + 63 + 255);  // ... and 255
  DecodeRun run = Decode(kImplode, flags, w.Bytes(), w.Text().size());
  EXPECT_EQ(run.result, 0);
  EXPECT_TRUE(run.errors.empty());
  EXPECT_EQ(run.output, Bytes(w.Text()));
}

// 0: 4 KiB, two trees; 6: 8 KiB, three trees; 2 and 4: the mixed pairs.
INSTANTIATE_TEST_SUITE_P(Implode, ExplodeFlags, ::testing::Values(0, 2, 4, 6));

TEST(Explode, TreesThatAreNoPrefixCodeEndTheEntryWithoutData) {
  std::vector<int> deep(64, 16);
  deep[0] = 1;
  const struct {
    const char* what;
    std::vector<int> lengthTree;
    LegacySeverity severity;
  } cases[] = {
      {"65 symbols described", std::vector<int>(65, 6), LegacySeverity::Report},
      {"64 codes of 5 bits", std::vector<int>(64, 5), LegacySeverity::Raise},
      // 63 codes of 16 bits share 10 leading zeros, then fan out: more inner
      // nodes than any prefix code of 64 symbols needs.
      {"more branches than 64 symbols can use", deep, LegacySeverity::Report},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BitWriter w;
    PutTree(w, c.lengthTree);
    PutTree(w, std::vector<int>(64, 6));
    w.Put(1, 1).Put('a', 8);
    DecodeRun run = Decode(kImplode, 0, w.Bytes(), 1);
    EXPECT_EQ(run.result, ec::AmbiguousShannonFano);
    ASSERT_EQ(run.errors.size(), 1u);
    EXPECT_EQ(run.errors[0], std::make_pair(int32_t{ec::AmbiguousShannonFano}, c.severity));
    EXPECT_TRUE(run.output.empty());
  }
}

TEST(Explode, DataTakingABranchNoCodeUsesIsRaisedAfterWritingWhatCameBefore) {
  // 64 distance codes of 7 bits fill only the half of the tree under 0.
  BitWriter w;
  PutTree(w, std::vector<int>(64, 6));
  PutTree(w, std::vector<int>(64, 7));
  w.Put(1, 1).Put('a', 8);                // literal a
  w.Put(0, 1).Put(0, 6).PutCode(0b1, 1);  // a match whose distance code starts with 1
  DecodeRun run = Decode(kImplode, 0, w.Bytes(), 100);
  EXPECT_EQ(run.result, ec::AmbiguousShannonFano);
  ASSERT_EQ(run.errors.size(), 1u);
  EXPECT_EQ(run.errors[0].second, LegacySeverity::Raise);
  EXPECT_EQ(run.output, Bytes("a"));
}

}  // namespace
}  // namespace arc::test
