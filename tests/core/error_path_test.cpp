//===-- tests/core/error_path_test.cpp - Reports, fatal errors, cancel ----===//
#include <cerrno>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arc/support/error_codes.h>
#include <arc/zip/zip.h>
#include "fake_streams.h"

namespace arc {
namespace {

struct Report {
  std::string FileName, ExtendedMsg, VolumeID;
  int32_t ECode;
  bool operator==(const Report&) const = default;
};

using fakes::ShortWriteStream;

class ErrorPath : public ::testing::Test {
 protected:
  void SetUp() override {
    zip.SetArchiveFile("/backups/company.zip");
    zip.SetEntryName("db.bak");
    zip.OnError = [this](TObject* sender, const std::string& f, const std::string& m,
                         const std::string& v, int32_t code) {
      EXPECT_EQ(sender, &zip);
      reports.push_back({f, m, v, code});
      if (on_report) on_report(code);
    };
  }

  TZip zip;
  uint8_t block[64] = {};
  std::vector<Report> reports;
  std::function<void(int32_t)> on_report;
};

TEST_F(ErrorPath, ReportErrorPassesEverythingOnAndNeverThrows) {
  EXPECT_NO_THROW(zip.ReportError("a", "b", "7", ec::FileNotFound));
  EXPECT_EQ(reports, (std::vector<Report>{{"a", "b", "7", ec::FileNotFound}}));
}

TEST_F(ErrorPath, FatalDiskFullReachesTheHandlerThenThrowsItsText) {
  ShortWriteStream full(10, ENOSPC);
  try {
    zip.WriteBlock(full, block, 64, BlockCipher::None);
    FAIL() << "no exception";
  } catch (const E_RAISE& e) {
    EXPECT_STREQ(e.what(), "Disk full");
  }
  EXPECT_EQ(reports, (std::vector<Report>{{"/backups/company.zip", "db.bak", "0", 25160}}));
}

TEST_F(ErrorPath, OtherShortWritesAreReportedWithoutException) {
  ShortWriteStream broken(10, EIO);
  EXPECT_EQ(zip.WriteBlock(broken, block, 64, BlockCipher::None), 10);
  EXPECT_EQ(reports, (std::vector<Report>{{"/backups/company.zip", "db.bak", "0", 25136}}));
  // A quota counts as a full disk.
  ShortWriteStream quota(0, EDQUOT);
  EXPECT_THROW(zip.WriteBlock(quota, block, 64, BlockCipher::None), E_RAISE);
  EXPECT_EQ(reports.back().ECode, ec::DiskFull);
}

TEST_F(ErrorPath, RaiseErrorThrowsTheClassAskedFor) {
  struct OpenError : std::runtime_error {
    using std::runtime_error::runtime_error;
  };
  EXPECT_THROW(zip.RaiseError(ThrowAs<OpenError>, "f", "", "0", ec::OpenError), OpenError);
  zip.OnError = nullptr;  // without a handler the exception still comes
  EXPECT_THROW(zip.RaiseError("f", "", "0", ec::BadFileHeader), E_RAISE);
}

TEST_F(ErrorPath, HandlerThatCancelsDuringAFatalErrorTakesTheExceptionBack) {
  on_report = [this](int32_t code) {
    if (code == ec::DiskFull) zip.SetCancel(true);
  };
  EXPECT_NO_THROW(zip.RaiseError("/backups/company.zip", "db.bak", "0", ec::DiskFull));
  // The raised code first, then at once the cancel report from inside it.
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].ECode, ec::DiskFull);
  EXPECT_EQ(reports[1], (Report{"/backups/company.zip", "db.bak", "0", ec::UserCanceled}));
  // Every later report carries the cancel code, and nothing more is raised.
  EXPECT_NO_THROW(zip.RaiseError("x", "", "0", ec::BadBlock));
  zip.ReportError("y", "", "0", ec::OpenError);
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[2].ECode, ec::UserCanceled);
  EXPECT_EQ(reports[3].ECode, ec::UserCanceled);
}

TEST_F(ErrorPath, AfterCancelAFailingWriteReportsUserCanceled) {
  zip.SetCancel(true);
  reports.clear();
  ShortWriteStream broken(0, EIO), full(0, ENOSPC);
  EXPECT_NO_THROW(zip.WriteBlock(broken, block, 64, BlockCipher::None));
  EXPECT_NO_THROW(zip.WriteBlock(full, block, 64, BlockCipher::None));
  EXPECT_EQ(reports, (std::vector<Report>{{"/backups/company.zip", "db.bak", "0", 25443},
                                          {"/backups/company.zip", "db.bak", "0", 25443}}));
}

TEST_F(ErrorPath, CancelWithoutHandlerOnlySetsTheFlag) {
  zip.OnError = nullptr;
  EXPECT_NO_THROW(zip.SetCancel(true));
  EXPECT_TRUE(zip.Cancel());
  zip.SetCancel(false);
  EXPECT_FALSE(zip.Cancel());
}

TEST_F(ErrorPath, CancelIsReportedOnceEvenWhenTheHandlerSetsItAgain) {
  on_report = [this](int32_t) { zip.SetCancel(true); };
  zip.SetCancel(true);
  EXPECT_EQ(reports, (std::vector<Report>{{"/backups/company.zip", "db.bak", "0", 25443}}));
  zip.SetCancel(false);
  zip.SetCancel(true);
  EXPECT_EQ(reports.size(), 2u);
}

TEST_F(ErrorPath, SharedCancelFlagIsSeenByBothSides) {
  TZip other;
  zip.ShareCancelFlag(other.CancelFlag());
  other.SetCancel(true);
  EXPECT_TRUE(zip.Cancel());
  zip.ReportError("f", "", "0", ec::BadBlock);
  EXPECT_EQ(reports.back().ECode, ec::UserCanceled);
  zip.SetCancel(false);
  EXPECT_FALSE(other.Cancel());
  zip.ShareCancelFlag(nullptr);
  other.SetCancel(true);
  EXPECT_FALSE(zip.Cancel());
}

TEST_F(ErrorPath, HandlerTimeIsNotCountedAndAThrowingHandlerStillResumes) {
  uint32_t now = 1000;
  zip.Timer() = TArcTimer([&now] { return now; });
  zip.Timer().Start();
  on_report = [&now](int32_t code) {
    now += 5000;  // the user reads the message
    if (code == ec::BadBlock) throw std::runtime_error("handler gave up");
  };
  now += 500;
  zip.ReportError("f", "", "0", ec::OpenError);
  EXPECT_THROW(zip.ReportError("f", "", "0", ec::BadBlock), std::runtime_error);
  EXPECT_FALSE(zip.Timer().Paused());
  now += 250;
  zip.Timer().Stop();
  EXPECT_FLOAT_EQ(zip.Timer().ElapsedTime(), 0.75f);
}

}  // namespace
}  // namespace arc
