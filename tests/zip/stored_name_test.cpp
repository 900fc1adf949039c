//===-- tests/zip/stored_name_test.cpp - Names of files as entries --------===//
#include "zip/stored_name.h"

#include <gtest/gtest.h>

namespace arc {
namespace {

struct NamingCase {
  TStoredDirNames mode;
  const char* path;
  const char* expected;
};

TEST(StoredDirName, EachModeOnAFileAndAFolder) {
  // Found under /home/u/docs/, the base of its FileSpec line.
  const std::string base = "/home/u/docs/";
  const NamingCase cases[] = {
      {sdNone, "/home/u/docs/sub/a.txt", "a.txt"},
      {sdNone, "/home/u/docs/sub/", "sub/"},
      {sdAbsolute, "/home/u/docs/sub/a.txt", "/home/u/docs/sub/a.txt"},
      {sdAbsoluteNoDrv, "/home/u/docs/sub/a.txt", "/home/u/docs/sub/a.txt"},
      {sdAbsoluteNoDrv, "//server/share/x/a.txt", "/x/a.txt"},
      {sdAbsoluteNoRoot, "/home/u/docs/sub/a.txt", "home/u/docs/sub/a.txt"},
      {sdAbsoluteNoRoot, "//server/share/x/a.txt", "x/a.txt"},
      {sdRelative, "/home/u/docs/sub/a.txt", "sub/a.txt"},
      {sdRelative, "/HOME/U/Docs/a.txt", "a.txt"},  // the base is found ignoring case
      {sdRelative, "/elsewhere/a.txt", "/elsewhere/a.txt"},
      {sdRelative, "/home/u/docs/sub/", "sub/"},
      {sdRelativeStoreStart, "/home/u/docs/sub/a.txt", "docs/sub/a.txt"},
  };
  for (const NamingCase& c : cases) {
    NamingRules rules;
    rules.mode = c.mode;
    EXPECT_EQ(StoredDirName(c.path, base, rules), c.expected) << int(c.mode) << " " << c.path;
  }
}

TEST(StoredDirName, ExplorerModesCutTheDefaultDirectory) {
  NamingRules rules;
  rules.mode = sdExplorer_UserDefineDefaultDir;
  rules.DefaultDir = "/home/u/";
  // Found under the default directory itself: relative to it.
  EXPECT_EQ(StoredDirName("/home/u/a.txt", "/home/U/", rules), "a.txt");
  // Found deeper: the default directory is cut, byte for byte.
  EXPECT_EQ(StoredDirName("/home/u/docs/b.txt", "/home/u/docs/", rules), "docs/b.txt");
  EXPECT_EQ(StoredDirName("/home/U/docs/b.txt", "/home/U/docs/", rules), "/home/U/docs/b.txt");
  EXPECT_EQ(StoredDirName("/srv/c.txt", "/srv/", rules), "/srv/c.txt");
}

TEST(CommonDirectory, CutBackToAWholeDirectory) {
  EXPECT_EQ(CommonDirectory({"/data/ab/*.txt", "/data/ac/x.txt"}), "/data/");
  EXPECT_EQ(CommonDirectory({"/data/ab/*.txt", "/DATA/AB/sub/x"}), "/data/ab/");
  EXPECT_EQ(CommonDirectory({"/data/one.txt"}), "/data/");
  EXPECT_EQ(CommonDirectory({"/a/x", "/b/y"}), "/");
  EXPECT_EQ(CommonDirectory({}), "");
}

TEST(ExcludeSpec, MasksWithAndWithoutFolders) {
  NamingRules rules;  // sdRelative
  const std::string base = "/d/";
  auto excluded = [&](const char* stored, const char* full, std::vector<std::string> spec,
                      bool recurse) {
    return IsExcluded(stored, full, base, spec, recurse, rules);
  };
  // Without recursion the line is named like a file and compared whole.
  EXPECT_TRUE(excluded("x.tmp", "/d/x.tmp", {"*.tmp"}, false));
  EXPECT_TRUE(excluded("sub/x.tmp", "/d/sub/x.tmp", {"sub/*.tmp"}, false));
  EXPECT_FALSE(excluded("sub/x.txt", "/d/sub/x.txt", {"sub/*.tmp"}, false));
  // With recursion a bare mask looks at the file name in every folder...
  EXPECT_TRUE(excluded("sub/deep/x.tmp", "/d/sub/deep/x.tmp", {"*.tmp"}, true));
  // ...and a mask with a folder at that folder and below it.
  EXPECT_TRUE(excluded("build/o/x.o", "/d/build/o/x.o", {"build/*.o"}, true));
  EXPECT_TRUE(excluded("build/o/x.o", "/d/build/o/x.o", {"/D/BUILD/*.o"}, true));
  EXPECT_FALSE(excluded("src/x.o", "/d/src/x.o", {"build/*.o"}, true));
  // A line whose folder does not fit does not stop the lines after it.
  EXPECT_TRUE(excluded("src/x.o", "/d/src/x.o", {"build/*.o", "*.o"}, true));
  EXPECT_FALSE(excluded("src/x.c", "/d/src/x.c", {"build/*.o", "*.o", ""}, true));
}

}  // namespace
}  // namespace arc
