//===-- app/db/embedded_server.cpp - The embedded database server -*- C++ -*-===//
#include "embedded_server.h"

#include <cstring>
#include <fstream>
#include <system_error>

#include "server_command.h"

namespace app {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDatabaseExtension = ".db";
constexpr size_t kMaxNameLength = 128;
// A backup waits this long for a writer that holds the source database.
constexpr int kBackupBusyMilliseconds = 5000;

// Copies every page of `source` into `target` in one step, so that the target
// changes in a single transaction or not at all.
int CopyDatabase(sqlite3* target, sqlite3* source) {
  sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
  if (!backup) return sqlite3_extended_errcode(target);
  const int step = sqlite3_backup_step(backup, -1);
  const int finish = sqlite3_backup_finish(backup);
  return step == SQLITE_DONE ? finish : step;
}

/// True when the file begins with the header of a SQLite database. SQLite
/// takes an empty file for an empty database, which no backup ever is.
bool HasDatabaseHeader(const std::string& file) {
  static constexpr char kHeader[] = "SQLite format 3";  // and its NUL: 16 bytes
  std::ifstream in(file, std::ios::binary);
  char head[sizeof kHeader] = {};
  return in.read(head, sizeof head) && std::memcmp(head, kHeader, sizeof head) == 0;
}

void CheckIsDatabase(sqlite3* db, const std::string& device, const std::string& statement) {
  std::string verdict;
  if (!HasDatabaseHeader(device)) {
    verdict = "no database header";
  } else {
    try {
      TSqliteStatement check = PrepareSqlite(db, "PRAGMA quick_check");
      if (sqlite3_step(check.get()) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(check.get(), 0);
        verdict = text ? reinterpret_cast<const char*>(text) : "";
      } else {
        verdict = SqliteError(db);
      }
    } catch (const EDatabaseError& e) {
      verdict = e.what();
    }
  }
  if (verdict != "ok") {
    throw EDatabaseError("The file '" + device + "' does not hold a valid database backup (" +
                         verdict + "). " + statement + " is terminating abnormally.");
  }
}

/// Removes a file SQLite was writing, with the rollback journal it may have
/// left beside it when the write failed (a full disk leaves one).
void RemoveWithJournal(const fs::path& file) {
  std::error_code ec;
  fs::remove(file, ec);
  fs::remove(file.string() + "-journal", ec);
}

}  // namespace

TEmbeddedServer::TEmbeddedServer(fs::path dataDir) : dataDir_(std::move(dataDir)) {}

fs::path TEmbeddedServer::DatabaseFile(std::string_view name) const {
  const bool valid = !name.empty() && name.size() <= kMaxNameLength && name.front() != '.' &&
                     name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
  if (!valid) throw EDatabaseError("Invalid database name '" + std::string(name) + "'.");
  return dataDir_ / (std::string(name) + std::string(kDatabaseExtension));
}

void TEmbeddedServer::Run(std::string_view commandText) const {
  const TServerCommand command = ParseServerCommand(commandText);
  switch (command.kind) {
    case TServerCommand::Kind::Backup:
      Backup(command.database, command.device);
      break;
    case TServerCommand::Kind::Restore:
      Restore(command.database, command.device);
      break;
    case TServerCommand::Kind::Verify:
      Verify(command.device);
      break;
  }
}

void TEmbeddedServer::Backup(const std::string& database, const std::string& device) const {
  const fs::path source = DatabaseFile(database);
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) {
    throw EDatabaseError("Database '" + database +
                         "' does not exist. BACKUP DATABASE is terminating abnormally.");
  }
  const fs::path target(device);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (device.empty() || !fs::is_directory(folder, ec) || fs::is_directory(target, ec)) {
    throw EDatabaseError("Cannot open backup device '" + device +
                         "': the folder does not exist or the name is a folder. BACKUP "
                         "DATABASE is terminating abnormally.");
  }

  // Built beside the target and moved over it, so that a failed backup never
  // leaves a half-written file under the target's name. A journal left there
  // by a run that died would be played into the new file: it goes too.
  const fs::path partial = device + ".part";
  RemoveWithJournal(partial);
  try {
    // Opened for writing, so that a journal left beside the database by a
    // writer that died (a restore killed half-way) is rolled back first; a
    // read-only connection cannot do that and would fail on every backup.
    TSqliteDb from = OpenSqlite(source.string(), SQLITE_OPEN_READWRITE);
    sqlite3_busy_timeout(from.get(), kBackupBusyMilliseconds);
    TSqliteDb to = OpenSqlite(partial.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const int rc = CopyDatabase(to.get(), from.get());
    if (rc != SQLITE_OK) {
      throw EDatabaseError("Backup of database '" + database + "' to '" + device + "' failed: " +
                           sqlite3_errstr(rc) + ". BACKUP DATABASE is terminating abnormally.");
    }
  } catch (...) {
    RemoveWithJournal(partial);
    throw;
  }
  fs::rename(partial, target, ec);
  if (ec) {
    RemoveWithJournal(partial);
    throw EDatabaseError("Cannot write backup device '" + device +
                         "'. BACKUP DATABASE is terminating abnormally.");
  }
}

void TEmbeddedServer::Restore(const std::string& database, const std::string& device) const {
  const fs::path target = DatabaseFile(database);
  if (database == "master") {
    throw EDatabaseError("The master database cannot be restored while the server runs.");
  }
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(device), ec)) {
    throw EDatabaseError("Cannot open backup device '" + device +
                         "': the file does not exist. RESTORE DATABASE is terminating "
                         "abnormally.");
  }
  TSqliteDb from = OpenSqlite(device, SQLITE_OPEN_READONLY);
  CheckIsDatabase(from.get(), device, "RESTORE DATABASE");

  const bool created = !fs::exists(target, ec);
  int rc = SQLITE_OK;
  {
    // No busy wait: a database someone holds is in use, and the restore gives up.
    TSqliteDb to = OpenSqlite(target.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    rc = CopyDatabase(to.get(), from.get());
    if (rc == SQLITE_OK) ExecSqlite(to.get(), "PRAGMA journal_mode=DELETE");
  }
  if (rc == SQLITE_OK) return;
  if (created) RemoveWithJournal(target);
  const int primary = rc & 0xFF;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    throw EDatabaseError("Exclusive access could not be obtained because the database '" +
                         database + "' is in use. RESTORE DATABASE is terminating abnormally.");
  }
  throw EDatabaseError("Restore of database '" + database + "' from '" + device + "' failed: " +
                       sqlite3_errstr(rc) + ". RESTORE DATABASE is terminating abnormally.");
}

void TEmbeddedServer::Verify(const std::string& device) const {
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(device), ec)) {
    throw EDatabaseError("Cannot open backup device '" + device +
                         "': the file does not exist. VERIFY DATABASE is terminating "
                         "abnormally.");
  }
  TSqliteDb file = OpenSqlite(device, SQLITE_OPEN_READONLY);
  CheckIsDatabase(file.get(), device, "VERIFY DATABASE");
}

TEmbeddedConnection::TEmbeddedConnection(fs::path dataDir, std::string catalog)
    : server_(std::move(dataDir)), catalog_(std::move(catalog)) {}

void TEmbeddedConnection::Open() {
  if (db_) return;
  const fs::path file = server_.DatabaseFile(catalog_);
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    throw EDatabaseError("Cannot open database '" + catalog_ +
                         "' requested by the login: " + file.string() + " does not exist.");
  }
  db_ = OpenSqlite(file.string(), SQLITE_OPEN_READWRITE);
}

void TEmbeddedConnection::Execute(const std::string& command) {
  Open();
  server_.Run(command);
}

std::vector<TRow> TEmbeddedConnection::ReadTable(const std::string& table,
                                                 const std::vector<std::string>& fields) {
  Open();
  TSqliteStatement statement = PrepareSqlite(db_.get(), SelectStatement(table, fields));
  std::vector<TRow> rows;
  int rc;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    TRow row;
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
      const auto* text = sqlite3_column_text(statement.get(), i);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) throw EDatabaseError(SqliteError(db_.get()));
  return rows;
}

}  // namespace app
