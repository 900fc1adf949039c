//===-- support/files_list.h - The scanner's collected files ----*- C++ -*-===//
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace arc {

/// One file or directory found by a scan.
struct TFileObject {
  std::string FileName;  ///< the bare name; empty for a directory
  std::string FilePath;  ///< the folder of a file, or a directory's own path; ends with '/'
  uint32_t SizeLow = 0;
  uint32_t SizeHigh = 0;
  uint32_t Attributes = 0;  ///< attribute bits as in arc/support/paths.h
  uint32_t DateTime = 0;    ///< last write, local time, DOS form

  int64_t Size() const { return int64_t(uint64_t(SizeHigh) << 32 | SizeLow); }
};

enum TArcSortOptions : uint8_t { soUnsort, soByName, soByType, soBySize, soByTime };

/// An owning list of TFileObject, kept in the order of its sort option.
class TFilesList {
 public:
  TArcSortOptions Sorted() const { return sorted_; }
  /// Re-sorts the whole list by the new option.
  void SetSorted(TArcSortOptions value);

  /// Name and extension compares see case only when this is set.
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool value) { caseSensitive_ = value; }

  /// Unsorted: appends. Sorted: inserts before the first element that does
  /// not compare lower, so a new element goes before equal ones. Returns its
  /// index.
  int32_t Add(std::unique_ptr<TFileObject> item);

  int32_t Count() const { return int32_t(items_.size()); }
  const TFileObject& operator[](int32_t index) const { return *items_.at(size_t(index)); }
  /// Removes one element; an index outside the list does nothing.
  void Delete(int32_t index);
  void Clear();

  /// <0, 0 or >0 as `a` sorts before, with or after `b` under the current option.
  int Compare(const TFileObject& a, const TFileObject& b) const;

 private:
  std::vector<std::unique_ptr<TFileObject>> items_;
  TArcSortOptions sorted_ = soUnsort;
  bool caseSensitive_ = false;
};

}  // namespace arc
