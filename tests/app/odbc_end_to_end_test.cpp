// The ODBC engine end to end: unixODBC and FreeTDS against the TDS test
// server, which runs the backup, verify and restore statements on files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <sstream>

#include "app/headless.h"
#include "operation_fixture.h"
#include "tds_server.h"

namespace app::testing {
namespace {

using ::testing::HasSubstr;

class OdbcEndToEnd : public OperationTest {
 protected:
  void SetUp() override {
    OperationTest::SetUp();
    serverDir = files + "server/";
    fs::create_directories(serverDir);
    std::ofstream(serverDir + "Zelvo10.mdf") << kCompany;
    std::ofstream(serverDir + "Alias_Zelvo.txt") << "1|Zelvo10|شركت نمونه|Data|1\n";
  }

  /// P_Restore.ini for the ODBC engine on `server`, with `more` lines.
  void UseServer(const TdsServer& server, const std::string& more = "Timeout=10") {
    ASSERT_NE(server.Port(), 0) << "the TDS test server did not start";
    std::ofstream(exeDir + "P_Restore.ini")
        << "[Database]\nEngine=ODBC\nMasterConnection=" << server.ConnectionString("master")
        << (more.starts_with("Timeout") ? ";" + more : "")
        << "\nCompanyConnection=" << server.ConnectionString("Zelvo10") << "\n"
        << (more.starts_with("Timeout") ? "" : more + "\n");
  }

  int Run(const std::vector<std::string>& arguments) {
    out.str("");
    err.str("");
    return RunHeadless(ParseCommandLine(arguments), exeDir, out, err);
  }

  static constexpr const char* kCompany = "the company's data, as the server keeps it";
  std::string serverDir;
  std::ostringstream out, err;
};

TEST_F(OdbcEndToEnd, BackupAndRestoreRoundTripThroughFreeTds) {
  TdsServer server(serverDir);
  UseServer(server);
  ASSERT_EQ(Run({"--backup", files + "odbc.zip"}), kExitSuccess) << err.str();
  EXPECT_EQ(ShellOutput("unzip -Z1 " + Quoted(files + "odbc.zip")), "Zelvo10\n");
  EXPECT_THAT(ShellOutput("unzip -p " + Quoted(files + "odbc.zip")), HasSubstr(kCompany));
  EXPECT_FALSE(fs::exists(WorkFile()));

  std::ofstream(serverDir + "Zelvo10.mdf") << "changed since";
  ASSERT_EQ(Run({"--restore", files + "odbc.zip"}), kExitSuccess) << err.str();
  EXPECT_EQ(ReadFile(serverDir + "Zelvo10.mdf"), kCompany);
  EXPECT_THAT(ReadFile(SafetyBackup()), HasSubstr("changed since"));
  EXPECT_THAT(out.str(), HasSubstr(texts::kSuccess));
}

TEST_F(OdbcEndToEnd, ServerErrorsReachTheUserWithTheirText) {
  std::ofstream(files + "x.bak") << "a backup file";
  struct {
    const char* fault;
    std::vector<std::string> command;
    std::string shown;  // the lines of the message, on standard output
  } rows[] = {
      {"in-use",
       {"--restore", files + "x.bak"},
       std::string(texts::kProbablyInUse) +
           "\nExclusive access could not be obtained because the database is in use.\n"},
      {"damage-backups",
       {"--backup", files + "d.zip"},
       std::string(texts::kBackupNotVerified) + "\nDamage to the backup set was detected.\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    TdsServer server(serverDir, {row.fault});
    UseServer(server);
    EXPECT_EQ(Run(row.command), kExitFailure);
    EXPECT_THAT(out.str(), HasSubstr(row.shown));
  }
  EXPECT_FALSE(fs::exists(files + "d.zip"));

  // A failure after a first result of the statement still fails the backup.
  TdsServer server(serverDir, {"fail-after-result"});
  UseServer(server);
  EXPECT_EQ(Run({"--backup", files + "f.zip"}), kExitFailure);
  EXPECT_THAT(err.str(), HasSubstr("Operating system error 112(There is not enough space on the "
                                   "disk.)"));
  EXPECT_FALSE(fs::exists(files + "f.zip"));
}

// The restore connects afresh; a server that takes the connection and never
// answers is given up after the configured login time-out, and the window
// shows meanwhile that it is connecting.
TEST_F(OdbcEndToEnd, AServerThatNeverAnswersTimesOutWhileTheWindowShowsItConnects) {
  TdsServer server(serverDir, {"hang-after-login=1"});
  UseServer(server, "LoginTimeout=2");
  Form();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  std::chrono::steady_clock::time_point shownAt{};
  PaintWatch watch(*form->Label3, [&] {
    if (form->Label3->isVisible()) shownAt = std::chrono::steady_clock::now();
  });
  std::ofstream(files + "x.bak") << "a backup file";
  double waited = -1;
  bool stillShown = true;
  Dialogs().onShow = [&](const std::string& line) {
    if (!line.starts_with("MsgForm2")) return;
    waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - shownAt).count();
    stillShown = form->Label3->isVisible();
  };
  Dialogs().Answer(msg::mrYes);
  Dialogs().Pick(files + "x.bak");
  form->BitBtn2->click();

  EXPECT_EQ(Dialogs().shown.back(),
            Shown("MsgForm2", 3, std::string(texts::kProbablyInUse) + " / Timeout expired"));
  EXPECT_GE(waited, 1.5);
  EXPECT_LT(waited, 6.0);
  EXPECT_FALSE(stillShown);
  EXPECT_EQ(ReadFile(serverDir + "Zelvo10.mdf"), kCompany);
}

}  // namespace
}  // namespace app::testing
