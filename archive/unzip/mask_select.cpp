//===-- unzip/mask_select.cpp - Choosing entries by file masks ------------===//
#include <arc/unzip/mask_select.h>

#include <algorithm>

#include <arc/support/ascii_case.h>
#include "support/internal_mask.h"

namespace arc {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

/// Masks may be typed with backslashes; names use '/'.
std::string Slashed(std::string_view s) {
  std::string out(s);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

}  // namespace

std::string MaskDirPart(std::string_view name) {
  size_t end = name.size();
  while (end > 0 && !IsSeparator(name[end - 1])) --end;
  if (end == 0) return {};
  std::string dir = Slashed(name.substr(0, end));
  // A bare drive ("C:") keeps itself; every other folder ends with '/'.
  if (dir.back() != '/' && dir.back() != ':') dir += '/';
  return dir;
}

bool SelectStoredName(std::string_view name, std::vector<std::string>& fileSpec,
                      const std::vector<std::string>& excludeSpec, bool recurseDirs) {
  const std::string nameDir = MaskDirPart(name);
  for (std::string& line : fileSpec) {
    if (line.empty()) continue;
    const std::string mask = Slashed(line);
    if (SameTextIgnoringCase(mask, name)) return true;

    const std::string maskDir = MaskDirPart(mask);
    std::string candidate(name);
    if (!recurseDirs) {
      if (!SameTextIgnoringCase(nameDir, maskDir)) continue;
    } else if (maskDir.empty()) {
      candidate = std::string(name.substr(nameDir.size()));
    }

    bool matched = Matches(mask, candidate);
    if (!matched) {
      if (candidate.find('.') == std::string::npos) candidate += '.';
      if (line.find('.') == std::string::npos) line += '.';
      matched = Matches(Slashed(line), candidate);
    }
    if (!matched) continue;
    return std::none_of(excludeSpec.begin(), excludeSpec.end(), [&](const std::string& ex) {
      return !ex.empty() && Matches(Slashed(ex), candidate);
    });
  }
  return false;
}

}  // namespace arc
