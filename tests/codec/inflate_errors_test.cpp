//===-- tests/codec/inflate_errors_test.cpp - Invalid data and call results -*- C++ -*-===//
//
// Every kind of invalid data as a tiny hand-made stream, the oddities the
// decoder accepts on purpose, and the result codes of the calling protocol.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <string>

#include "inflate_test_util.h"

namespace arc::test {
namespace {

namespace res = inflate_result;

struct BadStream {
  const char* hex;
  const char* description;  // the diagnostic the decoder must give
  int expected;
  bool zlibAgrees;  // zlib reports the same diagnostic (used as a control)
};

// Streams are raw Deflate; "dyn" is a final dynamic block, the code-length
// code given as symbol:length pairs.
const BadStream kBadStreams[] = {
    // final block of type 3
    {"07", "invalid block type", res::kDataError, true},
    // stored: LEN 0, NLEN 0; LEN 5, NLEN ~4
    {"01 00 00 00 00", "invalid stored block lengths", res::kDataError, true},
    {"01 05 00 fb ff", "invalid stored block lengths", res::kDataError, true},
    // dyn with HLIT 30 (287 codes); with HDIST 30 (31 codes)
    {"f5 00 00 04", "too many length or distance symbols", res::kDataError, true},
    {"05 1e 00 04", "too many length or distance symbols", res::kDataError, true},
    // code-length code: 16 17 18 0 all 1 bit (over-subscribed); 0 and 8 of
    // 2 bits (incomplete); every length 0 (empty, which zlib lets pass)
    {"05 00 92 04", "invalid code lengths set", res::kDataError, true},
    {"05 20 00 48", "invalid code lengths set", res::kDataError, true},
    {"05 00 00 00", "invalid code lengths set", res::kDataError, false},
    // code 16 (repeat previous) first; two 18s (2 x 138 zeros) for 258 codes
    {"05 00 02 24", "invalid bit length repeat", res::kDataError, true},
    {"05 00 80 e4 ff 1f", "invalid bit length repeat", res::kDataError, true},
    // a code-length code of one 1-bit codeword (8) is accepted, but 258
    // literal/length codes of 8 bits over-subscribe (zlib stops earlier)
    {"05 20 00 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
     "00 00 00 00 00 00",
     "invalid literal/lengths set", res::kDataError, false},
    // 257 literal/length codes of 9 bits (incomplete); all 257 zero (zlib
    // reports the missing end code instead)
    {"05 c0 01 00 08 00 00 00 90 ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff "
     "ff ff ff ff ff ff ff ff "
     "ff ff 00",
     "invalid literal/lengths set", res::kDataError, true},
    {"05 c0 81 00 00 00 00 00 90 ff 6c", "invalid literal/lengths set", res::kDataError, false},
    // 258 complete literal/length codes, then distances 1,1,1 (over-subscribed),
    // 2,2 (incomplete), and a single 0 (empty although length symbol 257 exists)
    {"0d c2 01 08 08 00 00 c0 30 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
     "00 00 00 00 00 00 00 "
     "00 00 80 7f 1b",
     "invalid distances set", res::kDataError, true},
    {"0d c1 01 08 08 00 00 c0 30 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
     "00 00 00 00 00 00 00 "
     "00 00 80 ff 07",
     "invalid distances set", res::kDataError, true},
    {"0d c0 01 08 08 00 00 c0 30 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
     "00 00 00 00 00 00 00 "
     "00 00 80 3f",
     "invalid distances set", res::kDataError, false},
    // fixed block with symbol 286, 287; dyn whose only code is the 1-bit end
    // code, then the unused codeword
    {"1b 03", "invalid literal/length code", res::kDataError, true},
    {"1b 07", "invalid literal/length code", res::kDataError, true},
    {"05 c0 81 08 00 00 00 00 20 7f eb 0b", "invalid literal/length code", res::kDataError, true},
    // fixed block: 'a', length 3, distance symbol 30, 31; dyn with one 1-bit
    // distance code, then a match using the unused codeword
    {"4b 04 3e", "invalid distance code", res::kDataError, true},
    {"4b 04 7e", "invalid distance code", res::kDataError, true},
    {"0d c0 01 08 08 00 00 c0 30 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
     "00 00 00 00 00 00 00 "
     "00 00 80 7f 0d 0d",
     "invalid distance code", res::kDataError, true},
};

// Each stream fails with its diagnostic, in one piece and byte by byte, and
// the stream stays bad (whatever is fed to it) until it is reset.
TEST(InflateErrors, EveryInvalidStreamIsRejectedAndStaysBadUntilReset) {
  const Bytes good = FromHex("4b 4c 4a 06 00");  // "abc", fixed block
  for (const BadStream& t : kBadStreams) {
    SCOPED_TRACE(std::string(t.hex) + " (" + t.description + ")");
    const Bytes stream = FromHex(t.hex);
    for (size_t inStep : {size_t{0}, size_t{1}}) {
      const Outcome o = InflateWith(stream, InflateVariant::Deflate, inStep, 64);
      EXPECT_EQ(o.result, t.expected);
      EXPECT_EQ(o.msg, t.description);
    }
    if (t.zlibAgrees) {
      const Outcome z = ZlibInflate(stream, 0, 64);
      EXPECT_EQ(z.result, Z_DATA_ERROR);
      EXPECT_EQ(z.msg, t.description);
    }

    InflateStream s;
    ASSERT_EQ(InflateInit(s, -15, InflateVariant::Deflate), res::kOk);
    uint8_t out[64];
    s.next_in = stream.data();
    s.avail_in = static_cast<uint32_t>(stream.size());
    s.next_out = out;
    s.avail_out = sizeof out;
    ASSERT_EQ(Inflate(s), res::kDataError);
    EXPECT_EQ(Inflate(s), res::kDataError);
    s.next_in = good.data();
    s.avail_in = static_cast<uint32_t>(good.size());
    EXPECT_EQ(Inflate(s), res::kDataError);
    EXPECT_EQ(s.avail_in, good.size());

    ASSERT_EQ(InflateReset(s), res::kOk);
    EXPECT_EQ(s.msg, nullptr);
    s.next_out = out;
    s.avail_out = sizeof out;
    EXPECT_EQ(Inflate(s), res::kStreamEnd);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), s.total_out), "abc");
    InflateEnd(s);
  }
}

// Invalid codes met by the fast loop (long input, roomy output) and by the
// general path (byte by byte) leave the input at the same place.
TEST(InflateErrors, ErrorPositionDoesNotDependOnPieceSizes) {
  for (uint32_t bad : {286u, 287u}) {
    BitWriter w;
    w.header(true, 1);
    for (int i = 0; i < 300; ++i) w.fixedSymbol(static_cast<uint32_t>(i * 7 % 256));
    w.fixedSymbol(bad);
    for (int i = 0; i < 40; ++i) w.fixedSymbol('z');
    const Bytes stream = w.finish();
    const Outcome fast = InflateWith(stream, InflateVariant::Deflate, 0, 32768);
    const Outcome slow = InflateWith(stream, InflateVariant::Deflate, 1, 1);
    EXPECT_EQ(fast.result, res::kDataError);
    EXPECT_EQ(slow.result, res::kDataError);
    EXPECT_EQ(fast.out.size(), 300u);
    EXPECT_EQ(fast.totalIn, slow.totalIn);
    EXPECT_EQ(fast.out, slow.out);
  }
}

// Streams that other decoders reject but this one decodes.
TEST(InflateErrors, AcceptedOddities) {
  const struct {
    const char* hex;
    const char* description;
    std::string output;
  } kAccepted[] = {
      // fixed block: length 3 at distance 1 before any output, then 'a':
      // the window ring is zero-filled at creation (zlib: "too far back")
      {"03 82 44 00", "far distance reads the zero-filled window", std::string("\0\0\0a", 4)},
      // dyn with 257 literal/length codes and an all-zero distance code: the
      // block can hold no match, so the empty code is allowed
      {"05 c0 01 08 08 00 00 00 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
       "00 00 00 00 00 00 00 00 "
       "00 00 80 eb 01",
       "empty distance code with only literal codes", "x"},
      // dyn whose literal/length code is a single 1-bit end code
      {"05 c0 81 08 00 00 00 00 20 7f eb 03", "literal/length code of one 1-bit codeword", ""},
  };
  for (const auto& t : kAccepted) {
    for (size_t outStep : {size_t{1}, size_t{64}}) {
      const Outcome o = InflateWith(FromHex(t.hex), InflateVariant::Deflate, 1, outStep);
      EXPECT_EQ(o.result, res::kStreamEnd) << t.description << ": " << o.msg;
      EXPECT_EQ(std::string(o.out.begin(), o.out.end()), t.output) << t.description;
    }
  }
}

// After a reset the window counts as empty but keeps its bytes: a far
// distance reads them, and what it reads does not depend on how the first
// stream's output was split into calls.
TEST(InflateErrors, ResetKeepsTheWindowBytes) {
  Bytes first(40000);
  for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i * 13 + i / 256);
  BitWriter w;
  for (size_t at = 0; at < first.size(); at += 20000) {
    w.header(at + 20000 >= first.size(), 0);
    w.align();
    w.bits(20000, 16);
    w.bits(~20000u & 0xFFFF, 16);
    for (size_t i = at; i < at + 20000; ++i) w.bits(first[i], 8);
  }
  const Bytes stored = w.finish();
  BitWriter m;  // length 5 at distance 5, as the first thing after the reset
  m.header(true, 1);
  m.fixedSymbol(259);
  m.fixedDistance(4);
  m.bits(0, 1);
  m.fixedSymbol(256);
  const Bytes match = m.finish();
  // Output position 0 of the second stream is ring slot 0, so distance 5
  // reads slots 32763..32767, last written by bytes 32763..32767.
  const Bytes expected(first.begin() + 32763, first.begin() + 32768);

  for (uint32_t outStep : {1000u, 32768u, 65536u}) {
    InflateStream s;
    ASSERT_EQ(InflateInit(s, -15, InflateVariant::Deflate), res::kOk);
    Bytes out(65536);
    s.next_in = stored.data();
    s.avail_in = static_cast<uint32_t>(stored.size());
    int r = res::kOk;
    while (r == res::kOk) {
      s.next_out = out.data();
      s.avail_out = outStep;
      r = Inflate(s);
    }
    ASSERT_EQ(r, res::kStreamEnd);
    ASSERT_EQ(InflateReset(s), res::kOk);
    EXPECT_EQ(s.total_in, 0u);
    EXPECT_EQ(s.total_out, 0u);
    s.next_in = match.data();
    s.avail_in = static_cast<uint32_t>(match.size());
    s.next_out = out.data();
    s.avail_out = 100;
    ASSERT_EQ(Inflate(s), res::kStreamEnd);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 5), expected) << "output buffers of " << outStep;
    InflateEnd(s);
  }
}

// zlib's conventions: BufError when a call can make no progress (no input, or
// no room for what comes next), StreamEnd again on every call after the end.
TEST(InflateErrors, ResultsOfTheCallingProtocol) {
  const Bytes abc = FromHex("4b 4c 4a 06 00");
  InflateStream s;
  ASSERT_EQ(InflateInit(s, -15, InflateVariant::Deflate), res::kOk);
  uint8_t out[8] = {};
  s.next_out = out;
  s.avail_out = sizeof out;
  EXPECT_EQ(Inflate(s), res::kBufError);  // nothing to read

  s.next_in = abc.data();
  s.avail_in = static_cast<uint32_t>(abc.size());
  s.avail_out = 0;
  EXPECT_EQ(Inflate(s), res::kOk);        // reads the block header without room to write
  EXPECT_EQ(Inflate(s), res::kBufError);  // a literal is next and there is still no room
  EXPECT_EQ(s.total_out, 0u);

  s.avail_out = 2;
  EXPECT_EQ(Inflate(s), res::kOk);
  EXPECT_EQ(s.total_out, 2u);
  s.avail_out = 6;
  EXPECT_EQ(Inflate(s), res::kStreamEnd);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "abc");
  EXPECT_EQ(s.total_in, abc.size());
  EXPECT_EQ(s.avail_in, 0u);
  EXPECT_EQ(Inflate(s), res::kStreamEnd);  // and so on after the end
  EXPECT_EQ(InflateEnd(s), res::kOk);
  EXPECT_EQ(s.state, nullptr);
}

TEST(InflateErrors, BadParametersAndStreamsWithoutState) {
  InflateStream s;
  for (int bits : {-7, -16, 0, 8, 15})
    EXPECT_EQ(InflateInit(s, bits, InflateVariant::Deflate), res::kStreamError) << bits;
  EXPECT_EQ(Inflate(s), res::kStreamError);
  EXPECT_EQ(InflateReset(s), res::kStreamError);
  EXPECT_EQ(InflateEnd(s), res::kStreamError);

  for (int bits : {-8, -15}) {
    for (InflateVariant v : {InflateVariant::Deflate, InflateVariant::Deflate64}) {
      ASSERT_EQ(InflateInit(s, bits, v), res::kOk);
      uint8_t out[1];
      s.next_in = nullptr;
      s.avail_in = 1;  // input claimed where there is none
      s.next_out = out;
      s.avail_out = 1;
      EXPECT_EQ(Inflate(s), res::kStreamError);
      EXPECT_EQ(InflateEnd(s), res::kOk);
    }
  }
}

}  // namespace
}  // namespace arc::test
