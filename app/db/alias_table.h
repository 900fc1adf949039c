//===-- app/db/alias_table.h - The table of company aliases -----*- C++ -*-===//
//
// The table of companies on the master connection, read through a static
// cursor: Open takes a snapshot of every row and makes the first row current;
// Locate moves to a row; fields are read from the current row as text.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "database.h"

namespace app {

class TAliasTable {
 public:
  /// The persistent fields, in their order.
  static const std::vector<std::string>& Fields();

  explicit TAliasTable(TDbConnection& connection, std::string tableName = "Alias_Zelvo");

  const std::string& TableName() const { return tableName_; }

  /// Reads the rows (connecting when needed); the first row becomes current.
  void Open();
  void Close() noexcept;
  bool Active() const { return active_; }

  /// Makes the first row whose `field` reads exactly `value` current; when none
  /// does, the current row stays and the result is false.
  bool Locate(std::string_view field, std::string_view value);

  /// A field of the current row as text; empty when the table has no rows.
  std::string FieldAsText(std::string_view field) const;

  size_t RecordCount() const { return rows_.size(); }

 private:
  size_t fieldIndex(std::string_view field) const;
  void needActive() const;

  TDbConnection& connection_;
  std::string tableName_;
  std::vector<TRow> rows_;
  size_t current_ = 0;
  bool active_ = false;
};

}  // namespace app
