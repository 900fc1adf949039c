//===-- tests/support/scratch_dir.h - A temporary folder per test -*- C++ -*-===//
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

namespace arc::test {

/// Creates a fresh folder under the system temporary directory and removes it
/// with everything in it when it goes out of scope.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "arctest-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern + "/";
  }
  ~ScratchDir() {
    std::error_code ec;
    // Read-only entries made by a test must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  /// The folder with a trailing '/'.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& rel) const { return path_ + rel; }

  /// Writes `content` to a file below the folder (parents created) and
  /// returns its full path.
  std::string Write(const std::string& rel, const std::string& content = "x") const {
    std::filesystem::path p = path_ + rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
  std::string MakeDir(const std::string& rel) const {
    std::filesystem::create_directories(path_ + rel);
    return path_ + rel;
  }

 private:
  std::string path_;
};

}  // namespace arc::test
