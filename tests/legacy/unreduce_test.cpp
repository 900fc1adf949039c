//===-- tests/legacy/unreduce_test.cpp - Methods 2 to 5 on streams built here -===//
//
// Follower sets and the copy distances of each factor are covered by the
// real archives; these streams pin down the escape byte, the zero-filled
// window, the end of the data and the damaged-count check.
//
//===----------------------------------------------------------------------===//
#include <string>

#include <gtest/gtest.h>

#include "legacy/legacy_test_util.h"

namespace arc::test {
namespace {

constexpr uint8_t kDle = 144;

/// Reduce data without follower sets: every byte in 8 bits, 144 escaped,
/// copies spelled out the way the expander reads them.
class ReduceWriter {
 public:
  explicit ReduceWriter(int factor) : factor_(factor) {
    for (int set = 0; set < 256; ++set) w_.Put(0, 6);
  }
  ReduceWriter& Literals(const std::string& text) {
    for (char c : text) {
      w_.Put(static_cast<uint8_t>(c), 8);
      if (static_cast<uint8_t>(c) == kDle) w_.Put(0, 8);
    }
    return *this;
  }
  /// A copy of 3..mask(f)+2 bytes from `distance` bytes back.
  ReduceWriter& Match(uint32_t distance, uint32_t length) {
    uint32_t v = ((distance - 1) >> 8) << (8 - factor_) | (length - 3);
    EXPECT_NE(v, 0u) << "DLE 0 would stand for a literal 144";
    w_.Put(kDle, 8).Put(v, 8).Put((distance - 1) & 0xFF, 8);
    return *this;
  }
  const std::vector<uint8_t>& Bytes() const { return w_.Bytes(); }

 private:
  int factor_;
  BitWriter w_;
};

DecodeRun Unreduce(int factor, const std::vector<uint8_t>& data, uint64_t size) {
  return Decode(static_cast<uint16_t>(factor + 1), 0, data, size);
}

TEST(Unreduce, Byte144AndCopiesBeforeAnyOutput) {
  // 144 goes as 144 0 and comes back as one byte; a copy before any output
  // reads the zero-filled window.
  const std::string expected = std::string(4, '\0') + "x\x90y\x90";
  for (int factor = 1; factor <= 4; ++factor) {
    SCOPED_TRACE(factor);
    DecodeRun run = Unreduce(
        factor, ReduceWriter(factor).Match(300, 4).Literals("x\x90y\x90").Bytes(), expected.size());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, test::Bytes(expected));
  }
}

TEST(Unreduce, LastByteHoldingSeveralBytesIsDecodedInFull) {
  // The follower set of 'a' is {'a'}: after the first 'a' (8 bits) every 'a'
  // takes 2 bits (0, index 0), so the last data byte holds four of them.
  BitWriter w;
  for (int value = 255; value >= 0; --value) {
    w.Put(value == 'a' ? 1 : 0, 6);
    if (value == 'a') w.Put('a', 8);
  }
  w.Put('a', 8).Put(0, 8);
  DecodeRun run = Unreduce(1, w.Bytes(), 5);
  EXPECT_EQ(run.output, test::Bytes("aaaaa"));
}

TEST(Unreduce, FollowerCountAbove32IsABadBlock) {
  DecodeRun run = Unreduce(1, BitWriter().Put(33, 6).Bytes(), 10);
  EXPECT_EQ(run.result, ec::BadBlock);
  ASSERT_EQ(run.errors.size(), 1u);
  EXPECT_EQ(run.errors[0], std::make_pair(int32_t{ec::BadBlock}, LegacySeverity::Raise));
  EXPECT_TRUE(run.output.empty());
}

}  // namespace
}  // namespace arc::test
