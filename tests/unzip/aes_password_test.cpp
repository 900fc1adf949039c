//===-- tests/unzip/aes_password_test.cpp - Passwords of AES entries ------===//
//
// The password search of AES entries is the one of traditional entries: the
// list, then the questions, PasswordAttempts of them; the 2-byte verifier
// turns a wrong password down before any file is made.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <arc/support/error_codes.h>
#include <arc/zip/zip.h>
#include "extract_fixture.h"

namespace arc {
namespace {

class AesPasswords : public test::ExtractFixture {
 protected:
  void SetUp() override {
    dir.Write("src/a.txt", std::string(3000, 'a'));
    dir.Write("src/b.txt", "bee");
    TZip zip;
    zip.SetArchiveFile(dir / "aes.zip");
    zip.SetFileSpec({dir / "src/*"});
    zip.SetPassword("right");
    zip.SetEncryptionMethod(emAes256);
    ASSERT_EQ(zip.Compress(), 2);
    UseFile(dir / "aes.zip");
  }
};

TEST_F(AesPasswords, ListThenQuestionsThenGivingUp) {
  const struct {
    std::vector<std::string> list;
    std::vector<std::string> answers;  // what OnGetPassword gives, in turn
    int32_t extracted;
    std::vector<int32_t> codes;
    size_t asked;
  } rows[] = {
      {{"wrong", "right"}, {}, 2, {}, 0},
      {{}, {"wrong", "right"}, 2, {ec::InvalidPassword}, 2},
      // Three wrong answers: the first entry is given up, the second is
      // tried with the passwords known and not asked for again.
      {{},
       {"x", "y", "z", "right"},
       0,
       {ec::InvalidPassword, ec::InvalidPassword, ec::InvalidPassword, ec::PasswordFailed},
       3},
  };
  for (const auto& r : rows) {
    std::filesystem::remove_all(out);
    errors.clear();
    unzip.SetPasswords(r.list);
    size_t asked = 0;
    unzip.OnGetPassword = [&](TObject*, const std::string&, std::string& p, bool& again) {
      p = asked < r.answers.size() ? r.answers[asked] : "";
      again = true;
      ++asked;
    };
    EXPECT_EQ(unzip.Extract(), r.extracted);
    EXPECT_EQ(Codes(), r.codes);
    EXPECT_EQ(asked, r.asked);
    EXPECT_EQ(Exists("a.txt"), r.extracted > 0);
    EXPECT_EQ(Read(out + "b.txt"), r.extracted > 0 ? "bee" : "");
  }
  // A password the user typed comes first from then on.
  EXPECT_EQ(unzip.Passwords().front(), "right");
}

}  // namespace
}  // namespace arc
