//===-- tests/hardening/names_test.cpp - Stored names that try to escape --===//
//
// Whatever an entry's name says, nothing is written outside the extraction
// folder; a name that had to be changed to stay inside, or that names no
// file at all, is reported.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <filesystem>

#include <arc/support/error_codes.h>
#include "hostile_zip.h"
#include "unzip/extract_fixture.h"

namespace arc {
namespace {

using test::BuildHostile;
using test::HostileEntry;

using HostileNames = test::ExtractFixture;

/// Every regular file below `root` but the archive.
size_t FilesOutsideArchive(const std::string& root) {
  size_t n = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    if (e.is_regular_file() && e.path().filename() != "a.zip") ++n;
  }
  return n;
}

size_t CountOf(const std::vector<int32_t>& codes, int32_t code) {
  return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
}

TEST_F(HostileNames, EveryTraversalFormLandsInsideAndIsReported) {
  struct Case {
    std::string stored, lands;
  } cases[] = {
      {"../up1.txt", "up1.txt"},
      {"..\\up2.txt", "up2.txt"},
      {"..\\..\\win\\up3.txt", "win/up3.txt"},
      {"a/b/../../../../up4.txt", "a/b/up4.txt"},
      {"/abs1.txt", "abs1.txt"},
      {"\\abs2.txt", "abs2.txt"},
      {"C:\\drive1.txt", "drive1.txt"},
      {"C:drive2.txt", "drive2.txt"},
      {"//server/share/unc1.txt", "server/share/unc1.txt"},
      {"\\\\server\\x\\unc2.txt", "server/x/unc2.txt"},
  };
  std::vector<HostileEntry> entries;
  for (const Case& c : cases) entries.push_back(HostileEntry::Stored(c.stored, c.lands));
  UseArchive(BuildHostile(entries));

  EXPECT_EQ(unzip.Extract(), static_cast<int32_t>(std::size(cases)));
  for (const Case& c : cases) EXPECT_EQ(Read(out + c.lands), c.lands) << c.stored;
  EXPECT_EQ(FilesOutsideArchive(dir.slashed()), std::size(cases));
  EXPECT_EQ(CountOf(Codes(), ec::InvalidFileName), std::size(cases));
  EXPECT_EQ(errors.size(), std::size(cases));
  EXPECT_EQ(errors[0].fileName, "../up1.txt");

  // Testing writes nothing, but still tells that the names are hostile.
  errors.clear();
  EXPECT_EQ(unzip.Test(), static_cast<int32_t>(std::size(cases)));
  EXPECT_EQ(CountOf(Codes(), ec::InvalidFileName), std::size(cases));

  // Harmless oddities are taken without a word.
  errors.clear();
  UseArchive(BuildHostile({HostileEntry::Stored("./dot/./f.txt", "1"),
                           HostileEntry::Stored("x//y.txt", "2"),
                           HostileEntry::Stored("name:colon...txt", "3")}));
  EXPECT_EQ(unzip.Extract(), 3);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(Read(out + "dot/f.txt"), "1");
  EXPECT_EQ(Read(out + "x/y.txt"), "2");
}

TEST_F(HostileNames, NulByteEndsTheName) {
  using namespace std::string_literals;
  UseArchive(BuildHostile({
      HostileEntry::Stored("safe.txt\0/../../evil.txt"s, "cut"),
      HostileEntry::Stored("..\0/x/escape.txt"s, "gone"),
      HostileEntry::Stored("sub/..\0"s, "gone too"),
  }));
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Read(out + "safe.txt"), "cut");
  EXPECT_EQ(FilesOutsideArchive(dir.slashed()), 1u);
  // The first is written under its cut name; the others name no file.
  EXPECT_EQ(Codes(), std::vector<int32_t>(3, ec::InvalidFileName));
}

TEST_F(HostileNames, NamesOfOnlyDotsOrSeparators) {
  std::vector<HostileEntry> entries;
  for (const char* name : {"..", ".", "/", "\\", "//", "../", "..\\..\\", "C:", "C:\\"}) {
    entries.push_back(HostileEntry::Stored(name, "nothing"));
  }
  entries.push_back(HostileEntry::Stored("...", "a real name"));
  // A folder entry for the extraction folder itself, as bsdtar writes it,
  // is no lie and passes without a word.
  HostileEntry here = HostileEntry::Stored("./", "");
  here.externalAttributes = 0x10;
  entries.insert(entries.begin() + 3, here);
  UseArchive(BuildHostile(entries));
  unzip.SetCreateStoredDirs(true);
  EXPECT_EQ(unzip.Extract(), 1);  // folders are not counted
  EXPECT_EQ(Read(out + "..."), "a real name");
  EXPECT_EQ(FilesOutsideArchive(dir.slashed()), 1u);
  // Each other name that is nothing once made safe is reported.
  EXPECT_EQ(CountOf(Codes(), ec::InvalidFileName), entries.size() - 2);
  EXPECT_EQ(errors.size(), entries.size() - 2);
}

TEST_F(HostileNames, LongNamesAreKeptWholeAndTooLongOnesAreRefused) {
  // Two paths alike in their first 255 bytes stay two files; a component
  // longer than a file name can be, and a path longer than a path can be,
  // are errors of their entries, never cut into some other name.
  std::string shared;
  while (shared.size() < 300) shared += "p/";
  std::string deep;
  while (deep.size() < 8000) deep += "d/";
  UseArchive(BuildHostile({
      HostileEntry::Stored(shared + "one.txt", "one"),
      HostileEntry::Stored(shared + "two.txt", "two"),
      HostileEntry::Stored(std::string(65535, 'n'), "long component"),
      HostileEntry::Stored(deep + "x.txt", "deep path"),
  }));
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_EQ(Read(out + shared + "one.txt"), "one");
  EXPECT_EQ(Read(out + shared + "two.txt"), "two");
  EXPECT_EQ(Codes(), (std::vector<int32_t>{ec::OpenError, ec::OpenError}));
  EXPECT_EQ(FilesOutsideArchive(dir.slashed()), 2u);
  EXPECT_FALSE(std::filesystem::exists(out + "d"));

  // Below a folder whose own name is near the limit, a path too long to be
  // opened by name is refused before any of its folders is made.
  std::string longDir = out;
  while (longDir.size() < 3900) longDir += std::string(200, 'L') + "/";
  std::filesystem::create_directories(longDir);
  unzip.SetExtractDir(longDir);
  UseArchive(BuildHostile({HostileEntry::Stored(deep + "x.txt", "deep path"),
                           HostileEntry::Stored("short.txt", "fits")}));
  unzip.SetExtractDir(longDir);
  errors.clear();
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::OpenError});
  EXPECT_EQ(Read(longDir + "short.txt"), "fits");
  EXPECT_FALSE(std::filesystem::exists(longDir + "d"));
}

TEST_F(HostileNames, NamesThatCollideOnceMadeSafe) {
  UseArchive(BuildHostile({HostileEntry::Stored("../x.txt", "first"),
                           HostileEntry::Stored("x.txt", "second"),
                           HostileEntry::Stored("/x.txt", "third")}));
  // Overwriting: the last one wins, and nothing lands elsewhere.
  EXPECT_EQ(unzip.Extract(), 3);
  EXPECT_EQ(Read(out + "x.txt"), "third");
  EXPECT_EQ(FilesOutsideArchive(dir.slashed()), 1u);

  // Asked each time and told to skip: the copy already there stays.
  std::filesystem::remove_all(out);
  unzip.SetConfirmOverwrites(true);
  int asked = 0;
  unzip.OnFileExists = [&](TObject*, const std::string&, std::string&, TOverwriteMode& m) {
    ++asked;
    m = omSkip;
  };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Read(out + "x.txt"), "first");

  // Not asked, skipping: nothing replaces anything.
  unzip.SetConfirmOverwrites(false);
  unzip.SetOverwriteMode(omSkip);
  EXPECT_EQ(unzip.Extract(), 0);
  EXPECT_EQ(Read(out + "x.txt"), "first");
}

TEST_F(HostileNames, FolderAndFileOfTheSameName) {
  auto folder = [](std::string name) {
    HostileEntry e = HostileEntry::Stored(std::move(name), "");
    e.externalAttributes = 0x10;
    return e;
  };
  UseArchive(BuildHostile({
      HostileEntry::Stored("d", "file first"),
      folder("d/"),
      HostileEntry::Stored("d/inner.txt", "cannot be"),
      folder("e/"),
      HostileEntry::Stored("e", "cannot be either"),
      HostileEntry::Stored("f/g.txt", "in a folder"),
      HostileEntry::Stored("f", "not over the folder"),
  }));
  unzip.SetCreateStoredDirs(true);
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_EQ(Read(out + "d"), "file first");
  EXPECT_TRUE(std::filesystem::is_directory(out + "e"));
  EXPECT_EQ(Read(out + "f/g.txt"), "in a folder");
  EXPECT_EQ(Codes(), (std::vector<int32_t>{ec::CreateDirError, ec::OpenError, ec::OpenError,
                                           ec::OpenError}));
}

}  // namespace
}  // namespace arc
