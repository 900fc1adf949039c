#include <arc/support/paths.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "common/test_temp_dir.h"
#include "support/temp_file.h"

namespace arc {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Runs a block with the current directory switched, restoring it afterwards.
class InDir {
 public:
  explicit InDir(const std::string& dir) : old_(fs::current_path()) { fs::current_path(dir); }
  ~InDir() { fs::current_path(old_); }

 private:
  fs::path old_;
};

TEST(ForceDirectories, CreatesEveryMissingLevel) {
  TempDir tmp;
  EXPECT_TRUE(ForceDirectories(tmp / "a/b/c"));
  EXPECT_TRUE(DirExists(tmp / "a"));
  EXPECT_TRUE(DirExists(tmp / "a/b"));
  EXPECT_TRUE(DirExists(tmp / "a/b/c"));
  EXPECT_TRUE(ForceDirectories(tmp / "a/b/c/"));
  EXPECT_TRUE(ForceDirectories(tmp / "a/./b/../b/d"));
  EXPECT_TRUE(DirExists(tmp / "a/b/d"));
}

TEST(ForceDirectories, RelativePathIsTakenFromTheCurrentDirectory) {
  TempDir tmp;
  InDir cd(tmp.slashed());
  EXPECT_TRUE(ForceDirectories("x/y"));
  EXPECT_TRUE(DirExists(tmp / "x/y"));
}

TEST(ForceDirectories, FailsWhenAFileBlocksTheWay) {
  TempDir tmp;
  tmp.Write("f");
  EXPECT_FALSE(ForceDirectories(tmp / "f/sub"));
  EXPECT_FALSE(ForceDirectories(""));
}

TEST(FileTests, ExistenceOfFilesDirectoriesAndMasks) {
  TempDir tmp;
  std::string file = tmp.Write("dir/Report.TXT");
  tmp.Write("dir/README");
  fs::create_symlink(tmp / "nowhere", tmp / "dangling");

  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(FileExists(tmp / "dir"));
  EXPECT_TRUE(FileExists(tmp / "dangling"));  // the entry itself is there
  EXPECT_FALSE(FileExists(tmp / "missing"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(FileExists(tmp / "dir/*.txt"));
  EXPECT_TRUE(FileExists(tmp / "dir/READ??"));
  EXPECT_FALSE(FileExists(tmp / "dir/*.doc"));
  EXPECT_FALSE(FileExists(tmp / "nodir/*"));

  TempDir only;
  only.Write("README");
  EXPECT_TRUE(FileExists(only / "*.*"));  // a dotless name matches "*.*" in a search

  EXPECT_TRUE(DirExists(tmp / "dir"));
  EXPECT_TRUE(DirExists(tmp / "dir/"));
  EXPECT_FALSE(DirExists(file));
  EXPECT_FALSE(DirExists(tmp / "missing"));
  EXPECT_FALSE(DirExists(""));
}

TEST(FileTests, AttributesAndPlainFiles) {
  TempDir tmp;
  std::string plain = tmp.Write("plain.bin");
  std::string hidden = tmp.Write(".hidden");
  std::string ro = tmp.Write("ro.bin");
  ASSERT_TRUE(SetFileReadOnly(ro, true));

  EXPECT_EQ(FileAttributes(plain), faArchive);
  EXPECT_EQ(FileAttributes(hidden), faArchive | faHidden);
  EXPECT_EQ(FileAttributes(ro), faArchive | faReadOnly);
  EXPECT_EQ(FileAttributes(tmp.slashed()) & faDirectory, faDirectory);
  EXPECT_EQ(FileAttributes(tmp / "missing"), kInvalidAttributes);

  EXPECT_TRUE(IsPlainFile(plain));
  EXPECT_FALSE(IsPlainFile(hidden));
  EXPECT_FALSE(IsPlainFile(ro));
  EXPECT_FALSE(IsPlainFile(tmp.slashed()));
  EXPECT_FALSE(IsPlainFile(tmp / "missing"));

  ASSERT_TRUE(SetFileReadOnly(ro, false));
  EXPECT_TRUE(IsPlainFile(ro));

  EXPECT_EQ(AttributesToStore(0xFFFFFFFFu), 0x40BFu);
  EXPECT_EQ(AttributesToStore(faCompressed | faNotContentIndexed | faArchive), faArchive);
}

TEST(FileTests, DirHasNoFilesIgnoresDirectoriesAndHiddenEntries) {
  TempDir tmp;
  tmp.MakeDir("d/sub");
  tmp.Write("d/.hidden");
  EXPECT_TRUE(DirHasNoFiles(tmp / "d"));
  EXPECT_TRUE(DirHasNoFiles(tmp / "missing"));
  tmp.Write("d/sub/deeper");  // files below a subdirectory do not count
  EXPECT_TRUE(DirHasNoFiles(tmp / "d/"));
  tmp.Write("d/file");
  EXPECT_FALSE(DirHasNoFiles(tmp / "d"));
}

TEST(PathStrings, SlashesAndJoins) {
  EXPECT_EQ(AppendSlash(""), "");
  EXPECT_EQ(AppendSlash("/a"), "/a/");
  EXPECT_EQ(AppendSlash("/a/"), "/a/");
  EXPECT_EQ(RemoveSlash("/a/"), "/a");
  EXPECT_EQ(RemoveSlash("/a//"), "/a/");
  EXPECT_EQ(RemoveSlash(""), "");
  EXPECT_EQ(JoinPath("/", "x"), "/x");
  EXPECT_EQ(JoinPath("/d", "x"), "/d/x");
  EXPECT_EQ(JoinPath("/d/", "x"), "/d/x");
  EXPECT_EQ(JoinPath("", "x"), "");
  EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(ExtractFileName("/a/b/"), "");
  EXPECT_TRUE(IsNetworkPath("\\\\server\\share"));
  EXPECT_TRUE(IsNetworkPath("//server/share"));
  EXPECT_FALSE(IsNetworkPath("\\\\"));
  EXPECT_FALSE(IsNetworkPath("/home"));
}

TEST(PathStrings, SplitAtConsumesHeadAndSeparator) {
  std::string text = "a, b,,c";
  EXPECT_EQ(SplitAt(text, ","), "a");
  EXPECT_EQ(text, " b,,c");
  EXPECT_EQ(SplitAt(text, ","), " b");
  EXPECT_EQ(SplitAt(text, ","), "");
  EXPECT_EQ(SplitAt(text, ","), "c");
  EXPECT_EQ(text, "");
  text = "a::b";
  EXPECT_EQ(SplitAt(text, "::"), "a");
  EXPECT_EQ(text, "b");
  text = "abc";
  EXPECT_EQ(SplitAt(text, ""), "abc");  // an empty separator must not loop callers forever
  EXPECT_EQ(text, "");
}

TEST(PathStrings, ReplaceExtensionCutsAtTheFirstDotOfTheName) {
  EXPECT_EQ(ReplaceExtension("backup.zip", ".z01"), "backup.z01");
  EXPECT_EQ(ReplaceExtension("backup.tar.zip", ".z01"), "backup.z01");
  EXPECT_EQ(ReplaceExtension("backup", ".z01"), "backup.z01");
  // A dot in a folder name is not the file's extension.
  EXPECT_EQ(ReplaceExtension("/home/u/my.dir/backup.zip", ".z02"), "/home/u/my.dir/backup.z02");
  EXPECT_EQ(ReplaceExtension("/home/u/my.dir/backup", ".z02"), "/home/u/my.dir/backup.z02");
}

TEST(PathStrings, ExpandPathFoldsDotsAgainstTheCurrentDirectory) {
  EXPECT_EQ(ExpandPath("/a/./b/../c"), "/a/c");
  EXPECT_EQ(ExpandPath("/a/b/"), "/a/b/");
  EXPECT_EQ(ExpandPath("/.."), "/");
  TempDir tmp;
  InDir cd(tmp.slashed());
  std::string cwd = fs::current_path().string();
  EXPECT_EQ(ExpandPath("x/y"), cwd + "/x/y");
  EXPECT_EQ(ExpandPath(""), cwd);
}

TEST(TempFileName, CreatesAnEmptyArcFileInTheGivenOrTheSystemFolder) {
  TempDir tmp;
  std::string a = TempFileName(tmp.slashed());
  std::string b = TempFileName(tmp.slashed());
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(ExtractFilePath(a), tmp.slashed());
  EXPECT_EQ(ExtractFileName(a).rfind("arc", 0), 0u);
  EXPECT_EQ(fs::file_size(a), 0u);

  // A missing folder falls back to $TMPDIR, which is created when missing.
  const char* old = std::getenv("TMPDIR");
  std::string saved = old != nullptr ? old : "";
  setenv("TMPDIR", (tmp / "sys/tmp").c_str(), 1);
  std::string c = TempFileName(tmp / "missing");
  if (old != nullptr)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
  EXPECT_EQ(ExtractFilePath(c), tmp / "sys/tmp/");
  EXPECT_TRUE(fs::exists(c));
}

}  // namespace
}  // namespace arc
