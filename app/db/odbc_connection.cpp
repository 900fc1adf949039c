//===-- app/db/odbc_connection.cpp - A connection through ODBC --*- C++ -*-===//
#include "odbc_connection.h"

#include <limits>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QString>

namespace app {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC with 16-bit SQLWCHAR expected");

std::u16string ToWide(const std::string& text) {
  return QString::fromStdString(text).toStdU16String();
}

std::string FromWide(const SQLWCHAR* text, size_t length) {
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), static_cast<qsizetype>(length))
      .toStdString();
}

SQLWCHAR* Wide(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Every diagnostic record of a handle, "[state] text" one per line.
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string all;
  for (SQLSMALLINT record = 1; handle; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message,
                                        static_cast<SQLSMALLINT>(std::size(message)), &length);
    if (!Succeeded(rc)) break;
    const size_t shown = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)),
                                          std::size(message) - 1);
    if (!all.empty()) all += '\n';
    all += "[" + FromWide(state, 5) + "] " + FromWide(message, shown);
  }
  return all;
}

[[noreturn]] void Fail(const std::string& what, SQLSMALLINT type, SQLHANDLE handle) {
  std::string text = Diagnostics(type, handle);
  throw EDatabaseError(text.empty() ? what : text);
}

// A statement handle freed on every path.
class TStatement {
 public:
  TStatement(SQLHDBC dbc, uint32_t timeoutSeconds) {
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle_))) {
      Fail("Cannot allocate an ODBC statement", SQL_HANDLE_DBC, dbc);
    }
    SQLSetStmtAttr(handle_, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
  }
  ~TStatement() { SQLFreeHandle(SQL_HANDLE_STMT, handle_); }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  SQLHSTMT get() const { return handle_; }

  void Check(SQLRETURN rc, const char* what) const {
    if (!Succeeded(rc) && rc != SQL_NO_DATA) Fail(what, SQL_HANDLE_STMT, handle_);
  }

  void ExecDirect(const std::string& text) {
    std::u16string wide = ToWide(text);
    Check(SQLExecDirectW(handle_, Wide(wide), static_cast<SQLINTEGER>(wide.size())),
          "The statement failed");
  }

  // A server reports errors of a later step of a batch (BACKUP among them) in
  // the later results, so every result is drawn to see them.
  void DrainResults() {
    SQLRETURN rc;
    while ((rc = SQLMoreResults(handle_)) != SQL_NO_DATA) Check(rc, "The statement failed");
  }

  // One field of the current row as text; NULL as empty text.
  std::string Field(SQLUSMALLINT column) {
    std::u16string value;
    SQLWCHAR chunk[512];
    for (;;) {
      SQLLEN indicator = 0;
      const SQLRETURN rc =
          SQLGetData(handle_, column, SQL_C_WCHAR, chunk, sizeof(chunk), &indicator);
      if (rc == SQL_NO_DATA) break;
      Check(rc, "Cannot read a field");
      if (indicator == SQL_NULL_DATA) break;
      const size_t capacity = std::size(chunk) - 1;
      const size_t got =
          indicator == SQL_NO_TOTAL || indicator < 0
              ? capacity
              : std::min(capacity, static_cast<size_t>(indicator) / sizeof(SQLWCHAR));
      value.append(reinterpret_cast<const char16_t*>(chunk), got);
      if (rc == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: truncated, more follows
    }
    return QString::fromStdU16String(value).toStdString();
  }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

}  // namespace

TOdbcConnection::TOdbcConnection(std::string connectionString, uint32_t commandTimeoutSeconds,
                                 uint32_t loginTimeoutSeconds)
    : connectionString_(std::move(connectionString)),
      commandTimeout_(commandTimeoutSeconds),
      loginTimeout_(loginTimeoutSeconds) {}

TOdbcConnection::~TOdbcConnection() { Close(); }

void TOdbcConnection::Open() {
  if (connected_) return;
  Close();
  SQLHENV env = SQL_NULL_HENV;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    throw EDatabaseError("Cannot allocate an ODBC environment");
  }
  env_ = env;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
    const std::string text = Diagnostics(SQL_HANDLE_ENV, env);
    Close();
    throw EDatabaseError(text.empty() ? "Cannot allocate an ODBC connection" : text);
  }
  dbc_ = dbc;
  SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeout_)), 0);
  std::u16string wide = ToWide(connectionString_);
  if (wide.size() > static_cast<size_t>(std::numeric_limits<SQLSMALLINT>::max())) {
    Close();
    throw EDatabaseError("The ODBC connection string is too long");
  }
  SQLWCHAR completed[1024];
  SQLSMALLINT completedLength = 0;
  const SQLRETURN rc = SQLDriverConnectW(
      dbc, nullptr, Wide(wide), static_cast<SQLSMALLINT>(wide.size()), completed,
      static_cast<SQLSMALLINT>(std::size(completed)), &completedLength, SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc)) {
    std::string text = Diagnostics(SQL_HANDLE_DBC, dbc);
    Close();
    throw EDatabaseError(text.empty() ? "Cannot connect through ODBC" : text);
  }
  connected_ = true;
}

void TOdbcConnection::Close() noexcept {
  if (dbc_) {
    if (connected_) SQLDisconnect(static_cast<SQLHDBC>(dbc_));
    SQLFreeHandle(SQL_HANDLE_DBC, static_cast<SQLHDBC>(dbc_));
    dbc_ = nullptr;
  }
  if (env_) {
    SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(env_));
    env_ = nullptr;
  }
  connected_ = false;
}

void TOdbcConnection::Execute(const std::string& command) {
  Open();
  TStatement statement(static_cast<SQLHDBC>(dbc_), commandTimeout_);
  statement.ExecDirect(command);
  statement.DrainResults();
}

std::vector<TRow> TOdbcConnection::ReadTable(const std::string& table,
                                             const std::vector<std::string>& fields) {
  Open();
  TStatement statement(static_cast<SQLHDBC>(dbc_), commandTimeout_);
  statement.ExecDirect(SelectStatement(table, fields));
  std::vector<TRow> rows;
  for (;;) {
    const SQLRETURN rc = SQLFetch(statement.get());
    if (rc == SQL_NO_DATA) break;
    statement.Check(rc, "Cannot fetch a row");
    TRow row;
    for (size_t i = 0; i < fields.size(); ++i) {
      row.push_back(statement.Field(static_cast<SQLUSMALLINT>(i + 1)));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace app
