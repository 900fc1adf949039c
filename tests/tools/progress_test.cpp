//===-- tests/tools/progress_test.cpp - What arcz's progress bar shows ----===//
#include <gtest/gtest.h>

#include "arcz_progress.h"

namespace arcz {
namespace {

size_t Columns(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

TEST(ProgressBar, FiguresReadAsPeopleWriteThem) {
  EXPECT_EQ(FormatBytes(1023), "1023 B");
  EXPECT_EQ(FormatBytes(1536), "1.5 KiB");
  EXPECT_EQ(FormatBytes(1048540), "1.0 MiB");  // not "1024.0 KiB"
  EXPECT_EQ(FormatDuration(3723), "1:02:03");
}

TEST(ProgressBar, LineFitsTheTerminalAndGivesUpTheNameFirst) {
  const std::string name = "folder/sub/\xd9\x81\xd8\xa7\xdb\x8c\xd9\x84-report.csv";  // Persian
  const struct {
    ProgressFigures figures;
    size_t width;
    std::string expected;
  } rows[] = {
      {{512 << 20, 1 << 30, 64 << 20, name},
       120,
       "[##########..........]  50%  512.0 MiB / 1.0 GiB  64.0 MiB/s  0:08 left  " + name},
      // The name is shortened from the left, by characters, not bytes.
      {{512 << 20, 1 << 30, 64 << 20, name},
       90,
       "[##########..........]  50%  512.0 MiB / 1.0 GiB  64.0 MiB/s  0:08 left  "
       "...\xdb\x8c\xd9\x84-report.csv"},
      // Narrower: the graphic shrinks so that the name keeps some room.
      {{512 << 20, 1 << 30, 64 << 20, name},
       80,
       "[#####.....]  50%  512.0 MiB / 1.0 GiB  64.0 MiB/s  0:08 left  "
       "...\xdb\x8c\xd9\x84-report.csv"},
      // Then the name goes, then the graphic.
      {{512 << 20, 1 << 30, 64 << 20, name},
       64,
       "[#####.....]  50%  512.0 MiB / 1.0 GiB  64.0 MiB/s  0:08 left"},
      {{512 << 20, 1 << 30, 64 << 20, name},
       50,
       " 50%  512.0 MiB / 1.0 GiB  64.0 MiB/s  0:08 left"},
      // No rate yet, no time left; a stalled rate has no end in sight.
      {{0, 1000, -1, ""}, 80, "[....................]   0%  0 B / 1000 B"},
      {{10, 1000, 0, ""}, 80, "[....................]   1%  10 B / 1000 B  0 B/s  --:-- left"},
      // A count beyond the total (the archive lied about a size) stays at 100 %.
      {{2000, 1000, 1000, ""},
       80,
       "[####################] 100%  1000 B / 1000 B  1000 B/s  0:00 left"},
  };
  for (const auto& r : rows) {
    const std::string line = FormatProgressLine(r.figures, r.width);
    EXPECT_EQ(line, r.expected) << r.width;
    EXPECT_LT(Columns(line), r.width) << line;
  }
}

TEST(ProgressBar, NoBarForTheFirstSecondThenTenRedrawsASecond) {
  RedrawThrottle throttle;
  const std::pair<int64_t, bool> calls[] = {
      {0, false},   {999, false},  {1000, true}, {1050, false}, {1099, false},
      {1100, true}, {1150, false}, {5000, true}, {5001, false},
  };
  for (const auto& [ms, due] : calls) EXPECT_EQ(throttle.Due(ms), due) << ms;
}

TEST(ProgressBar, RateFollowsTheRecentPaceAndForgetsPauses) {
  RateMeter rate;
  EXPECT_LT(rate.BytesPerSecond(), 0);
  // 1 MB per second for ten seconds: only the last five count, all alike.
  for (int64_t ms = 0; ms <= 10000; ms += 50) rate.Add(ms, ms * 1000);
  EXPECT_DOUBLE_EQ(rate.BytesPerSecond(), 1e6);
  // Then twice as fast: within the window the rate follows.
  for (int64_t ms = 10050; ms <= 20000; ms += 50) rate.Add(ms, 10'000'000 + (ms - 10000) * 2000);
  EXPECT_DOUBLE_EQ(rate.BytesPerSecond(), 2e6);
  // A question kept the work waiting for a minute: that is no part of the pace.
  rate.Add(80000, 30'000'000);
  EXPECT_LT(rate.BytesPerSecond(), 0);
  rate.Add(80500, 30'500'000);
  EXPECT_DOUBLE_EQ(rate.BytesPerSecond(), 1e6);
  // A new stage counts from 0 again.
  rate.Add(81000, 0);
  rate.Add(81500, 250'000);
  EXPECT_DOUBLE_EQ(rate.BytesPerSecond(), 5e5);
}

}  // namespace
}  // namespace arcz
