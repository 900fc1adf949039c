//===-- zip/file_scan.h - Directory scanning by masks -----------*- C++ -*-===//
//
// TArcFileScan finds the files that the FileSpec lines select. Each
// FileSpec line is [directory/]mask; lines with the same directory are
// scanned together, their masks merged. A directory entry is taken when its
// attributes pass the inclusion filter (Attributes, or the not-content-indexed
// bit) and fail the exclusion filter (AttributesEx); a taken file must also
// match one of the masks. Taken directories and files go to the per-entry
// handler, which by default collects them in Files().
//
// Only regular files and directories are looked at: pipes, sockets and device
// nodes would block or never end when read. Symbolic links are followed for
// files but never for directories, and a directory already being scanned
// further up is not entered again, so link and mount loops cannot recurse.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include <arc/core/arc_events.h>
#include <arc/core/arc_types.h>
#include <arc/core/component.h>
#include "support/files_list.h"
#include "support/multi_mask.h"

struct stat;

namespace arc {

enum TfsScanOptions : uint8_t { soScanDir, soScanDrvs };

using TOnFinishedEvent =
    std::function<void(TObject* Sender, int32_t FilesCount, int64_t FilesSize)>;
using TOnRootDirChange = std::function<void(TObject* Sender, const std::string& Dir)>;

/// What the scanner knows of one directory entry.
struct SearchRec {
  std::string name;
  uint32_t attr = 0;  ///< attribute bits as in arc/support/paths.h
  int64_t size = 0;
  std::time_t time = 0;  ///< last write
  uint32_t mode = 0;     ///< type and permission bits (st_mode)
  uint64_t device = 0;   ///< with inode, which file it is
  uint64_t inode = 0;
};

/// True when the attribute set selects a file with attribute bits `attr`.
bool AttributesMatch(TArcFileAttrs set, uint32_t attr);

class TArcFileScan : public TComponent {
 public:
  /// Receives each taken entry: the directory of a file (or a directory's own
  /// path), always with a trailing '/', and the entry itself.
  using ScanEntryHandler = std::function<void(const std::string& path, const SearchRec& rec)>;
  /// Scans one group directory with its masks.
  using RootScanHandler = std::function<void(const std::string& Dir, const MultiMasks& masks)>;

  explicit TArcFileScan(TComponent* Owner = nullptr);

  TArcSortOptions Sorted() const { return files_.Sorted(); }
  /// Re-sorts the list; with a non-empty list and OnFinished set, OnFinished
  /// is raised again with the current totals.
  void SetSorted(TArcSortOptions value);

  const std::vector<std::string>& FileSpec() const { return fileSpec_; }
  /// Copies the lines and clears the mask string, so Scan uses them.
  void SetFileSpec(const std::vector<std::string>& value);

  TArcFileAttrs Attributes() const { return attributes_; }
  void SetAttributes(TArcFileAttrs value) { attributes_ = value; }
  TArcFileAttrs AttributesEx() const { return attributesEx_; }
  void SetAttributesEx(TArcFileAttrs value) { attributesEx_ = value; }
  /// Adds or removes one attribute of Attributes.
  void SetAttribute(TArcFileAttr attribute, bool include);

  bool IncludeHiddenDirs() const { return includeHiddenDirs_; }
  void SetIncludeHiddenDirs(bool value) { includeHiddenDirs_ = value; }
  bool UpdateList() const { return updateList_; }
  void SetUpdateList(bool value) { updateList_ = value; }
  TfsScanOptions ScanOptions() const { return scanOptions_; }
  void SetScanOptions(TfsScanOptions value) { scanOptions_ = value; }
  bool RecurseDirs() const { return recurseDirs_; }
  void SetRecurseDirs(bool value) { recurseDirs_ = value; }

  const std::string& RootDir() const { return rootDir_; }
  /// Stored with a trailing '/'.
  void SetRootDir(const std::string& value);

  TOnScanFileEvent OnScanFile;
  TOnFinishedEvent OnFinished;
  TOnRootDirChange OnRootDirChange;
  TOnRecurseDir OnRecurseDir;
  /// A directory that is there but cannot be listed, with the system's
  /// error; what it holds is left out.
  std::function<void(const std::string& Dir, int Error)> OnUnreadableDir;

  /// Called after every directory entry; empty by default.
  std::function<void()> processMessages;

  /// Runs a scan; see the file comment.
  void Scan();
  /// Sets the cancel flag; the scan stops before its next directory entry.
  void Cancel() { *cancel_ = true; }

  int32_t FilesCount() const { return filesCount_; }
  int64_t FilesSize() const { return filesSize_; }
  const TFilesList& Files() const { return files_; }
  TFilesList& Files() { return files_; }

  /// Points the scan at another cancel flag (the owner's); null restores the own one.
  void SetCancelFlag(bool* flag) { cancel_ = flag != nullptr ? flag : &ownCancel_; }
  /// Replaces the per-entry handler; an empty one restores collecting into Files().
  void SetEntryHandler(ScanEntryHandler handler);
  /// Replaces the root-scan handler; an empty one restores the dispatch by ScanOptions.
  void SetRootScanHandler(RootScanHandler handler);

  /// The mask test used everywhere names meet masks.
  static bool Matches(std::string_view mask, std::string_view name);

  /// The two filters together: `include` (or the not-content-indexed bit)
  /// must select the attribute bits and `exclude` must not.
  static bool PassesFilters(TArcFileAttrs include, TArcFileAttrs exclude, uint32_t attr);

 private:
  void DefaultRootScan(const std::string& dir, const MultiMasks& masks);
  void AddToList(const std::string& path, const SearchRec& rec);
  void ScanDirectory(const std::string& dir, const MultiMasks& masks, bool stayOnDevice,
                     std::vector<std::pair<uint64_t, uint64_t>>& open);
  void ScanFileSpec();

  TFilesList files_;
  std::vector<std::string> fileSpec_;
  std::string maskString_ = "*";
  TArcFileAttrs attributes_{fsZeroAttr, fsReadOnly, fsArchive, fsCompressed, fsEncrypted};
  TArcFileAttrs attributesEx_;
  bool includeHiddenDirs_ = false;
  bool updateList_ = true;
  TfsScanOptions scanOptions_ = soScanDir;
  std::string rootDir_ = "/";
  bool recurseDirs_ = true;

  int32_t filesCount_ = 0;
  int64_t filesSize_ = 0;
  bool ownCancel_ = false;
  bool* cancel_ = &ownCancel_;
  ScanEntryHandler entryHandler_;
  RootScanHandler rootScan_;
  uint64_t rootDevice_ = 0;
};

}  // namespace arc
