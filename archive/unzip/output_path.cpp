//===-- unzip/output_path.cpp - Where an entry is written -----------------===//
#include "unzip/output_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <vector>

#include "support/paths.h"

namespace arc {
namespace {

/// Drops a leading drive: "C:", as in "C:x", "C:/x" and "C:\x". Only a
/// letter and a colon at the very start are a drive; a colon elsewhere is
/// part of a name, as a Linux file name may hold one.
std::string_view WithoutDrive(std::string_view name) {
  if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
    return name.substr(2);
  }
  return name;
}

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

}  // namespace

std::string SafeStoredName(std::string_view stored) {
  const std::string_view name = WithoutDrive(stored);
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

std::string OutputPathOf(std::string_view stored, const std::string& extractDir,
                         bool useStoredDirs) {
  if (stored.empty()) return {};
  std::string safe = SafeStoredName(stored);
  if (!useStoredDirs) safe = safe.substr(safe.find_last_of('/') + 1);
  return AppendSlash(extractDir) + safe;
}

bool CreateFoldersUnder(const std::string& root, const std::string& path) {
  const std::string base = AppendSlash(root);
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;
  const std::string dir = path.substr(0, slash + 1);
  if (root.empty() || dir.compare(0, base.size(), base) != 0) return ForceDirectories(dir);

  // The folder itself is the caller's choice; below it, walk and check.
  if (!ForceDirectories(base)) return false;
  std::string current = base;
  for (std::string_view part : SafeComponents(std::string_view(dir).substr(base.size()))) {
    current.append(part);
    struct stat st {};
    if (::lstat(current.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return false;  // a link, or a file in the way
    } else if (errno != ENOENT || (::mkdir(current.c_str(), 0777) != 0 && errno != EEXIST)) {
      return false;
    }
    current += '/';
  }
  return true;
}

int CreateOutputFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(path.c_str());
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace arc
