//===-- support/files_list.cpp - The scanner's collected files --*- C++ -*-===//
#include "support/files_list.h"

#include <algorithm>
#include <string_view>

namespace arc {
namespace {

int CompareNames(std::string_view a, std::string_view b, bool caseSensitive) {
  auto fold = [caseSensitive](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (!caseSensitive && u >= 'A' && u <= 'Z') ? u + ('a' - 'A') : unsigned(u);
  };
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned x = fold(a[i]), y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string_view Extension(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

template <typename T>
int Three(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

int TFilesList::Compare(const TFileObject& a, const TFileObject& b) const {
  switch (sorted_) {
    case soByName:
      return CompareNames(a.FileName, b.FileName, caseSensitive_);
    case soByType:
      return CompareNames(Extension(a.FileName), Extension(b.FileName), caseSensitive_);
    // The whole size and the DOS value as unsigned: files of 2 GiB and more,
    // and dates from 2044 on, must not sort before the small and the old.
    case soBySize:
      return Three(a.Size(), b.Size());
    case soByTime:
      return Three(a.DateTime, b.DateTime);
    case soUnsort:
      break;
  }
  return 0;
}

void TFilesList::SetSorted(TArcSortOptions value) {
  sorted_ = value;
  if (sorted_ == soUnsort) return;
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const auto& a, const auto& b) { return Compare(*a, *b) < 0; });
}

int32_t TFilesList::Add(std::unique_ptr<TFileObject> item) {
  if (!item) return -1;
  auto at = items_.end();
  if (sorted_ != soUnsort) {
    at = std::lower_bound(
        items_.begin(), items_.end(), item,
        [this](const auto& have, const auto& add) { return Compare(*have, *add) < 0; });
  }
  at = items_.insert(at, std::move(item));
  return int32_t(at - items_.begin());
}

void TFilesList::Delete(int32_t index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

void TFilesList::Clear() {
  items_.clear();
  items_.shrink_to_fit();
}

}  // namespace arc
