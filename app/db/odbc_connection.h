//===-- app/db/odbc_connection.h - A connection through ODBC ----*- C++ -*-===//
//
// A connection through unixODBC: to a SQL Server with FreeTDS (or Microsoft's
// driver), or to any other ODBC data source. Command texts go to the driver
// verbatim, as UTF-16; every statement runs under the command time-out, and the
// driver's diagnostics come back as the EDatabaseError's text.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>

#include "database.h"

namespace app {

class TOdbcConnection : public TDbConnection {
 public:
  static constexpr uint32_t kCommandTimeoutSeconds = 500;
  /// Connecting must not freeze the window for long. Some drivers ignore this
  /// for certain servers (FreeTDS for named instances), which is why the
  /// connection string should carry its own connect time-out as well.
  static constexpr uint32_t kLoginTimeoutSeconds = 15;

  explicit TOdbcConnection(std::string connectionString,
                           uint32_t commandTimeoutSeconds = kCommandTimeoutSeconds,
                           uint32_t loginTimeoutSeconds = kLoginTimeoutSeconds);
  ~TOdbcConnection() override;
  TOdbcConnection(const TOdbcConnection&) = delete;
  TOdbcConnection& operator=(const TOdbcConnection&) = delete;

  void Open() override;
  void Close() noexcept override;
  bool Connected() const override { return connected_; }
  void Execute(const std::string& command) override;
  std::vector<TRow> ReadTable(const std::string& table,
                              const std::vector<std::string>& fields) override;

 private:
  std::string connectionString_;
  uint32_t commandTimeout_;
  uint32_t loginTimeout_;
  void* env_ = nullptr;  // SQLHENV
  void* dbc_ = nullptr;  // SQLHDBC
  bool connected_ = false;
};

}  // namespace app
