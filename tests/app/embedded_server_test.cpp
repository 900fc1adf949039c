#include "app/db/embedded_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/commands.h"
#include "app/db/sample_data.h"
#include "app/db/server_command.h"
#include "app/db/sqlite_util.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST(ServerCommand, AcceptsTheTwoFormsInAnyLetterCaseAndSpacing) {
  struct {
    const char* text;
    TServerCommand::Kind kind;
    const char* database;
    const char* device;
  } rows[] = {
      {"BACKUP DATABASE Zelvo10 TO disk = '/x/Temp/Zelvo10'", TServerCommand::Kind::Backup,
       "Zelvo10", "/x/Temp/Zelvo10"},
      {"backup  database\t[Zel vo]\nto DISK='a''b'  ", TServerCommand::Kind::Backup, "Zel vo",
       "a'b"},
      {"RESTORE DATABASE [Zelvo10] FROM DISK = '/x/Temp/'", TServerCommand::Kind::Restore,
       "Zelvo10", "/x/Temp/"},
      {"RESTORE DATABASE [a]]b] FROM DISK = ''", TServerCommand::Kind::Restore, "a]b", ""},
      {"RESTORE DATABASE شركت FROM DISK = 'x'", TServerCommand::Kind::Restore, "شركت", "x"},
  };
  for (const auto& row : rows) {
    const TServerCommand command = ParseServerCommand(row.text);
    EXPECT_EQ(command.kind, row.kind) << row.text;
    EXPECT_EQ(command.database, row.database) << row.text;
    EXPECT_EQ(command.device, row.device) << row.text;
  }
}

TEST(ServerCommand, RejectsEverythingElse) {
  const char* rows[] = {
      "",
      "SELECT 1",
      "DROP DATABASE Zelvo10",
      "BACKUP DATABASE Zelvo10 TO disk = 'x';",
      "BACKUP DATABASE Zelvo10 TO disk = 'x' WITH INIT",
      "BACKUP DATABASE Zelvo10 FROM disk = 'x'",
      "RESTORE DATABASE Zelvo10 TO DISK = 'x'",
      "BACKUP DATABASE Zelvo10 TO disk = 'x",
      "BACKUP DATABASE [Zelvo10 TO disk = 'x'",
      "BACKUP DATABASE [] TO disk = 'x'",
      "BACKUP DATABASE 1abc TO disk = 'x'",
      "BACKUP DATABASE Zel-vo TO disk = 'x'",
      "BACKUP DATABASE Zelvo10 TO disk 'x'",
      "BACKUP DATABASEZelvo10 TO disk = 'x'",
      "BACKUP DATABASE Zelvo10 TO disk = 'x' 'y'",
  };
  for (const char* text : rows) {
    EXPECT_THROW(ParseServerCommand(text), EDatabaseError) << text;
  }
  try {
    ParseServerCommand("SELECT 1");
  } catch (const EDatabaseError& e) {
    EXPECT_THAT(e.what(), HasSubstr("Incorrect syntax near 'SELECT 1'"));
  }
}

int64_t CountRows(const fs::path& file, const std::string& table) {
  TSqliteDb db = OpenSqlite(file.string(), SQLITE_OPEN_READONLY);
  TSqliteStatement count = PrepareSqlite(db.get(), "SELECT count(*) FROM " + table);
  EXPECT_EQ(sqlite3_step(count.get()), SQLITE_ROW);
  return sqlite3_column_int64(count.get(), 0);
}

class EmbeddedServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    exeDir = root_.path().toStdString() + "/";
    data = fs::path(exeDir) / "Data";
    EnsureSampleData(data);
    fs::create_directory(TempFolder(exeDir));
    company = data / "Zelvo10.db";
  }

  void Exec(const fs::path& file, const std::string& sql) {
    TSqliteDb db = OpenSqlite(file.string(), SQLITE_OPEN_READWRITE);
    ExecSqlite(db.get(), sql);
  }

  QTemporaryDir root_;
  std::string exeDir;
  fs::path data;
  fs::path company;
};

TEST_F(EmbeddedServer, FirstStartCreatesTheSampleCompanyOnce) {
  TEmbeddedConnection master(data, "master");
  const auto rows = master.ReadTable("Alias_Zelvo", {"aliasID", "DatabaseNames", "DatabaseDesc"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (TRow{"1", "Zelvo10", "شركت نمونه"}));
  EXPECT_GT(CountRows(company, "Accounts"), 0);
  EXPECT_GT(CountRows(company, "VoucherItems"), 0);

  Exec(data / "master.db", "DELETE FROM Alias_Zelvo");
  EnsureSampleData(data);
  EXPECT_EQ(CountRows(data / "master.db", "Alias_Zelvo"), 0);
}

TEST_F(EmbeddedServer, BackupWritesAValidDatabaseThatRestoreBringsBack) {
  TEmbeddedConnection master(data, "master");
  const int64_t items = CountRows(company, "VoucherItems");
  master.Execute(DatabaseBackupCommand(exeDir, "Zelvo10"));
  const fs::path backup = BackupWorkFile(exeDir, "Zelvo10");
  EXPECT_EQ(CountRows(backup, "VoucherItems"), items);

  Exec(company, "DELETE FROM VoucherItems; CREATE TABLE Later(x)");
  master.Execute(DatabaseRestoreCommand(exeDir, "Zelvo10", "Zelvo10"));
  EXPECT_EQ(CountRows(company, "VoucherItems"), items);
  EXPECT_THROW(CountRows(company, "Later"), EDatabaseError);
}

TEST_F(EmbeddedServer, BackupReplacesALeftoverFile) {
  const fs::path backup = BackupWorkFile(exeDir, "Zelvo10");
  std::ofstream(backup) << "not a database";
  TEmbeddedServer(data).Run(DatabaseBackupCommand(exeDir, "Zelvo10"));
  EXPECT_GT(CountRows(backup, "Accounts"), 0);
  EXPECT_FALSE(fs::exists(backup.string() + ".part"));
}

TEST_F(EmbeddedServer, RestoreWhileAnotherConnectionReadsFailsAndChangesNothing) {
  TEmbeddedServer server(data);
  server.Run(DatabaseBackupCommand(exeDir, "Zelvo10"));
  Exec(company, "DELETE FROM Vouchers WHERE VoucherNo = 3");
  const int64_t before = CountRows(company, "Vouchers");

  TSqliteDb reader = OpenSqlite(company.string(), SQLITE_OPEN_READONLY);
  ExecSqlite(reader.get(), "BEGIN; SELECT count(*) FROM Vouchers;");
  try {
    server.Run(DatabaseRestoreCommand(exeDir, "Zelvo10", "Zelvo10"));
    ADD_FAILURE() << "the restore ran on a database in use";
  } catch (const EDatabaseError& e) {
    EXPECT_THAT(e.what(), HasSubstr("is in use"));
  }
  ExecSqlite(reader.get(), "COMMIT");
  reader.reset();
  EXPECT_EQ(CountRows(company, "Vouchers"), before);

  server.Run(DatabaseRestoreCommand(exeDir, "Zelvo10", "Zelvo10"));
  EXPECT_EQ(CountRows(company, "Vouchers"), before + 1);
}

TEST_F(EmbeddedServer, FailuresComeBackAsServerErrors) {
  TEmbeddedConnection master(data, "master");
  struct {
    std::string command;
    const char* text;
  } rows[] = {
      {"SELECT * FROM Alias_Zelvo", "Incorrect syntax"},
      {"BACKUP DATABASE Zelvo10 TO disk = " + Q(exeDir + "NoSuchFolder/Zelvo10"),
       "the folder does not exist"},
      {"BACKUP DATABASE Zelvo99 TO disk = " + Q(exeDir + "Temp/x"), "does not exist"},
      {"BACKUP DATABASE [../Data/Zelvo10] TO disk = " + Q(exeDir + "Temp/x"),
       "Invalid database name"},
      {"RESTORE DATABASE Zelvo10 FROM DISK = " + Q(exeDir + "Temp/"), "does not exist"},
      {"RESTORE DATABASE master FROM DISK = " + Q((data / "Zelvo10.db").string()),
       "master database"},
  };
  for (const auto& row : rows) {
    try {
      master.Execute(row.command);
      ADD_FAILURE() << "ran: " << row.command;
    } catch (const EDatabaseError& e) {
      EXPECT_THAT(e.what(), HasSubstr(row.text)) << row.command;
    }
  }
}

TEST_F(EmbeddedServer, RestoreFromAFileThatIsNoDatabaseChangesNothing) {
  const fs::path junk = RestoreSourceFile(exeDir, "junk.bak");
  std::ofstream(junk) << std::string(4096, 'x');
  const int64_t before = CountRows(company, "Accounts");
  EXPECT_THROW(TEmbeddedServer(data).Restore("Zelvo10", junk.string()), EDatabaseError);
  EXPECT_EQ(CountRows(company, "Accounts"), before);
  // A restore into a new database that fails leaves no empty database behind.
  EXPECT_THROW(TEmbeddedServer(data).Restore("Fresh", junk.string()), EDatabaseError);
  EXPECT_FALSE(fs::exists(data / "Fresh.db"));
}

TEST_F(EmbeddedServer, NameWithBracketAndBlankWorksEndToEnd) {
  TEmbeddedServer server(data);
  const std::string name = "Zel]vo 10";
  server.Run(DatabaseBackupCommand(exeDir, "Zelvo10"));
  server.Run(DatabaseRestoreCommand(exeDir, name, "Zelvo10"));
  EXPECT_TRUE(fs::exists(data / "Zel]vo 10.db"));
  const std::string safety = NewSafetyBackupFile(exeDir, name, 0);
  EXPECT_THROW(server.Run(SafetyBackupCommand(name, safety)), EDatabaseError);  // no folder yet
  fs::create_directory(TempBackupFolder(exeDir));
  server.Run(SafetyBackupCommand(name, safety));
  EXPECT_GT(CountRows(safety, "Accounts"), 0);
}

// A disk that fills during a backup: nothing of the partial file is left
// beside the target, the journal SQLite leaves after a failed write included.
TEST_F(EmbeddedServer, BackupOnAFullDiskLeavesNoPartialFileOrJournal) {
  // More than SQLite's page cache holds, so that pages reach the file, and
  // the journal must be written, before the copy is complete.
  Exec(company,
       "CREATE TABLE Padding (b); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
       "SELECT i + 1 FROM n WHERE i < 3000) INSERT INTO Padding SELECT randomblob(1000) "
       "FROM n;");
  const fs::path folder = fs::path(exeDir) / "TempBackup";
  fs::create_directory(folder);
  // A limit on the size of files this process writes stands in for the full
  // disk; writes past it fail with EFBIG instead of a signal.
  struct rlimit saved {};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1024 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(TEmbeddedServer(data).Backup("Zelvo10", (folder / "Zelvo10.Bak").string()),
               EDatabaseError);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(EmbeddedServer, ConnectionToAMissingCatalogFails) {
  TEmbeddedConnection missing(data, "NoSuchCompany");
  EXPECT_THROW(missing.Open(), EDatabaseError);
  EXPECT_FALSE(missing.Connected());
  TEmbeddedConnection master(data, "master");
  master.Open();
  EXPECT_TRUE(master.Connected());
  master.Close();
  EXPECT_FALSE(master.Connected());
}

}  // namespace
}  // namespace app
