#include "app/commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/db/alias_table.h"
#include "app/db/server_command.h"
#include "fake_connection.h"

namespace app {
namespace {

TEST(Commands, TextsForZelvo10InAFolderWithASingleQuote) {
  const std::string e = "/srv/o'brien/app/";
  EXPECT_EQ(DatabaseBackupCommand(e, "Zelvo10"),
            "BACKUP DATABASE [Zelvo10] TO disk = '/srv/o''brien/app/Temp/Zelvo10'");
  EXPECT_EQ(SafetyBackupCommand("Zelvo10", e + "TempBackup/Zelvo10-20240131-023000.Bak"),
            "BACKUP DATABASE [Zelvo10] TO disk = "
            "'/srv/o''brien/app/TempBackup/Zelvo10-20240131-023000.Bak'");
  EXPECT_EQ(VerifyBackupCommand(e + "Temp/Zelvo10"),
            "RESTORE VERIFYONLY FROM DISK = '/srv/o''brien/app/Temp/Zelvo10'");
  EXPECT_EQ(DatabaseRestoreCommand(e, "Zelvo10", "Zelvo10"),
            "RESTORE DATABASE [Zelvo10] FROM DISK = '/srv/o''brien/app/Temp/Zelvo10'");
  EXPECT_EQ(TempFolder(e), "/srv/o'brien/app/Temp");
  EXPECT_EQ(TempBackupFolder(e), "/srv/o'brien/app/TempBackup/");
}

// A name from the alias table is data: whatever it holds, the statement names
// exactly that database, and the server reads back the name and the path.
TEST(Commands, NameWithBracketBlankOrQuoteNamesExactlyThatDatabase) {
  const std::string e = "/a'b/";
  for (const std::string name :
       {"Zelvo 10", "Zel]vo", "x] TO disk = 'y'; DROP DATABASE z --", "]]", "[Zelvo]"}) {
    const std::string backup = DatabaseBackupCommand(e, name);
    const TServerCommand parsed = ParseServerCommand(backup);
    EXPECT_EQ(parsed.kind, TServerCommand::Kind::Backup) << backup;
    EXPECT_EQ(parsed.database, name) << backup;
    EXPECT_EQ(parsed.device, "/a'b/Temp/" + name) << backup;

    const TServerCommand restore = ParseServerCommand(DatabaseRestoreCommand(e, name, "f'n"));
    EXPECT_EQ(restore.kind, TServerCommand::Kind::Restore);
    EXPECT_EQ(restore.database, name);
    EXPECT_EQ(restore.device, "/a'b/Temp/f'n");
  }
  EXPECT_EQ(QuoteName("Zel]vo 1"), "[Zel]]vo 1]");
  EXPECT_EQ(Q("it's"), "'it''s'");
}

TEST(Commands, RestoreRunsOnAFreshMasterConnectionAfterClosingBoth) {
  std::vector<std::string> log;
  testing::FakeConnection master("master", &log), company("company", &log);
  TAliasTable table(master);
  table.Open();
  company.Open();
  log.clear();

  RunRestoreOnMaster(company, master, table, "RESTORE DATABASE [Zelvo10] FROM DISK = 'x'");
  const std::vector<std::string> expected = {
      "close company", "close master", "open master",
      "execute on master: RESTORE DATABASE [Zelvo10] FROM DISK = 'x'"};
  EXPECT_EQ(log, expected);
  EXPECT_FALSE(table.Active());
  EXPECT_FALSE(company.Connected());
}

TEST(Commands, RestoreFailureOfTheServerReachesTheCaller) {
  testing::FakeConnection master("master"), company("company");
  master.executeFailure = "database in use";
  TAliasTable table(master);
  EXPECT_THROW(RunRestoreOnMaster(company, master, table, "RESTORE"), EDatabaseError);
}

}  // namespace
}  // namespace app
