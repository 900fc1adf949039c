#include "support/byte_reader.h"

#include <array>

#include <gtest/gtest.h>

namespace arc {
namespace {

TEST(ByteCursors, LittleEndianWithAStickyFailureAtTheEnd) {
  const std::array<uint8_t, 9> bytes{0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xAA, 0xBB};
  ByteReader r(bytes);
  EXPECT_EQ(r.u8(), 0x01);
  EXPECT_EQ(r.u16(), 0x1234);
  EXPECT_EQ(r.u32(), 0x12345678u);
  // A sub-reader is confined to what it claimed.
  ByteReader inner = r.sub(1);
  EXPECT_EQ(inner.u16(), 0u);
  EXPECT_FALSE(inner);
  EXPECT_TRUE(r);
  // A read that does not fit takes nothing and poisons the cursor: a later read
  // that would fit yields zero and the offset stays put.
  EXPECT_EQ(r.u16(), 0u);
  EXPECT_FALSE(r);
  EXPECT_EQ(r.u8(), 0u);
  EXPECT_EQ(r.offset(), 8u);

  std::array<uint8_t, 5> out{};
  ByteWriter w(out);
  w.u32(0xDEADC0DE);
  w.u16(0x1111);  // one byte left: nothing is written, and nothing after
  w.u8(0x22);
  EXPECT_FALSE(w);
  EXPECT_EQ(out, (std::array<uint8_t, 5>{0xDE, 0xC0, 0xAD, 0xDE, 0x00}));
}

}  // namespace
}  // namespace arc
