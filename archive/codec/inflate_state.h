//===-- codec/inflate_state.h - Private state of the inflater ---*- C++ -*-===//
//
// Private to the inflater: callers use codec/inflate.h only.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/deflate_tables.h"
#include "codec/huffman_table.h"
#include "codec/inflate.h"

namespace arc {

/// Where the decoder stands, named by what it waits for: (i) input bits,
/// (o) output space.
///
///   BlockHeader -+-> StoredLength -> StoredCopy --------------------+
///                +-> TableHeader -> CodeLengthCodes -> CodeLengths -+
///                +--------------------------------------------------+-> LiteralLength
///   LiteralLength -> LengthExtra -> Distance -> DistanceExtra -> MatchCopy -> LiteralLength
///   LiteralLength (end of block) -> BlockHeader, or Done after the last block
///
/// Every mode can go to Bad on a data error (not drawn). Bad is sticky: each
/// later call returns DataError until the stream is reset.
enum class InflateMode : uint8_t {
  BlockHeader,      // i: waiting for the last-block flag and block type
  StoredLength,     // i: waiting for LEN and NLEN after the byte boundary
  StoredCopy,       // i/o: waiting for stored bytes and room for them
  TableHeader,      // i: waiting for HLIT, HDIST and HCLEN
  CodeLengthCodes,  // i: waiting for the 3-bit lengths of the code-length code
  CodeLengths,      // i: waiting for literal/length and distance code lengths
  LiteralLength,    // i: waiting for a literal/length/end symbol (o: room for a literal)
  LengthExtra,      // i: waiting for the length's extra bits
  Distance,         // i: waiting for a distance symbol
  DistanceExtra,    // i: waiting for the distance's extra bits
  MatchCopy,        // o: waiting for room to copy the pending match
  Done,             // finished: the last block has been decoded
  Bad,              // got a data error; stays here until reset
};

/// The bit accumulator of the general path: bits are taken from the input
/// one byte at a time and only when a step needs them, so between steps it
/// holds fewer than 8 bits and the stream's byte position is exact. Bits above
/// `count` are always zero. The fast path keeps its own copy in registers and
/// hands it back in the same form. Its steps keep the names zlib gave them.
// NOLINTBEGIN(readability-identifier-naming)
struct BitAccumulator {
  uint64_t hold = 0;   // pending bits, least significant first
  uint32_t count = 0;  // number of valid bits in hold

  const uint8_t* in = nullptr;
  const uint8_t* inEnd = nullptr;

  /// Ensures n (<= 56) bits are present; false when the input ran out first.
  bool needBits(uint32_t n) {
    while (count < n) {
      if (in == inEnd) return false;
      hold |= uint64_t{*in++} << count;
      count += 8;
    }
    return true;
  }
  /// Takes one more byte; false when there is none.
  bool pullByte() {
    if (in == inEnd) return false;
    hold |= uint64_t{*in++} << count;
    count += 8;
    return true;
  }
  uint32_t bits(uint32_t n) const { return static_cast<uint32_t>(hold & ((uint64_t{1} << n) - 1)); }
  void dropBits(uint32_t n) {
    hold >>= n;
    count -= n;
  }
  void alignToByte() { dropBits(count & 7); }
};
// NOLINTEND(readability-identifier-naming)

struct InflateState {
  // ---- format
  const deflate::VariantTables* variant = nullptr;
  const huffman::FixedTables* fixed = nullptr;  // the variant's shared fixed code

  // ---- block decoder
  InflateMode mode = InflateMode::BlockHeader;
  bool lastBlock = false;   // the current block is the final one
  uint32_t storedLeft = 0;  // bytes left in the current stored block
  BitAccumulator acc;

  // ---- current block's codes
  const uint32_t* litLenTable = nullptr;  // fixed tables or the ones below
  const uint32_t* distTable = nullptr;
  uint32_t numLitLen = 0;    // HLIT + 257
  uint32_t numDist = 0;      // HDIST + 1
  uint32_t numCodeLen = 0;   // HCLEN + 4
  uint32_t lengthsHave = 0;  // code lengths read so far in this header
  uint8_t lengths[deflate::kNumLitLenSymbols + deflate::kNumDistSymbols];
  uint32_t codeLenTable[huffman::kCodeLenEnough];
  uint32_t dynLitLen[huffman::kLitLenEnough];
  uint32_t dynDist[huffman::kDistEnough];

  // ---- pending length/distance pair
  uint32_t length = 0;     // bytes still to copy, or the base before extra bits
  uint32_t distance = 0;   // distance, or the base before extra bits
  uint32_t extraBits = 0;  // extra bits the current symbol still needs

  // ---- sliding window: a ring of the last wsize bytes of output
  uint8_t* window = nullptr;  // wsize (+ kWindowSlack) bytes, zero-filled when created
  uint32_t wsize = 0;         // 2^windowBits
  uint32_t wnext = 0;         // ring index where the next byte goes

  // ---- the current call
  uint8_t* out = nullptr;       // next output byte
  uint8_t* outBegin = nullptr;  // first output byte of this call
  uint8_t* outEnd = nullptr;    // end of the caller's output space
  const char* msg = nullptr;    // diagnostic of the data error, if any
};

/// Fast loop of LiteralLength: decodes Huffman data while at least
/// kFastInputMargin input bytes and kFastOutputMargin bytes of output space
/// remain. Leaves the mode LiteralLength (a margin ran out), BlockHeader or
/// Done (end of block), MatchCopy (a Deflate64 match longer than the space
/// left) or Bad.
void InflateFast(InflateState& s);

constexpr uint32_t kMatchOverrun = 32;  // bytes a fast match copy may write past its end
constexpr uint32_t kFastInputMargin = 24;
constexpr uint32_t kFastOutputMargin = 258 + 3 + kMatchOverrun;
/// Bytes allocated after the ring (not part of it) so that the fast loop may
/// copy a match out of the ring in whole 16-byte chunks.
constexpr uint32_t kWindowSlack = kMatchOverrun;

/// Copies `len` bytes of the match at `dist` to s.out, from the bytes written
/// earlier in this call or, for the part lying before this call, from the
/// window ring. Writes exactly `len` bytes.
void CopyMatchExact(InflateState& s, uint32_t len, uint32_t dist);

/// Distance as the ring sees it: a distance longer than the window reaches
/// the ring slot it lands on modulo the ring size. Only windows smaller than
/// the format's longest distance (window bits below 15, or 16 in Deflate64)
/// get such distances.
inline uint32_t RingDistance(uint32_t dist, uint32_t wsize) {
  return dist <= wsize ? dist : ((dist - 1) & (wsize - 1)) + 1;
}

}  // namespace arc
