//===-- app/db/sqlite_util.h - Small owners of SQLite handles ---*- C++ -*-===//
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

namespace app {

struct TSqliteCloser {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using TSqliteDb = std::unique_ptr<sqlite3, TSqliteCloser>;

struct TSqliteFinalizer {
  void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using TSqliteStatement = std::unique_ptr<sqlite3_stmt, TSqliteFinalizer>;

/// Opens a database file with `flags` (SQLITE_OPEN_*); throws EDatabaseError.
TSqliteDb OpenSqlite(const std::string& path, int flags);

/// Runs SQL without results; throws EDatabaseError with SQLite's text.
void ExecSqlite(sqlite3* db, const std::string& sql);

/// Prepares one statement; throws EDatabaseError with SQLite's text.
TSqliteStatement PrepareSqlite(sqlite3* db, const std::string& sql);

/// SQLite's text for the last failure on `db`.
std::string SqliteError(sqlite3* db);

}  // namespace app
