//===-- app/commands.h - Backup and restore commands for the server -*- C++ -*-===//
//
// The server writes and reads the backup files itself; the program only sends
// command texts. E is the data folder with a trailing '/' (the executable's
// folder in a build tree, see app/locations.h), D the
// company's database name, N the name of the file to restore from.
//
//   backup work file     E + "Temp/" + D
//   safety backup file   E + "TempBackup/" + D + ".Bak"
//   restore source file  E + "Temp/" + N
//
//   BACKUP DATABASE [D] TO disk = 'E/Temp/D'
//   BACKUP DATABASE [D] TO disk = 'E/TempBackup/D.Bak'
//   RESTORE DATABASE [D] FROM DISK = 'E/Temp/N'
//
// D comes from the alias table: it is data, never SQL, so it is always quoted
// as an identifier; a name with a blank or a bracket names exactly that
// database. Paths are quoted as string literals. No statement has a WITH
// clause.
//
//===----------------------------------------------------------------------===//
#pragma once

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
std::string SafetyBackupFile(const std::string& exeDir, const std::string& databaseName);
std::string RestoreSourceFile(const std::string& exeDir, const std::string& fileName);

std::string DatabaseBackupCommand(const std::string& exeDir, const std::string& databaseName);
std::string SafetyBackupCommand(const std::string& exeDir, const std::string& databaseName);
std::string DatabaseRestoreCommand(const std::string& exeDir, const std::string& databaseName,
                                   const std::string& fileName);

/// Runs a restore so that the program holds no connection to the company
/// database meanwhile: closes the company connection, then the master
/// connection and the alias table on it, then runs `command` on the master
/// connection, which connects it afresh. Throws EDatabaseError.
void RunRestoreOnMaster(TDbConnection& company, TDbConnection& master, TAliasTable& aliasTable,
                        const std::string& command);

}  // namespace app
