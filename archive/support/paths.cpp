//===-- support/paths.cpp - File tests and path strings ---------*- C++ -*-===//
#include <arc/support/paths.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "support/internal_mask.h"

namespace arc {
namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool IsDotOrDotDot(const char* n) {
  return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

}  // namespace

uint32_t AttributesFromStat(const struct stat& st, std::string_view name) {
  uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= faDirectory;
  if (S_ISREG(st.st_mode)) a |= faArchive;
  if ((st.st_mode & S_IWUSR) == 0) a |= faReadOnly;
  if (!name.empty() && name.front() == '.') a |= faHidden;
  return a;
}

uint32_t FileAttributes(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0) return kInvalidAttributes;
  return AttributesFromStat(st, ExtractFileName(RemoveSlash(path)));
}

bool SetFileReadOnly(const std::string& path, bool readOnly) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  return mode == (st.st_mode & 07777) || chmod(path.c_str(), mode) == 0;
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) return true;
  std::string name = ExtractFileName(path);
  if (!HasWildcard(name)) return false;
  std::string dir = ExtractFilePath(path);
  DirHandle d(opendir(dir.empty() ? "." : dir.c_str()));
  if (!d) return false;
  // A directory search treats "*.*" as every name, dotted or not.
  TInternalMask mask(name == "*.*" ? std::string_view("*") : std::string_view(name));
  while (dirent* ent = readdir(d.get())) {
    if (IsDotOrDotDot(ent->d_name)) continue;
    if (mask.Matches(ent->d_name)) return true;
  }
  return false;
}

bool DirExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& path) {
  if (DirExists(path)) return true;
  if (path.empty()) return false;
  std::string full = AppendSlash(ExpandPath(path));
  // Every prefix that ends just before a '/', after the leading one.
  for (size_t i = full.find('/', 1); i != std::string::npos; i = full.find('/', i + 1)) {
    std::string prefix = full.substr(0, i);
    if (prefix.empty() || prefix.back() == '/') continue;
    mkdir(prefix.c_str(), 0777);  // an existing or uncreatable level is not an error here
  }
  return DirExists(path);
}

bool IsPlainFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  uint32_t a = AttributesFromStat(st, ExtractFileName(path));
  return (a & (faDirectory | faReadOnly | faSysFile | faHidden)) == 0;
}

bool DirHasNoFiles(const std::string& dir) {
  std::string d0 = dir.empty() ? std::string(".") : dir;
  DirHandle d(opendir(d0.c_str()));
  if (!d) return true;
  while (dirent* ent = readdir(d.get())) {
    if (IsDotOrDotDot(ent->d_name) || ent->d_name[0] == '.') continue;
    struct stat st {};
    std::string full = JoinPath(d0, ent->d_name);
    if (stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    return false;
  }
  return true;
}

bool IsNetworkPath(std::string_view path) {
  auto sep = [](char c) { return c == '\\' || c == '/'; };
  return path.size() > 2 && sep(path[0]) && sep(path[1]);
}

uint32_t AttributesToStore(uint32_t attributes) {
  return attributes & (faReadOnly | faHidden | faSysFile | kFaVolumeId | faDirectory | faArchive |
                       faNormal | faEncrypted);
}

std::string AppendSlash(std::string_view path) {
  std::string r(path);
  // '/' never occurs inside a UTF-8 sequence, so the last byte is enough.
  if (!r.empty() && r.back() != '/') r += '/';
  return r;
}

std::string RemoveSlash(std::string_view path) {
  if (!path.empty() && path.back() == '/') path.remove_suffix(1);
  return std::string(path);
}

std::string JoinPath(std::string_view dir, std::string_view name) {
  if (dir.empty()) return {};
  std::string r(dir);
  if (r.back() != '/') r += '/';
  r += name;
  return r;
}

std::string SplitAt(std::string& text, std::string_view separator) {
  size_t at = separator.empty() ? std::string::npos : text.find(separator);
  if (at == std::string::npos) {
    std::string head = std::move(text);
    text.clear();
    return head;
  }
  std::string head = text.substr(0, at);
  text.erase(0, at + separator.size());
  return head;
}

std::string ReplaceExtension(std::string_view name, std::string_view ext) {
  size_t base = name.find_last_of("/\\");
  base = base == std::string_view::npos ? 0 : base + 1;
  size_t dot = name.find('.', base);
  std::string r(name.substr(0, dot));
  r += ext;
  return r;
}

std::string ExtractFilePath(std::string_view path) {
  size_t at = path.rfind('/');
  return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string ExtractFileName(std::string_view path) {
  size_t at = path.rfind('/');
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string ExpandPath(std::string_view path) {
  std::string joined;
  if (!path.empty() && path.front() == '/') {
    joined = path;
  } else {
    std::vector<char> buf(4096);
    while (getcwd(buf.data(), buf.size()) == nullptr) {
      if (errno != ERANGE || buf.size() > (1u << 20)) return std::string(path);
      buf.resize(buf.size() * 2);
    }
    joined = JoinPath(buf.data(), path);
    if (path.empty()) joined.pop_back();
  }
  bool trailing = joined.size() > 1 && joined.back() == '/';
  std::vector<std::string_view> parts;
  std::string_view rest = joined;
  while (!rest.empty()) {
    size_t at = rest.find('/');
    std::string_view part = rest.substr(0, at);
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string r;
  for (std::string_view p : parts) {
    r += '/';
    r += p;
  }
  if (r.empty() || trailing) r += '/';
  return r;
}

}  // namespace arc
