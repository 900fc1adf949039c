#include "unzip/password_search.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arc/support/error_codes.h>
#include "unzip/zip_records.h"

namespace arc {
namespace {

struct Report {
  std::string fileName;
  std::string extendedMsg;
  std::string volumeId;
  int32_t code;
  friend bool operator==(const Report&, const Report&) = default;
};

// An encrypted entry whose password is "right", and a host that records every
// question and report.
class PasswordSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    entry_.crc32 = 0x5EC0DE42;
    entry_.outputName = "out/file.bak";
    const std::array<uint8_t, kEncryptionRandomLen> random{9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    TradCipher writer;
    ASSERT_TRUE(writer.MakeEncryptionHeader("right", entry_.crc32, random, entry_.header));
    // The wrong candidates used below must fail the one-byte check on this header.
    TradCipher probe;
    for (const char* wrong : {"wrong", "typo", "guess", "stale"})
      ASSERT_FALSE(
          probe.VerifyPassword(wrong, entry_.header, PasswordCheckByte(0, entry_.crc32, 0)))
          << wrong;

    host_.Passwords = &passwords_;
    host_.ReportError = [this](const std::string& f, const std::string& x, const std::string& v,
                               int32_t code) {
      reports_.push_back({f, x, v, code});
    };
  }

  // OnGetPassword answering from `answers_` in turn; TryAgain false after them.
  void AnswerWith(std::vector<std::string> answers) {
    answers_ = std::move(answers);
    host_.OnGetPassword = [this](const std::string& fileName, std::string& password,
                                 bool& tryAgain) {
      EXPECT_EQ(fileName, entry_.outputName);
      EXPECT_TRUE(tryAgain);
      presets_.push_back(password);
      if (asked_ < answers_.size())
        password = answers_[asked_];
      else
        tryAgain = false;
      ++asked_;
    };
  }

  bool Search() { return SearchPassword(cipher_, current_, entry_, host_); }

  Report InvalidPassword() const { return {entry_.outputName, "", "0", ec::InvalidPassword}; }

  EncryptedEntry entry_;
  PasswordSearchHost host_;
  TradCipher cipher_;
  std::string current_;
  std::vector<std::string> passwords_;
  std::vector<std::string> answers_;
  std::vector<std::string> presets_;
  size_t asked_ = 0;
  std::vector<Report> reports_;
};

TEST_F(PasswordSearchTest, CurrentPasswordThenListInOrderWithoutAnyEvent) {
  AnswerWith({});
  current_ = "right";
  EXPECT_TRUE(Search());

  current_ = "stale";
  passwords_ = {"wrong", "right", "typo"};
  EXPECT_TRUE(Search());
  EXPECT_EQ(current_, "right");  // the list entry that worked is the current password now
  EXPECT_EQ(asked_, 0u);
  EXPECT_TRUE(reports_.empty());
  EXPECT_EQ(passwords_, (std::vector<std::string>{"wrong", "right", "typo"}));
}

TEST_F(PasswordSearchTest, NoWorkingPasswordAndNoEventReportsTheMissingEvent) {
  passwords_ = {"wrong"};
  EXPECT_FALSE(Search());
  EXPECT_EQ(reports_,
            (std::vector<Report>{{entry_.outputName, "OnGetPassword", "0", ec::RequiredEvent}}));
}

TEST_F(PasswordSearchTest, ZeroAttemptsNeverAsksAndReportsNothing) {
  AnswerWith({"right"});
  host_.PasswordAttempts = 0;
  EXPECT_FALSE(Search());
  EXPECT_EQ(asked_, 0u);
  EXPECT_TRUE(reports_.empty());
}

TEST_F(PasswordSearchTest, TypedAnswerThatWorksMovesToTheFrontAndServesTheNextRun) {
  passwords_ = {"stale"};
  AnswerWith({"wrong", "right"});
  EXPECT_TRUE(Search());
  EXPECT_EQ(asked_, 2u);
  // The first question shows the last candidate; a failed answer is cleared.
  EXPECT_EQ(presets_, (std::vector<std::string>{"stale", ""}));
  EXPECT_EQ(reports_, std::vector<Report>{InvalidPassword()});
  EXPECT_EQ(passwords_, (std::vector<std::string>{"right", "stale"}));

  // A new run starts with no current password and finds it first in the list.
  current_.clear();
  asked_ = 0;
  EXPECT_TRUE(Search());
  EXPECT_EQ(asked_, 0u);
}

TEST_F(PasswordSearchTest, EveryWrongAnswerIsReportedUpToTheAttemptLimit) {
  AnswerWith({"wrong", "typo", "guess", "right"});
  EXPECT_FALSE(Search());
  EXPECT_EQ(asked_, 3u);  // PasswordAttempts defaults to 3
  EXPECT_EQ(reports_, std::vector<Report>(3, InvalidPassword()));
  EXPECT_TRUE(current_.empty());
  EXPECT_TRUE(passwords_.empty());
}

TEST_F(PasswordSearchTest, DecliningIsReportedOnceAndEndsTheSearch) {
  AnswerWith({"wrong"});  // then declines
  host_.PasswordAttempts = 5;
  EXPECT_FALSE(Search());
  EXPECT_EQ(asked_, 2u);
  EXPECT_EQ(reports_, std::vector<Report>(2, InvalidPassword()));
}

TEST_F(PasswordSearchTest, CancelStopsTheQuestions) {
  bool cancel = false;
  host_.Cancel = [&cancel] { return cancel; };
  AnswerWith({"wrong", "right"});
  auto ask = host_.OnGetPassword;
  host_.OnGetPassword = [&](const std::string& f, std::string& p, bool& t) {
    ask(f, p, t);
    cancel = true;  // the user cancels while the first question is open
  };
  EXPECT_FALSE(Search());
  EXPECT_EQ(asked_, 1u);
}

}  // namespace
}  // namespace arc
