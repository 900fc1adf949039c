#include <zlib.h>

#include <random>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "codec/deflate.h"

namespace arc {
namespace {

// Collects the output; the n-th output can be made to fail like a full disk.
struct Recorder : DeflateClient {
  std::vector<uint8_t> out;
  int outputs = 0;
  int throw_on_output = -1;
  bool Cancelled() const override { return false; }
  void Consumed(const uint8_t*, uint32_t) override {}
  void Output(uint8_t* data, uint32_t count) override {
    if (outputs++ == throw_on_output) throw std::runtime_error("disk gone");
    out.insert(out.end(), data, data + count);
  }
};

TEST(Deflate, EmptyInputFinishedAtOnceIsTheTwoByteStream) {
  for (TDeflateType t : {dtDeflateF, dtDeflateN, dtDeflateX}) {
    EXPECT_EQ(DeflateBuffer("", 0, t), (std::vector<uint8_t>{0x03, 0x00})) << "type " << int(t);
  }
  // Level 0 (never used for a compressed entry) ends with an empty stored block.
  EXPECT_EQ(DeflateBuffer("", 0, dtDeflateS), (std::vector<uint8_t>{0x01, 0x00, 0x00, 0xFF, 0xFF}));
}

TEST(Deflate, EachTypeGivesZlibsRawStreamAtItsLevel) {
  std::mt19937 rng(3);
  std::vector<uint8_t> data(200'000);
  for (auto& b : data) b = static_cast<uint8_t>("abcdefgh  \n"[rng() % 11]);
  const std::pair<TDeflateType, int> kLevels[] = {
      {dtDeflateF, 1}, {dtDeflateN, 6}, {dtDeflateX, 9}};
  std::vector<std::vector<uint8_t>> outputs;
  for (const auto& [type, level] : kLevels) {
    std::vector<uint8_t> ref(compressBound(static_cast<uLong>(data.size())));
    z_stream s{};
    ASSERT_EQ(deflateInit2(&s, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    s.next_in = data.data();
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = ref.data();
    s.avail_out = static_cast<uInt>(ref.size());
    ASSERT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
    ref.resize(s.total_out);
    deflateEnd(&s);
    outputs.push_back(DeflateBuffer(data.data(), data.size(), type));
    EXPECT_EQ(outputs.back(), ref) << "level " << level;
  }
  EXPECT_NE(outputs[0], outputs[1]);
  EXPECT_NE(outputs[1], outputs[2]);
}

TEST(Deflate, EngineThatCannotStartFailsAtOnceWithoutOutput) {
  int alloc_calls = 0;
  auto refuse = [](voidpf opaque, uInt, uInt) -> voidpf {
    ++*static_cast<int*>(opaque);
    return nullptr;
  };
  DeflateEngine e(
      dtDeflateN, kDeflateWindowBits, refuse, [](voidpf, voidpf) {}, &alloc_calls);
  EXPECT_EQ(e.InitResult(), Z_MEM_ERROR);
  Recorder r;
  const uint8_t byte = 'x';
  EXPECT_EQ(e.Compress(&byte, 1, r), DeflateStatus::Failed);
  EXPECT_EQ(e.Finish(r), DeflateStatus::Failed);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(alloc_calls, 1) << "no call is repeated";
}

TEST(Deflate, OutputThatThrowsLeavesAnEngineThatEndsWithoutLooping) {
  std::mt19937 rng(1);
  std::vector<uint8_t> noise(200'000);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  DeflateEngine e(dtDeflateS);
  Recorder r;
  r.throw_on_output = 0;
  EXPECT_THROW(e.Compress(noise.data(), 200'000, r), std::runtime_error);
  // The buffer the client refused is still full: the engine has no room, and
  // the finish gives up instead of calling it again and again.
  EXPECT_EQ(e.Finish(r), DeflateStatus::Failed);
  EXPECT_EQ(e.Compress(noise.data(), 10, r), DeflateStatus::Failed);
  EXPECT_TRUE(r.out.empty());
}

}  // namespace
}  // namespace arc
