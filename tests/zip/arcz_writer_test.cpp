//===-- tests/zip/arcz_writer_test.cpp - arcz a and arcz d ----------------===//
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "zip_test_util.h"

extern char** environ;

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
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.output.find("File not found"), std::string::npos) << r.output;
  EXPECT_EQ(test::Run(in_dir + " a backup.zip").status, 2);
}

std::string Arcz() { return std::string(ARC_BIN_DIR) + "/arcz"; }

TEST(ArczWriter, PasswordMeansAes256AndTheOldCipherOnlyWithAWarning) {
  test::TempDir dir;
  WriteText(dir / "a.txt", test::Text(4000, 1));
  const std::string in_dir = "cd " + Quote(dir.path()) + " && " + Quote(Arcz());
  const struct {
    std::string options;
    uint16_t method;
    bool warns;
  } rows[] = {{"-p pw", 99, false}, {"-p pw --zipcrypto", 8, true}};
  for (const auto& r : rows) {
    std::filesystem::remove(dir / "s.zip");
    const ToolResult run = test::Run(in_dir + " a s.zip " + r.options + " a.txt");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("warning") != std::string::npos, r.warns) << run.output;
    const std::vector<test::ListedEntry> entries = test::ListCentral(dir / "s.zip");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].header.method, r.method) << r.options;
    EXPECT_EQ(test::PeerFailures(dir / "s.zip", "pw"), "") << r.options;
    const ToolResult listed = test::Run(in_dir + " l -v s.zip");
    EXPECT_NE(listed.output.find(r.method == 99 ? "AES-256" : "ZipCrypto"), std::string::npos)
        << listed.output;
  }
  EXPECT_EQ(test::Run(in_dir + " a s.zip --zipcrypto a.txt").status, 2);
}

/// The stored names of `archive`, sorted.
std::vector<std::string> SortedNames(const std::string& archive) {
  std::vector<std::string> names;
  for (const test::ListedEntry& e : test::ListCentral(archive)) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ArczWriter, ArchivesThatMayNotBeReplacedAreSaidSoPlainly) {
  // A second run over each archive; a leading dot hides a file, it does not
  // protect it.
  const std::pair<const char*, const char*> rows[] = {
      {"ro.zip", "ro.zip: is read-only"},
      {"folder.zip", "folder.zip: is a folder"},
      {".hidden.zip", "1 file added"},
  };
  for (const auto& [archive, said] : rows) {
    SCOPED_TRACE(archive);
    test::TempDir dir;
    WriteText(dir / "f.txt", "data");
    const std::string add = "cd " + Quote(dir.path()) + " && " + Quote(Arcz()) + " a ";
    EXPECT_EQ(test::Run(add + archive + " f.txt").status, 0);
    ::chmod((dir / "ro.zip").c_str(), 0444);
    std::filesystem::remove(dir / "folder.zip");
    std::filesystem::create_directories(dir / "folder.zip");
    test::SetMtime(dir / "f.txt", 1900000000);
    const ToolResult r = test::Run(add + archive + " f.txt");
    EXPECT_EQ(r.status, archive[0] == '.' ? 0 : 1) << r.output;
    EXPECT_NE(r.output.find(said), std::string::npos) << r.output;
  }

  // As a user: a folder that takes no new files.
  test::TempDir dir;
  ::chmod(dir.path().c_str(), 0777);
  WriteText(dir / "f.txt", "data");
  std::filesystem::create_directories(dir / "locked");
  ::chmod((dir / "locked").c_str(), 0555);
  const int status = test::RunAsNobody([&] {
    const ToolResult r =
        test::Run("cd " + Quote(dir.path()) + " && " + Quote(Arcz()) + " a locked/new.zip f.txt");
    return r.status == 1 && r.output.find("locked/: folder is read-only") != std::string::npos ? 0
                                                                                               : 1;
  });
  EXPECT_EQ(status, 0);
}

TEST(ArczWriter, RecursionTakesHiddenFoldersAndSaysWhatItCannotTake) {
  // As a user, for whom a folder can be unreadable: what cannot be taken is
  // reported, the rest is added.
  test::TempDir dir;
  ::chmod(dir.path().c_str(), 0777);
  WriteText(dir / "src/a.txt", "a");
  WriteText(dir / "src/.config/h.txt", "hidden");
  WriteText(dir / "src/back\\slash.txt", "one file, not a folder");
  WriteText(dir / "src/locked/secret.txt", "unreadable");
  ::chmod((dir / "src/locked").c_str(), 0);
  const std::string out = dir / "out.txt";
  const int status = test::RunAsNobody([&] {
    const ToolResult r = test::Run("cd " + Quote(dir.path()) + " && " + Quote(Arcz()) +
                                   " a all.zip -r missing.txt src");
    WriteText(out, r.output);
    return r.status;
  });
  ::chmod((dir / "src/locked").c_str(), 0755);
  const std::string said = test::ReadText(out);
  EXPECT_EQ(status, 1) << said;
  EXPECT_NE(said.find("missing.txt: no such file or folder"), std::string::npos) << said;
  EXPECT_NE(said.find("src/locked/"), std::string::npos) << said;
  EXPECT_EQ(SortedNames(dir / "all.zip"),
            (std::vector<std::string>{"src/.config/h.txt", "src/a.txt", "src/back\\slash.txt"}));
}

TEST(ArczWriter, SignalsDuringAnUpdateLeaveTheArchiveAndNoTemporaryFiles) {
  for (const int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number);
    test::TempDir dir;
    WriteText(dir / "small.txt", "small");
    const std::string in_dir = "cd " + Quote(dir.path()) + " && TMPDIR=" + Quote(dir / "tmp");
    ASSERT_EQ(test::Run(in_dir + " " + Quote(Arcz()) + " a backup.zip small.txt").status, 0);
    const std::string before = test::ReadText(dir / "backup.zip");
    // Long enough to deflate that the signal comes in the middle; a hole, so
    // it takes no room.
    std::filesystem::create_directories(dir / "tmp");
    std::ofstream(dir / "big.bin").close();
    std::filesystem::resize_file(dir / "big.bin", uint64_t{3} << 30);
    const std::string command =
        in_dir + " exec " + Quote(Arcz()) + " a backup.zip big.bin >/dev/null 2>&1";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    // The temporary archive is named after the archive it belongs to.
    bool seen = false;
    for (int i = 0; i < 1000 && !seen; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      for (const auto& e : std::filesystem::directory_iterator(dir / "tmp"))
        seen = seen || (e.path().filename().string().find("backup.zip") != std::string::npos &&
                        e.file_size() > 0);
    }
    EXPECT_TRUE(seen);
    kill(pid, signal_number);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
    EXPECT_TRUE(test::ReadText(dir / "backup.zip") == before);
  }
}

TEST(ArczWriter, FileSizeLimitIsReportedNotASilentDeath) {
  test::TempDir dir;
  WriteText(dir / "small.txt", "small");
  WriteText(dir / "noise.bin", test::RandomBytes(1 << 20, 8));
  std::filesystem::create_directories(dir / "tmp");
  const std::string in_dir = "cd " + Quote(dir.path()) + " && TMPDIR=" + Quote(dir / "tmp") + " ";
  ASSERT_EQ(test::Run(in_dir + Quote(Arcz()) + " a backup.zip small.txt").status, 0);
  const std::string before = test::ReadText(dir / "backup.zip");
  // Files may not grow beyond 100 KiB.
  const ToolResult r =
      test::Run(in_dir + "sh -c " +
                Quote("ulimit -f 200; exec " + Quote(Arcz()) + " a backup.zip noise.bin"));
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("error 25194"), std::string::npos) << r.output;
  EXPECT_TRUE(test::ReadText(dir / "backup.zip") == before);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}

}  // namespace
}  // namespace arc
