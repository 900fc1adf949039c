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

/// The home slot of a name: the hash's bits mixed, so that names that
/// differ only in their last characters spread over the whole table.
size_t HomeSlot(std::string_view name, size_t mask) {
  uint64_t h = FoldedHash(name);
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return static_cast<size_t>(h) & mask;
}

}  // namespace

std::string TCompHeader::StoredName() const {
  if (Found && !Found->StoredName.empty()) return Found->StoredName;
  if (StoredTail == 0 || StoredTail > Name.size()) return {};
  return Name.substr(Name.size() - StoredTail);
}

void TCompHeader::ShareNames() {
  // swap, not assignment: an emptied string keeps its buffer.
  if (!StoredBytesInName && StoredBytes == Name) {
    std::string().swap(StoredBytes);
    StoredBytesInName = true;
  }
  if (!Found) return;
  if (Found->SourcePath == Name) std::string().swap(Found->SourcePath);
  const std::string& stored = Found->StoredName;
  if (!stored.empty() && stored.size() <= Name.size() &&
      Name.compare(Name.size() - stored.size(), stored.size(), stored) == 0) {
    StoredTail = static_cast<uint32_t>(stored.size());
    std::string().swap(Found->StoredName);
  }
  if (Found->SourcePath.empty() && Found->StoredName.empty()) Found.reset();
}

void TCompHeader::UnshareNames() {
  if (StoredBytesInName) {
    StoredBytes = Name;
    StoredBytesInName = false;
  }
  if (Action != TEntryAction::Compress) return;
  std::string stored = StoredName();
  std::string source = SourcePath();
  if (!Found) Found = std::make_unique<TFoundFile>();
  Found->StoredName = std::move(stored);
  Found->SourcePath = std::move(source);
  StoredTail = 0;
}

int32_t TCompHeaderObj::Add(TCompHeader entry) {
  const auto i = static_cast<int32_t>(items_.size());
  entry.ShareNames();
  items_.push_back(std::move(entry));
  if (indexed_) {
    if (items_.size() * 2 > slots_.size()) BuildIndex();
    else Place(i);
  }
  return i;
}

void TCompHeaderObj::Clear() {
  items_.clear();
  slots_ = {};
  indexed_ = false;
}

void TCompHeaderObj::SetName(int32_t i, std::string name) {
  TCompHeader& e = items_.at(static_cast<size_t>(i));
  // Names may stand in Name alone.
  e.UnshareNames();
  if (indexed_) Unplace(i);
  e.Name = std::move(name);
  if (indexed_) Place(i);
}

int32_t TCompHeaderObj::IndexOf(std::string_view name) const {
  if (!indexed_) BuildIndex();
  const size_t mask = slots_.size() - 1;
  int32_t found = -1;
  for (size_t pos = HomeSlot(name, mask); slots_[pos] != 0; pos = (pos + 1) & mask) {
    const int32_t i = slots_[pos] - 1;
    if ((found < 0 || i < found) && SameTextIgnoringCase(items_[static_cast<size_t>(i)].Name, name))
      found = i;
  }
  return found;
}

void TCompHeaderObj::BuildIndex() const {
  size_t size = 16;
  while (size < items_.size() * 2) size *= 2;
  slots_.assign(size, 0);
  indexed_ = true;
  for (size_t i = 0; i < items_.size(); ++i) Place(static_cast<int32_t>(i));
}

void TCompHeaderObj::Place(int32_t i) const {
  const size_t mask = slots_.size() - 1;
  size_t pos = HomeSlot(items_[static_cast<size_t>(i)].Name, mask);
  while (slots_[pos] != 0) pos = (pos + 1) & mask;
  slots_[pos] = i + 1;
}

void TCompHeaderObj::Unplace(int32_t i) const {
  const size_t mask = slots_.size() - 1;
  size_t hole = HomeSlot(items_[static_cast<size_t>(i)].Name, mask);
  while (slots_[hole] != i + 1) {
    if (slots_[hole] == 0) return;
    hole = (hole + 1) & mask;
  }
  // Entries after the hole move back into it unless that would put them
  // before their home slot, so that every probe run stays unbroken.
  for (size_t next = (hole + 1) & mask; slots_[next] != 0; next = (next + 1) & mask) {
    const size_t home = HomeSlot(items_[static_cast<size_t>(slots_[next] - 1)].Name, mask);
    const bool stays = hole <= next ? home > hole && home <= next : home > hole || home <= next;
    if (stays) continue;
    slots_[hole] = slots_[next];
    hole = next;
  }
  slots_[hole] = 0;
}

int32_t TCompHeaderObj::CountKept() const {
  return static_cast<int32_t>(std::count_if(items_.begin(), items_.end(), [](const TCompHeader& e) {
    return e.Action != TEntryAction::Drop;
  }));
}

}  // namespace arc
