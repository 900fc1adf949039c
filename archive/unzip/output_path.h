//===-- unzip/output_path.h - Where an entry is written ---------*- C++ -*-===//
//
// Stored names are untrusted. Whatever a name says, the file it becomes lies
// inside the extraction folder: a drive ("C:", "C:\"), roots ("/x", "\x",
// "//server/share/x") and the components "." and ".." are dropped, and no
// symbolic link found below the folder is followed while creating folders
// and the file.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <string_view>

namespace arc {

/// The stored name (converted: '/' between folders) made safe: no drive, no
/// root, no "." or ".." component. A name that ends with '/' keeps it.
std::string SafeStoredName(std::string_view stored);

/// The output file name of a stored name under `extractDir` (which ends with
/// '/'): with `useStoredDirs` the name's folders are kept, otherwise only its
/// file-name part. Empty for an empty stored name.
std::string OutputPathOf(std::string_view stored, const std::string& extractDir,
                         bool useStoredDirs);

/// Creates the folders of `path` that are missing. Below `root` (when `path`
/// lies under it) every existing component must be a real folder, never a
/// symbolic link. False when a folder could not be made or a link was met.
bool CreateFoldersUnder(const std::string& root, const std::string& path);

/// Creates (or empties) the file `path` for writing and returns its
/// descriptor, or -1. Its folders must exist. A symbolic link standing at
/// `path` itself is replaced by the new file, never followed.
int CreateOutputFile(const std::string& path);

}  // namespace arc
