#include <zlib.h>

#include <gtest/gtest.h>

#include "stream_test_util.h"
#include "support/stream_ops.h"

namespace arc {
namespace {

uint32_t Crc16Of(const std::vector<uint8_t>& d) {
  uint32_t r = 0;
  Crc16Update(d.data(), static_cast<int32_t>(d.size()), r);
  return r;
}

TEST(StoreStream, CopiesInChunksWithProgressCrcAndRemainingCount) {
  const std::vector<uint8_t> data = test::Sample(250'000);
  TMemoryStream32 source;
  test::Fill(source, data);
  test::RecordingStream dest;
  dest.WriteBuffer("HDR", 3);
  int64_t remaining = 250'000;
  int progress = 0;
  bool cancel = false;
  TransferControl control;
  control.remaining = &remaining;
  control.crc = 0;  // replaced by the start value of the kind
  TStoreStream store(
      dest, [&](TStream32&) { ++progress; }, &cancel, control, kCrcKind32);
  source.SetPosition(1000);
  EXPECT_EQ(store.StoreFrom(source), 250'000);
  EXPECT_EQ(dest.writes, (std::vector<int32_t>{3, 102'400, 102'400, 45'200}));
  EXPECT_EQ(progress, 3);
  EXPECT_EQ(remaining, 0);
  EXPECT_EQ(store.control.crc ^ 0xFFFFFFFFu, crc32(0, data.data(), 250'000));
  std::vector<uint8_t> out = test::Contents(dest);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 3, out.end()), data);
}

TEST(StoreStream, CancelStopsBeforeTheNextChunk) {
  TMemoryStream32 source;
  test::Fill(source, test::Sample(250'000));
  TMemoryStream32 dest;
  bool cancel = false;
  TStoreStream store(
      dest, [&](TStream32&) { cancel = true; }, &cancel, TransferControl{}, kCrcKind32);
  EXPECT_EQ(store.StoreFrom(source), 250'000) << "the count asked for, also when cancelled";
  EXPECT_EQ(dest.Size(), kStoreChunk);
}

TEST(StoreStream, EncryptedStoreKeepsTheWritersCrcAndTheCallersBytes) {
  std::vector<uint8_t> data = test::Sample(5000);
  const std::vector<uint8_t> original = data;
  TMemoryStream32 dest;
  TransferControl control;
  control.encrypted = true;
  control.crc = 0x1234ABCD;
  control.cipher = [](uint8_t* p, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(p[i] + 1);
  };
  TStoreStream store(dest, {}, nullptr, control, kCrcKind32);
  EXPECT_EQ(store.Write(data.data(), 5000), 5000);
  EXPECT_EQ(store.control.crc, 0x1234ABCDu);
  EXPECT_EQ(data, original);
  EXPECT_EQ(dest.Memory()[0], static_cast<uint8_t>(original[0] + 1));
}

TEST(StreamCrc32, GivesTheRegisterAndLeavesTheSourceAtItsStart) {
  const std::vector<uint8_t> data = test::Sample(150'000);
  TMemoryStream32 source;
  test::Fill(source, data);
  int64_t remaining = 150'000;
  TransferControl control;
  control.remaining = &remaining;
  int progress = 0;
  source.SetPosition(99);
  const uint32_t reg = StreamCrc32(
      source, control, nullptr, [&](TStream32&) { ++progress; }, 0);
  EXPECT_EQ(reg ^ 0xFFFFFFFFu, crc32(0, data.data(), 150'000));
  EXPECT_EQ(source.Position(), 0);
  // The first pass over a source without a handler counts nothing.
  EXPECT_EQ(remaining, 150'000);
  EXPECT_EQ(progress, 0);
  EXPECT_EQ(StreamCrc32(source, control, nullptr, {}, 10) ^ 0xFFFFFFFFu, crc32(0, data.data(), 10));

  // A source with an active handler is told, and the count falls.
  int told = 0;
  source.activeProgress = [&](TStream32&) { ++told; };
  TCalcStreamCRC calc(source, {}, nullptr, control, kCrcKind16, 0);
  EXPECT_EQ(calc.CRC(), Crc16Of(data));
  EXPECT_EQ(told, 3);
  EXPECT_EQ(remaining, 0);

  bool cancel = true;
  TCalcStreamCRC cancelled(source, {}, &cancel, control, kCrcKind32, 0);
  EXPECT_EQ(cancelled.CRC(), kCrc32Init);
}

// AES entries need no CRC before their data: stored or deflated, the
// enciphered bytes go out while the CRC covers the plain ones.
TEST(CrcOnTheWay, EncipheredEntriesStillGetTheCrcOfTheirPlainBytes) {
  const std::vector<uint8_t> data = test::Sample(70'000);
  const uint32_t expected = crc32(0, data.data(), static_cast<uInt>(data.size()));
  TransferControl control;
  control.encrypted = true;
  control.crcOnTheWay = true;
  control.cipher = [](uint8_t* p, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) p[i] ^= 0x5A;
  };
  TMemoryStream32 source;
  test::Fill(source, data);
  TMemoryStream32 stored;
  TStoreStream store(stored, {}, nullptr, control, kCrcKind32);
  store.StoreFrom(source);
  EXPECT_EQ(store.control.crc ^ 0xFFFFFFFFu, expected);
  EXPECT_EQ(stored.Memory()[0], static_cast<uint8_t>(data[0] ^ 0x5A));

  TMemoryStream32 deflated;
  uint32_t crc = 0;
  ASSERT_TRUE(DeflateStream(source, deflated, control, -15, {}, dtDeflateN, crc));
  EXPECT_EQ(crc, expected);
}

}  // namespace
}  // namespace arc
