//===-- codec/inflate_fast.cpp - Fast loop of the inflater ------*- C++ -*-===//
//
// The general path in inflate.cpp checks for input and output space before
// every step. Most of a stream is Huffman data far from either buffer's end,
// and there this loop decodes it without those checks.
//
// Entry assumptions:
//      mode == LiteralLength, fewer than 8 bits held, bits above them zero
//      input left  >= kFastInputMargin  (24 bytes)
//      output left >= kFastOutputMargin (258 + 3 + 32 bytes)
//
// Why those margins. The loop refills a 64-bit bit buffer with one unaligned
// 8-byte load that leaves 56 to 63 bits in it. As the buffer never holds more
// than 63 bits, a load ends less than 16 bytes past the first unconsumed bit.
// An iteration refills at its top, after a run of literals, and in Deflate64
// between the length and the distance; the last refill comes at most 53 bits
// in (two 11-bit literals and a 31-bit length with its extra bits), so every
// load ends within 23 bytes of where the iteration started, and that point is
// never past the input pointer checked against the margin. A Deflate
// length/distance pair needs at most 15 + 5 + 15 + 13 = 48 bits, which the
// 56 of one refill cover; in Deflate64 it needs 15 + 16 + 15 + 14 = 60, hence
// the extra refill. An iteration writes at most two literals and one match of
// 258 bytes, and match copies move 8 or 16 bytes at a time, writing up to 31
// bytes past the match into space the caller gave us (which later output
// overwrites). A Deflate64 match may be up to 65,538 bytes long; when one does
// not fit in the space left, the loop hands it to the general path as a
// pending match.
//
// On return:
//      whole unused bytes are given back to the input, so fewer than 8 bits
//      are held and the stream's byte position is exact;
//      mode is LiteralLength (a margin ran out), BlockHeader or Done (end of
//      block), MatchCopy (a long Deflate64 match), or Bad.
//
// The loop keeps bits above its count: they are the next input bits, which
// the next 8-byte load ORs in again unchanged, so no masking is needed until
// the bits are given back.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <bit>
#include <cstring>

#include "codec/inflate_state.h"

namespace arc {
namespace {

using huffman::EntryCodeBits;
using huffman::EntryTotalBits;
using huffman::EntryValue;
using huffman::kEndOfBlock;
using huffman::kExceptional;
using huffman::kLiteral;
using huffman::kSubtable;

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

inline void Copy8(uint8_t* dst, const uint8_t* src) { std::memcpy(dst, src, 8); }
inline void Copy16(uint8_t* dst, const uint8_t* src) { std::memcpy(dst, src, 16); }

inline uint64_t LowBits(uint64_t v, uint32_t n) { return v & ((uint64_t{1} << n) - 1); }

/// Copies `len` bytes from `src` to `out` 16 at a time, for sources at least
/// 16 bytes behind `out` or in another buffer; writes and reads up to 31
/// bytes past the end. The first two chunks are unconditional because most
/// matches are short.
inline void CopyChunks16(uint8_t* out, const uint8_t* src, uint32_t len) {
  uint8_t* const end = out + len;
  Copy16(out, src);
  Copy16(out + 16, src + 16);
  out += 32;
  src += 32;
  while (out < end) {
    Copy16(out, src);
    out += 16;
    src += 16;
  }
}

/// Copies a match whose source lies wholly in this call's output, writing
/// up to kMatchOverrun bytes past out + len. Returns the new end.
inline uint8_t* CopyMatchFast(uint8_t* out, uint32_t len, uint32_t dist) {
  const uint8_t* src = out - dist;
  uint8_t* const end = out + len;
  if (dist >= 16) {
    CopyChunks16(out, src, len);
  } else if (dist >= 8) {
    do {
      Copy8(out, src);
      out += 8;
      src += 8;
    } while (out < end);
  } else if (dist == 1) {
    const uint64_t v = *src * 0x0101010101010101u;
    do {
      std::memcpy(out, &v, 8);
      out += 8;
    } while (out < end);
  } else {
    do *out++ = *src++;
    while (out < end);
  }
  return end;
}

template <bool kDeflate64>
void FastLoop(InflateState& s) {
  const uint8_t* in = s.acc.in;
  const uint8_t* const inLimit = s.acc.inEnd - kFastInputMargin;
  uint8_t* out = s.out;
  uint8_t* const outBegin = s.outBegin;
  uint8_t* const outEnd = s.outEnd;
  uint8_t* const outLimit = outEnd - kFastOutputMargin;
  uint64_t hold = s.acc.hold;
  uint32_t bitsLeft = s.acc.count;
  const uint32_t* const litLen = s.litLenTable;
  const uint32_t* const dists = s.distTable;
  const uint8_t* const window = s.window;
  const uint32_t wsize = s.wsize;
  const uint32_t wnext = s.wnext;
  constexpr uint64_t kLitLenMask = (1u << huffman::kLitLenRootBits) - 1;
  constexpr uint64_t kDistMask = (1u << huffman::kDistRootBits) - 1;

  // Tops the buffer up to 56..63 bits. bitsLeft must be below 64.
  auto refill = [&] {
    hold |= Load64(in) << bitsLeft;
    in += (63 - bitsLeft) >> 3;
    bitsLeft |= 56;
  };
  auto consume = [&](uint32_t n) {
    hold >>= n;
    bitsLeft -= n;
  };

  // The next literal/length entry is looked up before the refill that
  // precedes its use, so the lookup does not wait for the load: the low bits
  // it needs are already in the buffer (or are the right input bits above
  // the count, put there by the previous load).
  // The caller checked the margins for the first iteration; `continue` goes
  // to the check for the next. Each iteration consumes a symbol or leaves.
  refill();
  uint32_t e = litLen[hold & kLitLenMask];
  do {
    refill();
    if (e & kLiteral) {
      // Up to three literals per refill: each root codeword is at most 11
      // bits, and 56 bits leave room for three and the next lookup.
      consume(EntryTotalBits(e));
      *out++ = static_cast<uint8_t>(EntryValue(e));
      e = litLen[hold & kLitLenMask];
      if (e & kLiteral) {
        consume(EntryTotalBits(e));
        *out++ = static_cast<uint8_t>(EntryValue(e));
        e = litLen[hold & kLitLenMask];
        if (e & kLiteral) {
          consume(EntryTotalBits(e));
          *out++ = static_cast<uint8_t>(EntryValue(e));
          e = litLen[hold & kLitLenMask];
          continue;
        }
      }
      refill();
    }
    if (e & kExceptional) {
      if (e & kSubtable) {
        consume(EntryCodeBits(e));
        e = litLen[EntryValue(e) + LowBits(hold, EntryTotalBits(e))];
        if (e & kLiteral) {
          consume(EntryTotalBits(e));
          *out++ = static_cast<uint8_t>(EntryValue(e));
          e = litLen[hold & kLitLenMask];
          continue;
        }
      }
      if (e & kEndOfBlock) {
        consume(EntryTotalBits(e));
        s.mode = s.lastBlock ? InflateMode::Done : InflateMode::BlockHeader;
        break;
      }
      if (e & kExceptional) {
        // Take the codeword's bits so that the input stops where the general
        // path would stop: after the byte holding its last bit.
        consume(EntryCodeBits(e));
        s.msg = "invalid literal/length code";
        s.mode = InflateMode::Bad;
        break;
      }
    }

    // A length: base plus the extra bits that follow the codeword.
    uint64_t saved = hold;
    consume(EntryTotalBits(e));
    const uint32_t len = EntryValue(e) + static_cast<uint32_t>(LowBits(saved, EntryTotalBits(e)) >>
                                                               EntryCodeBits(e));
    if constexpr (kDeflate64) refill();

    e = dists[hold & kDistMask];
    if (e & kExceptional) {
      if (e & kSubtable) {
        consume(EntryCodeBits(e));
        e = dists[EntryValue(e) + LowBits(hold, EntryTotalBits(e))];
      }
      if (e & kExceptional) {
        consume(EntryCodeBits(e));
        s.msg = "invalid distance code";
        s.mode = InflateMode::Bad;
        break;
      }
    }
    saved = hold;
    consume(EntryTotalBits(e));
    uint32_t dist = EntryValue(e) +
                    static_cast<uint32_t>(LowBits(saved, EntryTotalBits(e)) >> EntryCodeBits(e));
    e = litLen[hold & kLitLenMask];

    if constexpr (kDeflate64) {
      if (len + kMatchOverrun > static_cast<size_t>(outEnd - out)) {
        s.length = len;
        s.distance = dist;
        s.mode = InflateMode::MatchCopy;
        break;
      }
    }
    // No check against the output so far: see MatchCopy in inflate.cpp.
    dist = RingDistance(dist, wsize);
    const size_t have = static_cast<size_t>(out - outBegin);
    if (dist <= have) {
      out = CopyMatchFast(out, len, dist);
      continue;
    }
    // The match starts before this call's output, in the window ring.
    const uint32_t back = dist - static_cast<uint32_t>(have);
    const uint32_t from = (wnext - back) & (wsize - 1);
    if (len <= back && from + len <= wsize) {
      CopyChunks16(out, window + from, len);  // reads stay in the ring's slack
      out += len;
      continue;
    }
    s.out = out;
    CopyMatchExact(s, len, dist);
    out = s.out;
  } while (in <= inLimit && out <= outLimit);

  // Give back the whole bytes still in the buffer.
  const uint32_t unused = bitsLeft >> 3;
  in -= unused;
  bitsLeft -= unused << 3;
  s.acc.hold = LowBits(hold, bitsLeft);
  s.acc.count = bitsLeft;
  s.acc.in = in;
  s.out = out;
}

}  // namespace

void InflateFast(InflateState& s) {
  if (s.variant->variant == InflateVariant::Deflate64)
    FastLoop<true>(s);
  else
    FastLoop<false>(s);
}

void CopyMatchExact(InflateState& s, uint32_t len, uint32_t dist) {
  dist = RingDistance(dist, s.wsize);
  uint8_t* out = s.out;
  const size_t have = static_cast<size_t>(out - s.outBegin);
  if (dist > have) {
    // The part before this call comes from the ring: `back` bytes before the
    // ring's write position, wrapping at its end.
    const uint32_t back = dist - static_cast<uint32_t>(have);
    const uint32_t from = (s.wnext - back) & (s.wsize - 1);
    const uint32_t n = std::min(len, back);
    const uint32_t first = std::min(n, s.wsize - from);
    std::memcpy(out, s.window + from, first);
    std::memcpy(out + first, s.window, n - first);
    out += n;
    len -= n;
  }
  if (len != 0) {
    // Overlapping copy with byte-by-byte meaning: the copied stretch
    // [src, out) repeats with period dist and doubles on every pass.
    const uint8_t* src = out - dist;
    if (dist == 1) {
      std::memset(out, *src, len);
      out += len;
    } else {
      while (len != 0) {
        const uint32_t n = std::min(len, static_cast<uint32_t>(out - src));
        std::memcpy(out, src, n);
        out += n;
        len -= n;
      }
    }
  }
  s.out = out;
}

}  // namespace arc
