//===-- tests/zip/integrity_test.cpp - Nothing lost, nothing claimed ------===//
//
// The writer against data that is not quite what it expects: archives that
// other tools made on Unix, names that are not UTF-8, files that change
// while they are read, modes and text, and moves into place that fail.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include <arc/support/error_codes.h>
#include "zip_test_util.h"

namespace arc {
namespace {

namespace fs = std::filesystem;

using test::Have;
using test::ListCentral;
using test::PeerFailures;
using test::ReadText;
using test::TempDir;
using test::WriteText;

/// A writer of `archive` from the files FileSpec selects, every report
/// recorded.
struct Writer {
  Writer(const std::string& archive, const std::vector<std::string>& spec) {
    rec.Attach(zip);
    zip.SetArchiveFile(archive);
    zip.SetFileSpec(spec);
    zip.SetDeleteOptions(doFinal);
  }
  TZip zip;
  test::Recorder rec;
};

void SetMode(const std::string& path, mode_t mode) { ::chmod(path.c_str(), mode); }

TEST(WriterChangeTest, UnchangedEntriesOfOtherToolsAreLeftAsTheyAre) {
  // Unix hosts: the mode in the high half of the external attributes, 0 in
  // the DOS byte. Info-ZIP rounds an odd second up (without -X it adds the
  // exact time too), Python down.
  const std::pair<const char*, const char*> makers[] = {
      {"zip", "cd src && zip -q ../old.zip a.txt run.sh"},
      {"zip", "cd src && zip -q -X ../old.zip a.txt run.sh"},
      {"python3",
       "python3 -c 'import zipfile\n"
       "with zipfile.ZipFile(\"old.zip\", \"w\", zipfile.ZIP_DEFLATED) as z:\n"
       "    [z.write(\"src/\" + n, n) for n in (\"a.txt\", \"run.sh\")]'"},
  };
  for (const auto& [tool, command] : makers) {
    SCOPED_TRACE(command);
    if (!Have(tool)) continue;
    TempDir dir;
    WriteText(dir / "src/a.txt", test::Text(3000, 1));
    WriteText(dir / "src/run.sh", "#!/bin/sh\necho hello\n");
    SetMode(dir / "src/run.sh", 0755);
    for (const char* f : {"src/a.txt", "src/run.sh"}) test::SetMtime(dir / f, 1700000001);
    const std::string archive = dir / "old.zip";
    ASSERT_EQ(test::Run("cd " + test::Quote(dir.path()) + " && " + command).status, 0);
    const std::string before = ReadText(archive);

    Writer add(archive, {dir / "src/*"});
    int replaced = 0;
    add.zip.OnReplaceFile = [&](TObject*, const std::string&, const std::string&, TDateTime,
                                TDateTime, int64_t, int64_t, int32_t, int32_t, bool& replace) {
      ++replaced;
      replace = true;
    };
    add.zip.OnRenameDupeFile = [](TObject*, const std::string&, std::string&, bool& rename) {
      rename = false;
    };
    EXPECT_EQ(add.zip.Compress(), 0);
    EXPECT_EQ(replaced, 0);
    EXPECT_TRUE(ReadText(archive) == before);

    Writer refresh(archive, {dir / "src/*"});
    refresh.zip.SetSwitch(swRefresh);
    EXPECT_EQ(refresh.zip.Compress(), 0);
    EXPECT_EQ(refresh.rec.Count(ec::NothingToDo), 1);
    EXPECT_TRUE(ReadText(archive) == before);
  }
}

TEST(WriterNames, StoredAsTheFileSystemHoldsThem) {
  struct Row {
    std::string name;
    bool utf8;
  };
  const Row rows[] = {
      {"caf\xe9.txt", false},                  // Latin-1: no UTF-8, so not marked so
      {"back\\slash.txt", false},              // a backslash is a character here
      {"\xd8\xb3\xd9\x86\xd8\xaf.txt", true},  // UTF-8 that CP437 cannot hold
  };
  TempDir dir;
  for (const Row& r : rows) WriteText(dir / ("src/" + r.name), r.name);
  const std::string archive = dir / "names.zip";
  Writer w(archive, {dir / "src/*"});
  ASSERT_EQ(w.zip.Compress(), 3);
  std::map<std::string, uint16_t> flags;
  for (const test::ListedEntry& e : ListCentral(archive)) flags[e.name] = e.header.flags;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ASSERT_EQ(flags.count(r.name), 1u);
    EXPECT_EQ((flags[r.name] & kFlagUtf8Name) != 0, r.utf8);
  }
  if (Have("python3")) {
    EXPECT_EQ(test::Run("python3 -m zipfile -l " + test::Quote(archive)).status, 0);
  }

  // Added again, each file is found under the name it was stored with.
  const std::string before = ReadText(archive);
  Writer again(archive, {dir / "src/*"});
  again.zip.OnRenameDupeFile = [](TObject*, const std::string&, std::string&, bool& rename) {
    rename = false;
  };
  EXPECT_EQ(again.zip.Compress(), 0);
  EXPECT_TRUE(ReadText(archive) == before);
}

TEST(WriterSources, FileThatChangesWhileItIsReadGivesASoundEntryAndAReport) {
  enum class When { Begin, FirstPump, FirstProgress };
  enum class Change { Append, Rewrite, Truncate, Remove };
  struct Row {
    const char* name;
    bool encrypt;
    When when;
    Change change;
    bool written;
    int32_t code;
  };
  const Row rows[] = {
      {"grows during the CRC pass", true, When::FirstPump, Change::Append, true,
       ec::FileSizeDifferent},
      {"changes between the CRC pass and the data", true, When::FirstProgress, Change::Rewrite,
       true, ec::FileSizeDifferent},
      {"grows while deflated", false, When::FirstProgress, Change::Append, true,
       ec::FileSizeDifferent},
      {"shrinks while read", false, When::FirstPump, Change::Truncate, false,
       ec::FileSizeDifferent},
      {"vanishes before it is opened", false, When::Begin, Change::Remove, false, ec::OpenError},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    TempDir dir;
    const std::string target = dir / "src/a.txt";
    WriteText(target, test::Text(300000, 1));
    WriteText(dir / "src/b.txt", test::Text(5000, 2));
    const std::string archive = dir / "changing.zip";
    Writer w(archive, {dir / "src/*"});
    const std::string password = r.encrypt ? "pw" : "";
    w.zip.SetPassword(password);

    bool armed = false;
    auto change = [&](When when) {
      if (!armed || when != r.when) return;
      armed = false;
      switch (r.change) {
        case Change::Append:
          std::ofstream(target, std::ios::app) << test::Text(7000, 3);
          break;
        case Change::Rewrite:
          WriteText(target, test::Text(300000, 4));
          break;
        case Change::Truncate:
          fs::resize_file(target, 1000);
          break;
        case Change::Remove:
          fs::remove(target);
          break;
      }
    };
    int begins = 0;
    int ends = 0;  // OnEnd follows every OnBegin, also of an entry not written
    w.zip.OnBegin = [&](TObject*, const std::string& name, int32_t, bool&) {
      ++begins;
      armed = name == "a.txt";
      change(When::Begin);
    };
    w.zip.OnEnd = [&](TObject*, const std::string&, bool) { ++ends; };
    w.zip.dialogs.processMessages = [&] { change(When::FirstPump); };
    w.zip.OnProgress = [&](TObject*, uint8_t, uint8_t) { change(When::FirstProgress); };

    EXPECT_EQ(w.zip.Compress(), r.written ? 2 : 1);
    EXPECT_TRUE(begins == 2 && ends == 2) << begins << " " << ends;
    EXPECT_TRUE(w.rec.reports.size() == 1 && w.rec.Count(r.code) == 1);
    EXPECT_EQ(ListCentral(archive).size(), r.written ? 2u : 1u);
    EXPECT_EQ(PeerFailures(archive, password), "");
  }
}

TEST(WriterEntries, ModesTextMarksAndStoringWhatDeflatingEnlarges) {
  struct Row {
    const char* name;
    std::string content;
    mode_t mode;
    bool text;
    uint16_t method;
  };
  std::string shell;
  for (int i = 0; i < 40; ++i) shell += "echo line " + std::to_string(i) + "\n";
  std::string table;
  for (int i = 0; i < 4000; ++i) table += static_cast<char>(i % 4);
  const Row rows[] = {
      {"run.sh", "#!/bin/sh\n" + shell, 0755, true, kMethodDeflated},
      {"table.bin", table, 0644, false, kMethodDeflated},
      {"noise.bin", test::RandomBytes(100000, 5), 0600, false, kMethodStored},
      {"frozen.txt", test::Text(2000, 6), 0444, true, kMethodDeflated},
  };
  for (const std::string password : {"", "pw"}) {
    SCOPED_TRACE(password);
    TempDir dir;
    for (const Row& r : rows) {
      WriteText(dir / ("src/" + std::string(r.name)), r.content);
      SetMode(dir / ("src/" + std::string(r.name)), r.mode);
    }
    const std::string archive = dir / "modes.zip";
    Writer w(archive, {dir / "src/*"});
    w.zip.SetPassword(password);
    ASSERT_EQ(w.zip.Compress(), 4);
    std::map<std::string, test::ListedEntry> entries;
    for (const test::ListedEntry& e : ListCentral(archive)) entries.emplace(e.name, e);
    for (const Row& r : rows) {
      SCOPED_TRACE(r.name);
      const test::ListedEntry& e = entries.at(r.name);
      EXPECT_EQ(e.header.versionMadeBy >> 8, 3);  // Unix
      EXPECT_EQ(e.header.externalAttributes >> 16, S_IFREG | r.mode);
      EXPECT_EQ(e.header.internalAttributes, r.text ? 1 : 0);
      EXPECT_EQ(e.header.method, r.method);
      if (r.method == kMethodStored) {
        EXPECT_EQ(e.extent.compressedSize, r.content.size() + (password.empty() ? 0 : 12));
      }
    }
    EXPECT_EQ(PeerFailures(archive, password), "");
    if (Have("unzip")) {
      test::UnzipTree(archive, dir / "out", password);
      struct stat st {};
      ASSERT_EQ(::stat((dir / "out/run.sh").c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0755u);
    }
  }
}

TEST(WriterArchiveFile, ArchiveThatCannotBeCreatedInItsFolderIsAnOpenError) {
  // As a user, not root: the folder of the new archive takes no new files.
  TempDir dir;
  for (const auto& [folder, mode] : {std::pair{"", 0777}, {"tmp", 0777}, {"locked", 0555}}) {
    fs::create_directories(dir / folder);
    SetMode(dir / folder, static_cast<mode_t>(mode));
  }
  WriteText(dir / "f.txt", "data");
  const int status = test::RunAsNobody([&] {
    Writer w(dir / "locked/new.zip", {dir / "f.txt"});
    w.zip.SetTempDir(dir / "tmp");
    if (w.zip.Compress() != 0 || w.rec.reports.size() != 1) return 1;
    return w.rec.reports[0].code == ec::OpenError ? 0 : 2;
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(fs::is_empty(dir / "tmp") && fs::is_empty(dir / "locked"));
}

TEST(WriterEvents, OnReadGivesOffsetsBeyondTwoGigabytes) {
  // An archive behind a 3 GiB hole: its directory lies beyond 32 bits.
  TempDir dir;
  WriteText(dir / "f.txt", "data");
  Writer w(dir / "small.zip", {dir / "f.txt"});
  ASSERT_EQ(w.zip.Compress(), 1);
  constexpr int64_t kHole = int64_t{3} << 30;
  std::ofstream(dir / "far.zip", std::ios::binary).seekp(kHole) << ReadText(dir / "small.zip");
  Writer reader(dir / "far.zip", {});
  reader.zip.SetSwitch(swRead);
  std::vector<int64_t> offsets;
  reader.zip.OnRead = [&](TObject*, int64_t offset, int32_t) { offsets.push_back(offset); };
  EXPECT_EQ(reader.zip.Compress(), 0);
  EXPECT_TRUE(offsets.size() == 1 && offsets[0] > kHole);
}

}  // namespace
}  // namespace arc
