// Backups with a password: the file of P_Restore.ini, or the window asking.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "../common/test_as_nobody.h"
#include "app/backup_password.h"
#include "app/headless.h"
#include "operation_fixture.h"

namespace app::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(PasswordFile, OnlyAFileItsOwnerAloneMayReadServes) {
  QTemporaryDir dir;
  const std::string base = dir.path().toStdString() + "/";
  const struct {
    std::string content;
    mode_t mode;
    std::string says;  // empty: the password is read
  } rows[] = {
      {"se cret\r\nsecond line\n", 0600, ""},     {"se cret", 0400, ""},
      {"se cret\n", 0640, "chmod 600"},           {"se cret\n", 0604, "mode 0604"},
      {"\nse cret\n", 0600, "holds no password"},
  };
  for (const auto& r : rows) {
    const std::string file = base + "pw";
    fs::remove(file);
    std::ofstream(file) << r.content;
    ::chmod(file.c_str(), r.mode);
    TSecret password;
    try {
      ReadPasswordFile(file, password);
      EXPECT_EQ(r.says, "") << r.mode;
      EXPECT_EQ(password.Value(), "se cret");
    } catch (const EPasswordFileError& e) {
      EXPECT_THAT(e.what(), HasSubstr(r.says)) << r.mode;
      EXPECT_NE(r.says, "") << e.what();
    }
  }
  TSecret password;
  EXPECT_THROW(ReadPasswordFile(base + "missing", password), EPasswordFileError);
  EXPECT_THROW(ReadPasswordFile(base, password), EPasswordFileError);
  // Unprivileged: its own private file serves, root's private one does not.
  if (::geteuid() != 0) return;
  std::ofstream(base + "own") << "se cret\n";
  ::chmod((base + "own").c_str(), 0600);
  arc::test::GiveToNobody(base + "own");
  EXPECT_EQ(arc::test::RunAsNobody([&] {
              TSecret mine;
              ReadPasswordFile(base + "own", mine);
              try {
                ReadPasswordFile(base + "pw", mine);
              } catch (const EPasswordFileError& e) {
                return std::string(e.what()).find("Permission denied") != std::string::npos ? 0 : 1;
              }
              return 2;
            }),
            0);
}

class BackupPassword : public OperationTest {
 protected:
  /// P_Restore.ini with BackupPasswordFile=`setting`; a relative file name
  /// is found beside it.
  void Configure(const std::string& setting) {
    std::ofstream(exeDir + "P_Restore.ini") << "[Backups]\nBackupPasswordFile=" << setting << "\n";
  }
  void WritePasswordFile(const std::string& password, mode_t mode = 0600) {
    std::ofstream(exeDir + "pw.txt") << password << "\n";
    ::chmod((exeDir + "pw.txt").c_str(), mode);
  }
  /// The archive holds one AES-256 entry that 7z tests with `password`.
  void ExpectAes256(const std::string& archive, const std::string& password) {
    EXPECT_THAT(ShellOutput("7z l -slt " + Quoted(archive)), HasSubstr("Method = AES-256"));
    EXPECT_EQ(Shell("7z t -p" + Quoted(password) + " " + Quoted(archive) + " >/dev/null"), 0);
  }
  int Headless(const std::vector<std::string>& arguments) {
    out.str("");
    err.str("");
    return RunHeadless(ParseCommandLine(arguments), exeDir, out, err);
  }
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(BackupPassword, FromTheFileForScheduledRunsBothWays) {
  Configure("pw.txt");
  WritePasswordFile("night watch");
  EnsureSampleData(DataDir());
  const std::string before = Dump(Company());
  ASSERT_EQ(Headless({"--backup", files + "n.zip"}), kExitSuccess) << err.str();
  ExpectAes256(files + "n.zip", "night watch");
  Change("DELETE FROM VoucherItems");
  ASSERT_EQ(Headless({"--restore", files + "n.zip"}), kExitSuccess) << err.str();
  EXPECT_EQ(Dump(Company()), before);
  ASSERT_EQ(Headless({"--list-backups", files}), kExitSuccess) << err.str();

  // A file others may read is refused before anything is written.
  WritePasswordFile("night watch", 0644);
  EXPECT_EQ(Headless({"--backup", files + "m.zip"}), kExitFailure);
  EXPECT_THAT(err.str(), HasSubstr("chmod 600"));
  EXPECT_FALSE(fs::exists(files + "m.zip"));
  // Nobody is there to be asked.
  Configure("ask");
  EXPECT_EQ(Headless({"--backup", files + "m.zip"}), kExitFailure);
  EXPECT_THAT(err.str(), HasSubstr("BackupPasswordFile=ask needs the window"));
}

TEST_F(BackupPassword, AskedTwiceInTheWindowAndAskedAgainToRestore) {
  Configure("ask");
  EnsureSampleData(DataDir());
  const std::string before = Dump(Company());
  const std::string caption = texts::kBackupPasswordCaption;
  const std::string ask = "input: " + caption + " " + texts::kBackupPasswordPrompt;
  const std::string again = "input: " + caption + " " + texts::kBackupPasswordRepeat;
  // Two answers that differ are said to, and asked again.
  Dialogs().Pick(files + "w.zip");
  for (const char* typed : {"one", "other", "day watch", "day watch"}) Dialogs().Type(typed);
  Form().BitBtn1->click();
  EXPECT_THAT(Dialogs().shown, ElementsAre("save dialog [*.Zip]", ask, again,
                                           std::string("box: ") + texts::kPasswordsDiffer, ask,
                                           again, Shown("MsgForm2", 2, texts::kSuccess)));
  ExpectAes256(files + "w.zip", "day watch");

  // The restore asks through the reader's question until the password fits.
  form.reset();
  Change("DELETE FROM VoucherItems");
  Dialogs().Answer(msg::mrYes);
  Dialogs().Pick(files + "w.zip");
  Dialogs().Type("night watch");
  Dialogs().Type("day watch");
  Form().BitBtn2->click();
  EXPECT_EQ(Form().Operations().LastOutcome(), TOutcome::Succeeded);
  EXPECT_EQ(Dump(Company()), before);
  const std::string question = "input: " + caption + " " + texts::kArchivePasswordPrompt;
  EXPECT_EQ(std::count(Dialogs().shown.begin(), Dialogs().shown.end(), question), 2);
}

}  // namespace
}  // namespace app::testing
