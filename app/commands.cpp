//===-- app/commands.cpp - Backup and restore commands for the server -*- C++ -*-===//
#include "commands.h"

#include "backup_history.h"
#include "db/alias_table.h"
#include "db/database.h"

namespace app {

namespace {

std::string Enclose(std::string_view text, char open, char close) {
  std::string quoted(1, open);
  for (char c : text) {
    quoted += c;
    if (c == close) quoted += close;
  }
  return quoted + close;
}

}  // namespace

std::string Q(std::string_view text) { return Enclose(text, '\'', '\''); }

std::string QuoteName(std::string_view name) { return Enclose(name, '[', ']'); }

std::string TempFolder(const std::string& exeDir) { return exeDir + "Temp"; }

std::string TempBackupFolder(const std::string& exeDir) { return exeDir + "TempBackup/"; }

std::string BackupWorkFile(const std::string& exeDir, const std::string& databaseName) {
  return exeDir + "Temp/" + databaseName;
}

std::string NewSafetyBackupFile(const std::string& exeDir, const std::string& databaseName,
                                std::time_t time) {
  return UnusedStampedName(TempBackupFolder(exeDir), databaseName, time, ".Bak");
}

std::string RestoreSourceFile(const std::string& exeDir, const std::string& fileName) {
  return exeDir + "Temp/" + fileName;
}

std::string LockFile(const std::string& exeDir, const std::string& databaseName) {
  return exeDir + "P_Restore-" + databaseName + ".lock";
}

std::string DatabaseBackupCommand(const std::string& exeDir, const std::string& databaseName) {
  return "BACKUP DATABASE " + QuoteName(databaseName) +
         " TO disk = " + Q(BackupWorkFile(exeDir, databaseName));
}

std::string SafetyBackupCommand(const std::string& databaseName, const std::string& safetyFile) {
  return "BACKUP DATABASE " + QuoteName(databaseName) + " TO disk = " + Q(safetyFile);
}

std::string VerifyBackupCommand(const std::string& backupFile) {
  return "RESTORE VERIFYONLY FROM DISK = " + Q(backupFile);
}

std::string DatabaseRestoreCommand(const std::string& exeDir, const std::string& databaseName,
                                   const std::string& fileName) {
  return "RESTORE DATABASE " + QuoteName(databaseName) +
         " FROM DISK = " + Q(RestoreSourceFile(exeDir, fileName));
}

void RunRestoreOnMaster(TDbConnection& company, TDbConnection& master, TAliasTable& aliasTable,
                        const std::string& command,
                        const std::function<void(TDbConnection&)>& connect) {
  company.Close();
  aliasTable.Close();
  master.Close();
  if (connect) connect(master);
  master.Execute(command);
}

}  // namespace app
