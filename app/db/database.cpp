//===-- app/db/database.cpp - Connections to the database server -*- C++ -*-===//
#include "database.h"

namespace app {

namespace {

std::string QuoteSqlIdentifier(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + '"';
}

}  // namespace

std::string SelectStatement(const std::string& table, const std::vector<std::string>& fields) {
  std::string sql = "SELECT ";
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) sql += ", ";
    sql += QuoteSqlIdentifier(fields[i]);
  }
  return sql + " FROM " + QuoteSqlIdentifier(table);
}

}  // namespace app
