//===-- app/config.cpp - P_Restore.ini: which database engine ---*- C++ -*-===//
#include "config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

#include <arc/support/ascii_case.h>
#include "app/backup_password.h"
#include "db/embedded_server.h"
#include "db/odbc_connection.h"
#include "db/sample_data.h"

namespace app {

namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

int32_t Number(const std::string& key, const std::string& value, int32_t low, int32_t high) {
  int32_t number = 0;
  const char* end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, number);
  if (value.empty() || error != std::errc() || stop != end || number < low || number > high) {
    throw EDatabaseError("P_Restore.ini: " + key + "=" + value + " is not a whole number from " +
                         std::to_string(low) + " to " + std::to_string(high));
  }
  return number;
}

}  // namespace

TDatabaseConfig ParseDatabaseConfig(std::string_view iniText) {
  if (iniText.substr(0, 3) == "\xEF\xBB\xBF") iniText.remove_prefix(3);
  TDatabaseConfig config;
  std::string section;
  size_t start = 0;
  while (start <= iniText.size()) {
    size_t end = iniText.find('\n', start);
    if (end == std::string_view::npos) end = iniText.size();
    const std::string_view line = Trim(iniText.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      section = arc::LowerAscii(
          Trim(line.substr(1, close == std::string_view::npos ? close : close - 1)));
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key = arc::LowerAscii(Trim(line.substr(0, equals)));
    const std::string value(Trim(line.substr(equals + 1)));
    if (section == "backups") {
      TOperationSettings& settings = config.Operations;
      if (key == "safetybackupskept") {
        settings.SafetyBackupsKept = Number("SafetyBackupsKept", value, 0, 100000);
      } else if (key == "safetybackupsmaxagedays") {
        settings.SafetyBackupsMaxAgeDays = Number("SafetyBackupsMaxAgeDays", value, 0, 100000);
      } else if (key == "log") {
        settings.LogFile = value;
      } else if (key == "backuppasswordfile") {
        settings.BackupPasswordFile = value;
      }
      continue;
    }
    if (section != "database") continue;
    if (key == "engine") {
      const std::string engine = arc::LowerAscii(value);
      if (engine == "embedded") {
        config.Engine = TEngineKind::Embedded;
      } else if (engine == "odbc") {
        config.Engine = TEngineKind::Odbc;
      } else {
        throw EDatabaseError("P_Restore.ini: unknown Engine '" + value +
                             "' (Embedded or ODBC expected)");
      }
    } else if (key == "masterconnection") {
      config.MasterConnection = value;
    } else if (key == "companyconnection") {
      config.CompanyConnection = value;
    } else if (key == "companydatabase") {
      config.CompanyDatabase = value;
    } else if (key == "logintimeout") {
      config.LoginTimeoutSeconds = static_cast<uint32_t>(Number("LoginTimeout", value, 1, 3600));
    }
  }
  if (config.Engine == TEngineKind::Odbc && config.MasterConnection.empty()) {
    throw EDatabaseError("P_Restore.ini: Engine=ODBC needs MasterConnection");
  }
  return config;
}

TDatabaseConfig ReadDatabaseConfig(const std::filesystem::path& iniFile) {
  std::ifstream in(iniFile, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  TDatabaseConfig config = ParseDatabaseConfig(text.str());
  // A password file is found beside the settings that name it.
  std::string& passwordFile = config.Operations.BackupPasswordFile;
  if (!passwordFile.empty() && !AsksForPassword(passwordFile) &&
      std::filesystem::path(passwordFile).is_relative()) {
    passwordFile = (iniFile.parent_path() / passwordFile).string();
  }
  return config;
}

TConnections CreateConnections(const TDatabaseConfig& config, const std::filesystem::path& exeDir) {
  TConnections connections;
  if (config.Engine == TEngineKind::Odbc) {
    connections.Master = std::make_unique<TOdbcConnection>(config.MasterConnection,
                                                           TOdbcConnection::kCommandTimeoutSeconds,
                                                           config.LoginTimeoutSeconds);
    connections.Company = std::make_unique<TOdbcConnection>(config.CompanyConnection,
                                                            TOdbcConnection::kCommandTimeoutSeconds,
                                                            config.LoginTimeoutSeconds);
    return connections;
  }
  const std::filesystem::path dataDir = exeDir / "Data";
  EnsureSampleData(dataDir);
  connections.Master = std::make_unique<TEmbeddedConnection>(dataDir, "master");
  connections.Company = std::make_unique<TEmbeddedConnection>(dataDir, config.CompanyDatabase);
  return connections;
}

}  // namespace app
