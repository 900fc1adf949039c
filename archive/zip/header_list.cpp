//===-- zip/header_list.cpp - Entries of an archive update ----------------===//
#include "zip/header_list.h"

#include <algorithm>
#include <arc/support/ascii_case.h>

namespace arc {
namespace {

std::string Folded(std::string_view s) { return LowerAscii(s); }

}  // namespace

int32_t TCompHeaderObj::Add(CompHeader entry) {
  const auto i = static_cast<int32_t>(items_.size());
  index_.emplace(Folded(entry.name), i);
  items_.push_back(std::move(entry));
  return i;
}

void TCompHeaderObj::Clear() {
  items_.clear();
  index_.clear();
}

void TCompHeaderObj::SetName(int32_t i, std::string name) {
  CompHeader& e = items_.at(static_cast<size_t>(i));
  auto [first, last] = index_.equal_range(Folded(e.name));
  for (auto it = first; it != last; ++it) {
    if (it->second == i) {
      index_.erase(it);
      break;
    }
  }
  e.name = std::move(name);
  index_.emplace(Folded(e.name), i);
}

int32_t TCompHeaderObj::IndexOf(std::string_view name) const {
  auto [first, last] = index_.equal_range(Folded(name));
  int32_t found = -1;
  for (auto it = first; it != last; ++it)
    if (found < 0 || it->second < found) found = it->second;
  return found;
}

int32_t TCompHeaderObj::CountKept() const {
  return static_cast<int32_t>(std::count_if(items_.begin(), items_.end(), [](const CompHeader& e) {
    return e.action != EntryAction::Drop;
  }));
}

}  // namespace arc
