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
//
// Lines starting with ; or # are comments; names are matched without regard
// to letter case; a value is the rest of its line after the first '=', trimmed.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "db/database.h"

namespace app {

enum class TEngineKind { Embedded, Odbc };

struct TDatabaseConfig {
  TEngineKind Engine = TEngineKind::Embedded;
  std::string MasterConnection;
  std::string CompanyConnection;
  std::string CompanyDatabase = "Zelvo10";
};

/// Reads the text of an ini file; throws EDatabaseError for an unknown engine
/// or an ODBC engine without a master connection string.
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
