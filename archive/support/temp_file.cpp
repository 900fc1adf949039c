//===-- support/temp_file.cpp - Temporary file names ------------*- C++ -*-===//
#include "support/temp_file.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "support/paths.h"

namespace arc {

std::string SystemTempDir() {
  const char* env = std::getenv("TMPDIR");
  return AppendSlash(env != nullptr && *env != 0 ? env : "/tmp");
}

std::string TempFileName(const std::string& dir) {
  std::string where = dir;
  if (where.empty() || !DirExists(where)) {
    where = SystemTempDir();
    if (!DirExists(where)) ForceDirectories(where);
  }
  std::string pattern = AppendSlash(ExpandPath(where)) + "arcXXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back(0);
  int fd = mkstemp(buf.data());
  if (fd < 0) return {};
  close(fd);
  return std::string(buf.data());
}

}  // namespace arc
