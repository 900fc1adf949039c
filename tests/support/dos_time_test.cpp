#include <arc/support/dos_time.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "common/test_temp_dir.h"

namespace arc {
namespace {

constexpr uint32_t Dos(int y, int mo, int d, int h, int mi, int s) {
  return uint32_t(y - 1980) << 25 | uint32_t(mo) << 21 | uint32_t(d) << 16 | uint32_t(h) << 11 |
         uint32_t(mi) << 5 | uint32_t(s / 2);
}

// Local-time conversions run in UTC so that results do not depend on the machine.
class DosFileTimes : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    had_ = tz != nullptr;
    if (had_) old_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

TEST(DosToDateTime, ValidValues) {
  EXPECT_DOUBLE_EQ(DosToDateTime(Dos(1980, 1, 1, 0, 0, 0)), 29221.0);
  EXPECT_DOUBLE_EQ(DosToDateTime(Dos(2000, 2, 29, 12, 0, 0)), 36585.5);
  EXPECT_DOUBLE_EQ(DosToDateTime(Dos(2107, 12, 31, 23, 59, 58)),
                   EncodeDate(2107, 12, 31) + 86398.0 / 86400.0);
}

TEST(DosToDateTime, ZeroAndInvalidValuesReadAsStartOf1980) {
  EXPECT_NEAR(DosToDateTime(0), 29221.000694, 1e-6);
  // Invalid date, valid time: the default plus the time of day.
  EXPECT_NEAR(DosToDateTime(Dos(2001, 13, 1, 6, 0, 0)), 29221.000694 + 0.25, 1e-6);
  EXPECT_NEAR(DosToDateTime(Dos(2001, 0, 1, 0, 0, 0)), 29221.000694, 1e-6);
  EXPECT_NEAR(DosToDateTime(Dos(2001, 4, 0, 0, 0, 0)), 29221.000694, 1e-6);
  EXPECT_NEAR(DosToDateTime(Dos(2001, 2, 29, 0, 0, 0)), 29221.000694, 1e-6);  // not a leap year
  EXPECT_NEAR(DosToDateTime(Dos(2100, 2, 29, 0, 0, 0)), 29221.000694, 1e-6);  // century rule
  // An invalid time replaces the whole value.
  EXPECT_NEAR(DosToDateTime(Dos(2001, 5, 5, 24, 0, 0)), 29221.000694, 1e-6);
  EXPECT_NEAR(DosToDateTime(Dos(2001, 5, 5, 1, 60, 0)), 29221.000694, 1e-6);
  EXPECT_NEAR(DosToDateTime(Dos(2001, 5, 5, 1, 0, 0) | 30), 29221.000694, 1e-6);  // 60 seconds
}

TEST(DosFields, PackAndUnpackTheStoredFields) {
  // 2024-02-29 13:45:58: date (44 << 9 | 2 << 5 | 29), time (13 << 11 | 45 << 5 | 29).
  const uint32_t v = MakeDosDateTime(0x585D, 0x6DBD);
  EXPECT_EQ(UnpackDosDateTime(v), (DosFields{2024, 2, 29, 13, 45, 58}));
  EXPECT_EQ(PackDosDateTime({2024, 2, 29, 13, 45, 58}), v);
  EXPECT_EQ(DosTimeOf(v), 0x6DBD);
  EXPECT_EQ(DosDateOf(v), 0x585D);
}

TEST(DateTimeToDos, RoundTripAndRangeLimits) {
  for (uint32_t v : {Dos(1980, 1, 1, 0, 0, 0), Dos(1999, 12, 31, 23, 59, 58),
                     Dos(2024, 2, 29, 13, 37, 42), Dos(2107, 12, 31, 23, 59, 58)}) {
    EXPECT_EQ(DateTimeToDos(DosToDateTime(v)), v);
  }
  EXPECT_EQ(DateTimeToDos(EncodeDate(1970, 1, 1)), kDosMinimum);
  EXPECT_EQ(DateTimeToDos(EncodeDate(2200, 1, 1)), kDosMaximum);
  EXPECT_EQ(DateTimeToDos(EncodeDate(2000, 1, 1) + 3.0 / 86400.0), Dos(2000, 1, 1, 0, 0, 2));
}

TEST_F(DosFileTimes, ConvertInLocalTimeWithTheUtcZone) {
  EXPECT_EQ(FileTimeToDos(0), kDosMinimum);  // 1970 is before the DOS range
  std::time_t t = 1700000000;                // 2023-11-14 22:13:20 UTC
  EXPECT_EQ(FileTimeToDos(t), Dos(2023, 11, 14, 22, 13, 20));
  EXPECT_EQ(DosToFileTime(Dos(2023, 11, 14, 22, 13, 20)), t);
  EXPECT_EQ(DosToFileTime(Dos(2023, 13, 14, 22, 13, 20)), std::time_t(-1));

  test::TempDir tmp;
  std::string f = tmp.Write("f");
  struct timespec times[2] = {{1600000000, 0}, {t + 1, 0}};  // access, modification
  ASSERT_EQ(utimensat(AT_FDCWD, f.c_str(), times, 0), 0);
  int fd = open(f.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(FileHandleDosTime(fd, FileTimeKind::LastWrite), Dos(2023, 11, 14, 22, 13, 20));
  EXPECT_EQ(FileHandleDosTime(fd, FileTimeKind::LastAccess), FileTimeToDos(1600000000));
  EXPECT_NE(FileHandleDosTime(fd, FileTimeKind::Creation), 0u);
  close(fd);
  EXPECT_EQ(FileHandleDosTime(-1, FileTimeKind::LastWrite), 0u);
}

}  // namespace
}  // namespace arc
