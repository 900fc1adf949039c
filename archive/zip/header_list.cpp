//===-- zip/header_list.cpp - Entries of an archive update ----------------===//
#include "zip/header_list.h"

#include <arc/support/ascii_case.h>
#include <algorithm>

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

std::string CompHeader::StoredName() const {
  if (found && !found->storedName.empty()) return found->storedName;
  if (storedTail == 0 || storedTail > name.size()) return {};
  return name.substr(name.size() - storedTail);
}

void CompHeader::ShareNames() {
  // swap, not assignment: an emptied string keeps its buffer.
  if (!storedBytesInName && storedBytes == name) {
    std::string().swap(storedBytes);
    storedBytesInName = true;
  }
  if (!found) return;
  if (found->sourcePath == name) std::string().swap(found->sourcePath);
  const std::string& stored = found->storedName;
  if (!stored.empty() && stored.size() <= name.size() &&
      name.compare(name.size() - stored.size(), stored.size(), stored) == 0) {
    storedTail = static_cast<uint32_t>(stored.size());
    std::string().swap(found->storedName);
  }
  if (found->sourcePath.empty() && found->storedName.empty()) found.reset();
}

void CompHeader::UnshareNames() {
  if (storedBytesInName) {
    storedBytes = name;
    storedBytesInName = false;
  }
  if (action != EntryAction::Compress) return;
  std::string stored = StoredName();
  std::string source = SourcePath();
  if (!found) found = std::make_unique<FoundFile>();
  found->storedName = std::move(stored);
  found->sourcePath = std::move(source);
  storedTail = 0;
}

int32_t TCompHeaderObj::Add(CompHeader entry) {
  const auto i = static_cast<int32_t>(items_.size());
  entry.ShareNames();
  items_.push_back(std::move(entry));
  if (indexed_) {
    if (items_.size() * 2 > slots_.size())
      BuildIndex();
    else
      Place(i);
  }
  return i;
}

void TCompHeaderObj::Clear() {
  items_.clear();
  slots_ = {};
  indexed_ = false;
}

void TCompHeaderObj::SetName(int32_t i, std::string name) {
  CompHeader& e = items_.at(static_cast<size_t>(i));
  // Names may stand in name alone.
  e.UnshareNames();
  if (indexed_) Unplace(i);
  e.name = std::move(name);
  if (indexed_) Place(i);
}

int32_t TCompHeaderObj::IndexOf(std::string_view name) const {
  if (!indexed_) BuildIndex();
  const size_t mask = slots_.size() - 1;
  int32_t found = -1;
  for (size_t pos = HomeSlot(name, mask); slots_[pos] != 0; pos = (pos + 1) & mask) {
    const int32_t i = slots_[pos] - 1;
    if ((found < 0 || i < found) && SameTextIgnoringCase(items_[static_cast<size_t>(i)].name, name))
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
  size_t pos = HomeSlot(items_[static_cast<size_t>(i)].name, mask);
  while (slots_[pos] != 0) pos = (pos + 1) & mask;
  slots_[pos] = i + 1;
}

void TCompHeaderObj::Unplace(int32_t i) const {
  const size_t mask = slots_.size() - 1;
  size_t hole = HomeSlot(items_[static_cast<size_t>(i)].name, mask);
  while (slots_[hole] != i + 1) {
    if (slots_[hole] == 0) return;
    hole = (hole + 1) & mask;
  }
  // Entries after the hole move back into it unless that would put them
  // before their home slot, so that every probe run stays unbroken.
  for (size_t next = (hole + 1) & mask; slots_[next] != 0; next = (next + 1) & mask) {
    const size_t home = HomeSlot(items_[static_cast<size_t>(slots_[next] - 1)].name, mask);
    const bool stays = hole <= next ? home > hole && home <= next : home > hole || home <= next;
    if (stays) continue;
    slots_[hole] = slots_[next];
    hole = next;
  }
  slots_[hole] = 0;
}

int32_t TCompHeaderObj::CountKept() const {
  return static_cast<int32_t>(std::count_if(items_.begin(), items_.end(), [](const CompHeader& e) {
    return e.action != EntryAction::Drop;
  }));
}

}  // namespace arc
