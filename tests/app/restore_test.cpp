// The restore, end to end: the embedded server, the reader, scripted dialogs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "app/headless.h"
#include "operation_fixture.h"

namespace app::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

const std::string kOpenDialog = "open dialog [Zip Files|*.zip|All Files|*.*]";

class Restore : public OperationTest {
 protected:
  std::string Confirmation() {
    return Shown("MsgForm1", 1,
                 std::string(texts::kConfirmRestore[0]) + " / " + texts::kConfirmRestore[1] +
                     " / " + texts::kConfirmRestore[2]);
  }
  /// The failure message: the fixed line, then `cause`.
  std::string Failure(const std::string& cause) {
    return Shown("MsgForm2", 3, std::string(texts::kProbablyInUse) + " / " + cause);
  }
  /// Answers the confirmation with yes and picks `chosen`, then clicks.
  void RunRestore(const std::string& chosen) {
    Dialogs().Answer(msg::mrYes);
    Dialogs().Pick(chosen);
    Form().BitBtn2->click();
  }
};

class RestoreFrom : public Restore, public ::testing::WithParamInterface<const char*> {};

TEST_P(RestoreFrom, BringsBackTheBackedUpDataAfterASafetyBackup) {
  const std::string name = GetParam();
  const bool zipped = name != "x.bak";
  const std::string chosen = zipped ? ZipOfBackup(name) : files + name;
  if (!zipped) BackupInto(chosen);  // into a fresh installation without Temp/
  const std::string backedUp = Dump(Company());
  Change("DELETE FROM VoucherItems");
  const std::string changed = Dump(Company());
  ASSERT_NE(changed, backedUp);

  int gaugeAtMessage = -1;
  Dialogs().onShow = [&](const std::string&) { gaugeAtMessage = Form().GaugeShow1->Progress(); };
  RunRestore(chosen);

  EXPECT_EQ(Dump(Company()), backedUp);
  EXPECT_EQ(Dump(SafetyBackup()), changed);
  EXPECT_FALSE(fs::exists(exeDir + "Temp/" + (zipped ? "Zelvo10" : name)));
  EXPECT_THAT(Dialogs().shown,
              ElementsAre(Confirmation(), kOpenDialog, Shown("MsgForm2", 2, texts::kSuccess)));
  EXPECT_EQ(gaugeAtMessage, 100);
  EXPECT_TRUE(Form().TerminateRequested());
  EXPECT_EQ(Form().GaugeShow1->Progress(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(ZipInAnyCaseOrPlainFile, RestoreFrom,
                         ::testing::Values("x.zip", "x.ZIP", "x.Zip", "x.bak"));

TEST_F(Restore, WhileTheDatabaseIsInUseSaysSoAndChangesNothing) {
  const std::string chosen = ZipOfBackup("x.zip");
  Change("DELETE FROM VoucherItems");
  const std::string before = Dump(Company());
  TSqliteDb reader = OpenSqlite(Company(), SQLITE_OPEN_READONLY);
  ExecSqlite(reader.get(), "BEGIN; SELECT count(*) FROM Vouchers;");

  int gaugeAtMessage = -1;
  Dialogs().onShow = [&](const std::string&) { gaugeAtMessage = Form().GaugeShow1->Progress(); };
  RunRestore(chosen);
  reader.reset();

  EXPECT_EQ(Dump(Company()), before);
  EXPECT_THAT(Dialogs().shown,
              ElementsAre(Confirmation(), kOpenDialog,
                          Failure("Exclusive access could not be obtained because the database "
                                  "'Zelvo10' is in use. RESTORE DATABASE is terminating "
                                  "abnormally.")));
  EXPECT_EQ(gaugeAtMessage, 99);
  EXPECT_TRUE(Form().TerminateRequested());
  EXPECT_TRUE(fs::exists(WorkFile()));  // the extracted file stays for another try
}

TEST_F(Restore, RefusedConfirmationOrCancelledOpenDialogLeaveTheProgramOpen) {
  Dialogs().Answer(msg::mrNo);
  Form().BitBtn2->click();
  EXPECT_EQ(Form().Operations().LastOutcome(), TOutcome::Cancelled);
  Dialogs().Answer(msg::mrYes);
  Dialogs().Cancel();
  Form().BitBtn2->click();

  EXPECT_THAT(Dialogs().shown, ElementsAre(Confirmation(), Confirmation(), kOpenDialog));
  EXPECT_EQ(Form().Operations().LastOutcome(), TOutcome::Cancelled);
  EXPECT_FALSE(Form().TerminateRequested());
  EXPECT_TRUE(Form().isVisible());
  EXPECT_FALSE(fs::exists(exeDir + "TempBackup"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Restore, FromASplitArchiveFindsAMovedVolumeThroughTheInputBox) {
  // Random bytes do not compress: the archive needs three volumes of 64 KiB.
  Change("CREATE TABLE Padding (b); INSERT INTO Padding VALUES (randomblob(150000));");
  const std::string chosen = ZipOfBackup("x.zip", "-s 64k");
  ASSERT_TRUE(fs::exists(files + "x.z02"));
  const std::string backedUp = Dump(Company());
  Change("DROP TABLE Padding");
  fs::create_directory(files + "moved");
  fs::rename(files + "x.z01", files + "moved/x.z01");

  // The first volume is sought in the folder typed in; the next one is then
  // sought there too, and the box comes again.
  Dialogs().Answer(msg::mrYes);
  Dialogs().Pick(chosen);
  Dialogs().Type(files + "moved");
  Dialogs().Type(files);
  Form().BitBtn2->click();

  const std::string input =
      std::string("input: ") + texts::kNextVolumeCaption + " " + texts::kNextVolumePrompt;
  EXPECT_THAT(Dialogs().shown, ElementsAre(Confirmation(), kOpenDialog, input, input,
                                           Shown("MsgForm2", 2, texts::kSuccess)));
  EXPECT_EQ(Dump(Company()), backedUp);
}

TEST_F(Restore, StopsBeforeTheDatabaseWhenTheBackupDoesNotReachTemp) {
  // Files left in Temp/ by earlier runs must never be restored in place of
  // the one chosen: not when the entry cannot be extracted (the password
  // question cancelled), not when the plain file cannot be copied (a folder).
  const std::string locked = ZipOfBackup("x.zip", "-P secret");
  fs::create_directories(exeDir + "Temp");
  BackupInto(WorkFile());
  BackupInto(exeDir + "Temp/x.bak");
  fs::create_directory(files + "x.bak");
  Change("DELETE FROM VoucherItems");
  const std::string before = Dump(Company());

  Dialogs().Answer(msg::mrYes);
  Dialogs().Pick(locked);
  Dialogs().Cancel();
  Form().BitBtn2->click();
  EXPECT_THAT(Dialogs().shown, ElementsAre(Confirmation(), kOpenDialog,
                                           std::string("input: ") + texts::kBackupPasswordCaption +
                                               " " + texts::kArchivePasswordPrompt,
                                           StartsWith(Failure("Invalid password"))));
  RunRestore(files + "x.bak");
  EXPECT_THAT(Dialogs().shown.back(), StartsWith(Failure("Cannot copy")));

  EXPECT_EQ(Dump(Company()), before);
  EXPECT_FALSE(fs::exists(SafetyBackup()));
}

TEST_F(Restore, ClicksWhileItRunsAreIgnored) {
  const std::string chosen = ZipOfBackup("x.zip");
  int pumps = 0;
  Dialogs().onPump = [&] {
    ++pumps;
    Form().BitBtn1->click();
    Form().BitBtn2->click();
  };
  RunRestore(chosen);
  EXPECT_GT(pumps, 0);
  EXPECT_THAT(Dialogs().shown,
              ElementsAre(Confirmation(), kOpenDialog, Shown("MsgForm2", 2, texts::kSuccess)));
}

TEST_F(Restore, FromADamagedArchiveNamesTheDamageOnASecondLine) {
  const std::string chosen = ZipOfBackup("x.zip", "-0");  // stored: a changed byte fails the CRC
  {
    std::fstream archive(chosen, std::ios::in | std::ios::out | std::ios::binary);
    archive.seekp(static_cast<std::streamoff>(fs::file_size(chosen) / 2));
    archive.put('\x5a');
  }
  RunRestore(chosen);
  EXPECT_THAT(Dialogs().shown,
              ElementsAre(Confirmation(), kOpenDialog, std::string("box: ") + texts::kArchiveError,
                          Failure("File fails CRC check: " + WorkFile())));
}

// Each restore keeps the state it replaced in a safety backup of its own;
// the oldest go only when P_Restore.ini says so, and any can be restored.
TEST_F(Restore, EveryRestoreKeepsItsOwnSafetyBackupAndAnyCanBeRestored) {
  std::ofstream(exeDir + "P_Restore.ini") << "[Backups]\nSafetyBackupsKept=2\n";
  BackupInto(files + "s0.bak");
  const std::string s0 = Dump(Company());
  Change("DELETE FROM VoucherItems");
  const std::string sa = Dump(Company());
  const std::string a = ZipOfBackup("a.zip");
  Change("DELETE FROM Vouchers");
  const std::string sb = Dump(Company());
  const std::string b = ZipOfBackup("b.zip");
  TEmbeddedServer(DataDir()).Restore("Zelvo10", files + "s0.bak");

  RunRestore(a);  // in the window
  std::ostringstream out, err;
  ASSERT_EQ(RunHeadless(ParseCommandLine({"--restore", b}), exeDir, out, err), kExitSuccess);
  std::vector<TStampedFile> kept = SafetyBackups();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(Dump(kept[0].Path), sa);
  EXPECT_EQ(Dump(kept[1].Path), s0);

  ASSERT_EQ(RunHeadless(ParseCommandLine({"--restore", kept[1].Path}), exeDir, out, err),
            kExitSuccess);
  EXPECT_EQ(Dump(Company()), s0);
  const std::vector<TStampedFile> now = SafetyBackups();
  ASSERT_EQ(now.size(), 2u);  // the oldest went
  EXPECT_EQ(Dump(now[0].Path), sb);
  EXPECT_EQ(now[1].Path, kept[0].Path);
}

TEST_F(Restore, DiskPromptsGoOnOnlyWhenAnsweredOk) {
  TBackupRestore& operations = Form().Operations();
  bool cancel = true;  // as the reader presets it
  Dialogs().Answer(msg::mrCancel);
  operations.UnZip1GetZipNextDisk(nullptr, "3", cancel);
  EXPECT_TRUE(cancel);
  Dialogs().Answer(msg::mrOk);
  operations.UnZip1GetZipNextDisk(nullptr, "3", cancel);
  EXPECT_FALSE(cancel);

  bool first = true;
  bool last = true;
  Dialogs().Answer(msg::mrOk);
  operations.UnZip1GetZipFirstDisk(nullptr, first);
  Dialogs().Answer(msg::mrCancel);
  operations.UnZip1GetZipLastDisk(nullptr, last);
  EXPECT_FALSE(first);
  EXPECT_TRUE(last);

  const std::string info = "information: ";
  EXPECT_THAT(Dialogs().shown,
              ElementsAre(info + texts::kInsertNextDisk + "3", info + texts::kInsertNextDisk + "3",
                          info + texts::kInsertFirstDisk, info + texts::kInsertLastDisk));
}

}  // namespace
}  // namespace app::testing
