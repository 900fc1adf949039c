#include <bzlib.h>

#include <gtest/gtest.h>

#include "codec/deflate.h"
#include "stream_test_util.h"
#include "support/stream_adapters.h"

namespace arc {
namespace {

struct Compressed {
  std::vector<uint8_t> plain;
  std::vector<uint8_t> packed;
};

Compressed Make(size_t size, uint32_t seed = 5) {
  Compressed c;
  c.plain = test::Sample(size, seed);
  c.packed = DeflateBuffer(c.plain.data(), c.plain.size(), dtDeflateN);
  return c;
}

// Reads the whole entry in pieces of `piece` bytes, as the extractor does.
std::vector<uint8_t> ReadAll(TDecompressStream& d, size_t expected, int32_t piece) {
  std::vector<uint8_t> out;
  std::vector<uint8_t> buf(static_cast<size_t>(piece));
  while (out.size() < expected) {
    const int32_t want = static_cast<int32_t>(std::min<size_t>(piece, expected - out.size()));
    const int32_t r = d.Read(buf.data(), want);
    EXPECT_EQ(r, want);
    if (r != want) break;
    const uint32_t got = static_cast<uint32_t>(want) - d.Engine().avail_out;
    out.insert(out.end(), buf.begin(), buf.begin() + got);
    if (got == 0) break;
  }
  return out;
}

TEST(DecompressStream, ReadsInPiecesAndLeavesTheSourceRightAfterTheData) {
  const Compressed c = Make(300'000);
  for (int32_t piece : {1, 4096, 32768}) {
    TMemoryStream32 source;
    std::vector<uint8_t> archive = {'L', 'H'};
    archive.insert(archive.end(), c.packed.begin(), c.packed.end());
    archive.insert(archive.end(), {'P', 'K', 1, 2});  // the next header
    test::Fill(source, archive);
    source.SetPosition(2);
    {
      TDecompressStream d(source);
      int notified = 0;
      d.activeProgress = [&](TStream32&) { ++notified; };
      EXPECT_EQ(ReadAll(d, c.plain.size(), piece), c.plain);
      // Asking past the data meets the end of the stream.
      uint8_t b;
      EXPECT_EQ(d.Read(&b, 1), 1);
      EXPECT_EQ(d.Engine().avail_out, 1u);
      EXPECT_TRUE(d.control.endOfData);
      EXPECT_GT(notified, 0);
      // After the end: `count` again, nothing more, the flag stays.
      uint8_t more[10];
      EXPECT_EQ(d.Read(more, 10), 10);
      EXPECT_EQ(d.Engine().avail_out, 10u);
      EXPECT_TRUE(d.control.endOfData);
      EXPECT_EQ(d.Engine().total_out, c.plain.size());
    }
    EXPECT_EQ(source.Position(), static_cast<int64_t>(2 + c.packed.size())) << "piece " << piece;
  }
}

TEST(DecompressStream, SeeksForwardByDecodingAndBackToTheStart) {
  const Compressed c = Make(100'000);
  TMemoryStream32 source;
  test::Fill(source, c.packed);
  TDecompressStream d(source);
  EXPECT_EQ(d.Seek(10'000, TSeekOrigin::soCurrent), 10'000);
  EXPECT_EQ(d.Seek(25'000, TSeekOrigin::soBeginning), 25'000);
  EXPECT_EQ(d.Seek(5, TSeekOrigin::soBeginning), 25'000) << "backwards does nothing";
  EXPECT_EQ(d.Seek(-5, TSeekOrigin::soCurrent), 25'000);
  uint8_t b[4];
  ASSERT_EQ(d.Read(b, 4), 4);
  EXPECT_EQ(std::vector<uint8_t>(b, b + 4),
            std::vector<uint8_t>(c.plain.begin() + 25'000, c.plain.begin() + 25'004));
  EXPECT_EQ(d.Seek(0, TSeekOrigin::soBeginning), 0);
  ASSERT_EQ(d.Read(b, 4), 4);
  EXPECT_EQ(std::vector<uint8_t>(b, b + 4),
            std::vector<uint8_t>(c.plain.begin(), c.plain.begin() + 4));
  EXPECT_EQ(d.Seek(1'000'000, TSeekOrigin::soCurrent), 100'000) << "skipping stops at the end";
  EXPECT_THROW(d.Seek(int64_t{1} << 32, TSeekOrigin::soCurrent), ERangeError);
  EXPECT_EQ(d.Write(b, 1), -1);
}

TEST(DecompressStream, TruncatedOrDamagedInputGivesANegativeResultInsteadOfLooping) {
  const Compressed c = Make(100'000);
  TMemoryStream32 truncated;
  test::Fill(truncated,
             std::vector<uint8_t>(c.packed.begin(), c.packed.begin() + c.packed.size() / 2));
  TDecompressStream d(truncated);
  std::vector<uint8_t> buf(200'000);
  EXPECT_EQ(d.Read(buf.data(), 200'000), inflate_result::kBufError);
  EXPECT_FALSE(d.control.endOfData);

  TMemoryStream32 damaged;
  test::Fill(damaged, {0xFF, 0xFF, 0xFF, 0xFF});  // block type 3 does not exist
  TDecompressStream bad(damaged);
  EXPECT_EQ(bad.Read(buf.data(), 100), inflate_result::kDataError);
  EXPECT_EQ(bad.Read(buf.data(), 100), inflate_result::kDataError);

  TMemoryStream32 source;
  test::Fill(source, c.packed);
  TDecompressStream no_engine(source, /*windowBits=*/99);
  EXPECT_LT(no_engine.InitResult(), 0);
  EXPECT_EQ(no_engine.Read(buf.data(), 100), no_engine.InitResult());
}

TEST(DecompressStream, EncryptedInputIsDecipheredAsItIsRead) {
  const Compressed c = Make(70'000);
  std::vector<uint8_t> enciphered = c.packed;
  for (auto& b : enciphered) b ^= 0xA5;
  TMemoryStream32 source;
  test::Fill(source, enciphered);
  TDecompressStream d(source);
  d.control.encrypted = true;
  d.control.cipher = [](uint8_t* p, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) p[i] ^= 0xA5;
  };
  EXPECT_EQ(ReadAll(d, c.plain.size(), 32768), c.plain);
}

// A library decoder told the entry's compressed size takes nothing past it,
// so the adapter hands the rest back as it does for the inflater.
TEST(DecompressStream, AnyMethodsDecoderReadsThroughTheAdapterAndStopsAtTheEntrysEnd) {
  std::vector<uint8_t> plain = test::Sample(200'000);
  std::vector<uint8_t> packed(plain.size() + 4096);
  unsigned int packedLen = static_cast<unsigned int>(packed.size());
  ASSERT_EQ(BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(packed.data()), &packedLen,
                                     reinterpret_cast<char*>(plain.data()),
                                     static_cast<unsigned>(plain.size()), 9, 0, 0),
            BZ_OK);
  packed.resize(packedLen);
  std::vector<uint8_t> archive = {'L', 'H'};
  archive.insert(archive.end(), packed.begin(), packed.end());
  archive.insert(archive.end(), {'P', 'K', 1, 2});
  TMemoryStream32 source;
  test::Fill(source, archive);
  source.SetPosition(2);
  DecoderOptions options;
  options.compressedSize = packed.size();
  {
    TDecompressStream d(source, MakeStreamDecoder(kMethodBzip2, options));
    ASSERT_EQ(d.InitResult(), inflate_result::kOk);
    EXPECT_EQ(ReadAll(d, plain.size(), 32768), plain);
    uint8_t b;
    EXPECT_EQ(d.Read(&b, 1), 1);
    EXPECT_TRUE(d.control.endOfData);
  }
  EXPECT_EQ(source.Position(), static_cast<int64_t>(2 + packed.size()));
  TDecompressStream none(source, MakeStreamDecoder(12345));
  EXPECT_EQ(none.InitResult(), inflate_result::kStreamError);
}

}  // namespace
}  // namespace arc
