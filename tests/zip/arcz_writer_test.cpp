//===-- tests/zip/arcz_writer_test.cpp - arcz a and arcz d ----------------===//
#include <gtest/gtest.h>

#include <algorithm>

#include "zip_test_util.h"

namespace arc {
namespace {

using test::Quote;
using test::ToolResult;
using test::WriteText;

TEST(ArczWriter, AddRefreshMoveAndDelete) {
  test::TempDir dir;
  WriteText(dir / "docs/a.txt", test::Text(4000, 1));
  WriteText(dir / "docs/sub/b.txt", test::Text(3000, 2));
  const std::string arcz = std::string(ARC_BIN_DIR) + "/arcz";
  const std::string in_dir = "cd " + Quote(dir.path()) + " && " + Quote(arcz);

  // Folders with -r; names as given, relative to the current directory; the
  // default extension is added.
  test::ToolResult r = test::Run(in_dir + " a backup -r -9 -p pw docs");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(test::PeerFailures(dir / "backup.zip", "pw"), "");
  std::vector<std::string> names;
  for (const test::ListedEntry& e : test::ListCentral(dir / "backup.zip")) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"docs/a.txt", "docs/sub/b.txt"}));

  // -u takes only what changed; a new file is left out.
  WriteText(dir / "docs/a.txt", "changed");
  test::SetMtime(dir / "docs/a.txt", 1900000000);
  WriteText(dir / "docs/c.txt", "new");
  r = test::Run(in_dir + " a backup.zip -u -r docs");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("1 file refreshed"), std::string::npos) << r.output;

  // -m erases what it took.
  r = test::Run(in_dir + " a backup.zip -m docs/c.txt");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir / "docs/c.txt"));

  r = test::Run(in_dir + " d backup.zip '*.txt'");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("3 entries deleted"), std::string::npos) << r.output;

  // Errors give a status other than 0.
  r = test::Run(in_dir + " d missing.zip x");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("Nothing to do"), std::string::npos) << r.output;
  EXPECT_EQ(test::Run(in_dir + " a backup.zip").status, 2);
}

}  // namespace
}  // namespace arc
