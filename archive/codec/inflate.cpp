//===-- codec/inflate.cpp - Resumable raw Deflate / Deflate64 decoder -*- C++ -*-===//
//
// Inflate() is one loop over a switch on the mode: each case either makes
// progress and moves on, or finds that it needs more input or more output
// space and returns, leaving everything it needs to resume in the state. The
// rhythm inside a case is
//
//   if (!acc.needBits(n)) return leave;   // not enough input yet
//   value = acc.bits(n);                  // look
//   acc.dropBits(n);                      // consume
//
// and a step never consumes bits before it knows it can finish, so no local
// variable has to survive a return.
//
// Output goes straight into the caller's buffer. The window ring keeps the
// last wsize bytes of output as history: a match reaches back into this call's
// output first and into the ring for anything older, and the bytes produced by
// a call are pushed into the ring when it returns.
//
//===----------------------------------------------------------------------===//
#include "codec/inflate.h"

#include <algorithm>
#include <cstddef>
#include <new>

#include "codec/inflate_state.h"

namespace arc {
namespace {

namespace res = inflate_result;
using huffman::EntryCodeBits;
using huffman::EntryTotalBits;
using huffman::EntryValue;

constexpr int kMinWindowBits = 8;
constexpr int kMaxWindowBits = 15;

int Fail(InflateState& s, const char* msg) {
  s.msg = msg;
  s.mode = InflateMode::Bad;
  return res::kDataError;
}

InflateMode AfterBlock(const InflateState& s) {
  return s.lastBlock ? InflateMode::Done : InflateMode::BlockHeader;
}

/// A decoded codeword: its table entry and the codeword's total bit count
/// (root and subtable bits; extra bits not included).
struct Symbol {
  uint32_t entry;
  uint32_t codeBits;
};

/// Looks up the next symbol without consuming it, pulling input bytes until
/// the codeword is complete. Bits above acc.count are zero, so a lookup made
/// with too few bits still lands on an entry whose length tells whether the
/// bits present suffice. False when the input runs out first.
bool PeekSymbol(BitAccumulator& acc, const uint32_t* table, uint32_t rootBits, Symbol& sym) {
  for (;;) {
    const uint32_t e = table[acc.bits(rootBits)];
    const uint32_t root = EntryCodeBits(e);
    if (e & huffman::kSubtable) {
      const uint32_t index =
          static_cast<uint32_t>(acc.hold >> root) & ((1u << EntryTotalBits(e)) - 1);
      const uint32_t sub = table[EntryValue(e) + index];
      const uint32_t need = root + EntryCodeBits(sub);
      if (acc.count >= need) {
        sym = {sub, need};
        return true;
      }
    } else if (acc.count >= root) {
      sym = {e, root};
      return true;
    }
    if (!acc.pullByte()) return false;
  }
}

uint32_t ExtraBitsOf(uint32_t entry) { return EntryTotalBits(entry) - EntryCodeBits(entry); }

/// Builds the code-length code once its HCLEN + 4 lengths are in.
int FinishCodeLengthCode(InflateState& s) {
  const auto& order = deflate::kCodeLenOrder;
  while (s.lengthsHave < deflate::kNumCodeLenSymbols) s.lengths[order[s.lengthsHave++]] = 0;
  // An empty, over-subscribed or incomplete set is rejected; a single
  // one-bit codeword is accepted like in the other two codes.
  if (huffman::BuildTable(huffman::TableKind::CodeLengths, s.lengths, deflate::kNumCodeLenSymbols,
                          *s.variant, s.codeLenTable) != huffman::BuildResult::Ok)
    return Fail(s, "invalid code lengths set");
  s.lengthsHave = 0;
  s.mode = InflateMode::CodeLengths;
  return res::kOk;
}

/// Builds the literal/length and distance codes once all lengths are in.
int FinishDynamicCodes(InflateState& s) {
  using huffman::BuildResult;
  using huffman::TableKind;
  if (huffman::BuildTable(TableKind::LitLen, s.lengths, s.numLitLen, *s.variant, s.dynLitLen) !=
      BuildResult::Ok)
    return Fail(s, "invalid literal/lengths set");
  const BuildResult d = huffman::BuildTable(TableKind::Distance, s.lengths + s.numLitLen, s.numDist,
                                            *s.variant, s.dynDist);
  // A block that announces only the 257 literal and end codes cannot use a
  // distance, so it may leave the distance code empty; its table then decodes
  // nothing and any distance in it is an invalid code.
  if (d == BuildResult::Empty ? s.numLitLen > deflate::kFirstLengthSymbol : d != BuildResult::Ok)
    return Fail(s, "invalid distances set");
  s.litLenTable = s.dynLitLen;
  s.distTable = s.dynDist;
  s.mode = InflateMode::LiteralLength;
  return res::kOk;
}

/// Reads code lengths (symbols 0-18 of the code-length code) until all
/// HLIT + 257 + HDIST + 1 are in or the input runs out.
int ReadCodeLengths(InflateState& s) {
  BitAccumulator& acc = s.acc;
  const uint32_t total = s.numLitLen + s.numDist;
  while (s.lengthsHave < total) {
    Symbol sym;
    if (!PeekSymbol(acc, s.codeLenTable, huffman::kCodeLenRootBits, sym)) return res::kOk;
    if (sym.entry & huffman::kExceptional) return Fail(s, "invalid code lengths set");
    const uint32_t value = EntryValue(sym.entry);
    if (value < 16) {
      acc.dropBits(sym.codeBits);
      s.lengths[s.lengthsHave++] = static_cast<uint8_t>(value);
      continue;
    }
    // 16: repeat the previous length 3-6 times; 17: 3-10 zeros; 18: 11-138 zeros.
    const uint32_t extra = value == 16 ? 2 : value == 17 ? 3 : 7;
    if (!acc.needBits(sym.codeBits + extra)) return res::kOk;
    acc.dropBits(sym.codeBits);
    uint8_t fill = 0;
    uint32_t repeat = 0;
    if (value == 16) {
      if (s.lengthsHave == 0) return Fail(s, "invalid bit length repeat");
      fill = s.lengths[s.lengthsHave - 1];
      repeat = 3 + acc.bits(2);
    } else if (value == 17) {
      repeat = 3 + acc.bits(3);
    } else {
      repeat = 11 + acc.bits(7);
    }
    acc.dropBits(extra);
    if (repeat > total - s.lengthsHave) return Fail(s, "invalid bit length repeat");
    std::fill_n(s.lengths + s.lengthsHave, repeat, fill);
    s.lengthsHave += repeat;
  }
  return FinishDynamicCodes(s);
}

/// The mode switch. Returns when it needs input or output space it does not
/// have (Ok), at the end of the stream (StreamEnd) or on a data error.
int Run(InflateState& s) {
  BitAccumulator& acc = s.acc;
  for (;;) {
    switch (s.mode) {
      case InflateMode::BlockHeader: {
        if (!acc.needBits(3)) return res::kOk;
        s.lastBlock = acc.bits(1) != 0;
        const uint32_t type = acc.bits(3) >> 1;
        acc.dropBits(3);
        if (type == deflate::kBlockStored) {
          // Fewer than 8 bits are held between steps, so this leaves none:
          // the stored bytes are then read straight from the input.
          acc.alignToByte();
          s.mode = InflateMode::StoredLength;
        } else if (type == deflate::kBlockFixed) {
          s.litLenTable = s.fixed->litLen;
          s.distTable = s.fixed->dist;
          s.mode = InflateMode::LiteralLength;
        } else if (type == deflate::kBlockDynamic) {
          s.mode = InflateMode::TableHeader;
        } else {
          return Fail(s, "invalid block type");
        }
        break;
      }

      case InflateMode::StoredLength: {
        if (!acc.needBits(32)) return res::kOk;
        const uint32_t len = acc.bits(16);
        const uint32_t nlen = static_cast<uint32_t>(acc.hold >> 16) & 0xFFFF;
        if (len != (~nlen & 0xFFFF)) return Fail(s, "invalid stored block lengths");
        acc.dropBits(32);
        s.storedLeft = len;
        s.mode = InflateMode::StoredCopy;
        break;
      }

      case InflateMode::StoredCopy: {
        if (s.storedLeft == 0) {
          s.mode = AfterBlock(s);
          break;
        }
        const size_t n = std::min({size_t{s.storedLeft}, static_cast<size_t>(acc.inEnd - acc.in),
                                   static_cast<size_t>(s.outEnd - s.out)});
        if (n == 0) return res::kOk;
        std::memcpy(s.out, acc.in, n);
        s.out += n;
        acc.in += n;
        s.storedLeft -= static_cast<uint32_t>(n);
        break;
      }

      case InflateMode::TableHeader: {
        if (!acc.needBits(14)) return res::kOk;
        s.numLitLen = acc.bits(5) + 257;
        s.numDist = (acc.bits(10) >> 5) + 1;
        s.numCodeLen = (acc.bits(14) >> 10) + 4;
        acc.dropBits(14);
        if (s.numLitLen > s.variant->maxLitLenCodes || s.numDist > s.variant->maxDistCodes)
          return Fail(s, "too many length or distance symbols");
        s.lengthsHave = 0;
        s.mode = InflateMode::CodeLengthCodes;
        break;
      }

      case InflateMode::CodeLengthCodes: {
        while (s.lengthsHave < s.numCodeLen) {
          if (!acc.needBits(3)) return res::kOk;
          s.lengths[deflate::kCodeLenOrder[s.lengthsHave++]] = static_cast<uint8_t>(acc.bits(3));
          acc.dropBits(3);
        }
        if (const int r = FinishCodeLengthCode(s); r != res::kOk) return r;
        break;
      }

      case InflateMode::CodeLengths: {
        if (const int r = ReadCodeLengths(s); r != res::kOk) return r;
        if (s.mode == InflateMode::CodeLengths) return res::kOk;  // needs more input
        break;
      }

      case InflateMode::LiteralLength: {
        if (acc.inEnd - acc.in >= static_cast<std::ptrdiff_t>(kFastInputMargin) &&
            s.outEnd - s.out >= static_cast<std::ptrdiff_t>(kFastOutputMargin)) {
          InflateFast(s);
          break;
        }
        Symbol sym;
        if (!PeekSymbol(acc, s.litLenTable, huffman::kLitLenRootBits, sym)) return res::kOk;
        const uint32_t e = sym.entry;
        if (e & huffman::kLiteral) {
          if (s.out == s.outEnd) return res::kOk;
          acc.dropBits(sym.codeBits);
          *s.out++ = static_cast<uint8_t>(EntryValue(e));
          break;
        }
        if (e & huffman::kEndOfBlock) {
          acc.dropBits(sym.codeBits);
          s.mode = AfterBlock(s);
          break;
        }
        if (e & huffman::kExceptional) return Fail(s, "invalid literal/length code");
        acc.dropBits(sym.codeBits);
        s.length = EntryValue(e);
        s.extraBits = ExtraBitsOf(e);
        s.mode = InflateMode::LengthExtra;
        [[fallthrough]];
      }

      case InflateMode::LengthExtra: {
        if (!acc.needBits(s.extraBits)) return res::kOk;
        s.length += acc.bits(s.extraBits);
        acc.dropBits(s.extraBits);
        s.mode = InflateMode::Distance;
        [[fallthrough]];
      }

      case InflateMode::Distance: {
        Symbol sym;
        if (!PeekSymbol(acc, s.distTable, huffman::kDistRootBits, sym)) return res::kOk;
        if (sym.entry & huffman::kExceptional) return Fail(s, "invalid distance code");
        acc.dropBits(sym.codeBits);
        s.distance = EntryValue(sym.entry);
        s.extraBits = ExtraBitsOf(sym.entry);
        s.mode = InflateMode::DistanceExtra;
        [[fallthrough]];
      }

      case InflateMode::DistanceExtra: {
        if (!acc.needBits(s.extraBits)) return res::kOk;
        s.distance += acc.bits(s.extraBits);
        acc.dropBits(s.extraBits);
        s.mode = InflateMode::MatchCopy;
        [[fallthrough]];
      }

      case InflateMode::MatchCopy: {
        // No distance is checked against the output produced so far: a match
        // reaching back before the start of the stream reads the window ring,
        // which is zero-filled when the stream is created (and keeps the old
        // bytes after a reset). zlib rejects such a stream with a data error
        // ("invalid distance too far back"); this decoder deliberately reads
        // the ring instead, and the entry's CRC check is what catches a
        // damaged stream.
        const size_t room = static_cast<size_t>(s.outEnd - s.out);
        if (room == 0) return res::kOk;
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(s.length, room));
        CopyMatchExact(s, n, s.distance);
        s.length -= n;
        if (s.length == 0) s.mode = InflateMode::LiteralLength;
        break;
      }

      case InflateMode::Done:
        return res::kStreamEnd;

      case InflateMode::Bad:
        return res::kDataError;
    }
  }
}

/// Pushes this call's output into the window ring. The ring slot of a byte is
/// its position in the output modulo wsize, however the output was split into
/// calls, so what a far distance reads never depends on the buffer sizes.
void UpdateWindow(InflateState& s) {
  size_t produced = static_cast<size_t>(s.out - s.outBegin);
  if (produced == 0) return;
  const uint8_t* src = s.outBegin;
  if (produced > s.wsize) {  // only the newest wsize bytes stay
    s.wnext = static_cast<uint32_t>((s.wnext + produced - s.wsize) & (s.wsize - 1));
    src = s.out - s.wsize;
    produced = s.wsize;
  }
  const size_t first = std::min<size_t>(produced, s.wsize - s.wnext);
  std::memcpy(s.window + s.wnext, src, first);
  std::memcpy(s.window, src + first, produced - first);
  s.wnext = static_cast<uint32_t>((s.wnext + produced) & (s.wsize - 1));
}

void ResetState(InflateState& s) {
  s.mode = InflateMode::BlockHeader;
  s.lastBlock = false;
  s.storedLeft = 0;
  s.acc = BitAccumulator{};
  s.litLenTable = nullptr;
  s.distTable = nullptr;
  s.length = s.distance = s.extraBits = 0;
  s.wnext = 0;  // the window counts as empty; its bytes stay as they are
  s.msg = nullptr;
}

}  // namespace

int InflateInit(InflateStream& strm, int windowBits, InflateVariant variant) {
  if (windowBits > -kMinWindowBits || windowBits < -kMaxWindowBits) return res::kStreamError;
  if (variant != InflateVariant::Deflate && variant != InflateVariant::Deflate64)
    return res::kStreamError;
  InflateEnd(strm);
  const uint32_t bits =
      static_cast<uint32_t>(-windowBits) + (variant == InflateVariant::Deflate64 ? 1 : 0);

  auto* s = new (std::nothrow) InflateState;
  if (s == nullptr) return res::kMemError;
  s->wsize = 1u << bits;
  s->window = new (std::nothrow) uint8_t[s->wsize + kWindowSlack]();  // zero-filled
  if (s->window == nullptr) {
    delete s;
    return res::kMemError;
  }
  s->variant = &deflate::TablesFor(variant);
  s->fixed = &huffman::FixedTablesFor(variant);
  ResetState(*s);
  strm.state = s;
  strm.total_in = strm.total_out = 0;
  strm.msg = nullptr;
  return res::kOk;
}

int Inflate(InflateStream& strm, int /*flush*/) {
  if (strm.state == nullptr) return res::kStreamError;
  if (strm.next_in == nullptr && strm.avail_in != 0) return res::kStreamError;
  if (strm.next_out == nullptr && strm.avail_out != 0) return res::kStreamError;
  InflateState& s = *strm.state;

  s.acc.in = strm.next_in;
  s.acc.inEnd = strm.next_in + strm.avail_in;
  s.out = s.outBegin = strm.next_out;
  s.outEnd = strm.next_out + strm.avail_out;

  int ret = Run(s);
  UpdateWindow(s);

  const auto consumed = static_cast<uint32_t>(s.acc.in - strm.next_in);
  const auto produced = static_cast<uint32_t>(s.out - s.outBegin);
  strm.next_in = s.acc.in;
  strm.avail_in -= consumed;
  strm.total_in += consumed;
  strm.next_out = s.out;
  strm.avail_out -= produced;
  strm.total_out += produced;
  strm.msg = s.msg;
  s.acc.in = s.acc.inEnd = nullptr;
  s.out = s.outBegin = s.outEnd = nullptr;
  if (ret == res::kOk && consumed == 0 && produced == 0) ret = res::kBufError;
  return ret;
}

int InflateReset(InflateStream& strm) {
  if (strm.state == nullptr) return res::kStreamError;
  ResetState(*strm.state);
  strm.total_in = strm.total_out = 0;
  strm.msg = nullptr;
  return res::kOk;
}

int InflateEnd(InflateStream& strm) {
  if (strm.state == nullptr) return res::kStreamError;
  delete[] strm.state->window;
  delete strm.state;
  strm.state = nullptr;
  return res::kOk;
}

}  // namespace arc
