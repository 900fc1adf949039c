#include "support/internal_mask.h"

#include <gtest/gtest.h>

namespace arc {
namespace {

struct Case {
  const char* mask;
  const char* name;
  bool match;
};

TEST(Mask, WildcardsCaseAndSpecialRules) {
  const Case cases[] = {
      {"*", "", true},
      {"*", "anything.at.all", true},
      {"", "", true},
      {"", "a", false},
      {"*.txt", "notes.TXT", true},
      {"*.txt", "notes.txt.bak", false},
      {"*.txt", "a.txt.txt", true},
      {"A?C", "abc", true},
      {"a?", "a", false},
      {"a*?", "a", true},  // '?' after '*' is dropped
      {"a*?", "ab", true},
      {"?*", "", false},
      {"*.*", "README", false},  // only a FileSpec line turns "*.*" into "*"
      {"*.*", "a.b", true},
      {"readme.", "README", true},
      {"readme.", "readme.", true},
      {"readme.", "readme.txt", false},
      {"*.", "x.txt", false},
      {"*.", "Makefile", true},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"*aab", "aaaab", true},  // needs backtracking past the first 'a'
      {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac", false},
      {"ä*", "ä.txt", true},  // non-ASCII bytes compare exactly
      {"Ä*", "ä.txt", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Matches(c.mask, c.name), c.match) << c.mask << " vs " << c.name;
  }
}

TEST(Mask, CompiledOnceMatchesMany) {
  TInternalMask m("data??.*");
  EXPECT_TRUE(m.Matches("DATA01.bin"));
  EXPECT_TRUE(m.Matches("data99."));
  EXPECT_FALSE(m.Matches("data1.bin"));
  EXPECT_FALSE(m.EndsWithDot());
  EXPECT_TRUE(TInternalMask("*.").EndsWithDot());
}

}  // namespace
}  // namespace arc
