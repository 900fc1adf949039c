#include <cstring>

#include <gtest/gtest.h>

#include "stream_test_util.h"
#include "support/stream_memory.h"

namespace arc {
namespace {

TEST(MemoryStream, CapacityGrowsInSteps) {
  TMemoryStream32 m;
  EXPECT_EQ(m.Write("x", 1), 1);
  EXPECT_EQ(m.Capacity(), 8192);
  EXPECT_EQ(m.Size(), 1);
  std::vector<uint8_t> block(8192, 7);
  m.WriteBuffer(block.data(), 8192);
  EXPECT_EQ(m.Capacity(), 16384);
  EXPECT_EQ(m.Size(), 8193);
  // A request equal to the size is taken as it is: the block shrinks to fit.
  m.SetSize(8193);
  EXPECT_EQ(m.Capacity(), 8193);
  m.SetSize(10);
  EXPECT_EQ(m.Capacity(), 8192);
  m.Clear();
  EXPECT_EQ(m.Capacity(), 0);
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
  EXPECT_EQ(m.Memory(), nullptr);
}

TEST(MemoryStream, SetSizeMovesAPositionBeyondTheNewEnd) {
  TMemoryStream32 m;
  m.SetSize(1000);
  m.SetPosition(500);
  m.SetSize(100);
  EXPECT_EQ(m.Position(), 100);
  m.SetPosition(50);
  m.SetSize(200);  // a position inside is kept, and the new bytes are zeros
  EXPECT_EQ(m.Position(), 50);
  EXPECT_EQ(m.Memory()[150], 0);
  EXPECT_THROW(m.SetSize(-1), EStreamMemory);
  EXPECT_EQ(m.Size(), 200) << "a refused size leaves the stream as it was";
}

TEST(MemoryStream, ReadsAndWritesAtOddPositions) {
  TMemoryStream32 m;
  m.WriteBuffer("abcdef", 6);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 4), 0) << "at position = size nothing is read";
  EXPECT_EQ(m.Seek(-2, TSeekOrigin::soEnd), 4);
  EXPECT_EQ(m.Read(buf, 8), 2);
  EXPECT_STREQ(buf, "ef");
  EXPECT_EQ(m.Read(buf, -1), 0);

  // A negative position: reads and writes do nothing.
  EXPECT_EQ(m.Seek(-10, TSeekOrigin::soCurrent), -4);
  EXPECT_EQ(m.Read(buf, 1), 0);
  EXPECT_EQ(m.Write("zz", 2), 0);
  EXPECT_EQ(m.Size(), 6);
  EXPECT_EQ(m.Position(), -4);
  EXPECT_EQ(std::memcmp(m.Memory(), "abcdef", 6), 0);

  // Beyond the end: the gap reads as zeros.
  m.SetPosition(10);
  EXPECT_EQ(m.Write("Z", 1), 1);
  EXPECT_EQ(m.Size(), 11);
  EXPECT_EQ(std::memcmp(m.Memory() + 6, "\0\0\0\0Z", 5), 0);

  EXPECT_THROW(m.Seek(int64_t{1} << 40, TSeekOrigin::soBeginning), ERangeError);
  m.SetPosition(0x7FFFFFFF);
  EXPECT_EQ(m.Write("x", 1), 0) << "no write past 2 GiB";
  EXPECT_EQ(m.Size(), 11);
}

}  // namespace
}  // namespace arc
