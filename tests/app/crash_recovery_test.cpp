// A restore killed half-way (kill -9) leaves a hot journal beside the company
// database. The next backup and restore must roll it back and work.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "app/headless.h"
#include "operation_fixture.h"

namespace app::testing {
namespace {

class CrashRecovery : public OperationTest {};

/// In a child process: copies `from` over `to` as a restore does, in steps,
/// and is killed after `pages` pages, inside the transaction.
void KillRestoreAfter(const std::string& from, const std::string& to, int pages) {
  const pid_t child = fork();
  if (child == 0) {
    sqlite3* source = nullptr;
    sqlite3* target = nullptr;
    sqlite3_open_v2(from.c_str(), &source, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_open_v2(to.c_str(), &target, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(target, "PRAGMA cache_size = 10", nullptr, nullptr, nullptr);  // spill early
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    sqlite3_backup_step(backup, 1);
    if (pages < 0) pages += sqlite3_backup_pagecount(backup);
    sqlite3_backup_step(backup, pages - 1);
    raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

TEST_F(CrashRecovery, AfterARestoreKilledAtAnyPointBackupAndRestoreWork) {
  Change(
      "CREATE TABLE Padding (b); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
      "FROM n WHERE i < 300) INSERT INTO Padding SELECT randomblob(2000) FROM n;");
  const std::string before = Dump(Company());
  const std::string other = files + "other.db";
  BackupInto(other);
  {
    TSqliteDb db = OpenSqlite(other, SQLITE_OPEN_READWRITE);
    ExecSqlite(db.get(), "UPDATE Padding SET b = randomblob(2100); DELETE FROM VoucherItems;");
  }

  // Killed after the first page, half-way, and before the last page.
  for (int pages : {1, 150, -1}) {
    SCOPED_TRACE(pages);
    KillRestoreAfter(other, Company(), pages);
    ASSERT_TRUE(fs::exists(Company() + "-journal"));

    const std::string archive = files + "after" + std::to_string(pages) + ".zip";
    std::ostringstream out, err;
    EXPECT_EQ(RunHeadless(ParseCommandLine({"--backup", archive}), exeDir, out, err), kExitSuccess)
        << err.str();
    EXPECT_EQ(RunHeadless(ParseCommandLine({"--restore", archive}), exeDir, out, err), kExitSuccess)
        << err.str();
    TSqliteDb db = OpenSqlite(Company(), SQLITE_OPEN_READONLY);
    TSqliteStatement check = PrepareSqlite(db.get(), "PRAGMA integrity_check");
    ASSERT_EQ(sqlite3_step(check.get()), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0)), "ok");
    EXPECT_EQ(Dump(Company()), before);  // the killed restore was rolled back
  }
}

}  // namespace
}  // namespace app::testing
