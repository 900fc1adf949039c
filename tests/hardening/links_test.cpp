//===-- tests/hardening/links_test.cpp - Symbolic links in the output folder ===//
//
// Links planted in the extraction folder before the run, pointing outside
// it: in a folder component, at the file itself, dangling, and swapped in
// while the run is under way. None of them is ever followed.
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include <arc/support/error_codes.h>
#include "hostile_zip.h"
#include "unzip/extract_fixture.h"

namespace arc {
namespace {

namespace fs = std::filesystem;

using test::BuildHostile;
using test::HostileEntry;

class PlantedLinks : public test::ExtractFixture {
 protected:
  PlantedLinks() {
    outside = dir.MakeDir("outside") + "/";
    dir.Write("outside/victim.txt", "keep");
  }
  /// The files outside the extraction folder, with their contents.
  std::map<std::string, std::string> Outside() const {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(outside)) {
      files[fs::relative(e.path(), outside).string()] = e.is_regular_file() ? Read(e.path()) : "";
    }
    return files;
  }
  const std::map<std::string, std::string> kUntouched{{"victim.txt", "keep"}};
  std::string outside;
};

TEST_F(PlantedLinks, LinkInAFolderComponent) {
  fs::create_directory_symlink(outside, out + "link");
  dir.MakeDir("out/sub");
  fs::create_directory_symlink(outside, out + "sub/deeper");
  HostileEntry folder = HostileEntry::Stored("link/made/", "");
  folder.externalAttributes = 0x10;
  UseArchive(BuildHostile({HostileEntry::Stored("link/evil.txt", "evil"),
                           HostileEntry::Stored("sub/deeper/evil.txt", "evil"),
                           HostileEntry::Stored("link/victim.txt", "evil"), folder,
                           HostileEntry::Stored("sub/fine.txt", "fine")}));
  unzip.SetCreateStoredDirs(true);
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Outside(), kUntouched);
  EXPECT_EQ(Read(out + "sub/fine.txt"), "fine");
  EXPECT_EQ(Codes(), (std::vector<int32_t>{ec::OpenError, ec::OpenError, ec::OpenError,
                                           ec::CreateDirError}));

  // Testing reads only: the links do not matter.
  errors.clear();
  EXPECT_EQ(unzip.Test(), 4);
  EXPECT_TRUE(errors.empty());
}

TEST_F(PlantedLinks, LinkAtTheFileItself) {
  fs::create_symlink(outside + "victim.txt", out + "file.txt");
  fs::create_symlink(outside + "created.txt", out + "dangling.txt");
  UseArchive(BuildHostile({HostileEntry::Stored("file.txt", "replaced"),
                           HostileEntry::Stored("dangling.txt", "not created outside")}));
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(Outside(), kUntouched);
  // Each link is replaced by the file.
  EXPECT_FALSE(fs::is_symlink(out + "file.txt"));
  EXPECT_EQ(Read(out + "file.txt"), "replaced");
  EXPECT_EQ(Read(out + "dangling.txt"), "not created outside");
}

TEST_F(PlantedLinks, OverwriteQuestionAndAttributesStayOnThisSideOfTheLink) {
  // A read-only file outside, a link to it where the entry goes: the
  // overwrite question must not make the file outside writable, and the
  // read-only attribute restored afterwards belongs to the new file.
  fs::permissions(outside + "victim.txt", fs::perms::owner_read);
  fs::create_symlink(outside + "victim.txt", out + "ro.txt");
  HostileEntry e = HostileEntry::Stored("ro.txt", "new");
  e.externalAttributes = 0x21;  // read-only
  UseArchive(BuildHostile({e}));
  unzip.SetConfirmOverwrites(true);
  unzip.SetRestoreFileAttr(true);
  unzip.OnFileExists = [](TObject*, const std::string&, std::string&, TOverwriteMode& m) {
    m = omOverwrite;
  };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(fs::status(outside + "victim.txt").permissions() & fs::perms::all,
            fs::perms::owner_read);
  EXPECT_EQ(Read(outside + "victim.txt"), "keep");
  EXPECT_FALSE(fs::is_symlink(out + "ro.txt"));
  EXPECT_EQ(Read(out + "ro.txt"), "new");
  EXPECT_EQ(fs::status(out + "ro.txt").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(PlantedLinks, FolderSwappedForALinkDuringTheRun) {
  // The first entry makes the folder; before the second is written, the
  // folder is replaced by a link to the outside.
  UseArchive(BuildHostile(
      {HostileEntry::Stored("a/one.txt", "1"), HostileEntry::Stored("a/two.txt", "2")}));
  unzip.OnBegin = [&](TObject*, const std::string& name, int32_t, bool&) {
    if (name.ends_with("two.txt")) {
      fs::rename(out + "a", out + "was-a");
      fs::create_directory_symlink(outside, out + "a");
    }
  };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Outside(), kUntouched);
  EXPECT_EQ(Read(out + "was-a/one.txt"), "1");
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::OpenError});
}

}  // namespace
}  // namespace arc
