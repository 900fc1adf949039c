//===-- tests/unzip/extract_fixture.h - Running TUnZip in a scratch folder -*- C++ -*-===//
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arc/unzip/unzip.h>
#include "common/test_temp_dir.h"

namespace arc::test {

struct ErrorReport {
  std::string fileName;
  std::string extendedMsg;
  std::string volumeId;
  int32_t code;
};

/// A reader with its events recorded, an archive file and an output folder.
class ExtractFixture : public ::testing::Test {
 protected:
  ExtractFixture() {
    out = dir.MakeDir("out") + "/";
    unzip.OnError = [this](TObject*, const std::string& f, const std::string& m,
                           const std::string& v, int32_t c) {
      errors.push_back({f, m, v, c});
    };
    unzip.SetFileSpec({"*"});
  }

  /// Writes `bytes` as the archive and points the reader at it.
  std::string UseArchive(const std::vector<uint8_t>& bytes, const std::string& name = "a.zip") {
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    unzip.SetArchiveFile(path);
    unzip.SetExtractDir(out);
    return path;
  }
  std::string UseFile(const std::string& path) {
    unzip.SetArchiveFile(path);
    unzip.SetExtractDir(out);
    return path;
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  bool Exists(const std::string& rel) const { return std::filesystem::exists(out + rel); }
  std::vector<int32_t> Codes() const {
    std::vector<int32_t> c;
    for (const auto& e : errors) c.push_back(e.code);
    return c;
  }
  /// Every regular file below `root`, relative to it.
  static std::vector<std::string> FilesBelow(const std::string& root) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
      if (e.is_regular_file()) found.push_back(std::filesystem::relative(e.path(), root).string());
    }
    std::sort(found.begin(), found.end());
    return found;
  }

  TempDir dir;
  std::string out;
  TUnZip unzip;
  std::vector<ErrorReport> errors;
};

}  // namespace arc::test
