//===-- fuzz/unzip.cpp - Opening and extracting arbitrary bytes -----------===//
//
// The input is written as an archive file, opened (type detection, end-record
// search) and extracted into a fresh temporary folder, then tested; a split
// archive's missing volumes are declined. Everything the run wrote is removed
// afterwards.
//
//===----------------------------------------------------------------------===//
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "scratch_dir.h"

#include <arc/unzip/unzip.h>

namespace {

std::string MakeTempDir() { return fuzz::MakeScratchDir(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = MakeTempDir();
  if (root.empty()) return 0;
  const std::string archive = root + "in.zip";
  const std::string out = root + "out/";
  {
    std::ofstream f(archive, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  {
    arc::TUnZip z;
    z.SetArchiveFile(archive);
    z.SetFileSpec({"*"});
    z.SetExtractDir(out);
    z.SetCreateStoredDirs(true);
    z.SetPasswords({"password"});
    z.OnNextVolume = [](arc::TObject*, std::string&, const std::string&, bool, bool& cancel) {
      cancel = true;
    };
    z.Extract();
    z.Test();
  }
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(out, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(out, ec);
  return 0;
}
