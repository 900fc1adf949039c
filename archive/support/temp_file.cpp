//===-- support/temp_file.cpp - Temporary file names ------------*- C++ -*-===//
#include "support/temp_file.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include <arc/support/paths.h>

namespace arc {

std::string SystemTempDir() {
  const char* env = std::getenv("TMPDIR");
  return AppendSlash(env != nullptr && *env != 0 ? env : "/tmp");
}

namespace {

/// Leaves room in a name of at most 255 bytes for the rest of the pattern.
constexpr size_t kMaxNamePart = 200;

/// `name` cut to kMaxNamePart bytes, not inside a UTF-8 character.
std::string NamePart(const std::string& name) {
  if (name.size() <= kMaxNamePart) return name;
  size_t cut = kMaxNamePart;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0u) == 0x80u) --cut;
  return name.substr(0, cut);
}

}  // namespace

std::string TempFileName(const std::string& dir, const std::string& forFile) {
  std::string where = dir;
  if (where.empty() || !DirExists(where)) {
    where = SystemTempDir();
    if (!DirExists(where)) ForceDirectories(where);
  }
  const std::string mark = forFile.empty() ? std::string() : "-" + NamePart(forFile) + "-";
  std::string pattern = AppendSlash(ExpandPath(where)) + "arc" + mark + "XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back(0);
  int fd = mkstemp(buf.data());
  if (fd < 0) return {};
  close(fd);
  return std::string(buf.data());
}

}  // namespace arc
