// The parallel Deflate engine: the stream it makes, its size, and how it stops.
#include <zlib.h>

#include <random>
#include <stdexcept>

#include <gtest/gtest.h>

#include "codec/inflate_test_util.h"
#include "codec/parallel_deflate.h"
#include "codec/peer_util.h"
#include "thread_count.h"

namespace arc {
namespace {

using test::Bytes;

/// Small pieces keep the boundary cases quick; the default size is used where
/// the size of the result matters.
constexpr uint32_t kPiece = 64 * 1024;
/// The writer's copy chunk.
constexpr uint32_t kFeed = 61440;

// Collects the output. The n-th Output throws like a full disk; from the n-th
// Output on, Cancelled() answers true.
struct Collector : DeflateClient {
  Bytes out;
  uint64_t consumed = 0;
  int outputs = 0;
  int throw_at = -1;
  int cancel_at = -1;
  bool Cancelled() const override { return cancel_at >= 0 && outputs >= cancel_at; }
  void Consumed(const uint8_t*, uint32_t count) override { consumed += count; }
  void Output(uint8_t* data, uint32_t count) override {
    if (outputs++ == throw_at) throw std::runtime_error("disk gone");
    out.insert(out.end(), data, data + count);
  }
};

struct Made {
  DeflateStatus status = DeflateStatus::Failed;
  Bytes stream;
  uint32_t crc = 0;
};

Made Deflate(const Bytes& data, TDeflateType type, unsigned threads, uint32_t piece,
             Collector c = {}) {
  ParallelDeflate engine(type, threads, piece);
  Made m;
  for (size_t at = 0; at < data.size(); at += kFeed) {
    const auto n = static_cast<uint32_t>(std::min<size_t>(kFeed, data.size() - at));
    m.status = engine.Compress(data.data() + at, n, c);
    if (m.status != DeflateStatus::Done) return m;
  }
  m.status = engine.Finish(c);
  m.stream = std::move(c.out);
  m.crc = engine.Crc32();
  EXPECT_EQ(c.consumed, data.size());
  return m;
}

uint32_t CrcOf(const Bytes& b) {
  return static_cast<uint32_t>(crc32(0, b.data(), static_cast<uInt>(b.size())));
}

TEST(ParallelDeflate, StreamInflatesToTheInputAroundPieceBoundariesAtEveryLevel) {
  const Bytes sample = test::TextSample(7 * kPiece + 999, 5);
  const size_t kSizes[] = {0, 1, kPiece - 1, kPiece, kPiece + 1, 2 * kPiece, 7 * kPiece + 999};
  for (TDeflateType type : {dtDeflateF, dtDeflateN, dtDeflateX}) {
    for (size_t size : kSizes) {
      const Bytes data(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(size));
      const Made m = Deflate(data, type, 2, kPiece);
      SCOPED_TRACE("type " + std::to_string(type) + ", " + std::to_string(size) + " bytes");
      ASSERT_EQ(m.status, DeflateStatus::Done);
      EXPECT_EQ(m.crc, CrcOf(data));
      const test::Outcome ours = test::InflateWith(m.stream, InflateVariant::Deflate, 0, 1 << 16);
      EXPECT_EQ(ours.result, inflate_result::kStreamEnd);
      EXPECT_EQ(ours.availIn, 0u) << "nothing follows the final block";
      EXPECT_TRUE(ours.out == data);
      const test::Outcome zlib = test::ZlibInflate(m.stream, 0, 1 << 16);
      EXPECT_EQ(zlib.result, Z_STREAM_END);
      EXPECT_TRUE(zlib.out == data);
    }
  }
}

TEST(ParallelDeflate, OneThreadAndInputsOfOnePieceGiveTheSingleStreamByteForByte) {
  const Bytes data = test::TextSample(3 * kPiece + 7, 9);
  const Bytes small(data.begin(), data.begin() + kPiece);
  for (TDeflateType type : {dtDeflateF, dtDeflateN, dtDeflateX}) {
    const Made one = Deflate(data, type, 1, kPiece);
    EXPECT_EQ(one.stream, DeflateBuffer(data.data(), data.size(), type)) << "type " << int(type);
    EXPECT_EQ(one.crc, CrcOf(data));
    EXPECT_EQ(Deflate(small, type, 3, kPiece).stream,
              DeflateBuffer(small.data(), small.size(), type));
  }
}

TEST(ParallelDeflate, StreamIsTheSameWhateverTheNumberOfWorkers) {
  const Bytes data = test::TextSample(9 * kPiece + 5, 2);
  const Made two = Deflate(data, dtDeflateN, 2, kPiece);
  EXPECT_EQ(Deflate(data, dtDeflateN, 5, kPiece).stream, two.stream);
}

TEST(ParallelDeflate, MatchesReachIntoThePieceBefore) {
  // Piece 1 repeats the random last 16 KiB of piece 0: without the preset
  // dictionary its first 16 KiB could not shrink.
  std::mt19937 rng(8);
  Bytes data(kPiece);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  const Bytes tail(data.end() - 16384, data.end());
  for (int i = 0; i < 4; ++i) data.insert(data.end(), tail.begin(), tail.end());
  const Made m = Deflate(data, dtDeflateN, 2, kPiece);
  EXPECT_LT(m.stream.size(), kPiece + 1024u);
  EXPECT_TRUE(test::ZlibInflate(m.stream, 0, 1 << 16).out == data);
}

TEST(ParallelDeflate, SizeStaysWithinOnePercentOfTheSingleStream) {
  const Bytes data = test::TextSample(10 * kParallelPieceSize, 4);
  const Made parallel = Deflate(data, dtDeflateN, 2, kParallelPieceSize);
  const Bytes single = DeflateBuffer(data.data(), data.size(), dtDeflateN);
  EXPECT_LE(static_cast<double>(parallel.stream.size()) / static_cast<double>(single.size()), 1.01);
}

TEST(ParallelDeflate, CancelStopsEveryWorkerBeforeTheCallReturns) {
  const Bytes data = test::TextSample(12 * kPiece, 3);
  const int threads_before = test::ThreadBaseline();
  Collector c;
  c.cancel_at = 3;
  ParallelDeflate engine(dtDeflateN, 2, kPiece);
  DeflateStatus status = DeflateStatus::Done;
  for (size_t at = 0; at < data.size() && status == DeflateStatus::Done; at += kFeed) {
    status = engine.Compress(data.data() + at,
                             static_cast<uint32_t>(std::min<size_t>(kFeed, data.size() - at)), c);
  }
  EXPECT_EQ(status, DeflateStatus::Cancelled);
  EXPECT_EQ(test::ThreadCount(), threads_before);
  EXPECT_EQ(engine.Finish(c), DeflateStatus::Cancelled);
  EXPECT_EQ(c.outputs, 3) << "nothing is handed on after the cancel";
}

TEST(ParallelDeflate, WriteThatThrowsOnTheThirdPieceLeavesNoWorkerRunning) {
  // Small pieces of compressible text deflate to one Output each.
  const Bytes data = test::TextSample(12 * kPiece, 6);
  const int threads_before = test::ThreadBaseline();
  Collector c;
  c.throw_at = 2;
  ParallelDeflate engine(dtDeflateN, 2, kPiece);
  EXPECT_THROW(
      {
        for (size_t at = 0; at < data.size(); at += kFeed)
          engine.Compress(data.data() + at,
                          static_cast<uint32_t>(std::min<size_t>(kFeed, data.size() - at)), c);
        engine.Finish(c);
      },
      std::runtime_error);
  EXPECT_EQ(test::ThreadCount(), threads_before);
  EXPECT_TRUE(engine.Failed());
  EXPECT_EQ(engine.Finish(c), DeflateStatus::Failed);
  EXPECT_EQ(c.outputs, 3) << "the stream is not taken up again after the failed write";
}

}  // namespace
}  // namespace arc
