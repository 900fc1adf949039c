//===-- tests/core/temp_dir_test.cpp - The writer's TempDir property -----===//
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <arc/zip/zip.h>

namespace arc {
namespace {

namespace fs = std::filesystem;

/// Points the system's temporary directory at a fresh folder for the test.
class TempDirProperty : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string base = (fs::temp_directory_path() / "arc_tempdir_XXXXXX").string();
    ASSERT_NE(mkdtemp(base.data()), nullptr);
    root = base;
    if (const char* old = getenv("TMPDIR")) saved_tmpdir = old;
    system_tmp = root + "/sys/";
    fs::create_directory(system_tmp);
    setenv("TMPDIR", system_tmp.c_str(), 1);
    zip.dialogs.yesNo = [this](std::string_view, std::string_view text) {
      questions.emplace_back(text);
      return answer_yes;
    };
  }
  void TearDown() override {
    if (saved_tmpdir) {
      setenv("TMPDIR", saved_tmpdir->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    fs::remove_all(root);
  }

  std::string root, system_tmp;
  std::optional<std::string> saved_tmpdir;
  TZip zip;
  bool answer_yes = false;
  std::vector<std::string> questions;
};

TEST_F(TempDirProperty, MissingDirectoryAnsweredNoGivesTheSystemDirectory) {
  const std::string missing = root + "/work/tmp";
  zip.SetTempDir(missing);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "Directory does not exist... Create?\r\r" + missing + "/");
  EXPECT_EQ(zip.TempDir(), system_tmp);
  EXPECT_FALSE(fs::exists(missing));
  // Without a question hook the answer is No as well.
  TZip headless;
  headless.SetTempDir(missing);
  EXPECT_EQ(headless.TempDir(), system_tmp);
}

TEST_F(TempDirProperty, MissingDirectoryAnsweredYesIsCreatedWithItsParents) {
  answer_yes = true;
  zip.SetTempDir(root + "/work/tmp");
  EXPECT_TRUE(fs::is_directory(root + "/work/tmp"));
  EXPECT_EQ(zip.TempDir(), root + "/work/tmp/");
  zip.SetTempDir("");  // empty: the system's directory, no question
  EXPECT_EQ(zip.TempDir(), system_tmp);
  EXPECT_EQ(questions.size(), 1u);
}

TEST_F(TempDirProperty, LoadingStoresUnchangedAndReadingFallsBackWhenMissing) {
  EXPECT_EQ(zip.TempDir(), system_tmp);  // default
  zip.BeginLoading();
  zip.SetTempDir(root + "/later");
  zip.Loaded();
  EXPECT_TRUE(questions.empty());
  fs::create_directory(root + "/later");
  EXPECT_EQ(zip.TempDir(), root + "/later");
  fs::remove(root + "/later");
  EXPECT_EQ(zip.TempDir(), system_tmp);
}

}  // namespace
}  // namespace arc
