//===-- unzip/output_path.h - Where an entry is written ---------*- C++ -*-===//
//
// Stored names are untrusted. Whatever a name says, the file it becomes lies
// inside the extraction folder: a name ends at a NUL byte, a drive ("C:",
// "C:\"), roots ("/x", "\x", "//server/share/x") and the components "." and
// ".." are dropped, and no symbolic link found below the folder is followed
// while creating folders and the file.
//
// Below the folder, folders are walked and made one at a time relative to
// the descriptor of their parent, opened without following links, and the
// file is created relative to the last of them. A link put in place by
// someone else between two steps makes the step fail; it is never followed.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "support/unique_fd.h"

namespace arc {

/// The stored name (converted: '/' between folders) made safe: cut at a NUL
/// byte, no drive, no root, no "." or ".." component. A name that ends with
/// '/' keeps it.
std::string SafeStoredName(std::string_view stored);

/// True when making the stored name safe changes where it points: it holds
/// a NUL byte, a drive, a root or a ".." component. ("." components and
/// doubled separators change nothing and do not count.)
bool IsHostileStoredName(std::string_view stored);

/// The output file name of a stored name under `extractDir` (which ends with
/// '/'): with `useStoredDirs` the name's folders are kept, otherwise only its
/// file-name part. Empty for an empty stored name.
std::string OutputPathOf(std::string_view stored, const std::string& extractDir,
                         bool useStoredDirs);

/// Creates the folders of `path` that are missing. Below `root` (when `path`
/// lies under it) every existing component must be a real folder, never a
/// symbolic link. False when a folder could not be made or a link was met.
bool CreateFoldersUnder(const std::string& root, const std::string& path);

/// Gives the regular file `name` in the folder `dir` (a descriptor, or
/// AT_FDCWD) its owner's write permission when it lacks it, so that it can be
/// replaced by an unprivileged user. Never through a link: a link swapped in
/// meanwhile is left alone.
void MakeWritable(int dir, const char* name);

/// Creates (or empties) the file `path` for writing and returns its
/// descriptor, or -1. Its folders must exist. A read-only file standing
/// there is made writable first: the caller has decided to replace it. A symbolic link standing at
/// `path` itself is replaced by the new file, never followed.
int CreateOutputFile(const std::string& path);

/// CreateFoldersUnder and CreateOutputFile in one, without a gap between
/// checking a folder and using it: below `root`, the file is created
/// relative to its folder's descriptor. A path of PATH_MAX bytes or more is
/// refused before anything is made.
int CreateOutputFileUnder(const std::string& root, const std::string& path);

/// The folder the last file was created in, kept open for the next one of
/// the same folder: a run of entries in one folder walks it once. Only the
/// extractor's thread uses it.
class OutputFolderCache {
 public:
  /// The open folder for `key` (root and folder parts), or -1.
  int Find(const std::string& key) const;
  /// Takes the descriptor `folder` of `key`.
  void Keep(std::string key, int folder);
  void Clear();

 private:
  std::string key_;
  UniqueFd folder_;
  dev_t device_ = 0;  // of the folder held, to check that its name still leads to it
  ino_t inode_ = 0;
};

/// CreateOutputFileUnder, reusing and updating `cache`.
int CreateOutputFileUnder(const std::string& root, const std::string& path,
                          OutputFolderCache& cache);

}  // namespace arc
