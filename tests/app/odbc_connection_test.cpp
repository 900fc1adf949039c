#include "app/db/odbc_connection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <string>

namespace app {
namespace {

using ::testing::HasSubstr;

// The ODBC path runs for real against Debian's SQLite ODBC driver.
class OdbcThroughSqlite : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    connectionString = "Driver=SQLite3;Database=" + dir_.path().toStdString() + "/odbc.db";
  }
  QTemporaryDir dir_;
  std::string connectionString;
};

TEST_F(OdbcThroughSqlite, ConnectsRunsCommandsAndReadsPersianText) {
  TOdbcConnection connection(connectionString);
  EXPECT_FALSE(connection.Connected());
  connection.Execute("CREATE TABLE Alias (aliasID INTEGER, DatabaseDesc TEXT)");  // connects
  EXPECT_TRUE(connection.Connected());
  connection.Execute("INSERT INTO Alias VALUES (1, 'شركت نمونه'), (2, NULL)");
  connection.Close();
  EXPECT_FALSE(connection.Connected());

  const auto rows = connection.ReadTable("Alias", {"aliasID", "DatabaseDesc"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (TRow{"1", "شركت نمونه"}));
  EXPECT_EQ(rows[1], (TRow{"2", ""}));
}

TEST_F(OdbcThroughSqlite, LongFieldsAreReadWhole) {
  TOdbcConnection connection(connectionString);
  connection.Execute("CREATE TABLE t (v TEXT)");
  std::string longText;
  for (int i = 0; i < 700; ++i) longText += "ب" + std::to_string(i % 10);
  connection.Execute("INSERT INTO t VALUES ('" + longText + "')");
  const auto rows = connection.ReadTable("t", {"v"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], longText);
}

TEST_F(OdbcThroughSqlite, ServerErrorsCarryTheDriversText) {
  TOdbcConnection connection(connectionString);
  try {
    connection.Execute("SELECT * FROM NoSuchTable");
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_THAT(e.what(), HasSubstr("no such table"));
  }
  EXPECT_TRUE(connection.Connected());  // the connection survives a failed statement
}

TEST(OdbcConnection, UnknownDriverFailsWithTheDriverManagersText) {
  TOdbcConnection connection("Driver=NoSuchDriver;Server=x");
  try {
    connection.Open();
    ADD_FAILURE() << "connected";
  } catch (const EDatabaseError& e) {
    EXPECT_THAT(e.what(), HasSubstr("NoSuchDriver"));
  }
  EXPECT_FALSE(connection.Connected());
}

// FreeTDS against a port where nothing listens: a clean failure, quickly.
TEST(OdbcConnection, FreeTdsWhereNothingListensFailsCleanly) {
  TOdbcConnection connection(
      "Driver=FreeTDS;Server=127.0.0.1;Port=1;Database=master;"
      "TDS_Version=7.4;Timeout=5");
  const auto start = std::chrono::steady_clock::now();
  try {
    connection.Execute("BACKUP DATABASE [Zelvo10] TO disk = 'x'");
    ADD_FAILURE() << "connected";
  } catch (const EDatabaseError& e) {
    EXPECT_THAT(e.what(), HasSubstr("[FreeTDS]"));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_FALSE(connection.Connected());
}

}  // namespace
}  // namespace app
