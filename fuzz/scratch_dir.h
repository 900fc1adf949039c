//===-- fuzz/scratch_dir.h - A temporary folder for one fuzz process ------===//
//
// Targets that need real files work below one folder made at the first run
// and removed when the process ends.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace fuzz {

inline std::string& ScratchRoot() {
  static std::string root;
  return root;
}

inline void RemoveScratchRoot() {
  std::error_code ec;
  if (!ScratchRoot().empty()) std::filesystem::remove_all(ScratchRoot(), ec);
}

/// Makes the folder (once) and returns its name with a trailing slash, or ""
/// when it cannot be made.
inline std::string MakeScratchDir() {
  if (!ScratchRoot().empty()) return ScratchRoot();
  std::string pattern = (std::filesystem::temp_directory_path() / "arcfuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  ScratchRoot() = pattern + "/";
  std::atexit(RemoveScratchRoot);
  return ScratchRoot();
}

}  // namespace fuzz
