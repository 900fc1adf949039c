//===-- app/db/embedded_server.h - The embedded database server -*- C++ -*-===//
//
// A server without a server: a folder (Data/ beside the executable) holds one
// SQLite file per database, `master.db` among them, and the server runs the
// BACKUP, RESTORE and RESTORE VERIFYONLY statements of server_command.h on
// those files with SQLite's online backup. A backup file is itself a SQLite
// database.
//
// The files use the rollback journal, so that a connection holding a database
// in a transaction locks it, and a restore then fails as "in use" without
// touching it.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "database.h"
#include "sqlite_util.h"

namespace app {

class TEmbeddedServer {
 public:
  explicit TEmbeddedServer(std::filesystem::path dataDir);

  const std::filesystem::path& DataDir() const { return dataDir_; }

  /// The file that holds database `name`; throws EDatabaseError for a name that
  /// cannot name a file inside the folder (empty, a separator, a leading dot).
  std::filesystem::path DatabaseFile(std::string_view name) const;

  /// Parses and runs one statement; throws EDatabaseError.
  void Run(std::string_view commandText) const;

  /// Writes a full copy of `database` into the file `device`, replacing it. The
  /// folder of `device` must exist.
  void Backup(const std::string& database, const std::string& device) const;

  /// Replaces `database` (creating it when missing) with the copy in `device`.
  /// Fails, changing nothing, while another connection holds the database.
  void Restore(const std::string& database, const std::string& device) const;

  /// Checks that `device` holds a backup that can be restored: a database
  /// file that passes SQLite's quick check. Changes nothing.
  void Verify(const std::string& device) const;

 private:
  std::filesystem::path dataDir_;
};

/// A connection to one catalog of the embedded server.
class TEmbeddedConnection : public TDbConnection {
 public:
  TEmbeddedConnection(std::filesystem::path dataDir, std::string catalog);

  void Open() override;
  void Close() noexcept override { db_.reset(); }
  bool Connected() const override { return db_ != nullptr; }
  void Execute(const std::string& command) override;
  std::vector<TRow> ReadTable(const std::string& table,
                              const std::vector<std::string>& fields) override;

 private:
  TEmbeddedServer server_;
  std::string catalog_;
  TSqliteDb db_;
};

}  // namespace app
