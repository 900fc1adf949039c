//===-- zip/stored_name.h - Names of files as entries ------------*- C++ -*-===//
//
// How the update driver turns the full path of a file it found into the name
// the entry gets, by StoredDirNames, and how it tests ExcludeSpec. Paths are
// local ('/' separated, absolute); a directory's path ends with '/' and so
// does its stored name. These names are in local form; StoredBytesOf gives
// the bytes an entry's headers hold and their flag.
//
// Local paths carry no drive, so the rules that remove a drive only change
// network paths ("//server/share/rest" keeps "/rest").
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <cstdint>

#include <arc/core/arc_types.h>

namespace arc {

/// What the naming rules look at besides the path.
struct NamingRules {
  TStoredDirNames mode = sdRelative;
  /// The base directory of the explorer modes, with a trailing '/'.
  std::string DefaultDir;
};

/// The stored name of `path`, found under the base directory `base` (the
/// directory of the FileSpec line that found it, with a trailing '/').
std::string StoredDirName(std::string_view path, std::string_view base, const NamingRules& rules);

/// The longest directory that all `lines` (paths or paths with masks) start
/// with, compared without regard to ASCII case and cut back to a whole
/// directory; with a trailing '/'. Empty when they share none.
std::string CommonDirectory(const std::vector<std::string>& lines);

/// The exclusion test of one file: `storedName` and `fullPath` of the file,
/// the base directory it was found under. Each line of `excludeSpec` in turn:
///   - without `recurseDirs`, the line is named like a file (relative lines
///     under `base`) and its stored name matched against `storedName`;
///   - with `recurseDirs`, a line without '/' is matched against the file
///     name alone; a line with '/' must have its directory (relative lines
///     under `base`) at the start of the file's directory, and its file-name
///     part must match the file's name.
/// The first match excludes. A line whose directory does not fit is passed
/// over and the later lines are still tried.
bool IsExcluded(std::string_view storedName, std::string_view fullPath, std::string_view base,
                const std::vector<std::string>& excludeSpec, bool recurseDirs,
                const NamingRules& rules);

/// Stored bytes and flag bit 11 of a local name: ASCII and bytes that are
/// not UTF-8 as they are, unflagged; other UTF-8 in the OEM code page when
/// `allowOem` and `translateOem` and it converts both ways (`inOem` then
/// set), else as it is, flagged. Other bits of `flags` are kept.
std::string StoredBytesOf(const std::string& localName, bool translateOem, uint16_t& flags,
                          bool allowOem = true, bool* inOem = nullptr);

}  // namespace arc
