//===-- app/commands.h - Backup and restore commands for the server -*- C++ -*-===//
//
// The server writes and reads the backup files itself; the program only sends
// command texts. E is the program's data folder with a trailing '/' (the
// executable's folder in a build tree, see app/locations.h), D the
// company's database name, N the name of the file to restore from, T the
// local time a safety backup is taken (YYYYMMDD-HHMMSS).
//
//   backup work file     E + "Temp/" + D
//   safety backup file   E + "TempBackup/" + D + "-" + T + ".Bak"
//   restore source file  E + "Temp/" + N
//   lock file            E + "P_Restore-" + D + ".lock"
//
//   BACKUP DATABASE [D] TO disk = 'E/Temp/D'
//   BACKUP DATABASE [D] TO disk = 'E/TempBackup/D-T.Bak'
//   RESTORE VERIFYONLY FROM DISK = '<either of them>'
//   RESTORE DATABASE [D] FROM DISK = 'E/Temp/N'
//
// Every restore keeps its own safety backup file (a second one within the
// same second gets "-2" and so on, see backup_history.h), so none replaces or
// adds to an earlier one.
//
// D comes from the alias table: it is data, never SQL, so it is always quoted
// as an identifier; a name with a blank or a bracket names exactly that
// database. Paths are quoted as string literals. No statement has a WITH
// clause.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace app {

class TAliasTable;
class TDbConnection;

/// Q(s): s in single quotes, every single quote inside doubled.
std::string Q(std::string_view text);

/// The name in square brackets, every ']' inside doubled.
std::string QuoteName(std::string_view name);

std::string TempFolder(const std::string& exeDir);        ///< E + "Temp" (no separator)
std::string TempBackupFolder(const std::string& exeDir);  ///< E + "TempBackup/"
std::string BackupWorkFile(const std::string& exeDir, const std::string& databaseName);
/// A safety backup file for a restore at `time` that no file has yet.
std::string NewSafetyBackupFile(const std::string& exeDir, const std::string& databaseName,
                                std::time_t time);
std::string RestoreSourceFile(const std::string& exeDir, const std::string& fileName);
std::string LockFile(const std::string& exeDir, const std::string& databaseName);

std::string DatabaseBackupCommand(const std::string& exeDir, const std::string& databaseName);
std::string SafetyBackupCommand(const std::string& databaseName, const std::string& safetyFile);
std::string VerifyBackupCommand(const std::string& backupFile);
std::string DatabaseRestoreCommand(const std::string& exeDir, const std::string& databaseName,
                                   const std::string& fileName);

/// Runs a restore so that the program holds no connection to the company
/// database meanwhile: closes the company connection, then the master
/// connection and the alias table on it, then connects the master
/// connection afresh (through `connect` when given) and runs `command` on
/// it. Throws EDatabaseError.
void RunRestoreOnMaster(TDbConnection& company, TDbConnection& master, TAliasTable& aliasTable,
                        const std::string& command,
                        const std::function<void(TDbConnection&)>& connect = {});

}  // namespace app
