#include "app/backup_history.h"

#include <gtest/gtest.h>

namespace app {
namespace {

TEST(BackupHistory, ExpiresByCountOrAgeButNeverTheNewest) {
  const std::time_t day = 24 * 60 * 60, now = 100 * day;
  std::vector<TStampedFile> found;  // newest first: 1, 5, 9, 20 and 30 days old
  for (int age : {1, 5, 9, 20, 30}) found.push_back({"d" + std::to_string(age), now - age * day});
  struct {
    int32_t keep, maxAgeDays;
    std::vector<std::string> expired;
  } rows[] = {
      {0, 0, {}},
      {3, 0, {"d20", "d30"}},
      {0, 7, {"d9", "d20", "d30"}},
      {4, 10, {"d20", "d30"}},
      {1, 0, {"d5", "d9", "d20", "d30"}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Expired(found, row.keep, row.maxAgeDays, now), row.expired)
        << row.keep << " " << row.maxAgeDays;
  }
  // However old, the newest stays.
  EXPECT_EQ(Expired({found.back()}, 0, 7, now), std::vector<std::string>{});
}

}  // namespace
}  // namespace app
