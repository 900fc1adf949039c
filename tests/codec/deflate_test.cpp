#include <zlib.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "codec/crc.h"
#include "codec/deflate.h"

namespace arc {
namespace {

// Text-like data: compressible, but with enough variety that the levels differ.
std::vector<uint8_t> SampleData(size_t size, uint32_t seed = 7) {
  static const char* const kWords[] = {"ledger ", "invoice ", "account ", "balance ",
                                       "2024-03-01 ", "total ", "credit ", "debit\n"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  out.reserve(size);
  while (out.size() < size) {
    const char* w = kWords[rng() % 8];
    for (const char* c = w; *c && out.size() < size; ++c) out.push_back(static_cast<uint8_t>(*c));
    if (rng() % 5 == 0 && out.size() < size) out.push_back(static_cast<uint8_t>('0' + rng() % 10));
  }
  return out;
}

std::vector<uint8_t> RawInflate(const std::vector<uint8_t>& in, size_t expected) {
  z_stream s{};
  EXPECT_EQ(inflateInit2(&s, -15), Z_OK);
  std::vector<uint8_t> out(expected + 1);
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = static_cast<uInt>(in.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&s, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(s.avail_in, 0u) << "trailing bytes after the end of the stream";
  out.resize(s.total_out);
  inflateEnd(&s);
  return out;
}

// Records what the engine hands over; can cancel after a given number of steps
// and fail the n-th output.
struct Recorder : DeflateClient {
  std::vector<uint8_t> out;
  std::vector<uint32_t> blocks;
  uint32_t crc = kCrc32Init;
  uint64_t consumed = 0;
  int steps = 0;
  int cancel_after_steps = -1;
  int throw_on_output = -1;
  bool cancel = false;

  bool Cancelled() const override { return cancel; }
  void Consumed(const uint8_t* data, uint32_t count) override {
    Crc32Update(data, static_cast<int32_t>(count), crc);
    consumed += count;
  }
  void Output(uint8_t* data, uint32_t count) override {
    if (static_cast<int>(blocks.size()) == throw_on_output) throw std::runtime_error("disk gone");
    blocks.push_back(count);
    out.insert(out.end(), data, data + count);
  }
  void Stepped() override {
    if (++steps == cancel_after_steps) cancel = true;
  }
};

void FeedInPieces(DeflateEngine& e, const std::vector<uint8_t>& data, Recorder& r,
                  size_t piece = 61440) {
  for (size_t at = 0; at < data.size(); at += piece) {
    const uint32_t n = static_cast<uint32_t>(std::min(piece, data.size() - at));
    ASSERT_EQ(e.Compress(data.data() + at, n, r), DeflateStatus::Done);
  }
}

TEST(Deflate, EmptyInputFinishedAtOnceIsTheTwoByteStream) {
  for (TDeflateType t : {dtDeflateF, dtDeflateN, dtDeflateX}) {
    DeflateEngine e(t);
    Recorder r;
    EXPECT_EQ(e.Finish(r), DeflateStatus::Done);
    EXPECT_EQ(r.out, (std::vector<uint8_t>{0x03, 0x00})) << "type " << int(t);
  }
  // Level 0 (never used for a compressed entry) ends with an empty stored block.
  DeflateEngine stored(dtDeflateS);
  Recorder r;
  EXPECT_EQ(stored.Finish(r), DeflateStatus::Done);
  EXPECT_EQ(r.out, (std::vector<uint8_t>{0x01, 0x00, 0x00, 0xFF, 0xFF}));
}

TEST(Deflate, LevelsRoundTripWithCrcOfTheSourceAndFullBlocks) {
  const std::vector<uint8_t> data = SampleData(1'000'000);
  uint32_t want_crc = kCrc32Init;
  Crc32Update(data.data(), static_cast<int32_t>(data.size()), want_crc);
  std::vector<std::vector<uint8_t>> outputs;
  for (TDeflateType t : {dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX}) {
    DeflateEngine e(t);
    Recorder r;
    FeedInPieces(e, data, r);
    ASSERT_EQ(e.Finish(r), DeflateStatus::Done);
    EXPECT_EQ(r.crc, want_crc) << "type " << int(t);
    EXPECT_EQ(r.consumed, data.size());
    EXPECT_EQ(e.TotalIn(), data.size());
    EXPECT_EQ(e.TotalOut(), r.out.size());
    EXPECT_EQ(RawInflate(r.out, data.size()), data) << "type " << int(t);
    // Every block but the last is a whole buffer.
    ASSERT_FALSE(r.blocks.empty());
    for (size_t i = 0; i + 1 < r.blocks.size(); ++i) EXPECT_EQ(r.blocks[i], kDeflateBufferSize);
    EXPECT_LE(r.blocks.back(), kDeflateBufferSize);
    outputs.push_back(r.out);
  }
  // Level 0 writes stored blocks (first block header: BTYPE 00).
  EXPECT_EQ((outputs[0][0] >> 1) & 3, 0);
  EXPECT_GT(outputs[0].size(), data.size());
  EXPECT_NE(outputs[1], outputs[2]);
  EXPECT_NE(outputs[2], outputs[3]);
  EXPECT_GT(outputs[1].size(), outputs[2].size());
}

TEST(Deflate, MatchesZlibAtTheSameParameters) {
  const std::vector<uint8_t> data = SampleData(200'000, 3);
  for (TDeflateType t : {dtDeflateF, dtDeflateN, dtDeflateX}) {
    std::vector<uint8_t> ref(compressBound(static_cast<uLong>(data.size())) + 64);
    z_stream s{};
    ASSERT_EQ(deflateInit2(&s, DeflateLevel(t), Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    s.next_in = const_cast<Bytef*>(data.data());
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = ref.data();
    s.avail_out = static_cast<uInt>(ref.size());
    ASSERT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
    ref.resize(s.total_out);
    deflateEnd(&s);
    EXPECT_EQ(DeflateBuffer(data.data(), data.size(), t), ref) << "type " << int(t);
  }
}

TEST(Deflate, CancelStopsBeforeTheNextEngineCallAndFinishWritesWhatWasGathered) {
  const std::vector<uint8_t> data = SampleData(600'000);
  DeflateEngine e(dtDeflateN);
  Recorder r;
  r.cancel_after_steps = 2;
  ASSERT_EQ(e.Compress(data.data(), 61440, r), DeflateStatus::Done);
  ASSERT_EQ(e.Compress(data.data() + 61440, 61440, r), DeflateStatus::Done);
  EXPECT_TRUE(r.cancel);
  const uint64_t in_before = e.TotalIn();
  const uint64_t out_before = e.TotalOut();
  EXPECT_EQ(e.Compress(data.data() + 122880, 61440, r), DeflateStatus::Cancelled);
  EXPECT_EQ(e.TotalIn(), in_before) << "no engine call after the cancel";
  const size_t written_before = r.out.size();
  EXPECT_EQ(e.Finish(r), DeflateStatus::Cancelled);
  EXPECT_EQ(e.TotalOut(), out_before) << "no finishing call after the cancel";
  EXPECT_GE(r.out.size(), written_before);
  EXPECT_EQ(r.out.size(), e.TotalOut()) << "everything produced is handed on";
}

TEST(Deflate, EngineThatCannotStartFailsAtOnceWithoutOutput) {
  int alloc_calls = 0;
  auto refuse = [](voidpf opaque, uInt, uInt) -> voidpf {
    ++*static_cast<int*>(opaque);
    return nullptr;
  };
  auto release = [](voidpf, voidpf) {};
  DeflateEngine e(dtDeflateN, kDeflateWindowBits, refuse, release, &alloc_calls);
  EXPECT_EQ(e.InitResult(), Z_MEM_ERROR);
  EXPECT_TRUE(e.Failed());
  Recorder r;
  const uint8_t byte = 'x';
  EXPECT_EQ(e.Compress(&byte, 1, r), DeflateStatus::Failed);
  EXPECT_EQ(e.Finish(r), DeflateStatus::Failed);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(r.consumed, 0u);
  EXPECT_EQ(alloc_calls, 1);

  DeflateEngine bad_window(dtDeflateN, 99);
  EXPECT_EQ(bad_window.InitResult(), Z_STREAM_ERROR);
  EXPECT_EQ(bad_window.Compress(&byte, 1, r), DeflateStatus::Failed);
}

TEST(Deflate, OutputThatThrowsLeavesAnEngineThatEndsWithoutLooping) {
  std::mt19937 rng(1);
  std::vector<uint8_t> noise(300'000);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  DeflateEngine e(dtDeflateS);
  Recorder r;
  r.throw_on_output = 0;
  EXPECT_THROW(e.Compress(noise.data(), 200'000, r), std::runtime_error);
  // The buffer the client refused is still full: the engine has no room and
  // the finish gives up instead of calling it again and again.
  EXPECT_EQ(e.Finish(r), DeflateStatus::Failed);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(e.Compress(noise.data(), 10, r), DeflateStatus::Failed);
}

}  // namespace
}  // namespace arc
