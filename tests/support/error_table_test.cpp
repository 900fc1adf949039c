#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <arc/support/errors.h>

namespace arc {
namespace {

TEST(ErrorTable, EveryTextMatchesTheKeptCopy) {
  std::ifstream in(std::string(ARC_TEST_DATA) + "/error_texts.txt");
  ASSERT_TRUE(in) << "tests/data/error_texts.txt missing";
  std::string line;
  size_t rows = 0;
  while (std::getline(in, line)) {
    auto tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    int32_t code = std::stoi(line.substr(0, tab));
    EXPECT_EQ(ErrorText(code), line.substr(tab + 1)) << "code " << code;
    ++rows;
  }
  EXPECT_EQ(rows, 120u);
  EXPECT_EQ(AllErrorTexts().size(), rows);
}

TEST(ErrorTable, UnknownIdentifiersHaveNoText) {
  EXPECT_EQ(ErrorText(0), "");
  EXPECT_EQ(ErrorText(25105), "");
  EXPECT_EQ(ErrorText(26900), "");
  EXPECT_EQ(ErrorText(-1), "");
}

TEST(ErrorTable, NamedCodesCarryTheirTexts) {
  EXPECT_EQ(ErrorText(ec::BadFileHeader), "Bad file header");
  EXPECT_EQ(ErrorText(ec::UserCanceled), "User canceled");
  EXPECT_EQ(ErrorText(ec::Header64Bit), "64 bit hearder");
  EXPECT_EQ(ErrorText(ec::TempDirCreateQuestion), "Directory does not exist... Create?");
}

}  // namespace
}  // namespace arc
