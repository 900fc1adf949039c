//===-- tests/legacy/decoder_io_test.cpp - Blocks, progress, failures, cancel -===//
//
// What the three decoders share: output leaves in 32 KiB blocks with a
// progress call after each, a failed write ends the entry, and the cancel
// flag ends the input.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include "legacy/legacy_test_util.h"

namespace arc::test {
namespace {

/// A stream of one method decoding to `size` bytes, all 'a', a little over
/// one block; copies reach back across the block end.
struct LongStream {
  const char* what;
  uint16_t method;
  std::vector<uint8_t> data;
  uint32_t size;
};

std::vector<LongStream> LongStreams() {
  // Shrink: a, then 257..520, each sent before it is defined ("aa", "aaa",
  // ... up to 265 bytes), codes widened to 10 bits before 512.
  BitWriter shrink;
  shrink.Put('a', 9);
  for (uint32_t code = 257; code <= 511; ++code) shrink.Put(code, 9);
  shrink.Put(256, 9).Put(1, 9);
  for (uint32_t code = 512; code <= 520; ++code) shrink.Put(code, 10);
  // Reduce factor 4, no follower sets: a, then 130 copies of 258 bytes from 1
  // back (DLE, V = 0x0F: length 15 + L, L = 240, distance byte 0).
  BitWriter reduce;
  for (int set = 0; set < 256; ++set) reduce.Put(0, 6);
  reduce.Put('a', 8);
  for (int i = 0; i < 130; ++i) reduce.Put(144, 8).Put(0x0F, 8).Put(240, 8).Put(0, 8);
  // Implode, two flat 6-bit trees: a, then 110 copies of 320 bytes from 1 back.
  BitWriter implode;
  for (int tree = 0; tree < 2; ++tree) implode.Put(3, 8).Put(0xF5F5F5F5, 32);
  implode.Put(1, 1).Put('a', 8);
  for (int i = 0; i < 110; ++i) implode.Put(0, 7).PutCode(63, 6).PutCode(0, 6).Put(255, 8);
  return {{"shrink", 1, shrink.Bytes(), 1 + (2 + 265) * 264 / 2},
          {"reduce", 5, reduce.Bytes(), 1 + 130 * 258},
          {"implode", 6, implode.Bytes(), 1 + 110 * 320}};
}

TEST(LegacyDecoders, OutputLeavesInFullBlocksWithProgressAfterEach) {
  for (const LongStream& s : LongStreams()) {
    SCOPED_TRACE(s.what);
    DecodeRun run = Decode(s.method, 0, s.data, s.size);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, std::vector<uint8_t>(s.size, 'a'));
    ASSERT_EQ(run.progress.size(), 2u);
    EXPECT_EQ(run.progress[0], std::make_pair(32768u, uint64_t{32768}));
    EXPECT_EQ(run.progress[1], std::make_pair(s.size - 32768u, uint64_t{s.size}));
    EXPECT_EQ(run.requested, s.data.size());
  }
}

TEST(LegacyDecoders, FailedWriteIsRaisedOnceAndEndsTheEntry) {
  for (const LongStream& s : LongStreams()) {
    SCOPED_TRACE(s.what);
    DecodeRun run;
    LegacyIo io = MemoryIo(s.data, s.size, run);
    int writes = 0;
    io.writeBlock = [&](uint8_t*, uint32_t) { return ++writes, false; };
    EXPECT_EQ(DecodeLegacy(s.method, 0, io), ec::WriteError);
    EXPECT_EQ(writes, 1);
    ASSERT_EQ(run.errors.size(), 1u);
    EXPECT_EQ(run.errors[0], std::make_pair(int32_t{ec::WriteError}, LegacySeverity::Raise));
    EXPECT_TRUE(run.progress.empty());

    // The reader's raise throws; that passes through (and leaks nothing
    // under the sanitizer build).
    io.onError = [](int32_t code, LegacySeverity) { throw code; };
    EXPECT_THROW(DecodeLegacy(s.method, 0, io), int32_t);
  }
}

TEST(LegacyDecoders, CancelSetDuringProgressEndsTheInputQuietly) {
  for (const LongStream& s : LongStreams()) {
    SCOPED_TRACE(s.what);
    DecodeRun run;
    bool cancel = false;
    LegacyIo io = MemoryIo(s.data, s.size, run);
    io.cancel = &cancel;
    io.onProgress = [&](uint32_t, uint64_t) { cancel = true; };
    EXPECT_EQ(DecodeLegacy(s.method, 0, io), ec::UserCanceled);
    EXPECT_TRUE(run.errors.empty());
    EXPECT_LT(run.output.size(), s.size);
  }
}

TEST(LegacyDecoders, OtherMethodsAreLeftToTheCaller) {
  for (uint16_t method : {0, 7, 8, 9, 12}) {
    DecodeRun run = Decode(method, 0, {1, 2, 3}, 3);
    EXPECT_EQ(run.result, ec::UnsupportedCompressionMethod);
    EXPECT_EQ(run.requested, 0u);
  }
}

}  // namespace
}  // namespace arc::test
