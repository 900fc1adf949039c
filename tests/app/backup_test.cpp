// The backup, end to end: the embedded server, the writer, scripted dialogs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>

#include "app/headless.h"
#include "fake_connection.h"
#include "operation_fixture.h"

namespace app::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string kSaveDialog = "save dialog [*.Zip]";

class Backup : public OperationTest {
 protected:
  void BackupInto(const std::string& archive) {
    Dialogs().Pick(archive);
    Form().BitBtn1->click();
  }
  std::string EntriesOf(const std::string& archive) {
    return ShellOutput("unzip -Z1 " + Quoted(archive));
  }
  void ExpectBackToRest() {
    EXPECT_EQ(Form().GaugeShow1->Progress(), 0);
    EXPECT_EQ(Form().GaugeShow2->Progress(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
};

TEST_F(Backup, IntoANewArchiveHoldsTheServerBackupAsItsOnlyEntryAndCloses) {
  Form().SaveDialog1.FileName = "chosen before.zip";  // the dialog opens empty all the same
  const std::string before = Dump(Company());
  const std::string archive = files + "b.zip";
  BackupInto(archive);

  EXPECT_THAT(Dialogs().shown, ElementsAre(kSaveDialog, Shown("MsgForm2", 2, texts::kSuccess)));
  EXPECT_EQ(Form().Operations().LastOutcome(), TOutcome::Succeeded);
  EXPECT_FALSE(Form().isVisible());
  EXPECT_FALSE(fs::exists(WorkFile()));
  EXPECT_EQ(EntriesOf(archive), "Zelvo10\n");
  EXPECT_EQ(Shell("unzip -tq " + Quoted(archive) + " >/dev/null"), 0);  // CRC included
  ASSERT_EQ(Shell("unzip -p " + Quoted(archive) + " Zelvo10 > " + Quoted(files + "out")), 0);
  EXPECT_EQ(Dump(files + "out"), before);
  ExpectBackToRest();
}

TEST_F(Backup, ToAnExistingNameSaysSoTrashesTheWorkFileAndCloses) {
  const std::string archive = files + "b.zip";
  std::ofstream(archive) << "an older archive";
  const int trashed = TrashedCount("Zelvo10");
  int gaugeAtMessage = -1;
  Dialogs().onShow = [&](const std::string&) { gaugeAtMessage = Form().GaugeShow1->Progress(); };
  BackupInto(archive);

  EXPECT_THAT(Dialogs().shown,
              ElementsAre(kSaveDialog, Shown("MsgForm2", 3, texts::kDuplicateName)));
  EXPECT_EQ(gaugeAtMessage, 30);
  EXPECT_EQ(ReadFile(archive), "an older archive");
  EXPECT_FALSE(fs::exists(WorkFile()));
  EXPECT_EQ(TrashedCount("Zelvo10"), trashed + 1);
  EXPECT_FALSE(Form().isVisible());
  ExpectBackToRest();
}

TEST_F(Backup, ANameWithoutExtensionAddsToTheArchiveOfThatNameWithZip) {
  std::ofstream(files + "other.txt") << "kept";
  ASSERT_EQ(Shell("cd " + Quoted(files) + " && zip -q backup.zip other.txt"), 0);
  BackupInto(files + "backup");

  EXPECT_THAT(Dialogs().shown, ElementsAre(kSaveDialog, Shown("MsgForm2", 2, texts::kSuccess)));
  EXPECT_EQ(EntriesOf(files + "backup.zip"), "other.txt\nZelvo10\n");
  EXPECT_FALSE(fs::exists(files + "backup"));
}

// A run killed with kill -9 cleans nothing up: the writer's temporary archive
// (the archive library's temporary names begin with "arc") must lie in the
// data folder, where the next operation on the company sweeps it, not in the
// system's temporary folder.
TEST_F(Backup, WritersTemporaryArchiveLiesInTheDataFolderWhereTheNextRunSweepsIt) {
  std::set<std::string> building;
  Dialogs().onPump = [&] {
    std::error_code ec;  // the run removes files while they are listed
    for (const auto& entry : fs::recursive_directory_iterator(exeDir, ec)) {
      if (entry.path().filename().string().starts_with("arc")) {
        building.insert(entry.path().string());
      }
    }
  };
  BackupInto(files + "b.zip");
  ASSERT_FALSE(building.empty());
  for (const std::string& path : building) {
    EXPECT_FALSE(fs::exists(path)) << path;
    std::ofstream(path) << "left by a killed run";
  }
  const std::string foreign = fs::path(*building.begin()).parent_path() / "arc-notes.txt";
  std::ofstream(foreign) << "not the program's";

  Dialogs().onPump = {};
  Dialogs().Answer(msg::mrYes);
  Dialogs().Pick(files + "b.zip");
  Form().BitBtn2->click();
  EXPECT_EQ(Form().Operations().LastOutcome(), TOutcome::Succeeded);
  for (const std::string& path : building) EXPECT_FALSE(fs::exists(path)) << path;
  EXPECT_TRUE(fs::exists(foreign));
}

// The archive takes its name only once it has read back: until then the name
// holds what it held (nothing, or the archive the backup adds to), so a run
// killed in between leaves no unchecked archive under it. What a killed run
// left under the temporary name goes with the next backup into that folder.
TEST_F(Backup, TheArchiveTakesItsNameOnlyOnceItHasReadBack) {
  std::ofstream(files + "other.txt") << "kept";
  ASSERT_EQ(Shell("cd " + Quoted(files) + " && zip -q backup.zip other.txt"), 0);
  const std::set<std::string> known = {"other.txt", "backup.zip", "fresh.zip"};
  std::set<std::string> temporary;  // the other names seen beside the archive
  const std::pair<const char*, const char*> runs[] = {{"backup", "backup.zip"},
                                                      {"fresh.zip", "fresh.zip"}};
  for (const auto& [chosen, name] : runs) {
    const std::string archive = files + name;
    const std::string before = ReadFile(archive);
    bool early = false;
    Dialogs().onPump = [&] {
      early |= ReadFile(archive) != before;
      std::error_code ec;
      for (const auto& entry : fs::directory_iterator(files, ec)) {
        if (entry.is_regular_file(ec) && !known.contains(entry.path().filename().string())) {
          temporary.insert(entry.path().string());
        }
      }
    };
    BackupInto(files + chosen);
    EXPECT_FALSE(early) << archive << " changed before it read back";
    EXPECT_EQ(Shell("unzip -tq " + Quoted(archive) + " >/dev/null"), 0);
  }
  EXPECT_EQ(EntriesOf(files + "backup.zip"), "other.txt\nZelvo10\n");
  ASSERT_FALSE(temporary.empty());
  for (const std::string& path : temporary) {
    EXPECT_FALSE(fs::exists(path)) << path;
    std::ofstream(path) << "left by a killed run";
  }
  std::ofstream(files + "notes.txt") << "not the program's";
  Dialogs().onPump = {};
  BackupInto(files + "third.zip");
  for (const std::string& path : temporary) EXPECT_FALSE(fs::exists(path)) << path;
  EXPECT_TRUE(fs::exists(files + "notes.txt"));
}

TEST_F(Backup, FailingServerShowsTheEmptyMessageAndStaysOpen) {
  Form();
  fs::remove(Company());
  BackupInto(files + "b.zip");

  EXPECT_THAT(Dialogs().shown, ElementsAre(kSaveDialog, Shown("MsgForm2", 4, "")));
  EXPECT_EQ(Form().Operations().LastOutcome(), TOutcome::Failed);
  EXPECT_TRUE(Form().isVisible());
  EXPECT_FALSE(fs::exists(files + "b.zip"));
  ExpectBackToRest();
}

TEST_F(Backup, WriterThatWritesNothingReportsItsErrorAndKeepsTheWorkFile) {
  BackupInto(files + "no such folder/b.zip");

  EXPECT_THAT(Dialogs().shown,
              ElementsAre(kSaveDialog, std::string("box: ") + texts::kArchiveError));
  EXPECT_EQ(Form().Operations().LastOutcome(), TOutcome::Failed);
  EXPECT_TRUE(Form().isVisible());
  EXPECT_TRUE(fs::exists(WorkFile()));
  ExpectBackToRest();
}

TEST_F(Backup, ClicksWhileItRunsAreIgnored) {
  int pumps = 0;
  Dialogs().onPump = [&] {
    ++pumps;
    Form().BitBtn1->click();
    Form().BitBtn2->click();
  };
  BackupInto(files + "b.zip");
  EXPECT_GT(pumps, 0);
  EXPECT_THAT(Dialogs().shown, ElementsAre(kSaveDialog, Shown("MsgForm2", 2, texts::kSuccess)));
  EXPECT_EQ(EntriesOf(files + "b.zip"), "Zelvo10\n");
}

TEST_F(Backup, ServerWritesAFreshWorkFileIntoATempFolderMadeWhenMissing) {
  auto master = std::make_unique<AppendingServer>("master");
  master->rows = {{"1", "Zelvo10", "company", "", "1"}};
  AppendingServer& server = *master;
  FormOn({exeDir, std::move(master), std::make_unique<FakeConnection>("company")});
  std::vector<std::string> seen;
  server.onCommand = [&](const std::string& command) {
    if (!command.starts_with("BACKUP")) return;
    const fs::path file = AppendingServer::Device(command);
    seen.push_back(std::to_string(form->GaugeShow1->Progress()) +
                   (fs::is_directory(file.parent_path()) ? " folder" : " no folder") +
                   (fs::exists(file) ? " leftover" : " fresh"));
  };
  BackupInto(files + "first.zip");  // a fresh installation: no Temp/
  fs::create_directories(exeDir + "Temp");
  std::ofstream(WorkFile()) << "an older backup set\n";
  BackupInto(files + "second.zip");

  EXPECT_THAT(seen, ElementsAre("10 folder fresh", "10 folder fresh"));
}

TEST_F(Backup, ADatabaseNameLeavingTempIsRefusedByBothOperations) {
  std::vector<std::string> log;
  auto master = std::make_unique<FakeConnection>("master", &log);
  master->rows = {{"1", "../Data/master.db", "company", "", "1"}};
  FormOn({exeDir, std::move(master), std::make_unique<FakeConnection>("company", &log)});
  fs::create_directories(DataDir());
  std::ofstream(DataDir() + "master.db") << "keep";

  BackupInto(files + "b.zip");
  EXPECT_EQ(Dialogs().shown.back(), Shown("MsgForm2", 4, ""));
  Dialogs().Answer(msg::mrYes);
  Dialogs().Pick(files + "b.zip");
  Form().BitBtn2->click();
  EXPECT_EQ(Dialogs().shown.back(),
            Shown("MsgForm2", 3,
                  std::string(texts::kProbablyInUse) +
                      " / The database name '../Data/master.db' cannot name a file in Temp."));

  EXPECT_EQ(ReadFile(DataDir() + "master.db"), "keep");
  EXPECT_THAT(log, ElementsAre("open master", "read Alias_Zelvo"));  // no command reached it
}

// A backup counts only once it reads back: the server checks its work file
// before it is packed, and the reader tests every entry of the archive.
TEST_F(Backup, ThatDoesNotReadBackFailsAndLeavesNoArchiveUnderItsName) {
  EnsureSampleData(DataDir());
  // A page of the company's file that SQLite copies as it is and its check
  // then finds broken: the root page of VoucherItems loses its page type.
  int64_t root = 0, pageSize = 0;
  {
    TSqliteDb db = OpenSqlite(Company(), SQLITE_OPEN_READONLY);
    TSqliteStatement q = PrepareSqlite(
        db.get(),
        "SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM sqlite_master "
        "WHERE name = 'VoucherItems'");
    ASSERT_EQ(sqlite3_step(q.get()), SQLITE_ROW);
    root = sqlite3_column_int64(q.get(), 0);
    pageSize = sqlite3_column_int64(q.get(), 1);
  }
  const std::string sound = files + "sound.db";
  fs::copy_file(Company(), sound);
  {
    std::fstream company(Company(), std::ios::in | std::ios::out | std::ios::binary);
    company.seekp((root - 1) * pageSize);
    company.put('\x00');
  }
  std::ostringstream out, err;
  EXPECT_EQ(RunHeadless(ParseCommandLine({"--backup", files + "a.zip"}), exeDir, out, err),
            kExitFailure);
  EXPECT_THAT(out.str(), HasSubstr(std::string(texts::kBackupNotVerified) + "\nThe file '" +
                                   WorkFile() + "' does not hold a valid database backup"));
  EXPECT_FALSE(fs::exists(files + "a.zip"));
  EXPECT_FALSE(fs::exists(WorkFile()));

  // An archive the backup is added to (a name without .zip) whose older
  // entry is damaged: the new archive is set aside, older entry and all, and
  // the one it was to add to stays as it was.
  fs::copy_file(sound, Company(), fs::copy_options::overwrite_existing);
  std::ofstream(files + "old.txt") << std::string(1000, 'o');
  ASSERT_EQ(Shell("cd " + Quoted(files) + " && zip -q -0 backup.zip old.txt"), 0);
  {
    std::fstream archive(files + "backup.zip", std::ios::in | std::ios::out | std::ios::binary);
    archive.seekp(30 + 7 + 500);  // inside the stored data of old.txt
    archive.put('x');
  }
  const std::string older = ReadFile(files + "backup.zip");
  out.str("");
  EXPECT_EQ(RunHeadless(ParseCommandLine({"--backup", files + "backup"}), exeDir, out, err),
            kExitFailure);
  EXPECT_THAT(out.str(),
              HasSubstr(std::string(texts::kBackupNotVerified) + "\nThe archive '" + files +
                        "backup.zip' does not read back: File fails CRC check: "
                        "old.txt\n" +
                        texts::kDamagedSetAside + " " + files + "backup.zip.damaged\n"));
  EXPECT_EQ(ReadFile(files + "backup.zip"), older);
  EXPECT_EQ(EntriesOf(files + "backup.zip.damaged"), "old.txt\nZelvo10\n");
}

}  // namespace
}  // namespace app::testing
