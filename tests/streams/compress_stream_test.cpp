#include <zlib.h>

#include <cstring>

#include <gtest/gtest.h>

#include "stream_test_util.h"
#include "support/stream_ops.h"

namespace arc {
namespace {

// zlib's inflate as the oracle: the whole raw stream, nothing after it.
std::vector<uint8_t> Inflated(const uint8_t* data, size_t size, size_t expected) {
  z_stream s{};
  EXPECT_EQ(inflateInit2(&s, -15), Z_OK);
  std::vector<uint8_t> out(expected + 16);
  s.next_in = const_cast<Bytef*>(data);
  s.avail_in = static_cast<uInt>(size);
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&s, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(s.avail_in, 0u);
  out.resize(s.total_out);
  inflateEnd(&s);
  return out;
}

uint32_t ZlibCrc(const std::vector<uint8_t>& d) {
  return static_cast<uint32_t>(crc32(0, d.data(), static_cast<uInt>(d.size())));
}

TEST(DeflateStream, RoundTripsAtEveryLevelAfterAHeaderWithTheSourceCrc) {
  const std::vector<uint8_t> data = test::Sample(400'000);
  TMemoryStream32 source;
  test::Fill(source, data);
  for (TDeflateType t : {dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX}) {
    test::RecordingStream dest;
    dest.WriteBuffer("HEADER", 6);
    int64_t remaining = 400'000;
    int progress = 0;
    TransferControl control;
    control.remaining = &remaining;
    uint32_t crc = 0x12345678;
    source.SetPosition(777);  // the whole source is taken from its beginning
    ASSERT_TRUE(DeflateStream(
        source, dest, control, -15, [&](TStream32&) { ++progress; }, t, crc));
    EXPECT_EQ(crc, ZlibCrc(data)) << "type " << int(t);
    EXPECT_EQ(remaining, 0);
    EXPECT_GE(progress, 6);  // one per 61,440-byte chunk at least
    const std::vector<uint8_t> out = test::Contents(dest);
    ASSERT_EQ(std::memcmp(out.data(), "HEADER", 6), 0);
    EXPECT_EQ(Inflated(out.data() + 6, out.size() - 6, data.size()), data) << "type " << int(t);
    // Compressed data goes out in 65,536-byte blocks, the last one shorter.
    ASSERT_GE(dest.writes.size(), 2u);
    for (size_t i = 1; i + 1 < dest.writes.size(); ++i) EXPECT_EQ(dest.writes[i], 65536);
    EXPECT_LE(dest.writes.back(), 65536);
  }
}

TEST(DeflateStream, EmptySourceGivesTheTwoByteStreamAndCrcZero) {
  TMemoryStream32 source;
  TMemoryStream32 dest;
  TransferControl control;
  uint32_t crc = 0xFFFFFFFF;
  EXPECT_TRUE(DeflateStream(source, dest, control, -15, {}, dtDeflateN, crc));
  EXPECT_EQ(crc, 0u);
  EXPECT_EQ(test::Contents(dest), (std::vector<uint8_t>{0x03, 0x00}));

  // The adapter alone, never written to, finishes the same way.
  TMemoryStream32 alone;
  { TCompressStream c(alone, dtDeflateX); }
  EXPECT_EQ(test::Contents(alone), (std::vector<uint8_t>{0x03, 0x00}));
}

TEST(DeflateStream, CancelStopsBeforeTheNextChunkAndKeepsWhatWasGathered) {
  const std::vector<uint8_t> data = test::Sample(400'000);
  TMemoryStream32 source;
  test::Fill(source, data);
  TMemoryStream32 dest;
  bool cancel = false;
  TransferControl control;
  control.Cancel = &cancel;
  uint32_t crc = 0;
  int reports = 0;
  // Cancelled from the progress report of the fourth chunk.
  EXPECT_FALSE(DeflateStream(
      source, dest, control, -15, [&](TStream32&) { cancel = ++reports == 4; }, dtDeflateN, crc));
  EXPECT_EQ(source.Position(), 4 * kCopyChunk) << "no chunk read after the cancel";
  // What the finish step wrote is the start of the complete stream.
  TMemoryStream32 full;
  TransferControl plain;
  ASSERT_TRUE(DeflateStream(source, full, plain, -15, {}, dtDeflateN, crc));
  ASSERT_GT(dest.Size(), 0);
  ASSERT_LT(dest.Size(), full.Size());
  EXPECT_EQ(std::memcmp(dest.Memory(), full.Memory(), static_cast<size_t>(dest.Size())), 0);
}

TEST(DeflateStream, EngineThatCannotStartStopsWithoutOutput) {
  TMemoryStream32 source;
  test::Fill(source, test::Sample(200'000));
  TMemoryStream32 dest;
  TransferControl control;
  uint32_t crc = 0;
  EXPECT_FALSE(DeflateStream(source, dest, control, /*windowBits=*/99, {}, dtDeflateN, crc));
  EXPECT_EQ(dest.Size(), 0);
}

TEST(CompressStream, EncryptedEntryIsEncipheredAndItsCrcLeftAlone) {
  const std::vector<uint8_t> data = test::Sample(100'000);
  TMemoryStream32 source;
  test::Fill(source, data);
  TMemoryStream32 dest;
  TransferControl control;
  control.encrypted = true;
  control.cipher = [](uint8_t* p, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) p[i] ^= 0x5A;
  };
  uint32_t crc = 0xCAFEBABE;
  ASSERT_TRUE(DeflateStream(source, dest, control, -15, {}, dtDeflateN, crc));
  EXPECT_EQ(crc, 0xCAFEBABEu);
  std::vector<uint8_t> out = test::Contents(dest);
  for (auto& b : out) b ^= 0x5A;
  EXPECT_EQ(Inflated(out.data(), out.size(), data.size()), data);
}

TEST(CompressStream, ReturnsToItsPositionAfterOthersMovedTheStream) {
  const std::vector<uint8_t> a = test::Sample(150'000, 1);
  TMemoryStream32 dest;
  dest.WriteBuffer("LH", 2);
  {
    TCompressStream c(dest, dtDeflateN);
    c.WriteBuffer(a.data(), 100'000);
    dest.SetPosition(0);  // the component rewrites a header meanwhile
    dest.WriteBuffer("lh", 2);
    c.WriteBuffer(a.data() + 100'000, 50'000);
    EXPECT_EQ(c.Position(), 150'000) << "position = uncompressed bytes consumed";
    try {
      c.Seek(int64_t{1} << 33, TSeekOrigin::soCurrent);
      FAIL() << "no exception";
    } catch (const ERangeError& e) {
      EXPECT_STREQ(e.what(), "Range check error");
    }
  }
  const std::vector<uint8_t> out = test::Contents(dest);
  ASSERT_EQ(std::memcmp(out.data(), "lh", 2), 0);
  EXPECT_EQ(Inflated(out.data() + 2, out.size() - 2, a.size()), a);
}

}  // namespace
}  // namespace arc
