//===-- tests/legacy/decoder_io_test.cpp - Buffering, progress, failures, cancel -===//
//
// What the three decoders share: output leaves in 32 KiB blocks with a
// progress call after each, a failed write stops the entry, the cancel flag
// ends the input, and only the entry's compressed bytes are asked for.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include "legacy/bit_writer.h"
#include "legacy/decode_harness.h"

namespace arc::test {
namespace {

/// A stream of one method decoding to `size` bytes, all 'a', a little over
/// one 32 KiB block.
struct LongStream {
  const char* what;
  uint16_t method;
  uint16_t flags;
  std::vector<uint8_t> data;
  uint32_t size;
};

std::vector<LongStream> LongStreams() {
  std::vector<LongStream> streams;
  {
    // a, then 257..520, each undefined when sent: "aa", "aaa", ... up to 265
    // bytes; codes are widened to 10 bits before 512.
    BitWriter w;
    w.Put('a', 9);
    for (uint32_t code = 257; code <= 511; ++code) w.Put(code, 9);
    w.Put(256, 9).Put(1, 9);
    for (uint32_t code = 512; code <= 520; ++code) w.Put(code, 10);
    streams.push_back({"shrink", 1, 0, w.Bytes(), 1 + (2 + 265) * 264 / 2});
  }
  {
    // No follower sets; a, then 130 copies of 258 bytes from 1 back
    // (DLE, V = 0x0F: length 15 + L, L = 240, D = 0).
    BitWriter w;
    for (int i = 0; i < 256; ++i) w.Put(0, 6);
    w.Put('a', 8);
    for (int i = 0; i < 130; ++i) w.Put(144, 8).Put(0x0F, 8).Put(240, 8).Put(0, 8);
    streams.push_back({"reduce", 5, 0, w.Bytes(), 1 + 130 * 258});
  }
  {
    // Two flat 6-bit trees; a, then 110 copies of 320 bytes from 1 back.
    BitWriter w;
    for (int tree = 0; tree < 2; ++tree) {
      w.Put(3, 8);
      for (int i = 0; i < 4; ++i) w.Put(0xF5, 8);
    }
    w.Put(1, 1).Put('a', 8);
    for (int i = 0; i < 110; ++i) w.Put(0, 1).Put(0, 6).PutCode(63, 6).PutCode(0, 6).Put(255, 8);
    streams.push_back({"implode", 6, 0, w.Bytes(), 1 + 110 * 320});
  }
  return streams;
}

TEST(LegacyDecoders, OutputLeavesInFullBlocksWithProgressAfterEach) {
  for (const LongStream& s : LongStreams()) {
    SCOPED_TRACE(s.what);
    DecodeRun run = Decode(s.method, s.flags, s.data, s.size);
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
    io.writeBlock = [&](const uint8_t*, uint32_t) {
      ++writes;
      return false;
    };
    EXPECT_EQ(DecodeLegacy(s.method, s.flags, io), ec::WriteError);
    EXPECT_EQ(writes, 1);
    ASSERT_EQ(run.errors.size(), 1u);
    EXPECT_EQ(run.errors[0], std::make_pair(int32_t{ec::WriteError}, LegacySeverity::Raise));
    EXPECT_TRUE(run.progress.empty());
  }
}

TEST(LegacyDecoders, ExceptionFromTheErrorPathPassesThrough) {
  // The reader's raise may throw; the decoder must let it through cleanly
  // (the sanitizer build checks that nothing leaks).
  for (const LongStream& s : LongStreams()) {
    SCOPED_TRACE(s.what);
    DecodeRun run;
    LegacyIo io = MemoryIo(s.data, s.size, run);
    io.writeBlock = [](const uint8_t*, uint32_t) { return false; };
    io.onError = [](int32_t code, LegacySeverity) { throw code; };
    EXPECT_THROW(DecodeLegacy(s.method, s.flags, io), int32_t);
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
    EXPECT_EQ(DecodeLegacy(s.method, s.flags, io), ec::UserCanceled);
    EXPECT_TRUE(run.errors.empty());
    EXPECT_LT(run.output.size(), s.size);
  }
}

TEST(LegacyDecoders, OnlyTheEntrysCompressedBytesAreRead) {
  // Data after the entry (the next header, say) is never asked for.
  for (const LongStream& s : LongStreams()) {
    SCOPED_TRACE(s.what);
    std::vector<uint8_t> withTrailer = s.data;
    withTrailer.insert(withTrailer.end(), 100, 0xFF);
    DecodeRun run;
    LegacyIo io = MemoryIo(withTrailer, s.size, run);
    io.compressedSize = s.data.size();
    EXPECT_EQ(DecodeLegacy(s.method, s.flags, io), 0);
    EXPECT_EQ(run.requested, s.data.size());
    EXPECT_EQ(run.output.size(), s.size);
  }
}

TEST(LegacyDecoders, OtherMethodsAreLeftToTheCaller) {
  for (uint16_t method : {0, 7, 8, 9, 12}) {
    DecodeRun run = Decode(method, 0, {1, 2, 3}, 3);
    EXPECT_EQ(run.result, ec::UnsupportedCompressionMethod);
    EXPECT_EQ(run.requested, 0u);
    EXPECT_TRUE(run.errors.empty());
  }
}

}  // namespace
}  // namespace arc::test
