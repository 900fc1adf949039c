//===-- tests/zip/header_list_test.cpp - Look-ups in the header list ------===//
//
// The list finds entries by name, ASCII case ignored, the first of equal
// names winning, through an open-addressed index that is built on the first
// look-up and kept in step as entries are added and renamed. A rename takes
// an entry out of the middle of a run of slots, which must leave every other
// entry findable.
//
//===----------------------------------------------------------------------===//
#include "zip/header_list.h"

#include <gtest/gtest.h>

#include <string>

namespace arc {
namespace {

CompHeader Entry(std::string name) {
  CompHeader e;
  e.name = std::move(name);
  return e;
}

TEST(HeaderList, FindsEveryNameThroughAddsAndRenames) {
  TCompHeaderObj list;
  for (int i = 0; i < 300; ++i) list.Add(Entry("dir/File" + std::to_string(i) + ".txt"));
  EXPECT_EQ(list.IndexOf("DIR/file7.TXT"), 7);  // builds the index
  for (int i = 300; i < 1000; ++i) list.Add(Entry("dir/File" + std::to_string(i) + ".txt"));
  // Every third entry renamed: each leaves a hole in its run.
  for (int i = 0; i < 1000; i += 3) list.SetName(i, "moved/" + std::to_string(i));
  for (int i = 0; i < 1000; ++i) {
    const std::string oldName = "dir/file" + std::to_string(i) + ".txt";
    if (i % 3 == 0) {
      EXPECT_EQ(list.IndexOf(oldName), -1) << i;
      EXPECT_EQ(list.IndexOf("MOVED/" + std::to_string(i)), i);
    } else {
      EXPECT_EQ(list.IndexOf(oldName), i);
    }
  }
  // Of equal names the first; a renamed entry is found under its new name only.
  list.Add(Entry("Dir/File1.txt"));
  list.SetName(1, "gone");
  EXPECT_EQ(list.IndexOf("dir/file1.txt"), 1000);
  list.SetName(4, "dir/FILE1.TXT");
  EXPECT_EQ(list.IndexOf("dir/file1.txt"), 4);
  list.Clear();
  EXPECT_EQ(list.IndexOf("dir/file2.txt"), -1);
}

TEST(HeaderList, NamesKeptOnceStillReadAsTheirOwn) {
  TCompHeaderObj list;
  CompHeader copied = Entry("a/b.txt");
  copied.storedBytes = "a/b.txt";
  copied.action = EntryAction::Copy;
  CompHeader scanned = Entry("/src/a/c.txt");
  scanned.found = std::make_unique<FoundFile>();
  scanned.found->sourcePath = "/src/a/c.txt";
  scanned.found->storedName = "a/c.txt";
  const int32_t c = list.Add(std::move(copied));
  const int32_t f = list.Add(std::move(scanned));
  EXPECT_EQ(list[c].Stored(), "a/b.txt");
  EXPECT_EQ(list[f].SourcePath(), "/src/a/c.txt");
  EXPECT_EQ(list[f].StoredName(), "a/c.txt");
  // A new name leaves the stored bytes and the paths as they were.
  list.SetName(c, "renamed.txt");
  list.SetName(f, "elsewhere/c.txt");
  EXPECT_EQ(list[c].Stored(), "a/b.txt");
  EXPECT_EQ(list[f].SourcePath(), "/src/a/c.txt");
  EXPECT_EQ(list[f].StoredName(), "a/c.txt");
}

}  // namespace
}  // namespace arc
