//===-- app/commands.cpp - Backup and restore commands for the server -*- C++ -*-===//
#include "commands.h"

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

std::string SafetyBackupFile(const std::string& exeDir, const std::string& databaseName) {
  return TempBackupFolder(exeDir) + databaseName + ".Bak";
}

std::string RestoreSourceFile(const std::string& exeDir, const std::string& fileName) {
  return exeDir + "Temp/" + fileName;
}

std::string DatabaseBackupCommand(const std::string& exeDir, const std::string& databaseName) {
  return "BACKUP DATABASE " + QuoteName(databaseName) +
         " TO disk = " + Q(BackupWorkFile(exeDir, databaseName));
}

std::string SafetyBackupCommand(const std::string& exeDir, const std::string& databaseName) {
  return "BACKUP DATABASE " + QuoteName(databaseName) +
         " TO disk = " + Q(SafetyBackupFile(exeDir, databaseName));
}

std::string DatabaseRestoreCommand(const std::string& exeDir, const std::string& databaseName,
                                   const std::string& fileName) {
  return "RESTORE DATABASE " + QuoteName(databaseName) +
         " FROM DISK = " + Q(RestoreSourceFile(exeDir, fileName));
}

void RunRestoreOnMaster(TDbConnection& company, TDbConnection& master, TAliasTable& aliasTable,
                        const std::string& command) {
  company.Close();
  aliasTable.Close();
  master.Close();
  master.Execute(command);
}

}  // namespace app
