#include "app/config.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/db/embedded_server.h"

namespace app {
namespace {

TEST(DatabaseConfig, MissingFileMeansTheEmbeddedEngine) {
  QTemporaryDir dir;
  const TDatabaseConfig config = ReadDatabaseConfig(dir.path().toStdString() + "/P_Restore.ini");
  EXPECT_EQ(config.Engine, TEngineKind::Embedded);
  EXPECT_EQ(config.CompanyDatabase, "Zelvo10");

  TConnections connections = CreateConnections(config, dir.path().toStdString());
  EXPECT_NE(dynamic_cast<TEmbeddedConnection*>(connections.Master.get()), nullptr);
  EXPECT_FALSE(connections.Master->Connected());
  EXPECT_FALSE(connections.Company->Connected());
}

TEST(DatabaseConfig, OdbcSectionKeepsConnectionStringsWhole) {
  const TDatabaseConfig config = ParseDatabaseConfig(
      "\xEF\xBB\xBF; written by hand\r\n"
      "[Other]\nEngine=Nonsense\n"
      "[DATABASE]\r\n"
      "  engine = odbc \r\n"
      "# the master catalog\n"
      "MasterConnection=Driver=FreeTDS;Server=db,1433;Database=master;Timeout=10\n"
      "CompanyConnection = Driver=FreeTDS;Server=db,1433;Database=Zelvo10\n");
  EXPECT_EQ(config.Engine, TEngineKind::Odbc);
  EXPECT_EQ(config.MasterConnection, "Driver=FreeTDS;Server=db,1433;Database=master;Timeout=10");
  EXPECT_EQ(config.CompanyConnection, "Driver=FreeTDS;Server=db,1433;Database=Zelvo10");
}

TEST(DatabaseConfig, UnknownEngineOrOdbcWithoutMasterIsAnError) {
  EXPECT_THROW(ParseDatabaseConfig("[Database]\nEngine=Oracle\n"), EDatabaseError);
  EXPECT_THROW(ParseDatabaseConfig("[Database]\nEngine=ODBC\n"), EDatabaseError);
  EXPECT_EQ(
      ParseDatabaseConfig("[Database]\nEngine=Embedded\nCompanyDatabase=Zelvo11").CompanyDatabase,
      "Zelvo11");
}

}  // namespace
}  // namespace app
