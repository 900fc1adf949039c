//===-- tests/hardening/volumes_test.cpp - Split sets with damaged volumes ===//
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <arc/support/error_codes.h>
#include "unzip/extract_fixture.h"

namespace arc {
namespace {

namespace fs = std::filesystem;

const std::string kSplit = std::string(ARC_TEST_DATA) + "/public/gen-infozip-split";

using DamagedVolumes = test::ExtractFixture;

TEST_F(DamagedVolumes, TruncatedVolumesPassOnlyUndamagedFiles) {
  // What a whole set gives, to compare with.
  const std::string whole = dir.MakeDir("whole") + "/";
  for (const char* ext : {".z01", ".z02", ".zip"}) fs::copy_file(kSplit + ext, whole + "set" + ext);
  std::map<std::string, std::string> good;
  {
    TUnZip reference;
    reference.SetArchiveFile(whole + "set.zip");
    reference.SetFileSpec({"*"});
    reference.SetExtractDir(whole + "x/");
    reference.OnNextVolume = [](TObject*, std::string&, const std::string&, bool, bool&) {};
    ASSERT_EQ(reference.Extract(), 4);
    for (const std::string& f : FilesBelow(whole + "x")) good[f] = Read(whole + "x/" + f);
  }

  // The middle volume cut short, then the first one too.
  for (const auto& [first, second] :
       {std::pair<uintmax_t, uintmax_t>{65536, 100}, std::pair<uintmax_t, uintmax_t>{30000, 65536},
        std::pair<uintmax_t, uintmax_t>{0, 0}}) {
    fs::remove_all(out);
    fs::create_directories(out);
    for (const char* ext : {".z01", ".z02", ".zip"}) {
      fs::copy_file(kSplit + ext, dir / ("set" + std::string(ext)),
                    fs::copy_options::overwrite_existing);
    }
    fs::resize_file(dir / "set.z01", first);
    fs::resize_file(dir / "set.z02", second);
    UseFile(dir / "set.zip");
    int asked = 0;
    unzip.OnNextVolume = [&](TObject*, std::string&, const std::string&, bool, bool& cancel) {
      cancel = ++asked > 10;  // a volume loop would be a fault
    };
    std::vector<std::string> passed;
    unzip.OnEnd = [&](TObject*, const std::string& f, bool pass) {
      // Folders pass without data; only files tell whether data survived.
      if (pass && fs::is_regular_file(f)) passed.push_back(fs::relative(f, out).string());
    };
    errors.clear();
    unzip.Extract();
    EXPECT_LE(asked, 10);
    // Whatever passed its check is what the whole set gives; the rest failed.
    EXPECT_LT(passed.size(), good.size()) << first << "/" << second;
    for (const std::string& name : passed) EXPECT_EQ(Read(out + name), good[name]) << name;
  }
}

}  // namespace
}  // namespace arc
