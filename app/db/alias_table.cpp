//===-- app/db/alias_table.cpp - The table of company aliases ---*- C++ -*-===//
#include "alias_table.h"

namespace app {

const std::vector<std::string>& TAliasTable::Fields() {
  static const std::vector<std::string> fields = {"aliasID", "DatabaseNames", "DatabaseDesc",
                                                  "DatabasePath", "SortId"};
  return fields;
}

TAliasTable::TAliasTable(TDbConnection& connection, std::string tableName)
    : connection_(connection), tableName_(std::move(tableName)) {}

void TAliasTable::Open() {
  std::vector<TRow> rows = connection_.ReadTable(tableName_, Fields());
  for (const TRow& row : rows) {
    if (row.size() != Fields().size()) throw EDatabaseError(tableName_ + ": malformed row");
  }
  rows_ = std::move(rows);
  current_ = 0;
  active_ = true;
}

void TAliasTable::Close() noexcept {
  rows_.clear();
  current_ = 0;
  active_ = false;
}

bool TAliasTable::Locate(std::string_view field, std::string_view value) {
  needActive();
  const size_t column = fieldIndex(field);
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i][column] == value) {
      current_ = i;
      return true;
    }
  }
  return false;
}

std::string TAliasTable::FieldAsText(std::string_view field) const {
  needActive();
  const size_t column = fieldIndex(field);
  if (current_ >= rows_.size()) return {};
  return rows_[current_][column];
}

size_t TAliasTable::fieldIndex(std::string_view field) const {
  const auto& fields = Fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i] == field) return i;
  }
  throw EDatabaseError(tableName_ + ": field '" + std::string(field) + "' not found");
}

void TAliasTable::needActive() const {
  if (!active_)
    throw EDatabaseError(tableName_ + ": cannot perform this operation on a closed table");
}

}  // namespace app
