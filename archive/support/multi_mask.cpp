//===-- support/multi_mask.cpp - A set of compiled masks --------*- C++ -*-===//
#include "support/multi_mask.h"

#include <algorithm>

namespace arc {

bool MatchesAny(const MultiMasks& masks, std::string_view name) {
  return std::any_of(masks.begin(), masks.end(),
                     [&](const TMultiMask& m) { return m.Matches(name); });
}

void MergeMask(std::vector<std::string>& masks, const std::string& mask) {
  for (const std::string& have : masks) {
    if (Matches(have, mask)) return;
  }
  for (std::string& have : masks) {
    if (Matches(mask, have)) {
      have = mask;
      return;
    }
  }
  masks.push_back(mask);
}

}  // namespace arc
