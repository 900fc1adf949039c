//===-- support/erase.cpp - Erasing files -----------------------*- C++ -*-===//
#include <arc/support/erase.h>

#include <dirent.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>
#include <vector>

#include <arc/support/paths.h>
#include "support/internal_mask.h"

namespace arc {
namespace {

bool Trash(const std::string& path) {
  GFile* file = g_file_new_for_path(path.c_str());
  GError* error = nullptr;
  bool ok = g_file_trash(file, nullptr, &error) != FALSE;
  if (error != nullptr) g_error_free(error);
  g_object_unref(file);
  return ok;
}

// Entries of the directory part of `pattern` that its last component matches.
std::vector<std::string> Expand(const std::string& pattern) {
  std::vector<std::string> found;
  std::string dir = ExtractFilePath(pattern);
  std::string name = ExtractFileName(pattern);
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return found;
  TInternalMask mask(name == "*.*" ? std::string_view("*") : std::string_view(name));
  while (dirent* ent = readdir(d)) {
    std::string_view n = ent->d_name;
    if (n == "." || n == "..") continue;
    if (mask.Matches(n)) found.push_back(dir + std::string(n));
  }
  closedir(d);
  return found;
}

}  // namespace

bool EraseFile(const std::string& path, bool allowUndo) {
  if (!allowUndo) return !path.empty() && unlink(path.c_str()) == 0;
  if (!FileExists(path)) return false;
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) return Trash(path);
  std::vector<std::string> matches = Expand(path);
  bool ok = !matches.empty();
  for (const std::string& m : matches) ok = Trash(m) && ok;
  return ok;
}

}  // namespace arc
