// The operations without a window, as a scheduled run starts them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
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

int Mode(const std::string& path) {
  return static_cast<int>(fs::status(path).permissions()) & 0777;
}

// What a nightly job does: --backup-dir names, reads back and prunes its own
// archives, private to their owner; the log has a line for each; the listing
// shows what reads back.
TEST_F(Headless, NightlyBackupsIntoAFolderKeepTheNewestAndListWhatReadsBack) {
  const std::string dir = files + "nightly/";
  fs::create_directories(dir);
  for (const char* foreign : {"Zelvo10-notes.zip", "Zelvo10-20200101-000000.txt", "other.zip"}) {
    std::ofstream(dir + foreign) << "not ours";
  }
  std::vector<std::string> written;
  for (int night = 0; night < 3; ++night) {
    ASSERT_EQ(Run({"--backup-dir", dir, "--keep", "2"}), kExitSuccess) << err.str();
    const std::string first = out.str().substr(0, out.str().find('\n'));
    written.push_back(first.substr(first.find(" into ") + 6));
  }
  const std::vector<TStampedFile> kept = FindStamped(dir, "Zelvo10", ".zip");
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].Path, written[2]);
  EXPECT_EQ(kept[1].Path, written[1]);
  for (const char* foreign : {"Zelvo10-notes.zip", "Zelvo10-20200101-000000.txt", "other.zip"}) {
    EXPECT_TRUE(fs::exists(dir + foreign)) << foreign;
  }
  ASSERT_EQ(Run({"--restore", kept[1].Path}), kExitSuccess) << err.str();
  EXPECT_EQ(Mode(kept[0].Path), 0600);
  EXPECT_EQ(Mode(SafetyBackup()), 0600);
  EXPECT_EQ(Mode(exeDir + "P_Restore.log"), 0600);

  const std::string log = ReadFile(exeDir + "P_Restore.log");
  EXPECT_THAT(log, HasSubstr("operation=backup database=Zelvo10 archive=" + kept[0].Path +
                             " size=" + std::to_string(kept[0].Size)));
  EXPECT_THAT(log, HasSubstr("operation=restore database=Zelvo10 archive=" + kept[1].Path));
  EXPECT_THAT(log, HasSubstr("result=succeeded safety=" + SafetyBackup()));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4);

  {
    std::fstream damaged(kept[1].Path, std::ios::in | std::ios::out | std::ios::binary);
    damaged.seekp(static_cast<std::streamoff>(kept[1].Size / 2));
    damaged.put('\x5a');
  }
  EXPECT_EQ(Run({"--list-backups", dir}), kExitFailure);
  const std::string listed = out.str();
  const size_t newest = listed.find("reads back  archive  " + kept[0].Path);
  const size_t damaged = listed.find("DAMAGED     archive  " + kept[1].Path);
  const size_t safety = listed.find("reads back  safety   " + SafetyBackup());
  EXPECT_NE(newest, std::string::npos) << listed;
  EXPECT_NE(safety, std::string::npos) << listed;
  EXPECT_LT(newest, damaged) << listed;  // newest first
}

TEST(HeadlessCommandLine, WrongArgumentsAreRefused) {
  using M = TCommandLine::Mode;
  struct {
    std::vector<std::string> arguments;
    M mode;
  } rows[] = {
      {{"--restore", "x.zip"}, M::Restore},
      {{"--backup-dir", "d", "--keep", "3"}, M::BackupDir},
      {{"--list-backups"}, M::List},
      {{"--backup"}, M::Invalid},
      {{"--backup", "a.zip", "b.zip"}, M::Invalid},
      {{"--backup-dir", "d", "--keep", "0"}, M::Invalid},
      {{"--backup-dir", "d", "--keep", "3x"}, M::Invalid},
      {{"--backup-dir", "d", "--keep"}, M::Invalid},
      {{"--list-backups", "a", "b"}, M::Invalid},
      {{"--bogus"}, M::Invalid},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ParseCommandLine(row.arguments).mode, row.mode) << row.arguments[0];
  }
  EXPECT_EQ(ParseCommandLine({"--backup-dir", "d", "--keep", "3"}).keep, 3);
  EXPECT_EQ(ParseCommandLine({"--backup-dir", "d"}).keep, 14);
}

}  // namespace
}  // namespace app::testing
