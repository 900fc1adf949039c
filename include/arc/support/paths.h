//===-- arc/support/paths.h - File tests and path strings -------*- C++ -*-===//
//
// Local paths use '/' as the separator. File attributes keep the archive's
// DOS bit values (they are stored in every central record) and are derived
// from the Linux file like this:
//
//   read-only  the owner has no write permission
//   hidden     the name begins with '.'
//   directory  a directory (symbolic links are followed)
//   archive    every regular file
//
// system, volume label, compressed, encrypted and not-content-indexed are
// never set on a local file; the constants exist for filters and for values
// read from archives.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct stat;

namespace arc {

constexpr uint32_t faReadOnly = 0x01;
constexpr uint32_t faHidden = 0x02;
constexpr uint32_t faSysFile = 0x04;
constexpr uint32_t kFaVolumeId = 0x08;
constexpr uint32_t faDirectory = 0x10;
constexpr uint32_t faArchive = 0x20;
constexpr uint32_t faNormal = 0x80;
constexpr uint32_t faCompressed = 0x800;
constexpr uint32_t faNotContentIndexed = 0x2000;
constexpr uint32_t faEncrypted = 0x4000;
/// What FileAttributes returns for a path that cannot be read.
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

/// Attribute bits of a file from its status and its bare name.
uint32_t AttributesFromStat(const struct stat& st, std::string_view name);

/// Attribute bits of the file at `path` (links followed), or kInvalidAttributes.
uint32_t FileAttributes(const std::string& path);

/// Adds or removes the owner's write permission; false when that fails.
bool SetFileReadOnly(const std::string& path, bool readOnly);

/// True when a directory search for `path` finds anything: a file, a directory
/// or, when the last component holds '*' or '?', any entry matching that mask.
bool FileExists(const std::string& path);

/// True when `path` names a directory (links followed).
bool DirExists(const std::string& path);

/// Creates the directory `path` and every missing parent. Single failures are
/// ignored; the result tells whether the directory exists afterwards.
bool ForceDirectories(const std::string& path);

/// True for an existing regular file that is neither read-only nor hidden.
bool IsPlainFile(const std::string& path);

/// True when `dir` holds nothing but directories and hidden entries (also for
/// a directory that cannot be listed).
bool DirHasNoFiles(const std::string& dir);

/// True for a name longer than two characters that starts with two
/// separators ("\\server\share" or "//server/share").
bool IsNetworkPath(std::string_view path);

/// The attribute bits that go into an archive's external attributes.
uint32_t AttributesToStore(uint32_t attributes);

/// `path` with a trailing '/' added unless it is empty or already has one.
std::string AppendSlash(std::string_view path);

/// `path` without one trailing '/'.
std::string RemoveSlash(std::string_view path);

/// Empty when `dir` is empty; dir + name when dir ends with '/'; else dir/name.
std::string JoinPath(std::string_view dir, std::string_view name);

/// Cuts the head before the first `separator` off `text` and returns it; the
/// separator goes too. Without one (or with an empty separator) the head is
/// the whole text and `text` becomes empty.
std::string SplitAt(std::string& text, std::string_view separator);

/// The name up to its first dot, followed by `ext`; a name without a dot gets
/// `ext` appended. Only the last path component is looked at for the dot.
std::string ReplaceExtension(std::string_view name, std::string_view ext);

/// The directory part of a local path, with its trailing '/'; empty when none.
std::string ExtractFilePath(std::string_view path);

/// The last component of a local path.
std::string ExtractFileName(std::string_view path);

/// An absolute form of `path` against the current directory with "." and ".."
/// folded by text; symbolic links are not resolved. A trailing '/' is kept.
std::string ExpandPath(std::string_view path);

}  // namespace arc
