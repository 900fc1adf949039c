//===-- zip/stored_name.cpp - Names of files as entries -------------------===//
#include "zip/stored_name.h"

#include <algorithm>

#include <arc/support/ascii_case.h>
#include <arc/support/names.h>
#include <arc/support/paths.h>
#include "support/cp437.h"
#include "support/internal_mask.h"
#include "unzip/zip_records.h"
#include "zip/header_list.h"

namespace arc {
namespace {

/// A network path without its server and share: "//srv/share/rest" keeps
/// "/rest". Anything else is returned unchanged: local paths have no drive.
std::string WithoutDrive(std::string_view path) {
  if (!IsNetworkPath(path)) return std::string(path);
  size_t at = path.find_first_of("/\\", 2);  // end of the server name
  if (at == std::string_view::npos) return {};
  at = path.find_first_of("/\\", at + 1);  // end of the share name
  if (at == std::string_view::npos) return {};
  return std::string(path.substr(at));
}

/// Well-formed UTF-8: no stray continuation byte, no overlong form, no
/// surrogate, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<uint8_t>(s[i]);
    size_t more = 0;
    uint32_t cp = 0;
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF) {
      more = 1;
      cp = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
      more = 2;
      cp = b & 0x0Fu;
    } else if (b >= 0xF0 && b <= 0xF4) {
      more = 3;
      cp = b & 0x07u;
    } else {
      return false;
    }
    if (i + more >= s.size()) return false;
    for (size_t k = 1; k <= more; ++k) {
      const auto c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0u) != 0x80u) return false;
      cp = cp << 6 | (c & 0x3Fu);
    }
    if ((more == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += more + 1;
  }
  return true;
}

std::string Relative(std::string_view path, std::string_view base) {
  if (!base.empty() && StartsWithIgnoringCase(path, base))
    return std::string(path.substr(base.size()));
  return std::string(path);
}

/// The part of `base` before its last directory: "/home/u/docs/" gives
/// "/home/u/".
std::string_view BeforeLastDirectory(std::string_view base) {
  std::string_view trimmed = base;
  if (!trimmed.empty() && trimmed.back() == '/') trimmed.remove_suffix(1);
  const size_t slash = trimmed.find_last_of('/');
  if (slash == std::string_view::npos) return {};
  return base.substr(0, slash + 1);
}

}  // namespace

std::string StoredDirName(std::string_view path, std::string_view base, const NamingRules& rules) {
  switch (rules.mode) {
    case sdNone: {
      std::string_view p = path;
      const bool dir = !p.empty() && p.back() == '/';
      if (dir) p.remove_suffix(1);
      std::string name = ExtractFileName(p);
      if (dir && !name.empty()) name += '/';
      return name;
    }
    case sdAbsolute:
      return std::string(path);
    case sdAbsoluteNoDrv:
      return WithoutDrive(path);
    case sdAbsoluteNoRoot: {
      std::string p = WithoutDrive(path);
      if (!p.empty() && (p.front() == '/' || p.front() == '\\')) p.erase(0, 1);
      return p;
    }
    case sdRelative:
      return Relative(path, base);
    case sdRelativeStoreStart: {
      const std::string_view head = BeforeLastDirectory(base);
      if (!head.empty() && StartsWithIgnoringCase(path, head))
        return std::string(path.substr(head.size()));
      return std::string(path);
    }
    case sdExplorer_Auto:
    case sdExplorer_UserDefineDefaultDir: {
      const std::string dir = AppendSlash(rules.DefaultDir);
      if (!dir.empty() && SameTextIgnoringCase(AppendSlash(base), dir)) return Relative(path, base);
      // Byte for byte here: the default directory is the user's own text.
      if (!dir.empty() && path.substr(0, dir.size()) == dir)
        return std::string(path.substr(dir.size()));
      return std::string(path);
    }
  }
  return std::string(path);
}

std::string CommonDirectory(const std::vector<std::string>& lines) {
  bool first = true;
  std::string common;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    const std::string dir = ExtractFilePath(line);
    if (first) {
      common = dir;
      first = false;
      continue;
    }
    size_t n = 0;
    while (n < common.size() && n < dir.size() &&
           SameTextIgnoringCase(common.substr(n, 1), dir.substr(n, 1)))
      ++n;
    common.resize(n);
  }
  // Cut back to a whole directory: "/data/ab" and "/data/ac" share "/data/".
  const size_t slash = common.find_last_of('/');
  common.resize(slash == std::string::npos ? 0 : slash + 1);
  return common;
}

bool IsExcluded(std::string_view storedName, std::string_view fullPath, std::string_view base,
                const std::vector<std::string>& excludeSpec, bool recurseDirs,
                const NamingRules& rules) {
  const std::string fileDir = ExtractFilePath(fullPath);
  const std::string fileName = ExtractFileName(fullPath);
  for (const std::string& line : excludeSpec) {
    if (line.empty()) continue;
    const std::string expanded =
        !line.empty() && line.front() == '/' ? line : std::string(base) + line;
    if (!recurseDirs) {
      if (Matches(StoredDirName(expanded, base, rules), storedName)) return true;
      continue;
    }
    if (line.find('/') == std::string::npos) {
      if (Matches(line, fileName)) return true;
      continue;
    }
    const std::string maskDir = ExtractFilePath(expanded);
    if (!StartsWithIgnoringCase(fileDir, maskDir)) continue;
    if (Matches(ExtractFileName(expanded), fileName)) return true;
  }
  return false;
}

std::string StoredBytesOf(const std::string& localName, bool translateOem, uint16_t& flags,
                          bool allowOem, bool* inOem) {
  flags = static_cast<uint16_t>(flags & ~kFlagUtf8Name);
  if (inOem != nullptr) *inOem = false;
  // A '\' is an ordinary character in a name on this system and is kept.
  if (IsAscii(localName)) return localName;
  // Bytes that are not UTF-8 are stored as the file system holds them and
  // not marked: a name marked UTF-8 that is not makes peers that check the
  // mark refuse the whole archive.
  if (!IsValidUtf8(localName)) return localName;
  if (allowOem && translateOem) {
    std::string oem = LocalToOem(localName, true);
    // Only a name that comes back unchanged is stored in the OEM code page;
    // any other is kept as UTF-8 and marked so, rather than mangled.
    if (Cp437ToUtf8(oem) == localName) {
      if (inOem != nullptr) *inOem = true;
      return oem;
    }
  }
  flags = static_cast<uint16_t>(flags | kFlagUtf8Name);
  return localName;
}

}  // namespace arc
