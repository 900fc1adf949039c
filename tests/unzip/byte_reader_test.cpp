#include "unzip/byte_reader.h"

#include <array>

#include <gtest/gtest.h>

namespace arc {
namespace {

TEST(ByteReader, ReadsLittleEndianAndFailsStickilyPastTheEnd) {
  const std::array<uint8_t, 9> bytes{0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xAA, 0xBB};
  ByteReader r(bytes);
  EXPECT_EQ(r.u8(), 0x01);
  EXPECT_EQ(r.u16(), 0x1234);
  EXPECT_EQ(r.u32(), 0x12345678u);
  EXPECT_TRUE(r);
  EXPECT_EQ(r.remaining(), 2u);

  // A read that does not fit takes nothing and poisons the cursor: later reads
  // that would fit yield zeros and the offset stays put.
  EXPECT_EQ(r.u32(), 0u);
  EXPECT_FALSE(r);
  EXPECT_EQ(r.u8(), 0u);
  EXPECT_TRUE(r.bytes(1).empty());
  EXPECT_EQ(r.offset(), 7u);
}

TEST(ByteReader, SubReaderIsConfinedToItsClaimedLength) {
  const std::array<uint8_t, 6> bytes{1, 2, 3, 4, 5, 6};
  ByteReader r(bytes);
  ByteReader inner = r.sub(3);
  EXPECT_EQ(inner.u16(), 0x0201);
  EXPECT_EQ(inner.u16(), 0u);  // would cross into the outer bytes
  EXPECT_FALSE(inner);
  EXPECT_TRUE(r);
  EXPECT_EQ(r.u8(), 4);

  ByteReader tooLong = r.sub(3);  // 2 bytes are left
  EXPECT_FALSE(tooLong);
  EXPECT_FALSE(r);
}

TEST(ByteWriter, WritesLittleEndianAndRefusesToOverflow) {
  std::array<uint8_t, 7> out{};
  ByteWriter w(out);
  w.u16(0xBEEF);
  w.u32(0xDEADC0DE);
  EXPECT_TRUE(w);
  w.u16(0x1111);  // one byte left: nothing is written
  EXPECT_FALSE(w);
  w.u8(0x22);     // stays failed
  EXPECT_EQ(out, (std::array<uint8_t, 7>{0xEF, 0xBE, 0xDE, 0xC0, 0xAD, 0xDE, 0x00}));
}

}  // namespace
}  // namespace arc
