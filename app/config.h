//===-- app/config.h - P_Restore.ini: which database engine -----*- C++ -*-===//
//
// P_Restore.ini (beside the executable, or where app/locations.h says) chooses
// the database engine. Without the file the embedded engine runs on Data/ in
// the data folder.
//
//   [Database]
//   Engine=ODBC                  ; or Embedded (the default)
//   MasterConnection=<ODBC connection string whose catalog is master>
//   CompanyConnection=<ODBC connection string of the company database>
//   CompanyDatabase=Zelvo10      ; Embedded: the company connection's catalog
//   LoginTimeout=15              ; ODBC: seconds to wait for the server's login
//
//   [Backups]
//   SafetyBackupsKept=10         ; safety backups kept in TempBackup/ (0: all)
//   SafetyBackupsMaxAgeDays=0    ; also drop those older than this (0: no limit)
//   Log=<file>                   ; the operation log (default P_Restore.log in
//                                ; the data folder)
//   BackupPasswordFile=<file>    ; backups are AES-256 archives with the
//                                ; password in <file> (readable by its owner
//                                ; only; relative to this file's folder), or
//                                ; "ask": the window asks (app/backup_password.h)
//
// Lines starting with ; or # are comments; names are matched without regard
// to letter case; a value is the rest of its line after the first '=', trimmed.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "db/database.h"

namespace app {

enum class TEngineKind { Embedded, Odbc };

/// What the operations keep and where they write their log.
struct TOperationSettings {
  int32_t SafetyBackupsKept = 10;       ///< 0: keep every one
  int32_t SafetyBackupsMaxAgeDays = 0;  ///< 0: no limit by age
  std::string LogFile;                  ///< empty: P_Restore.log in the data folder
  /// Empty: backups without a password; "ask", or the file holding it.
  std::string BackupPasswordFile;
};

struct TDatabaseConfig {
  TEngineKind Engine = TEngineKind::Embedded;
  std::string MasterConnection;
  std::string CompanyConnection;
  std::string CompanyDatabase = "Zelvo10";
  uint32_t LoginTimeoutSeconds = 15;
  TOperationSettings Operations;
};

/// Reads the text of an ini file; throws EDatabaseError for an unknown engine,
/// an ODBC engine without a master connection string or a number that is not
/// a whole number in its range.
TDatabaseConfig ParseDatabaseConfig(std::string_view iniText);

/// Reads `iniFile`; a missing file gives the embedded defaults.
TDatabaseConfig ReadDatabaseConfig(const std::filesystem::path& iniFile);

struct TConnections {
  std::unique_ptr<TDbConnection> Master;   ///< catalog master
  std::unique_ptr<TDbConnection> Company;  ///< the company database; never opened here
};

/// The two connections, both closed. For the embedded engine the data folder
/// `exeDir`/Data is prepared first (sample company on first start).
TConnections CreateConnections(const TDatabaseConfig& config, const std::filesystem::path& exeDir);

}  // namespace app
