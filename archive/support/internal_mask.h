//===-- support/internal_mask.h - Compiled wildcard masks -------*- C++ -*-===//
//
// A mask is compiled once into a list of elements and then matched against
// many names. '*' matches any run of characters (none included), '?' exactly
// one character, anything else itself with ASCII letters compared without
// regard to case. Two rules differ from plain wildcards and are relied on by
// stored FileSpec lines:
//
//   - '?' directly after '*' is dropped, so "a*?" matches "a";
//   - a mask ending with '.' matches a name without any dot as if the name
//     ended with '.', so "*." selects names without an extension.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string_view>
#include <vector>

namespace arc {

class TInternalMask {
 public:
  /// An empty mask matches only the empty name.
  TInternalMask() { Compile({}); }
  explicit TInternalMask(std::string_view mask) { Compile(mask); }

  void Compile(std::string_view mask);
  bool Matches(std::string_view name) const;
  bool EndsWithDot() const { return endsWithDot_; }

 private:
  enum class Kind : unsigned char { Literal, AnyChar, EndOfName };
  struct Element {
    bool starBefore;  // a '*' came before this element
    Kind kind;
    char upper;  // the literal, ASCII letters in upper case
  };
  bool MatchFrom(std::string_view name) const;

  std::vector<Element> elements_;  // always ends with EndOfName
  bool endsWithDot_ = false;
};

/// Compiles `mask` and tests `name` against it.
bool Matches(std::string_view mask, std::string_view name);

}  // namespace arc
