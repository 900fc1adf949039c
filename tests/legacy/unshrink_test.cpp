//===-- tests/legacy/unshrink_test.cpp - Method 1 on hand-built code streams -===//
//
// Streams are lists of codes written with BitWriter; each test's comment gives
// the strings the codes stand for, so the expected output can be read off.
// Plain strings, undefined codes and widening are covered by the real
// archives (golden_archives_test.cpp).
//
//===----------------------------------------------------------------------===//
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "legacy/legacy_test_util.h"

namespace arc::test {
namespace {

constexpr uint16_t kShrink = 1;
constexpr uint32_t kEscape = 256;

/// One code of the given width per entry; `{kEscape, 1}` etc. are two codes.
struct Code {
  uint32_t value;
  int width = 9;
};

std::vector<uint8_t> Codes(std::initializer_list<Code> codes) {
  BitWriter w;
  for (const Code& c : codes) w.Put(c.value, c.width);
  return w.Bytes();
}

DecodeRun Unshrink(const std::vector<uint8_t>& data) {
  return Decode(kShrink, 0, data, /*uncompressedSize=*/0);
}

TEST(Unshrink, PartialClearFreesChildlessCodesAndReusesTheSmallestFirst) {
  // a, b         -> 257 = "ab"
  // 257 "ab"     -> 258 = "ba"
  // 257 "ab"     -> 259 = "ab"+"a"   (257 now has a child)
  // c            -> 260 = "ab"+"c"   (and a second one)
  // 256, 2       frees every code without children: 258, 259, 260 and the
  //              unused ones; 257 stays
  // d            -> 258 = "cd"       (the smallest freed code)
  // 258 "cd"     -> 259 = "dc"
  // 257 "ab"     still defined
  // 259 "dc"
  DecodeRun run = Unshrink(
      Codes({{'a'}, {'b'}, {257}, {257}, {'c'}, {kEscape}, {2}, {'d'}, {258}, {257}, {259}}));
  EXPECT_EQ(run.result, 0);
  EXPECT_TRUE(run.errors.empty());
  EXPECT_EQ(run.output, Bytes("a"
                              "b"
                              "ab"
                              "ab"
                              "c"
                              "d"
                              "cd"
                              "ab"
                              "dc"));
}

struct BadStream {
  const char* what;
  std::vector<uint8_t> data;
  int32_t code;        // raised, or 0: nothing to report
  std::string before;  // output written before the failure
};

TEST(Unshrink, DamagedStreamsAreRaisedAfterWritingWhatWasDecoded) {
  const BadStream cases[] = {
      {"no data at all (an empty entry)", {}, 0, ""},
      {"the input ends inside the first code", {0x41}, ec::BadBlock, ""},
      {"escape followed by 3", Codes({{'a'}, {kEscape}, {3}}), ec::BadBlock, "a"},
      {"escape at the end of the input", Codes({{'a'}, {kEscape}}), ec::BadBlock, "a"},
      {"widening past 13 bits",
       Codes({{'a'},
              {kEscape, 9},
              {1, 9},
              {kEscape, 10},
              {1, 10},
              {kEscape, 11},
              {1, 11},
              {kEscape, 12},
              {1, 12},
              {kEscape, 13},
              {1, 13}}),
       ec::BadBlock, "a"},
      // a, b -> 257 = "ab"; 257 -> 258 = "ba"; the clear frees both; the
      // previous code (257) is now empty, so the undefined 257 that follows
      // has no string to extend.
      {"a chain that leads into an empty code", Codes({{'a'}, {'b'}, {257}, {kEscape}, {2}, {257}}),
       ec::BadBlock, "abab"},
      // As above, but c follows the clear: the new string (previous code 257
      // + "c") gets code 257 itself, a code that is its own prefix.
      {"a code that is its own prefix", Codes({{'a'}, {'b'}, {257}, {kEscape}, {2}, {'c'}, {257}}),
       ec::StackOverflow, "ababc"},
  };
  for (const BadStream& c : cases) {
    SCOPED_TRACE(c.what);
    DecodeRun run = Unshrink(c.data);
    EXPECT_EQ(run.result, c.code);
    EXPECT_EQ(run.output, Bytes(c.before));
    if (c.code == 0) {
      EXPECT_TRUE(run.errors.empty());
      continue;
    }
    ASSERT_EQ(run.errors.size(), 1u);
    EXPECT_EQ(run.errors[0], std::make_pair(c.code, LegacySeverity::Raise));
  }
}

}  // namespace
}  // namespace arc::test
