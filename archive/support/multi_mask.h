//===-- support/multi_mask.h - A set of compiled masks ----------*- C++ -*-===//
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/internal_mask.h"

namespace arc {

/// One mask of a scan, with its text and its compiled form.
class TMultiMask {
 public:
  explicit TMultiMask(std::string_view mask) : text_(mask), mask_(mask) {}
  const std::string& Text() const { return text_; }
  bool Matches(std::string_view name) const { return mask_.Matches(name); }

 private:
  std::string text_;
  TInternalMask mask_;
};

using MultiMasks = std::vector<TMultiMask>;

/// True when any of `masks` matches `name`.
bool MatchesAny(const MultiMasks& masks, std::string_view name);

/// Adds `mask` to a group of mask texts unless one of them already covers it;
/// a new mask that covers an existing one takes its place. So "*.txt" and "*"
/// give "*", and "a*.txt" followed by "*.txt" gives "*.txt".
void MergeMask(std::vector<std::string>& masks, const std::string& mask);

}  // namespace arc
