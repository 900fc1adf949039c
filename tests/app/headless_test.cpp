// The operations without a window, as a scheduled run starts them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProcess>
#include <sstream>

#include "app/headless.h"
#include "operation_fixture.h"

namespace app::testing {
namespace {

using ::testing::HasSubstr;

class Headless : public OperationTest {
 protected:
  int Run(const std::vector<std::string>& arguments) {
    out.str("");
    err.str("");
    return RunHeadless(ParseCommandLine(arguments), exeDir, out, err);
  }
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(Headless, BackupThenRestoreBringsTheDataBack) {
  EnsureSampleData(DataDir());
  const std::string before = Dump(Company());
  ASSERT_EQ(Run({"--backup", files + "nightly.zip"}), kExitSuccess) << err.str();
  EXPECT_THAT(out.str(), HasSubstr(texts::kSuccess));
  EXPECT_THAT(out.str(), HasSubstr("30%"));

  Change("DELETE FROM VoucherItems");
  ASSERT_EQ(Run({"--restore", files + "nightly.zip"}), kExitSuccess) << err.str();
  EXPECT_EQ(Dump(Company()), before);
  EXPECT_TRUE(fs::exists(SafetyBackup()));
  EXPECT_EQ(err.str(), "");
}

TEST_F(Headless, FailuresExitNonZeroWithTheReasonOnStandardError) {
  EXPECT_EQ(Run({"--restore", files + "missing.bak"}), kExitFailure);
  EXPECT_THAT(out.str(), HasSubstr(texts::kProbablyInUse));
  EXPECT_THAT(err.str(), HasSubstr("missing.bak"));

  std::ofstream(files + "old.zip") << "an older archive";
  EXPECT_EQ(Run({"--backup", files + "old.zip"}), kExitFailure);
  EXPECT_THAT(out.str(), HasSubstr(texts::kDuplicateName));

  fs::remove(Company());
  EXPECT_EQ(Run({"--backup", files + "new.zip"}), kExitFailure);
  EXPECT_THAT(err.str(), HasSubstr("does not exist"));  // the server's own text
}

TEST(HeadlessCommandLine, HelpSaysHowAndWrongArgumentsExitWithUsage) {
  auto run = [](const QStringList& arguments, QString* output = nullptr) {
    QProcess program;
    program.start(P_RESTORE_PATH, arguments);
    EXPECT_TRUE(program.waitForFinished(30000));
    if (output) *output = QString::fromUtf8(program.readAllStandardOutput());
    return program.exitCode();
  };
  QString help;
  EXPECT_EQ(run({"--help"}, &help), kExitSuccess);
  EXPECT_THAT(help.toStdString(), HasSubstr("--backup FILE.zip"));
  EXPECT_THAT(help.toStdString(), HasSubstr("exit status is 0 only on success"));
  EXPECT_EQ(run({"--backup"}), kExitUsage);
  EXPECT_EQ(run({"--restore", "a", "b"}), kExitUsage);
  EXPECT_EQ(run({"--bogus"}), kExitUsage);
}

}  // namespace
}  // namespace app::testing
