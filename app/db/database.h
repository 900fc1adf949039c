//===-- app/db/database.h - Connections to the database server --*- C++ -*-===//
//
// The program needs two connections: one to the `master` catalog, which runs
// the backup and restore commands and reads the alias table, and one to the
// company database, which only has to be closable. Two engines implement them:
// the embedded one (SQLite files in Data/ beside the executable) and ODBC (a
// SQL Server through unixODBC and FreeTDS, or any other ODBC source).
//
// Every failure of an engine, a driver or the server comes out as an
// EDatabaseError whose text is the engine's own.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace app {

class EDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// One row of a table, every field as text (NULL as empty text).
using TRow = std::vector<std::string>;

class TDbConnection {
 public:
  virtual ~TDbConnection() = default;

  /// Connects; does nothing when connected already.
  virtual void Open() = 0;
  /// Disconnects; does nothing when closed already.
  virtual void Close() noexcept = 0;
  virtual bool Connected() const = 0;

  /// Runs a command text, connecting first when closed; results are discarded.
  virtual void Execute(const std::string& command) = 0;

  /// Every row of `table` with the given fields in that order, connecting first
  /// when closed. The rows are a snapshot: later changes do not reach them.
  virtual std::vector<TRow> ReadTable(const std::string& table,
                                      const std::vector<std::string>& fields) = 0;
};

/// `SELECT "f1", "f2" FROM "table"`, every name a double-quoted identifier
/// (standard SQL; ODBC sessions to SQL Server have QUOTED_IDENTIFIER on).
std::string SelectStatement(const std::string& table, const std::vector<std::string>& fields);

}  // namespace app
