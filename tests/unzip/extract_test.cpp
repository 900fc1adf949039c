//===-- tests/unzip/extract_test.cpp - Extraction of entries --------------===//
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include <arc/codec/aes_extra.h>
#include <arc/support/dos_time.h>
#include <arc/support/error_codes.h>
#include "common/test_as_nobody.h"
#include "extract_fixture.h"
#include "hardening/hostile_zip.h"
#include "zip_builder.h"

namespace arc {
namespace {

using test::ExtractFixture;
using test::TestEntry;
using test::ZipBuilder;

using Extraction = ExtractFixture;

TEST_F(Extraction, ExtensionlessFileReplacesItsOldCopy) {
  UseArchive(ZipBuilder().Add({.name = "ZELVO_BACKUP", .data = "new contents"}).Build());
  dir.Write("out/ZELVO_BACKUP", "old");
  unzip.SetFileSpec({"*.*"});
  unzip.SetRecurseDirs(false);
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Read(out + "ZELVO_BACKUP"), "new contents");
  EXPECT_EQ(unzip.StoredEntryName(), "ZELVO_BACKUP");
  EXPECT_TRUE(errors.empty());
  // The mask that needed the appended dot keeps it.
  EXPECT_EQ(unzip.FileSpec(), std::vector<std::string>{"*.*"});
}

TEST_F(Extraction, StoredFoldersAreKeptOrDropped) {
  UseArchive(ZipBuilder().Add({.name = "sub/a.txt", .data = "A"}).Build());
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Read(out + "sub/a.txt"), "A");
  unzip.SetUseStoredDirs(false);
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Read(out + "a.txt"), "A");
}

TEST_F(Extraction, HostileNamesStayInsideTheFolder) {
  struct Case {
    std::string stored, lands;
  } cases[] = {
      {"../up.txt", "up.txt"},
      {"a/../../deep.txt", "a/deep.txt"},
      {"/etc/abs.txt", "etc/abs.txt"},
      {"\\root.txt", "root.txt"},
      {"C:drive.txt", "drive.txt"},
      {"C:\\data\\x.bin", "data/x.bin"},
      {"C:/data/y.bin", "data/y.bin"},
      {"//server/share/unc.txt", "server/share/unc.txt"},
      {"\\\\server\\s\\unc2.txt", "server/s/unc2.txt"},
      {"./dot/./file.txt", "dot/file.txt"},
      {"name:with:colons.txt", "name:with:colons.txt"},
  };
  ZipBuilder b;
  for (const Case& c : cases) b.Add({.name = c.stored, .data = c.lands});
  UseArchive(b.Build());
  EXPECT_EQ(unzip.Extract(), static_cast<int32_t>(std::size(cases)));
  for (const Case& c : cases) EXPECT_EQ(Read(out + c.lands), c.lands) << c.stored;
  // Nothing was written beside the output folder.
  EXPECT_EQ(FilesBelow(dir.slashed()).size(), std::size(cases) + 1);  // + the archive
}

TEST_F(Extraction, SymbolicLinksInTheFolderAreNotFollowed) {
  const std::string outside = dir.MakeDir("outside") + "/";
  dir.Write("outside/victim.txt", "keep");
  std::filesystem::create_directory_symlink(outside, out + "link");
  std::filesystem::create_symlink(outside + "victim.txt", out + "file.txt");
  UseArchive(ZipBuilder()
                 .Add({.name = "link/evil.txt", .data = "evil"})
                 .Add({.name = "file.txt", .data = "replaced"})
                 .Build());
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_FALSE(std::filesystem::exists(outside + "evil.txt"));
  EXPECT_EQ(Read(outside + "victim.txt"), "keep");
  // The link standing where the file goes is replaced by the file.
  EXPECT_FALSE(std::filesystem::is_symlink(out + "file.txt"));
  EXPECT_EQ(Read(out + "file.txt"), "replaced");
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::OpenError});
}

TEST_F(Extraction, DirectoryEntries) {
  UseArchive(ZipBuilder().Add({.name = "docs/", .data = "", .externalAttributes = 0x10}).Build());
  std::vector<std::pair<std::string, bool>> ends;
  unzip.OnEnd = [&](TObject*, const std::string& f, bool pass) { ends.emplace_back(f, pass); };
  EXPECT_EQ(unzip.Extract(), 0);
  EXPECT_FALSE(Exists("docs"));
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_TRUE(ends[0].second);
  unzip.SetCreateStoredDirs(true);
  EXPECT_EQ(unzip.Extract(), 0);
  EXPECT_TRUE(std::filesystem::is_directory(out + "docs"));
}

TEST_F(Extraction, BeginAndRenameEvents) {
  UseArchive(
      ZipBuilder().Add({.name = "a.txt", .data = "A"}).Add({.name = "b.txt", .data = "B"}).Build());
  int renames = 0;
  unzip.OnRenameFile = [&](TObject*, const std::string&, std::string&) { ++renames; };
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_EQ(renames, 0);  // never without OnBegin

  std::vector<int32_t> counts;
  unzip.OnRenameFile = [&](TObject*, const std::string& f, std::string& n) {
    if (f == out + "a.txt") n = out + "renamed/a2.txt";
  };
  unzip.OnBegin = [&](TObject*, const std::string& f, int32_t count, bool& extract) {
    counts.push_back(count);
    extract = f.find("b.txt") == std::string::npos;
  };
  std::filesystem::remove_all(out);
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Read(out + "renamed/a2.txt"), "A");
  EXPECT_FALSE(Exists("b.txt"));
  EXPECT_EQ(counts, (std::vector<int32_t>{1, 2}));
}

TEST_F(Extraction, DamagedDataFailsItsCrcCheck) {
  UseArchive(ZipBuilder().Add({.name = "a.txt", .data = "payload", .badCrc = true}).Build());
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Read(out + "a.txt"), "payload");  // written in full
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::CrcFailed});
  EXPECT_EQ(errors[0].fileName, out + "a.txt");

  errors.clear();
  std::vector<bool> passes;
  unzip.OnEnd = [&](TObject*, const std::string&, bool pass) { passes.push_back(pass); };
  unzip.Extract();
  EXPECT_EQ(passes, std::vector<bool>{false});
  EXPECT_TRUE(errors.empty());  // OnEnd takes the place of the report
}

TEST_F(Extraction, UndecodableEntriesTouchNothingAndAreNotCounted) {
  // Methods no decoder reads (also as the real method of an AES entry), an
  // AES entry without its block, and strong encryption whatever the method:
  // the file of that name keeps its bytes, one report names the reason.
  const auto block = [](uint16_t method) {
    const auto b = BuildAesExtra({kAesVendorAe2, AesStrength::Aes256, method});
    return std::string(b.begin(), b.end());
  };
  const struct {
    uint16_t method, flags;
    std::string extra, reason;
  } cases[] = {{98, 0, "", "PPMd (method 98)"},
               {99, 1, block(98), "PPMd (method 98)"},
               {99, 1, "", "AES encryption (method 99)"},
               {77, 0, "", "method 77"},
               {8, 0x41, "", "strong encryption"}};
  for (const auto& c : cases) {
    UseArchive(ZipBuilder()
                   .Add({.name = "b.bin",
                         .data = std::string(40, 'x'),
                         .method = c.method,
                         .flags = c.flags,
                         .extra = c.extra})
                   .Build());
    dir.Write("out/b.bin", "keep");
    errors.clear();
    EXPECT_EQ(unzip.Extract(), 0) << c.reason;
    EXPECT_EQ(Read(out + "b.bin"), "keep") << c.reason;
    ASSERT_EQ(errors.size(), 1u) << c.reason;
    EXPECT_EQ(errors[0].code, ec::UnsupportedCompressionMethod);
    EXPECT_EQ(errors[0].extendedMsg, c.reason);
  }
}

TEST_F(Extraction, OverwriteRules) {
  UseArchive(ZipBuilder()
                 .Add({.name = "a.txt", .data = "new"})
                 .Add({.name = "b.txt", .data = "B"})
                 .Build());
  dir.Write("out/a.txt", "old");

  // Asked, and told to skip.
  unzip.SetConfirmOverwrites(true);
  unzip.OnFileExists = [](TObject*, const std::string&, std::string&, TOverwriteMode& m) {
    m = omSkip;
  };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Read(out + "a.txt"), "old");
  EXPECT_EQ(Read(out + "b.txt"), "B");

  // Asked, and given another name.
  unzip.OnFileExists = [&](TObject*, const std::string&, std::string& n, TOverwriteMode&) {
    n = out + "other/a.txt";
  };
  std::filesystem::remove(out + "b.txt");
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_EQ(Read(out + "a.txt"), "old");
  EXPECT_EQ(Read(out + "other/a.txt"), "new");

  // Asking without a handler.
  unzip.OnFileExists = nullptr;
  errors.clear();
  EXPECT_EQ(unzip.Extract(), 0);
  ASSERT_EQ(errors.size(), 2u);  // one per existing file
  EXPECT_EQ(errors[0].code, ec::RequiredEvent);
  EXPECT_EQ(errors[0].extendedMsg, "OnFileExists");

  // Not asking, skipping: nothing at all is written.
  std::filesystem::remove_all(out);
  unzip.SetConfirmOverwrites(false);
  unzip.SetOverwriteMode(omSkip);
  EXPECT_EQ(unzip.Extract(), 0);
  EXPECT_FALSE(Exists("a.txt"));
  EXPECT_FALSE(Exists("b.txt"));
}

TEST_F(Extraction, DatesAndReadOnlyAttribute) {
  const uint32_t older = 0x50210000;  // 2020-01-01 00:00
  const uint32_t newer = 0x58C16000;  // 2024-06-01 12:00
  UseArchive(
      ZipBuilder()
          .Add({.name = "old.txt", .data = "o", .dosDateTime = older})
          .Add({.name = "ro.txt", .data = "r", .externalAttributes = 0x21, .dosDateTime = newer})
          .Build());
  EXPECT_EQ(unzip.Extract(), 2);
  struct stat st {};
  ASSERT_EQ(::stat((out + "old.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, DosToFileTime(older));
  ASSERT_EQ(::stat((out + "ro.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);

  // A read-only file already there is still overwritten, asked or not.
  for (bool ask : {false, true}) {
    unzip.SetConfirmOverwrites(ask);
    unzip.SetOverwriteMode(omOverwrite);
    unzip.OnFileExists = [](TObject*, const std::string&, std::string&, TOverwriteMode& m) {
      m = omOverwrite;
    };
    namespace fs = std::filesystem;
    fs::permissions(out + "ro.txt", fs::perms::owner_write, fs::perm_options::add);
    dir.Write("out/ro.txt", "stale");
    fs::permissions(out + "ro.txt", fs::perms::all, fs::perm_options::remove);
    fs::permissions(out + "ro.txt", fs::perms::owner_read, fs::perm_options::add);
    EXPECT_EQ(unzip.Extract(), 2) << "asked: " << ask;
    EXPECT_EQ(Read(out + "ro.txt"), "r");
  }

  std::filesystem::remove_all(out);
  unzip.SetConfirmOverwrites(false);
  unzip.SetDateAttribute(daMaxFileDate);
  unzip.SetRestoreFileAttr(false);
  EXPECT_EQ(unzip.Extract(), 2);
  ASSERT_EQ(::stat((out + "old.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, DosToFileTime(newer));
  ASSERT_EQ(::stat((out + "ro.txt").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0200, 0u);
}

TEST_F(Extraction, PermissionsOfAUnixHostReachRegularFiles) {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  const mode_t plain = 0666 & ~mask;  // a file made without a mode
  const struct {
    const char* name;
    uint16_t madeBy;
    uint32_t mode;
    mode_t expected;
  } rows[] = {
      {"tool", 0x031E, 0100755, 0755 & ~mask},
      {"setuid", 0x031E, 0106755, 0755 & ~mask},  // never set-user-id or set-group-id
      {"private", 0x031E, 0100600, 0600},
      {"bare", 0x0314, 0750, 0750 & ~mask},  // permission bits without a type
      {"dos", 0x0014, 0100755, plain},       // another host's high half means nothing
      {"link", 0x031E, 0120777, plain},      // not a regular file
  };
  ZipBuilder zip;
  for (const auto& r : rows) {
    zip.Add({.name = r.name,
             .data = "x",
             .externalAttributes = (r.mode << 16) | 0x20,
             .versionMadeBy = r.madeBy});
  }
  UseArchive(zip.Build());
  EXPECT_EQ(unzip.Extract(), 6);
  for (const auto& r : rows) {
    struct stat st {};
    ASSERT_EQ(::stat((out + r.name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, r.expected) << r.name;
  }
}

TEST_F(Extraction, ReadOnlyFileIsReplacedByAnUnprivilegedUser) {
  UseArchive(ZipBuilder().Add({.name = "ro.txt", .data = "new"}).Build());
  const std::string target = dir.Write("out/ro.txt", "stale");
  ::chmod(target.c_str(), 0444);
  test::GiveToNobody(dir.slashed());
  const int status = test::RunAsNobody([this] {
    if (unzip.Extract() != 1 || !errors.empty()) return 1;
    return Read(out + "ro.txt") == "new" ? 0 : 2;
  });
  EXPECT_EQ(status, 0);
}

TEST_F(Extraction, TimesOfExtraFieldsAndOfAZeroDate) {
  // 1700000000 is 2023-11-14 22:13:20 UTC; NTFS counts 100 ns steps from 1601.
  const uint64_t ntfsTicks = (uint64_t{1700000000} + 11644473600u) * 10000000u + 1234567;
  const std::string unixBlock = test::ExtraBlock(0x5455, std::string("\x01\x00\xF1\x53\x65", 5));
  const std::string times = test::Le64(ntfsTicks) + std::string(16, '\0');  // access, creation
  const std::string ntfsBlock =
      test::ExtraBlock(0x000A, std::string(4, '\0') + test::ExtraBlock(0x0001, times));
  test::HostileEntry unixTime = test::HostileEntry::Stored("unix.txt", "u");
  unixTime.localExtra = unixBlock;
  test::HostileEntry ntfsTime = test::HostileEntry::Stored("ntfs.txt", "n");
  ntfsTime.centralExtra = ntfsBlock;  // the directory's block serves when the local header has none
  UseArchive(test::BuildHostile({unixTime, ntfsTime}));
  EXPECT_EQ(unzip.Extract(), 2);
  struct stat st {};
  ASSERT_EQ(::stat((out + "unix.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1700000000);
  ASSERT_EQ(::stat((out + "ntfs.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1700000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456700);

  // No time block and a DOS date of 0: the first day a DOS date can hold.
  UseArchive(ZipBuilder().Add({.name = "zero.txt", .data = "z", .dosDateTime = 0}).Build());
  EXPECT_EQ(unzip.Extract(), 1);
  ASSERT_EQ(::stat((out + "zero.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, DosToFileTime(kDosMinimum));
}

TEST_F(Extraction, EveryEncryptedEntryIsTriedWithThePasswordsKnown) {
  // Entries under two passwords, only one of them known. The one the user
  // cannot open is reported; the user is asked once; every later entry the
  // known password opens is still extracted, every other one reported.
  UseArchive(ZipBuilder()
                 .Add({.name = "1.txt", .data = "one", .password = "alpha"})
                 .Add({.name = "2.txt", .data = "two", .password = "beta"})
                 .Add({.name = "3.txt", .data = "three", .password = "alpha"})
                 .Add({.name = "4.txt", .data = "four", .password = "beta"})
                 .Build());
  unzip.SetPasswords({"alpha"});
  int asked = 0;
  unzip.OnGetPassword = [&](TObject*, const std::string&, std::string&, bool& tryAgain) {
    ++asked;
    tryAgain = false;
  };
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Read(out + "1.txt"), "one");
  EXPECT_EQ(Read(out + "3.txt"), "three");
  EXPECT_FALSE(Exists("2.txt") || Exists("4.txt"));
  EXPECT_EQ(Codes(), (std::vector<int32_t>{ec::InvalidPassword, ec::PasswordFailed}));
}

TEST_F(Extraction, MasksWithAndWithoutRecursion) {
  UseArchive(ZipBuilder()
                 .Add({.name = "a.txt", .data = "1"})
                 .Add({.name = "docs/a.txt", .data = "2"})
                 .Add({.name = "docs/b.bin", .data = "3"})
                 .Build());
  unzip.SetFileSpec({"*.txt"});
  unzip.SetRecurseDirs(false);
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_FALSE(Exists("docs/a.txt"));
  unzip.SetRecurseDirs(true);
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_TRUE(Exists("docs/a.txt"));
  unzip.SetFileSpec({"DOCS\\*.BIN"});
  unzip.SetRecurseDirs(false);
  EXPECT_EQ(unzip.Extract(), 1);
}

TEST_F(Extraction, ProgressEndsAtTheWholeArchive) {
  UseArchive(ZipBuilder()
                 .Add({.name = "a", .data = std::string(70000, 'a')})
                 .Add({.name = "b", .data = std::string(10, 'b')})
                 .Build());
  std::vector<std::pair<int, int>> seen;
  unzip.OnProgress = [&](TObject*, uint8_t f, uint8_t a) { seen.emplace_back(f, a); };
  unzip.Extract();
  ASSERT_GE(seen.size(), 4u);  // three blocks of the first entry, one of the second
  EXPECT_EQ(seen.back(), std::make_pair(100, 100));
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i].second, seen[i - 1].second);
}

TEST_F(Extraction, EventOrderOfARun) {
  UseArchive(ZipBuilder().Add({.name = "a.txt", .data = "A"}).Build());
  std::vector<std::string> order;
  unzip.OnActivate = [&](TObject*) { order.push_back("activate"); };
  unzip.OnBegin = [&](TObject*, const std::string&, int32_t, bool&) { order.push_back("begin"); };
  unzip.OnProgress = [&](TObject*, uint8_t, uint8_t) { order.push_back("progress"); };
  unzip.OnEnd = [&](TObject*, const std::string&, bool) { order.push_back("end"); };
  unzip.OnElapsedTime = [&](TObject*, float) { order.push_back("elapsed"); };
  unzip.OnDeactivate = [&](TObject*) { order.push_back("deactivate"); };
  unzip.Extract();
  EXPECT_EQ(order, (std::vector<std::string>{"activate", "begin", "progress", "end", "elapsed",
                                             "deactivate"}));
}

TEST_F(Extraction, NoArchiveOrAnUnreadableOne) {
  EXPECT_EQ(unzip.Extract(), 0);
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::FileNotFound});
  const std::string path = UseArchive(ZipBuilder().Add({.name = "a", .data = "A"}).Build());
  ::chmod(path.c_str(), 0);
  errors.clear();
  if (::access(path.c_str(), R_OK) != 0) {  // root reads anything
    EXPECT_EQ(unzip.Extract(), 0);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ec::OpenError});
  }
}

TEST_F(Extraction, ArchiveWithoutReachableDirectoryIsWalked) {
  // The directory and the end record cut off: 2 local headers and their data.
  auto bytes = ZipBuilder()
                   .Add({.name = "a.txt", .data = "A"})
                   .Add({.name = "d/", .data = "", .externalAttributes = 0x10})
                   .Build();
  bytes.resize(2 * 30 + 5 + 1 + 2);
  UseArchive(bytes);
  ASSERT_EQ(unzip.OpenState().headerState, htLocal);
  int asked = 0;
  unzip.OnCorruptZipHeader = [&](TObject*, THeaderTypeState, bool& cancel) {
    ++asked;
    EXPECT_TRUE(cancel);
  };
  EXPECT_EQ(unzip.Extract(), 0);
  EXPECT_EQ(asked, 1);
  unzip.OnCorruptZipHeader = [&](TObject*, THeaderTypeState, bool& cancel) { cancel = false; };
  unzip.SetCreateStoredDirs(true);
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Read(out + "a.txt"), "A");
  EXPECT_TRUE(std::filesystem::is_directory(out + "d"));
  // Said once: the entries come from local headers, and more may be lost.
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::HeaderNotFound});
}

TEST_F(Extraction, PrefixWithUnadjustedOffsets) {
  UseArchive(ZipBuilder()
                 .Add({.name = "a.txt", .data = "A"})
                 .Add({.name = "b.txt", .data = "B"})
                 .Prefix(std::string(100, '#'), false)
                 .Build());
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_EQ(Read(out + "b.txt"), "B");
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace arc

namespace arc {
namespace {

/// Offset of the central directory in an archive made by ZipBuilder.
size_t CentralAt(const std::vector<uint8_t>& zip) {
  const size_t end = zip.size() - 22;
  return zip[end + 16] | zip[end + 17] << 8 | zip[end + 18] << 16 | size_t{zip[end + 19]} << 24;
}

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

TEST_F(Extraction, UntrustedOffsetsAndLengthsAreReported) {
  const auto good = ZipBuilder()
                        .Add({.name = "a.txt", .data = "first entry"})
                        .Add({.name = "b.txt", .data = "second entry"})
                        .Build();
  const size_t cd = CentralAt(good);
  const size_t second = cd + 46 + 5;  // the second central entry

  // A local-header offset beyond the end of the file: the entry is left out.
  auto beyond = good;
  Put32(beyond, second + 42, 0x7FFFFFF0);
  UseArchive(beyond);
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});

  // Sizes that claim gigabytes the file does not hold: what is there is
  // written, and the entry fails its check.
  auto huge = good;
  Put32(huge, second + 20, 0xFFFFFF00);
  Put32(huge, second + 24, 0xFFFFFF00);
  errors.clear();
  UseArchive(huge);
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::CrcFailed});

  // A name length running past the end of the directory.
  auto name = good;
  name[second + 28] = 0xFF;
  name[second + 29] = 0xFF;
  errors.clear();
  UseArchive(name);
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::BadFileHeader});
}

TEST_F(Extraction, ArchiveCutAtEveryLength) {
  const auto good = ZipBuilder()
                        .Add({.name = "a.txt", .data = "first entry"})
                        .Add({.name = "d/b.txt", .data = std::string(300, 'b'), .method = 8})
                        .Build();
  for (size_t len = 0; len < good.size(); ++len) {
    std::filesystem::remove_all(out);
    UseArchive(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(len)));
    std::vector<std::string> passed;
    unzip.OnEnd = [&](TObject*, const std::string& f, bool pass) {
      if (pass) passed.push_back(f);
    };
    unzip.Extract();
    for (const std::string& f : passed) {
      const std::string data = Read(f);
      EXPECT_TRUE(data == "first entry" || data == std::string(300, 'b')) << len << ": " << f;
    }
  }
}

}  // namespace
}  // namespace arc
