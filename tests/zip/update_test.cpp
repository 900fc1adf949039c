//===-- tests/zip/update_test.cpp - Updating an existing archive ----------===//
//
// Each switch on an archive that exists, the questions the update asks when
// a file is already in the archive, and the rule that an update which does
// not complete leaves the archive exactly as it was.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>

#include <arc/support/error_codes.h>
#include "zip_test_util.h"

namespace arc {
namespace {

using test::ListCentral;
using test::PeerFailures;
using test::ReadText;
using test::TempDir;
using test::Tree;
using test::TreeDiff;
using test::UnzipTree;
using test::WriteText;

/// Entry names in directory order.
std::vector<std::string> Names(const std::string& archive) {
  std::vector<std::string> names;
  for (const test::ListedEntry& e : ListCentral(archive)) names.push_back(e.name);
  return names;
}

/// Entry names in name order: a folder's files are found in the order the
/// file system lists them.
std::vector<std::string> SortedNames(const std::string& archive) {
  std::vector<std::string> names = Names(archive);
  std::sort(names.begin(), names.end());
  return names;
}

class WriterUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteText(dir / "src/a.txt", test::Text(30000, 1));
    WriteText(dir / "src/b.txt", test::Text(20000, 2));
    WriteText(dir / "src/sub/c.txt", test::Text(10000, 3));
    std::filesystem::create_directories(dir / "tmp");
    archive = dir / "backup.zip";
    TZip zip;
    Configure(zip);
    ASSERT_EQ(zip.Compress(), 3);
    rec.reports.clear();
    before = ReadText(archive);
  }

  void Configure(TZip& zip) {
    rec.Attach(zip);
    zip.SetArchiveFile(archive);
    zip.SetFileSpec({dir / "src/*"});
    zip.SetTempDir(dir / "tmp");
    zip.SetDeleteOptions(doFinal);
  }

  /// Changes a file's content and gives it a later date.
  void Change(const std::string& path, const std::string& content) {
    WriteText(path, content);
    test::SetMtime(path, 1900000000);
  }

  bool Untouched() const { return ReadText(archive) == before; }
  bool NoTemporaryFilesLeft() const { return std::filesystem::is_empty(dir / "tmp"); }

  TempDir dir;
  std::string archive;
  std::string before;
  test::Recorder rec;
};

TEST_F(WriterUpdate, AddingToAnArchiveKeepsItsEntries) {
  WriteText(dir / "src/d.txt", test::Text(5000, 4));
  TZip zip;
  Configure(zip);
  zip.OnRenameDupeFile = [](TObject*, const std::string&, std::string&, bool& rename) {
    rename = false;
  };
  EXPECT_EQ(zip.Compress(), 1);
  EXPECT_TRUE(rec.reports.empty());
  const std::vector<std::string> names = Names(archive);
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names.back(), "d.txt");
  EXPECT_EQ(PeerFailures(archive), "");
  EXPECT_EQ(TreeDiff(UnzipTree(archive, dir / "out"), Tree(dir / "src")), "");
}

TEST_F(WriterUpdate, FileAlreadyThereWithoutHandlersLeavesTheArchiveAlone) {
  // Unchanged: the only question is whether to rename the old entry.
  {
    TZip zip;
    Configure(zip);
    zip.SetFileSpec({dir / "src/a.txt"});
    EXPECT_EQ(zip.Compress(), 0);
    EXPECT_EQ(rec.Count(ec::RequiredEvent), 1);
    EXPECT_EQ(rec.reports.at(0).ext, "OnRenameDupeFile");
    EXPECT_EQ(rec.Count(ec::NothingToDo), 0);
    EXPECT_TRUE(Untouched());
  }
  // Changed: first whether to replace it, then whether to rename.
  rec.reports.clear();
  Change(dir / "src/a.txt", "new content");
  TZip zip;
  Configure(zip);
  zip.SetFileSpec({dir / "src/a.txt"});
  EXPECT_EQ(zip.Compress(), 0);
  ASSERT_EQ(rec.Count(ec::RequiredEvent), 2);
  EXPECT_EQ(rec.reports.at(0).ext, "OnReplaceFile");
  EXPECT_EQ(rec.reports.at(0).file, "a.txt");
  EXPECT_EQ(rec.reports.at(1).ext, "OnRenameDupeFile");
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(NoTemporaryFilesLeft());
}

TEST_F(WriterUpdate, ReplacedAndRenamedEntries) {
  Change(dir / "src/a.txt", test::Text(7000, 40));
  Change(dir / "src/b.txt", test::Text(8000, 50));
  const std::string old_b = ReadText(dir / "src/b.txt");
  TZip zip;
  Configure(zip);
  zip.SetFileSpec({dir / "src/a.txt", dir / "src/b.txt"});
  std::vector<std::string> asked;
  zip.OnReplaceFile = [&](TObject*, const std::string& name, const std::string& path, TDateTime,
                          TDateTime, int64_t size, int64_t new_size, int32_t, int32_t,
                          bool& replace) {
    asked.push_back(name);
    EXPECT_EQ(path, dir / ("src/" + name));
    if (name == "a.txt") {
      EXPECT_EQ(size, 30000);
      EXPECT_EQ(new_size, 7000);
    }
    replace = name == "a.txt";
  };
  zip.OnRenameDupeFile = [](TObject*, const std::string& name, std::string& new_name,
                            bool& rename) {
    EXPECT_EQ(name, "b.txt");
    // The first answer is taken; then a free one.
    new_name = new_name.empty() ? "a.txt" : "b_old.txt";
    rename = true;
  };
  EXPECT_EQ(zip.Compress(), 2);
  std::sort(asked.begin(), asked.end());
  EXPECT_EQ(asked, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(SortedNames(archive),
            (std::vector<std::string>{"a.txt", "b.txt", "b_old.txt", "sub/c.txt"}));
  EXPECT_EQ(PeerFailures(archive), "");
  const auto out = UnzipTree(archive, dir / "out");
  EXPECT_EQ(out.at("a.txt"), test::Text(7000, 40));
  EXPECT_EQ(out.at("b.txt"), test::Text(8000, 50));
  EXPECT_EQ(out.at("b_old.txt"), test::Text(20000, 2));
}

TEST_F(WriterUpdate, RefreshRecompressesChangedEntriesInPlace) {
  const std::vector<std::string> order = Names(archive);
  Change(dir / "src/b.txt", test::Text(9000, 60));
  WriteText(dir / "src/new.txt", "not taken by a refresh");
  TZip zip;
  Configure(zip);
  zip.SetSwitch(swRefresh);
  EXPECT_EQ(zip.Compress(), 1);
  EXPECT_TRUE(rec.reports.empty());
  EXPECT_EQ(Names(archive), order);
  EXPECT_EQ(PeerFailures(archive), "");
  const auto out = UnzipTree(archive, dir / "out");
  EXPECT_EQ(out.at("b.txt"), test::Text(9000, 60));
  EXPECT_EQ(out.at("a.txt"), test::Text(30000, 1));
}

TEST_F(WriterUpdate, MoveErasesTheSourcesOnlyOnceTheArchiveIsInPlace) {
  WriteText(dir / "more/m1.txt", "first");
  WriteText(dir / "more/m2.txt", "second");
  {
    TZip zip;
    Configure(zip);
    zip.SetFileSpec({dir / "more/*"});
    zip.SetSwitch(swMove);
    zip.SetVerifyBeforeDelete(true);
    EXPECT_EQ(zip.Compress(), 2);
    EXPECT_TRUE(std::filesystem::exists(dir / "more/m1.txt"));
  }
  WriteText(dir / "more/m3.txt", "third");
  TZip zip;
  Configure(zip);
  zip.SetFileSpec({dir / "more/m3.txt"});
  zip.SetSwitch(swMove);
  std::vector<std::string> events;
  zip.OnTmpFileMoveEnd = [&](TObject*) { events.push_back("moved"); };
  zip.OnDeactivate = [&](TObject*) { events.push_back("deactivate"); };
  zip.OnDeleteFile = [&](TObject*, const std::string& name, int32_t count, int32_t max) {
    EXPECT_TRUE(std::filesystem::exists(archive));
    events.push_back("erased " + name + " " + std::to_string(count) + "/" + std::to_string(max));
  };
  EXPECT_EQ(zip.Compress(), 1);
  EXPECT_EQ(events, (std::vector<std::string>{"moved", "deactivate",
                                              "erased " + (dir / "more/m3.txt") + " 0/1"}));
  EXPECT_FALSE(std::filesystem::exists(dir / "more/m3.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "more/m1.txt"));
  EXPECT_EQ(PeerFailures(archive), "");
  EXPECT_EQ(UnzipTree(archive, dir / "out").at("m3.txt"), "third");
}

TEST_F(WriterUpdate, QuestionsOnTheWayIn) {
  WriteText(dir / "in/keep.txt", "kept");
  WriteText(dir / "in/skip.txt", "skipped by OnBegin");
  WriteText(dir / "in/rename.txt", "renamed");
  WriteText(dir / "in/x.tmp", "excluded");
  WriteText(dir / "in/y.bak", "on the skip list");
  TZip zip;
  Configure(zip);
  zip.SetFileSpec({dir / "in/*"});
  zip.SetExcludeSpec({"*.tmp"});
  zip.SkipExtList().push_back(".bak");
  std::vector<std::string> skipped;
  zip.OnSkipFile = [&](TObject*, const std::string& path) { skipped.push_back(path); };
  zip.OnBegin = [](TObject*, const std::string& name, int32_t count, bool& take) {
    EXPECT_GE(count, 1);
    take = name != "skip.txt";
  };
  int renames = 0;
  zip.OnRenameFile = [&](TObject*, const std::string& name, std::string& new_name) {
    EXPECT_EQ(new_name, "");
    // A name already in the archive asks again; the second answer is free.
    if (name == "rename.txt") new_name = ++renames == 1 ? "a.txt" : "other.txt";
  };
  int ends = 0;
  zip.OnEnd = [&](TObject*, const std::string&, bool crc_pass) {
    EXPECT_TRUE(crc_pass);
    ++ends;
  };
  EXPECT_EQ(zip.Compress(), 2);
  EXPECT_EQ(skipped, (std::vector<std::string>{dir / "in/y.bak"}));
  EXPECT_EQ(ends, 2);
  EXPECT_EQ(renames, 2);
  EXPECT_EQ(SortedNames(archive),
            (std::vector<std::string>{"a.txt", "b.txt", "keep.txt", "other.txt", "sub/c.txt"}));
  EXPECT_EQ(UnzipTree(archive, dir / "out").at("other.txt"), "renamed");
}

TEST_F(WriterUpdate, RenameQuestionsEndWhenEveryAnswerIsTaken) {
  // A handler that only ever offers a name the archive holds is asked again a
  // bounded number of times, the same for both questions; the name stays.
  int dupe_questions = 0;
  {
    TZip zip;
    Configure(zip);
    zip.SetFileSpec({dir / "src/a.txt"});
    zip.OnRenameDupeFile = [&](TObject*, const std::string&, std::string& new_name, bool& rename) {
      ++dupe_questions;
      new_name = "b.txt";
      rename = true;
    };
    EXPECT_EQ(zip.Compress(), 0);
    EXPECT_TRUE(Untouched());
  }
  WriteText(dir / "src/d.txt", "new");
  int file_questions = 0;
  TZip zip;
  Configure(zip);
  zip.SetFileSpec({dir / "src/d.txt"});
  zip.OnRenameFile = [&](TObject*, const std::string&, std::string& new_name) {
    ++file_questions;
    new_name = "b.txt";
  };
  EXPECT_EQ(zip.Compress(), 1);
  EXPECT_EQ(Names(archive).back(), "d.txt");
  EXPECT_GT(file_questions, 1);
  EXPECT_EQ(file_questions, dupe_questions);
}

TEST_F(WriterUpdate, DeleteByMaskDownToTheEmptyArchive) {
  {
    TZip zip;
    Configure(zip);
    zip.SetSwitch(swDelete);
    zip.SetFileSpec({"sub/c.txt"});
    std::vector<std::string> deleted;
    zip.OnDeleteFile = [&](TObject*, const std::string& name, int32_t count, int32_t max) {
      deleted.push_back(name + " " + std::to_string(count) + "/" + std::to_string(max));
    };
    EXPECT_EQ(zip.Compress(), 1);
    EXPECT_EQ(deleted, (std::vector<std::string>{"sub/c.txt 1/1"}));
    EXPECT_EQ(SortedNames(archive), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(PeerFailures(archive), "");
  }
  TZip zip;
  Configure(zip);
  zip.SetSwitch(swDelete);
  zip.SetFileSpec({"*"});
  EXPECT_EQ(zip.Compress(), 2);
  EXPECT_EQ(ReadText(archive), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  EXPECT_EQ(test::Run("7z t " + test::Quote(archive)).status, 0);
  EXPECT_EQ(test::Run("python3 -m zipfile -t " + test::Quote(archive)).status, 0);
  const test::ToolResult unzip = test::Run("unzip -t " + test::Quote(archive));
  EXPECT_NE(unzip.output.find("zipfile is empty"), std::string::npos) << unzip.output;

  // Files can be added to the empty archive again.
  TZip again;
  Configure(again);
  again.SetFileSpec({dir / "src/a.txt"});
  EXPECT_EQ(again.Compress(), 1);
  EXPECT_EQ(Names(archive), (std::vector<std::string>{"a.txt"}));

  // Nothing can be deleted from an archive that is not there.
  rec.reports.clear();
  TZip missing;
  Configure(missing);
  missing.SetArchiveFile(dir / "missing.zip");
  missing.SetSwitch(swDelete);
  missing.SetFileSpec({"*"});
  EXPECT_EQ(missing.Compress(), 0);
  EXPECT_EQ(rec.Count(ec::NothingToDelete), 1);
}

TEST_F(WriterUpdate, KeptEntriesCopiedAlikeWhereverTheNewArchiveIsBuilt) {
  // The entries before and after a deleted one are copied in blocks: inside
  // the kernel beside the archive, through the streams from a temporary
  // folder on another file system (where there is one) or into memory.
  struct Route {
    const char* name;
    TCompressionMethod method;
    std::string tempDir;
  };
  const std::vector<Route> routes = {{"beside", cmTempFile, dir / "tmp"},
                                     {"other file system", cmTempFile, "/dev/shm"},
                                     {"memory", cmInMemory, dir / "tmp"}};
  std::string first;
  for (const Route& route : routes) {
    if (!std::filesystem::is_directory(route.tempDir)) continue;
    WriteText(archive, before);
    TZip zip;
    Configure(zip);
    zip.SetCompressionMethod(route.method);
    zip.SetTempDir(route.tempDir);
    zip.SetSwitch(swDelete);
    zip.SetFileSpec({Names(archive)[1]});
    EXPECT_EQ(zip.Compress(), 1) << route.name;
    const std::string after = ReadText(archive);
    if (first.empty()) first = after;
    EXPECT_EQ(after, first) << route.name;
    EXPECT_EQ(Names(archive).size(), 2u) << route.name;
  }
  EXPECT_EQ(PeerFailures(archive), "");
}

TEST_F(WriterUpdate, ArchiveNamesAndFolders) {
  TZip zip;
  Configure(zip);
  zip.SetArchiveFile(dir / "backup");
  EXPECT_EQ(zip.ArchiveFile(), dir / "backup.ZIP");
  EXPECT_EQ(zip.Compress(), 3);
  EXPECT_TRUE(std::filesystem::exists(dir / "backup.ZIP"));

  for (const std::string& name : {std::string("bare.zip"), dir / "no/such/folder/x.zip"}) {
    rec.reports.clear();
    zip.SetArchiveFile(name);
    EXPECT_EQ(zip.Compress(), 0) << name;
    ASSERT_EQ(rec.Count(ec::InvalidDirectory), 1) << name;
  }
  EXPECT_EQ(rec.reports.at(0).file, dir / "no/such/folder/");

  // Names relative to a default directory need one.
  rec.reports.clear();
  zip.SetArchiveFile(dir / "backup.zip");
  zip.SetStoredDirNames(sdExplorer_UserDefineDefaultDir);
  EXPECT_EQ(zip.Compress(), 0);
  ASSERT_EQ(rec.Count(ec::RequiredProperty), 1);
  EXPECT_EQ(rec.reports.at(0).ext, "DefaultDir");
}

TEST_F(WriterUpdate, NewestDateAndEmptyFiles) {
  WriteText(dir / "dated/old.txt", "old");
  WriteText(dir / "dated/new.txt", "new");
  WriteText(dir / "dated/empty.txt", "");
  test::SetMtime(dir / "dated/old.txt", 1000000000);
  test::SetMtime(dir / "dated/new.txt", 1500000000);
  test::SetMtime(dir / "dated/empty.txt", 1200000000);
  TZip zip;
  Configure(zip);
  zip.SetArchiveFile(dir / "dated.zip");
  zip.SetFileSpec({dir / "dated/*"});
  zip.SetDateAttribute(daMaxFileDate);
  zip.SetPassword("pw");
  EXPECT_EQ(zip.Compress(), 3);
  const std::vector<test::ListedEntry> entries = ListCentral(dir / "dated.zip");
  ASSERT_EQ(entries.size(), 3u);
  for (const test::ListedEntry& e : entries) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(e.header.dosDateTime, entries[0].header.dosDateTime);
    if (e.name == "empty.txt") {
      EXPECT_EQ(e.header.method, 0);
      EXPECT_EQ(e.header.flags, 0);
      EXPECT_EQ(e.header.crc32, 0u);
      EXPECT_EQ(e.extent.compressedSize, 0u);
    } else {
      EXPECT_EQ(e.header.flags & 1, 1);
    }
  }
  EXPECT_EQ(PeerFailures(dir / "dated.zip", "pw"), "");
}

TEST_F(WriterUpdate, CancelledUpdateLeavesTheArchiveByteIdentical) {
  WriteText(dir / "src/big.bin", test::RandomBytes(3 << 20, 5));
  TZip zip;
  Configure(zip);
  zip.OnRenameDupeFile = [](TObject*, const std::string&, std::string&, bool& rename) {
    rename = false;
  };
  zip.OnProgress = [&](TObject*, uint8_t by_file, uint8_t) {
    if (by_file > 10) zip.SetCancel(true);
  };
  std::vector<std::string> events;
  zip.OnActivate = [&](TObject*) { events.push_back("activate"); };
  zip.OnDeactivate = [&](TObject*) { events.push_back("deactivate"); };
  zip.OnElapsedTime = [&](TObject*, float) { events.push_back("elapsed"); };
  EXPECT_EQ(zip.Compress(), 0);
  EXPECT_GE(rec.Count(ec::UserCanceled), 1);
  EXPECT_EQ(events, (std::vector<std::string>{"activate", "deactivate", "elapsed"}));
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(NoTemporaryFilesLeft());
}

TEST_F(WriterUpdate, FailedWriteLeavesTheArchiveByteIdentical) {
  WriteText(dir / "src/big.bin", test::RandomBytes(1 << 20, 6));
  TZip zip;
  Configure(zip);
  zip.OnRenameDupeFile = [](TObject*, const std::string&, std::string&, bool& rename) {
    rename = false;
  };
  // Files may not grow beyond 256 KiB while the update runs: the temporary
  // archive cannot be written in full.
  struct rlimit saved {};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 256 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  const int32_t result = zip.Compress();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(result, 0);
  // The file grew beyond the limit: said as such, not as a plain write error.
  EXPECT_EQ(rec.Count(ec::FileSizeExceedsOs), 1);
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(NoTemporaryFilesLeft());
}

TEST_F(WriterUpdate, ArchivesThatMayNotBeReplaced) {
  // Read-only: the application decides.
  std::filesystem::permissions(archive, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  WriteText(dir / "src/d.txt", "d");
  {
    TZip zip;
    Configure(zip);
    EXPECT_EQ(zip.Compress(), 0);
    ASSERT_EQ(rec.Count(ec::RequiredEvent), 1);
    EXPECT_EQ(rec.reports.at(0).ext, "OnNonWriteableArchive");
    EXPECT_TRUE(Untouched());
  }
  {
    TZip zip;
    Configure(zip);
    zip.OnNonWriteableArchive = [](TObject*, const std::string&, bool& write) { write = true; };
    zip.OnRenameDupeFile = [](TObject*, const std::string&, std::string&, bool& rename) {
      rename = false;
    };
    EXPECT_EQ(zip.Compress(), 1);
  }
  // Not a ZIP archive at all: never replaced by one.
  rec.reports.clear();
  WriteText(dir / "notes.txt", "a text file, not an archive");
  TZip zip;
  Configure(zip);
  zip.SetArchiveFile(dir / "notes.txt");
  EXPECT_EQ(zip.Compress(), 0);
  EXPECT_EQ(rec.Count(ec::UnsupportedArchiveType), 1);
  EXPECT_EQ(ReadText(dir / "notes.txt"), "a text file, not an archive");
}

TEST_F(WriterUpdate, ReadSwitchReportsEachEntry) {
  TZip zip;
  Configure(zip);
  zip.SetSwitch(swRead);
  EXPECT_EQ(zip.Compress(), 0);
  ASSERT_EQ(rec.Count(ec::RequiredEvent), 1);
  EXPECT_EQ(rec.reports.at(0).ext, "OnRead");
  std::vector<int32_t> numbers;
  int32_t last = 0;
  zip.OnRead = [&](TObject*, int32_t offset, int32_t number) {
    EXPECT_GT(offset, last);
    last = offset;
    numbers.push_back(number);
  };
  EXPECT_EQ(zip.Compress(), 0);
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_TRUE(Untouched());
}

TEST_F(WriterUpdate, ArchivesOfOtherToolsWithDataDescriptors) {
  // Python writes sizes after the data when its output cannot seek, and a
  // Zip64 block where asked; both must survive the copy.
  const std::string other = dir / "other.zip";
  const test::ToolResult made = test::Run(
      "python3 -c " +
      test::Quote("import sys, zipfile\n"
                  "z = zipfile.ZipFile(sys.stdout.buffer, 'w', zipfile.ZIP_DEFLATED)\n"
                  "with z.open('streamed.txt', 'w', force_zip64=True) as f: f.write(b'x' * 5000)\n"
                  "z.writestr('plain.txt', 'plain text')\n"
                  "z.close()") +
      " | cat > " + test::Quote(other));
  ASSERT_EQ(made.status, 0) << made.output;
  TZip zip;
  Configure(zip);
  zip.SetArchiveFile(other);
  zip.SetFileSpec({dir / "src/b.txt"});
  EXPECT_EQ(zip.Compress(), 1);
  EXPECT_EQ(PeerFailures(other), "");
  for (const test::ListedEntry& e : ListCentral(other)) {
    if (e.name != "b.txt") {
      EXPECT_EQ(e.header.flags & 8, 8) << e.name;
    }
  }
  // A reader that walks the local headers in order needs the descriptors.
  const test::ToolResult stream = test::Run("bsdtar -xOf - < " + test::Quote(other) + " | wc -c");
  EXPECT_EQ(stream.output, "25010\n") << stream.output;
}

TEST_F(WriterUpdate, EncipheredHeadersSurviveAnUpdate) {
  TZip zip;
  Configure(zip);
  zip.SetArchiveFile(dir / "hidden.zip");
  zip.SetEncryptHeaders(true);
  EXPECT_EQ(zip.Compress(), 3);
  const std::string bytes = ReadText(dir / "hidden.zip");
  EXPECT_EQ(bytes.substr(0, 4), "PL\x03\x04");
  EXPECT_EQ(bytes.find("a.txt"), std::string::npos);
  // Our own records read them back; an update copies and renames them.
  zip.SetFileSpec({dir / "src/a.txt"});
  zip.OnRenameDupeFile = [](TObject*, const std::string&, std::string& new_name, bool& rename) {
    new_name = "a_before.txt";
    rename = true;
  };
  EXPECT_EQ(zip.Compress(), 1);
  EXPECT_EQ(SortedNames(dir / "hidden.zip"),
            (std::vector<std::string>{"a.txt", "a_before.txt", "b.txt", "sub/c.txt"}));
}

TEST_F(WriterUpdate, CommentsAreEditedWithoutTouchingTheEntries) {
  TZip zip;
  Configure(zip);
  ASSERT_EQ(zip.OpenForComments(), 3);
  ZipEntryInfo entry;
  std::string comment;
  const std::vector<std::string> order = Names(archive);
  const auto b =
      static_cast<int32_t>(std::find(order.begin(), order.end(), "b.txt") - order.begin());
  ASSERT_TRUE(zip.GetFileComment(b, entry, comment));
  EXPECT_EQ(entry.name, "b.txt");
  EXPECT_EQ(comment, "");
  EXPECT_FALSE(zip.GetFileComment(3, entry, comment));
  EXPECT_EQ(entry.name, "");
  zip.SetFileComment(b, "second file");
  zip.SetArchiveComment("monthly backup");
  EXPECT_TRUE(zip.SaveComments());
  EXPECT_EQ(PeerFailures(archive), "");
  EXPECT_NE(test::Run("unzip -z " + test::Quote(archive)).output.find("monthly backup"),
            std::string::npos);
  const test::ToolResult listed = test::Run(
      "python3 -c " +
      test::Quote(
          "import sys, zipfile\nprint(zipfile.ZipFile(sys.argv[1]).getinfo('b.txt').comment)") +
      " " + test::Quote(archive));
  EXPECT_EQ(listed.output, "b'second file'\n");
  // The data before the directory is the old archive's, byte for byte.
  const std::string after = ReadText(archive);
  const size_t directory = before.find("PK\x01\x02");
  EXPECT_EQ(after.substr(0, directory), before.substr(0, directory));

  // Nothing changed: nothing written.
  ASSERT_EQ(zip.OpenForComments(), 3);
  EXPECT_FALSE(zip.SaveComments());
  // Later updates keep the archive comment.
  WriteText(dir / "src/d.txt", "d");
  zip.SetFileSpec({dir / "src/d.txt"});
  EXPECT_EQ(zip.Compress(), 1);
  EXPECT_NE(test::Run("unzip -z " + test::Quote(archive)).output.find("monthly backup"),
            std::string::npos);
  // So do a delete of every entry and an add to what it left.
  zip.SetSwitch(swDelete);
  zip.SetFileSpec({"*"});
  EXPECT_EQ(zip.Compress(), 4);
  zip.SetSwitch(swAdd);
  zip.SetFileSpec({dir / "src/d.txt"});
  EXPECT_NE(test::Run("unzip -z " + test::Quote(archive)).output.find("monthly backup"),
            std::string::npos);
  EXPECT_EQ(zip.Compress(), 1);
  EXPECT_NE(test::Run("unzip -z " + test::Quote(archive)).output.find("monthly backup"),
            std::string::npos);
}

}  // namespace
}  // namespace arc
