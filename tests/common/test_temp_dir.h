//===-- tests/common/test_temp_dir.h - A temporary folder per test -*- C++ -*-===//
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

namespace arc::test {

/// A fresh folder under the system's temporary directory, removed with
/// everything in it when the object goes (read-only entries a test made
/// included).
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "arctest-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
    } else {
      ADD_FAILURE() << "mkdtemp failed";
    }
  }
  ~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  /// False when the folder could not be made.
  bool ok() const { return !path_.empty(); }
  /// The folder, without a trailing '/'.
  const std::string& path() const { return path_; }
  /// The folder with a trailing '/', ready for a name.
  std::string slashed() const { return path_ + "/"; }
  /// The path of `name` below the folder.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  /// Writes `content` to a file below the folder (parents created) and
  /// returns its full path.
  std::string Write(const std::string& rel, const std::string& content = "x") const {
    const std::filesystem::path p = *this / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
  /// Makes a folder below the folder (parents created); its full path.
  std::string MakeDir(const std::string& rel) const {
    std::filesystem::create_directories(*this / rel);
    return *this / rel;
  }

 private:
  std::string path_;
};

}  // namespace arc::test
