//===-- tests/core/progress_timer_test.cpp - Progress and the stopwatch ---===//
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arc/unzip/unzip.h>
#include <arc/zip/zip.h>

namespace arc {
namespace {

TEST(Percent, RoundsHalvesToEvenAndStaysWithinRange) {
  EXPECT_EQ(TZipCommon::Percent(0, 5), 0);
  EXPECT_EQ(TZipCommon::Percent(-10, 5), 0);
  EXPECT_EQ(TZipCommon::Percent(200, 1), 0);  // 0.5
  EXPECT_EQ(TZipCommon::Percent(200, 3), 2);  // 1.5
  EXPECT_EQ(TZipCommon::Percent(200, 5), 2);  // 2.5
  EXPECT_EQ(TZipCommon::Percent(100, 150), 100);
  EXPECT_EQ(TZipCommon::Percent(100, -3), 0);
  EXPECT_EQ(TZipCommon::Percent(3, 2), 67);
  EXPECT_EQ(TZipCommon::Percent(INT64_MAX, INT64_MAX), 100);
  EXPECT_EQ(TZipCommon::Percent(int64_t{1} << 48, int64_t{1} << 47), 50);
}

TEST(DoProgress, PumpsMessagesThenReportsFileAndArchiveShares) {
  TUnZip unzip;
  std::vector<std::string> calls;
  unzip.dialogs.processMessages = [&] { calls.push_back("pump"); };
  unzip.OnProgress = [&](TObject* sender, uint8_t by_file, uint8_t by_archive) {
    EXPECT_EQ(sender, &unzip);
    calls.push_back(std::to_string(by_file) + "/" + std::to_string(by_archive));
  };
  unzip.Totals().remaining = 750;
  unzip.DoProgress(1000, 400, 100);
  EXPECT_EQ(calls, (std::vector<std::string>{"pump", "25/25"}));
}

TEST(DoProgress, DispatcherIsReplaceableResettableAndNeverThrows) {
  TZip zip;
  std::vector<int> moved;
  zip.OnProgress = [](TObject*, uint8_t, uint8_t) { throw std::runtime_error("gauge gone"); };
  zip.progressDispatcher = [&](uint8_t by_file, uint8_t) { moved.push_back(by_file); };
  zip.DoProgress(100, 100, 40);
  EXPECT_EQ(moved, std::vector<int>{40});
  zip.ResetProgressDispatcher();
  EXPECT_NO_THROW(zip.DoProgress(100, 100, 40));
  zip.dialogs.processMessages = [] { throw 42; };
  EXPECT_NO_THROW(zip.DispatchProgress(0, 0));
  EXPECT_EQ(moved.size(), 1u);
}

TEST(DoProgress, HandlerMayCancelThroughTheDispatcher) {
  TZip zip;
  std::vector<int32_t> codes;
  zip.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&,
                    int32_t code) { codes.push_back(code); };
  zip.OnProgress = [&](TObject*, uint8_t, uint8_t) { zip.SetCancel(true); };
  zip.DoProgress(1, 1, 1);
  EXPECT_TRUE(zip.Cancel());
  EXPECT_EQ(codes, std::vector<int32_t>{25443});
}

class Stopwatch : public ::testing::Test {
 protected:
  uint32_t now = 0;
  TArcTimer timer{[this] { return now; }};
};

TEST_F(Stopwatch, MeasuresFromStartToStopWithoutPauses) {
  EXPECT_FALSE(timer.Running());
  timer.Stop();  // not running: nothing happens
  EXPECT_EQ(timer.ElapsedTime(), 0);

  timer.Start();  // a clock reading of 0 still starts it
  EXPECT_TRUE(timer.Running());
  now = 1500;
  timer.Pause();
  now = 4000;
  timer.Resume();
  now = 4250;
  timer.Stop();
  EXPECT_FALSE(timer.Running());
  EXPECT_FLOAT_EQ(timer.ElapsedTime(), 1.75f);
}

TEST_F(Stopwatch, NestedPausesStopInsideAPauseAndTickWrapAround) {
  now = 0xFFFFFF00u;
  timer.Start();
  now = 0x00000100u;  // the 32-bit tick counter wrapped
  timer.Pause();
  timer.Pause();  // nested inside the first pause: counted once
  now = 0x00000500u;
  timer.Resume();
  now = 0x00000900u;
  timer.Stop();
  EXPECT_FLOAT_EQ(timer.ElapsedTime(), 0.512f);
  timer.Pause();  // not running: ignored
  timer.Resume();
  EXPECT_FALSE(timer.Paused());
}

}  // namespace
}  // namespace arc
