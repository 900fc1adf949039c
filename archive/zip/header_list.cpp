//===-- zip/header_list.cpp - Entries of an archive update ----------------===//
#include "zip/header_list.h"

#include <algorithm>
#include <arc/support/ascii_case.h>

namespace arc {
namespace {

/// FNV-1a over the name with ASCII letters in lower case.
uint64_t FoldedHash(std::string_view s) {
  uint64_t h = 14695981039346656037ull;
  for (const char c : s) {
    h ^= static_cast<uint8_t>(ToLowerAscii(c));
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace

int32_t TCompHeaderObj::Add(TCompHeader entry) {
  const auto i = static_cast<int32_t>(items_.size());
  if (indexed_) index_.emplace(FoldedHash(entry.Name), i);
  items_.push_back(std::move(entry));
  return i;
}

void TCompHeaderObj::Clear() {
  items_.clear();
  index_.clear();
  indexed_ = false;
}

void TCompHeaderObj::SetName(int32_t i, std::string name) {
  TCompHeader& e = items_.at(static_cast<size_t>(i));
  // The path to compress may stand in Name alone.
  if (e.Found && e.Found->SourcePath.empty()) e.Found->SourcePath = e.Name;
  if (indexed_) {
    auto [first, last] = index_.equal_range(FoldedHash(e.Name));
    for (auto it = first; it != last; ++it) {
      if (it->second == i) {
        index_.erase(it);
        break;
      }
    }
    index_.emplace(FoldedHash(name), i);
  }
  e.Name = std::move(name);
}

int32_t TCompHeaderObj::IndexOf(std::string_view name) const {
  if (!indexed_) {
    indexed_ = true;
    index_.reserve(items_.size());
    for (size_t i = 0; i < items_.size(); ++i)
      index_.emplace(FoldedHash(items_[i].Name), static_cast<int32_t>(i));
  }
  auto [first, last] = index_.equal_range(FoldedHash(name));
  int32_t found = -1;
  for (auto it = first; it != last; ++it) {
    if ((found < 0 || it->second < found) &&
        SameTextIgnoringCase(items_[static_cast<size_t>(it->second)].Name, name))
      found = it->second;
  }
  return found;
}

int32_t TCompHeaderObj::CountKept() const {
  return static_cast<int32_t>(std::count_if(items_.begin(), items_.end(), [](const TCompHeader& e) {
    return e.Action != TEntryAction::Drop;
  }));
}

}  // namespace arc
