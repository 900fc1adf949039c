//===-- app/db/sample_data.cpp - The embedded server's first start -*- C++ -*-===//
#include "sample_data.h"

#include <string>
#include <system_error>

#include "database.h"
#include "sqlite_util.h"

namespace app {

namespace fs = std::filesystem;

namespace {

const char* const kCompanySql = R"sql(
PRAGMA journal_mode=DELETE;
CREATE TABLE Accounts (
  AccountCode TEXT PRIMARY KEY,
  AccountName TEXT NOT NULL,
  AccountKind TEXT NOT NULL);
INSERT INTO Accounts VALUES
  ('1101', 'صندوق', 'دارايي'),
  ('1102', 'بانك', 'دارايي'),
  ('2101', 'حسابهاي پرداختني', 'بدهي'),
  ('3101', 'سرمايه', 'سرمايه'),
  ('4101', 'فروش كالا', 'درآمد'),
  ('5101', 'هزينه حقوق', 'هزينه');
CREATE TABLE Vouchers (
  VoucherNo INTEGER PRIMARY KEY,
  VoucherDate TEXT NOT NULL,
  Description TEXT NOT NULL);
INSERT INTO Vouchers VALUES
  (1, '1402/01/05', 'سرمايه اوليه'),
  (2, '1402/01/20', 'فروش نقدي'),
  (3, '1402/01/31', 'پرداخت حقوق');
CREATE TABLE VoucherItems (
  ItemId INTEGER PRIMARY KEY,
  VoucherNo INTEGER NOT NULL REFERENCES Vouchers(VoucherNo),
  AccountCode TEXT NOT NULL REFERENCES Accounts(AccountCode),
  Debit INTEGER NOT NULL DEFAULT 0,
  Credit INTEGER NOT NULL DEFAULT 0);
INSERT INTO VoucherItems VALUES
  (1, 1, '1102', 500000000, 0),
  (2, 1, '3101', 0, 500000000),
  (3, 2, '1101', 42000000, 0),
  (4, 2, '4101', 0, 42000000),
  (5, 3, '5101', 30000000, 0),
  (6, 3, '1102', 0, 30000000);
)sql";

const char* const kMasterSql = R"sql(
PRAGMA journal_mode=DELETE;
CREATE TABLE Alias_Zelvo (
  aliasID INTEGER PRIMARY KEY AUTOINCREMENT,
  DatabaseNames VARCHAR(20),
  DatabaseDesc VARCHAR(50),
  DatabasePath VARCHAR(50),
  SortId INTEGER);
INSERT INTO Alias_Zelvo (DatabaseNames, DatabaseDesc, DatabasePath, SortId)
  VALUES ('Zelvo10', 'شركت نمونه', 'Data', 1);
)sql";

// Writes the database under a temporary name and moves it into place, so that an
// interrupted first start leaves no half-made file behind.
void CreateDatabase(const fs::path& file, const char* sql) {
  const fs::path partial = file.string() + ".part";
  const fs::path journal = partial.string() + "-journal";
  std::error_code ec;
  fs::remove(partial, ec);
  fs::remove(journal, ec);
  try {
    TSqliteDb db = OpenSqlite(partial.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    ExecSqlite(db.get(), sql);
  } catch (...) {
    fs::remove(partial, ec);
    fs::remove(journal, ec);
    throw;
  }
  fs::rename(partial, file, ec);
  if (ec) throw EDatabaseError("Cannot create " + file.string() + ": " + ec.message());
}

}  // namespace

void EnsureSampleData(const fs::path& dataDir) {
  const fs::path master = dataDir / "master.db";
  std::error_code ec;
  if (fs::exists(master, ec)) return;
  fs::create_directories(dataDir, ec);
  if (ec) throw EDatabaseError("Cannot create the data folder " + dataDir.string());
  const fs::path company = dataDir / (std::string(kSampleDatabase) + ".db");
  if (!fs::exists(company, ec)) CreateDatabase(company, kCompanySql);
  CreateDatabase(master, kMasterSql);
}

}  // namespace app
