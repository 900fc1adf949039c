#include <arc/support/erase.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "common/test_temp_dir.h"

namespace arc {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(EraseFile, DeletesForGood) {
  TempDir tmp;
  std::string f = tmp.Write("work.bak");
  EXPECT_TRUE(EraseFile(f, false));
  EXPECT_FALSE(fs::exists(f));
  EXPECT_FALSE(EraseFile(f, false));
  EXPECT_FALSE(EraseFile(tmp.slashed(), false));  // not a file
}

// GLib reads HOME and XDG_DATA_HOME once per process, so the whole suite of
// Trash tests shares one home made before the first call into GLib.
class Trash : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    home_ = new TempDir;
    setenv("HOME", home_->slashed().c_str(), 1);
    setenv("XDG_DATA_HOME", (*home_ / "data").c_str(), 1);
  }
  static void TearDownTestSuite() {
    delete home_;
    home_ = nullptr;
  }
  static TempDir* home_;
};
TempDir* Trash::home_ = nullptr;

TEST_F(Trash, MovesTheFileIntoTheUsersTrash) {
  std::string f = home_->Write("docs/old.bak", "payload");
  EXPECT_TRUE(EraseFile(f, true));
  EXPECT_FALSE(fs::exists(f));
  EXPECT_TRUE(fs::exists(*home_ / "data/Trash/files/old.bak"));
  EXPECT_TRUE(fs::exists(*home_ / "data/Trash/info/old.bak.trashinfo"));

  // A second file of the same name is renamed in the Trash, not refused.
  f = home_->Write("docs/old.bak", "second");
  EXPECT_TRUE(EraseFile(f, true));
  EXPECT_FALSE(fs::exists(f));
}

TEST_F(Trash, WildcardMovesEveryMatch) {
  home_->Write("w/a.tmp");
  home_->Write("w/b.tmp");
  home_->Write("w/keep.txt");
  EXPECT_TRUE(EraseFile(*home_ / "w/*.tmp", true));
  EXPECT_FALSE(fs::exists(*home_ / "w/a.tmp"));
  EXPECT_FALSE(fs::exists(*home_ / "w/b.tmp"));
  EXPECT_TRUE(fs::exists(*home_ / "w/keep.txt"));
}

TEST_F(Trash, MissingFileGivesFalseAndLeavesTheTrashAlone) {
  EXPECT_FALSE(EraseFile(*home_ / "no/such.file", true));
  EXPECT_FALSE(EraseFile(*home_ / "no/*.tmp", true));
  EXPECT_FALSE(fs::exists(*home_ / "data/Trash/files/such.file"));
}

TEST_F(Trash, FileOnAMountWithoutTrashStays) {
  // /dev/shm is a tmpfs on Debian; a file there has no Trash to go to.
  std::error_code ec;
  if (fs::space("/dev/shm", ec).capacity == 0 || ec) GTEST_SKIP() << "no /dev/shm";
  std::string dir = "/dev/shm/arctest-XXXXXX";
  if (mkdtemp(dir.data()) == nullptr) GTEST_SKIP() << "/dev/shm not writable";
  std::string f = dir + "/f";
  { std::ofstream(f) << "x"; }
  EXPECT_FALSE(EraseFile(f, true));
  EXPECT_TRUE(fs::exists(f));
  fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace arc
