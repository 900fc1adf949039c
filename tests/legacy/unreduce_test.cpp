//===-- tests/legacy/unreduce_test.cpp - Methods 2 to 5 on streams built here -===//
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "legacy/bit_writer.h"
#include "legacy/decode_harness.h"

namespace arc::test {
namespace {

constexpr uint8_t kDle = 144;

/// A test-only reducer: writes the follower sets, then codes the bytes it is
/// given, escaping 144 and spelling out back-references the way the
/// expander reads them. It does no searching of its own.
class ReduceWriter {
 public:
  explicit ReduceWriter(int factor, std::map<uint8_t, std::string> sets = {})
      : factor_(factor), sets_(std::move(sets)) {
    for (int value = 255; value >= 0; --value) {
      const std::string& set = sets_[static_cast<uint8_t>(value)];
      w_.Put(static_cast<uint32_t>(set.size()), 6);
      for (char c : set) w_.Put(static_cast<uint8_t>(c), 8);
    }
  }

  ReduceWriter& Literal(uint8_t byte) {
    Code(byte);
    if (byte == kDle) Code(0);
    return *this;
  }
  ReduceWriter& Literals(const std::string& text) {
    for (char c : text) Literal(static_cast<uint8_t>(c));
    return *this;
  }
  /// A copy of `length` (3 or more) bytes from `distance` bytes back.
  ReduceWriter& Match(uint32_t distance, uint32_t length) {
    const uint32_t mask = 0xFFu >> factor_;
    uint32_t extra = length - 3;
    uint32_t v = ((distance - 1) >> 8) << (8 - factor_) | std::min(extra, mask);
    EXPECT_NE(v, 0u) << "DLE 0 would mean a literal 144";
    Code(kDle);
    Code(static_cast<uint8_t>(v));
    if (extra >= mask) Code(static_cast<uint8_t>(extra - mask));
    Code(static_cast<uint8_t>((distance - 1) & 0xFF));
    return *this;
  }
  std::vector<uint8_t> Bytes() const { return w_.Bytes(); }

 private:
  void Code(uint8_t byte) {
    const std::string& set = sets_[last_];
    size_t index = set.find(static_cast<char>(byte));
    if (set.empty()) {
      w_.Put(byte, 8);
    } else if (index == std::string::npos) {
      w_.Put(1, 1).Put(byte, 8);
    } else {
      int bits = set.size() <= 2 ? 1 : set.size() <= 4 ? 2 : set.size() <= 8 ? 3 : set.size() <= 16 ? 4 : 5;
      w_.Put(0, 1).Put(static_cast<uint32_t>(index), bits);
    }
    last_ = byte;
  }

  int factor_;
  std::map<uint8_t, std::string> sets_;
  uint8_t last_ = 0;
  BitWriter w_;
};

DecodeRun Unreduce(int factor, const std::vector<uint8_t>& data, uint64_t size) {
  return Decode(static_cast<uint16_t>(factor + 1), 0, data, size);
}

std::string WithDle(const std::string& a, const std::string& b) {
  return a + static_cast<char>(kDle) + b;
}

TEST(Unreduce, Byte144IsSentAs144ZeroAndDecodesToOneByte) {
  for (int factor = 1; factor <= 4; ++factor) {
    SCOPED_TRACE(factor);
    std::string text = WithDle("x", WithDle("y", ""));  // x 144 y 144
    DecodeRun run = Unreduce(factor, ReduceWriter(factor).Literals(text).Bytes(), text.size());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, test::Bytes(text));
  }
}

TEST(Unreduce, CopiesReachTheWholeWindowOfEachFactor) {
  for (int factor = 1; factor <= 4; ++factor) {
    SCOPED_TRACE(factor);
    const uint32_t farthest = 256u << factor;  // 512, 1024, 2048, 4096
    const uint32_t longLength = (0xFFu >> factor) + 3 + 200;  // length byte present
    std::string text;
    for (uint32_t i = 0; i < farthest; ++i) text += static_cast<char>((i * 7 + i / 256) & 0xFF);
    ReduceWriter w(factor);
    w.Literals(text).Match(farthest, 10).Match(3, longLength);
    std::string expected = text + text.substr(0, 10);
    for (uint32_t i = 0; i < longLength; ++i) expected += expected[expected.size() - 3];

    DecodeRun run = Unreduce(factor, w.Bytes(), expected.size());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, test::Bytes(expected));
  }
}

TEST(Unreduce, CopyAtTheStartReadsZeros) {
  DecodeRun run = Unreduce(4, ReduceWriter(4).Match(300, 5).Literal('z').Bytes(), 6);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.output, test::Bytes(std::string(5, '\0') + "z"));
}

TEST(Unreduce, FollowerSetsCodeBytesByIndex) {
  // Sets of 1, 3, 17 and 32 bytes: indexes of 1, 2, 5 and 5 bits. Z is not
  // in the set of A, so it goes as a flagged plain byte.
  std::string set32;
  for (char c = '0'; set32.size() < 31; ++c) set32 += c;
  set32 += 'X';
  ReduceWriter w(2, {{0, "A"}, {'A', "BCD"}, {'D', "abcdefghijklmnopq"}, {'q', set32}});
  DecodeRun run = Unreduce(2, w.Literals("ADqXAZ").Bytes(), 6);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.output, test::Bytes("ADqXAZ"));
}

TEST(Unreduce, LastByteHoldingSeveralBytesIsDecodedInFull) {
  // The follower set of 'a' is {'a'}: after the first 'a' (8 bits) each
  // 'a' takes 2 bits, so the second data byte holds four of them.
  std::vector<uint8_t> data = ReduceWriter(1, {{'a', "a"}}).Literals("aaaaa").Bytes();
  DecodeRun run = Unreduce(1, data, 5);
  EXPECT_EQ(run.output, test::Bytes("aaaaa"));
}

TEST(Unreduce, StopsAtTheDeclaredSizeEvenInsideACopy) {
  std::vector<uint8_t> data = ReduceWriter(3).Literals("ab").Match(2, 10).Literals("tail").Bytes();
  DecodeRun run = Unreduce(3, data, 7);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.output, test::Bytes("abababa"));
}

TEST(Unreduce, DamagedOrShortStreams) {
  // A follower count above 32 cannot be held: the entry is damaged.
  BitWriter tooMany;
  tooMany.Put(33, 6);
  DecodeRun run = Unreduce(1, tooMany.Bytes(), 10);
  EXPECT_EQ(run.result, ec::BadBlock);
  ASSERT_EQ(run.errors.size(), 1u);
  EXPECT_EQ(run.errors[0].first, ec::BadBlock);
  EXPECT_EQ(run.errors[0].second, LegacySeverity::Raise);
  EXPECT_TRUE(run.output.empty());

  // Input ending inside the follower sets or the data just ends the entry;
  // the CRC check tells.
  std::vector<uint8_t> full = ReduceWriter(4).Literals("hello").Bytes();
  for (size_t cut : {size_t{0}, size_t{100}, full.size() - 2}) {
    SCOPED_TRACE(cut);
    std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
    DecodeRun shortRun = Unreduce(4, part, 5);
    EXPECT_EQ(shortRun.result, 0);
    EXPECT_TRUE(shortRun.errors.empty());
    EXPECT_LT(shortRun.output.size(), 5u);
  }
}

}  // namespace
}  // namespace arc::test
