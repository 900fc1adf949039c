// The operations without a window, as a scheduled run starts them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

TEST(HeadlessCommandLine, WrongArgumentsAreRefused) {
  EXPECT_EQ(ParseCommandLine({"--restore", "x.zip"}).mode, TCommandLine::Mode::Restore);
  EXPECT_EQ(ParseCommandLine({"--backup"}).mode, TCommandLine::Mode::Invalid);
  EXPECT_EQ(ParseCommandLine({"--backup", "a.zip", "b.zip"}).mode, TCommandLine::Mode::Invalid);
  EXPECT_EQ(ParseCommandLine({"--bogus"}).mode, TCommandLine::Mode::Invalid);
}

}  // namespace
}  // namespace app::testing
