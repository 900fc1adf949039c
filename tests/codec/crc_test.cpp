#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include <arc/codec/crc.h>

namespace arc {
namespace {

uint32_t Crc32Of(const void* p, int32_t n) {
  uint32_t r = kCrc32Init;
  Crc32Update(p, n, r);
  return r ^ 0xFFFFFFFFu;
}

TEST(Crc32, KnownValues) {
  EXPECT_EQ(Crc32Of("abc", 3), 0x352441C2u);
  EXPECT_EQ(Crc32Of("", 0), 0u);
  EXPECT_EQ(Crc32Of("123456789", 9), 0xCBF43926u);
}

TEST(Crc32, NonPositiveLengthLeavesRegister) {
  uint32_t r = 0x12345678;
  Crc32Update("abc", 0, r);
  Crc32Update("abc", -5, r);
  EXPECT_EQ(r, 0x12345678u);
}

TEST(Crc32, PiecesOfAnySizeGiveTheSameRegisterAsZlib) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data(200000);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  uint32_t whole = kCrc32Init;
  Crc32Update(data.data(), static_cast<int32_t>(data.size()), whole);
  EXPECT_EQ(whole ^ 0xFFFFFFFFu, crc32(0, data.data(), static_cast<uInt>(data.size())));
  for (size_t piece : {1u, 3u, 63u, 64u, 65u, 4096u, 61440u}) {
    uint32_t r = kCrc32Init;
    for (size_t at = 0; at < data.size(); at += piece) {
      size_t n = std::min(piece, data.size() - at);
      Crc32Update(data.data() + at, static_cast<int32_t>(n), r);
    }
    EXPECT_EQ(r, whole) << "piece " << piece;
  }
}

TEST(Crc16, ArcCheckValue) {
  uint32_t r = 0;
  Crc16Update("123456789", 9, r);
  EXPECT_EQ(r, 0xBB3Du);  // CRC-16/ARC check value
}

}  // namespace
}  // namespace arc
