//===-- support/internal_mask.cpp - Compiled wildcard masks -----*- C++ -*-===//
#include "support/internal_mask.h"

#include <arc/support/ascii_case.h>
#include <string>

namespace arc {

void TInternalMask::Compile(std::string_view mask) {
  elements_.clear();
  elements_.reserve(mask.size() + 1);
  bool star = false;
  for (char c : mask) {
    if (c == '*') {
      star = true;
    } else if (c == '?') {
      // "*?" behaves as "*": the any-character element after a star is dropped.
      if (!star) elements_.push_back({false, Kind::AnyChar, 0});
    } else {
      elements_.push_back({star, Kind::Literal, ToUpperAscii(c)});
      star = false;
    }
  }
  elements_.push_back({star, Kind::EndOfName, 0});
  endsWithDot_ = !mask.empty() && mask.back() == '.';
}

bool TInternalMask::Matches(std::string_view name) const {
  if (endsWithDot_ && name.find('.') == std::string_view::npos) {
    std::string dotted(name);
    dotted += '.';
    return MatchFrom(dotted);
  }
  return MatchFrom(name);
}

// Left to right with one retry point: the latest element that followed a star
// and the name position one past where it last matched. On a failure the
// match resumes there; this is the usual greedy-star backtracking and gives
// the same answers as full wildcard matching.
bool TInternalMask::MatchFrom(std::string_view name) const {
  size_t e = 0;
  size_t n = 0;
  bool haveRetry = false;
  size_t retryElement = 0;
  size_t retryPos = 0;
  for (;;) {
    const Element& el = elements_[e];
    bool ok = false;
    if (el.starBefore) {
      if (el.kind == Kind::EndOfName) return true;  // a trailing star takes the rest
      size_t p = n;
      while (p < name.size() && ToUpperAscii(name[p]) != el.upper) ++p;
      // Not found from here on: an earlier retry point would only search
      // from a later position, so nothing can match any more.
      if (p == name.size()) return false;
      haveRetry = true;
      retryElement = e;
      retryPos = p + 1;
      n = p + 1;
      ok = true;
    } else if (el.kind == Kind::EndOfName) {
      if (n == name.size()) return true;
    } else if (n < name.size() && (el.kind == Kind::AnyChar || ToUpperAscii(name[n]) == el.upper)) {
      ++n;
      ok = true;
    }
    if (ok) {
      ++e;
      continue;
    }
    if (!haveRetry) return false;
    e = retryElement;
    n = retryPos;
  }
}

bool Matches(std::string_view mask, std::string_view name) {
  return TInternalMask(mask).Matches(name);
}

}  // namespace arc
