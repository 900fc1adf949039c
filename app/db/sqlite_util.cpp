//===-- app/db/sqlite_util.cpp - Small owners of SQLite handles -*- C++ -*-===//
#include "sqlite_util.h"

#include "database.h"

namespace app {

std::string SqliteError(sqlite3* db) { return db ? sqlite3_errmsg(db) : "out of memory"; }

TSqliteDb OpenSqlite(const std::string& path, int flags) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  TSqliteDb db(raw);
  if (rc != SQLITE_OK) {
    throw EDatabaseError("Cannot open the database file '" + path + "': " + SqliteError(raw));
  }
  sqlite3_extended_result_codes(raw, 1);
  return db;
}

void ExecSqlite(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : SqliteError(db);
    sqlite3_free(message);
    throw EDatabaseError(text);
  }
}

TSqliteStatement PrepareSqlite(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) !=
      SQLITE_OK) {
    throw EDatabaseError(SqliteError(db));
  }
  return TSqliteStatement(raw);
}

}  // namespace app
