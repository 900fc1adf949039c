//===-- unzip/output_path.cpp - Where an entry is written -----------------===//
#include "unzip/output_path.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <vector>

#include <arc/support/paths.h>
#include "support/unique_fd.h"

namespace arc {
namespace {

/// The name up to its first NUL byte: the file system would see no more.
std::string_view UpToNul(std::string_view name) { return name.substr(0, name.find('\0')); }

bool HasDrive(std::string_view name) {
  return name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

/// Drops a leading drive: "C:", as in "C:x", "C:/x" and "C:\x". Only a
/// letter and a colon at the very start are a drive; a colon elsewhere is
/// part of a name, as a Linux file name may hold one.
std::string_view WithoutDrive(std::string_view name) {
  return HasDrive(name) ? name.substr(2) : name;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

/// The folder components of `dir` that may be used: no empty, "." or "..".
std::vector<std::string_view> SafeComponents(std::string_view dir) {
  std::vector<std::string_view> parts;
  size_t at = 0;
  while (at <= dir.size()) {
    size_t end = dir.find_first_of("/\\", at);
    if (end == std::string_view::npos) end = dir.size();
    const std::string_view part = dir.substr(at, end - at);
    if (!part.empty() && part != "." && part != "..") parts.push_back(part);
    at = end + 1;
  }
  return parts;
}

int OpenFolderAt(int parent, const char* name) {
  int fd;
  do {
    fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

/// `path` below `base` split at '/' into folder parts and the file name,
/// when every part is a plain name (no empty, "." or ".." part that a
/// walk by descriptors would have to interpret).
bool SplitBelow(const std::string& base, const std::string& path, std::vector<std::string>& folders,
                std::string& file) {
  if (path.size() <= base.size() || path.compare(0, base.size(), base) != 0) return false;
  folders.clear();
  size_t at = base.size();
  for (;;) {
    const size_t slash = path.find('/', at);
    const std::string part =
        path.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
    if (slash == std::string::npos) {
      file = part;
      return !file.empty() && file != "." && file != "..";
    }
    if (part.empty() || part == "." || part == "..") return false;
    folders.push_back(part);
    at = slash + 1;
  }
}

/// Opens `base` and walks `folders` below it, making what is missing. Each
/// step opens the next folder relative to the one before without following
/// a link: a link or a file in the way ends the walk. The descriptor of the
/// last folder, or -1.
int WalkFolders(const std::string& base, const std::vector<std::string>& folders) {
  UniqueFd dir(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return -1;
  for (const std::string& part : folders) {
    int next = OpenFolderAt(dir.get(), part.c_str());
    if (next < 0 && errno == ENOENT) {
      if (::mkdirat(dir.get(), part.c_str(), 0777) != 0 && errno != EEXIST) return -1;
      next = OpenFolderAt(dir.get(), part.c_str());
    }
    if (next < 0) return -1;
    dir.reset(next);
  }
  return dir.release();
}

}  // namespace

void MakeWritable(int dir, const char* name) {
  struct stat st {};
  if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) return;
  if ((st.st_mode & S_IWUSR) != 0) return;
  // Should this fail, the open that follows decides: refused without the
  // permission (and reported by the caller), allowed to root.
  if (::fchmodat(dir, name, (st.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW) != 0) return;
}

std::string SafeStoredName(std::string_view stored) {
  const std::string_view name = WithoutDrive(UpToNul(stored));
  const size_t slash = name.find_last_of("/\\");
  std::string_view file = slash == std::string_view::npos ? name : name.substr(slash + 1);
  if (file == "." || file == "..") file = {};
  std::string out;
  if (slash != std::string_view::npos) {
    for (std::string_view part : SafeComponents(name.substr(0, slash))) {
      out.append(part);
      out += '/';
    }
  }
  out.append(file);
  return out;
}

bool IsHostileStoredName(std::string_view stored) {
  if (stored.find('\0') != std::string_view::npos || HasDrive(stored)) return true;
  if (!stored.empty() && IsSeparator(stored.front())) return true;
  size_t at = 0;
  while (at <= stored.size()) {
    size_t end = stored.find_first_of("/\\", at);
    if (end == std::string_view::npos) end = stored.size();
    if (stored.substr(at, end - at) == "..") return true;
    at = end + 1;
  }
  return false;
}

std::string OutputPathOf(std::string_view stored, const std::string& extractDir,
                         bool useStoredDirs) {
  if (stored.empty()) return {};
  std::string safe = SafeStoredName(stored);
  if (!useStoredDirs) safe = safe.substr(safe.find_last_of('/') + 1);
  return AppendSlash(extractDir) + safe;
}

bool CreateFoldersUnder(const std::string& root, const std::string& path) {
  // A longer path could be made by descriptors, but never used by name.
  if (path.size() >= PATH_MAX) return false;
  const std::string base = AppendSlash(root);
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;
  const std::string dir = path.substr(0, slash + 1);
  if (root.empty() || dir.compare(0, base.size(), base) != 0) return ForceDirectories(dir);

  // The folder itself is the caller's choice; below it, walk and check.
  if (!ForceDirectories(base)) return false;
  std::vector<std::string> folders;
  for (std::string_view part : SafeComponents(std::string_view(dir).substr(base.size()))) {
    folders.emplace_back(part);
  }
  const int fd = WalkFolders(base, folders);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

int CreateOutputFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
    ::unlink(path.c_str());
  else
    MakeWritable(AT_FDCWD, path.c_str());
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int CreateOutputFileUnder(const std::string& root, const std::string& path) {
  OutputFolderCache none;
  return CreateOutputFileUnder(root, path, none);
}

int OutputFolderCache::Find(const std::string& key) const {
  if (!folder_.valid() || key != key_) return -1;
  // The name must still lead to the folder held: one removed, moved away or
  // swapped for a link meanwhile is walked again (and a link refused).
  struct stat st {};
  if (::fstatat(AT_FDCWD, key.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
      st.st_dev != device_ || st.st_ino != inode_) {
    return -1;
  }
  return folder_.get();
}

void OutputFolderCache::Keep(std::string key, int folder) {
  struct stat st {};
  if (::fstat(folder, &st) != 0) {
    ::close(folder);
    Clear();
    return;
  }
  key_ = std::move(key);
  folder_.reset(folder);
  device_ = st.st_dev;
  inode_ = st.st_ino;
}

void OutputFolderCache::Clear() {
  key_.clear();
  folder_.reset();
}

int CreateOutputFileUnder(const std::string& root, const std::string& path,
                          OutputFolderCache& cache) {
  if (path.size() >= PATH_MAX) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const std::string base = AppendSlash(root);
  std::vector<std::string> folders;
  std::string file;
  if (root.empty() || !SplitBelow(base, path, folders, file)) {
    // A name the application chose elsewhere, or one with parts only the
    // path resolution can interpret: made as it says.
    return CreateFoldersUnder(root, path) ? CreateOutputFile(path) : -1;
  }
  const std::string key = path.substr(0, path.size() - file.size());
  int dir = cache.Find(key);
  if (dir < 0) {
    cache.Clear();
    if (!ForceDirectories(base)) return -1;
    UniqueFd walked(WalkFolders(base, folders));
    if (walked.get() < 0) return -1;
    dir = walked.get();
    cache.Keep(key, walked.release());
  }
  struct stat st {};
  if (::fstatat(dir, file.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode)) {
      ::unlinkat(dir, file.c_str(), 0);
    } else if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
      MakeWritable(dir, file.c_str());
    }
  }
  int fd;
  do {
    fd = ::openat(dir, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace arc
