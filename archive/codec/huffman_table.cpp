//===-- codec/huffman_table.cpp - Decoding tables for Deflate codes -*- C++ -*-===//
//
// Canonical Huffman codes (RFC 1951 section 3.2.2) are sent most significant
// bit first while the rest of the stream is read least significant bit first,
// so every codeword is bit-reversed before it indexes a table: the table is
// indexed by the next input bits exactly as they sit in the bit accumulator.
//
//===----------------------------------------------------------------------===//
#include "codec/huffman_table.h"

#include <array>

namespace arc::huffman {
namespace {

using deflate::kMaxCodeLength;

constexpr std::array<uint8_t, 256> kReversedBytes = [] {
  std::array<uint8_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = 0;
    for (uint32_t b = 0; b < 8; ++b) r |= ((i >> b) & 1u) << (7 - b);
    t[i] = static_cast<uint8_t>(r);
  }
  return t;
}();

/// The low `len` bits of `code`, reversed (len 1..15).
inline uint32_t Reverse(uint32_t code, uint32_t len) {
  uint32_t r = (uint32_t{kReversedBytes[code & 0xFF]} << 8) | kReversedBytes[(code >> 8) & 0xFF];
  return r >> (16 - len);
}

constexpr uint32_t MakeEntry(uint32_t value, uint32_t flags, uint32_t cwlen, uint32_t total) {
  return (value << 16) | flags | (cwlen << 8) | total;
}

constexpr uint32_t InvalidEntry(uint32_t cwlen) { return MakeEntry(0, kExceptional, cwlen, cwlen); }

uint32_t RootBitsOf(TableKind kind) {
  switch (kind) {
    case TableKind::CodeLengths:
      return kCodeLenRootBits;
    case TableKind::LitLen:
      return kLitLenRootBits;
    case TableKind::Distance:
      return kDistRootBits;
  }
  return 0;
}

uint32_t CapacityOf(TableKind kind) {
  switch (kind) {
    case TableKind::CodeLengths:
      return kCodeLenEnough;
    case TableKind::LitLen:
      return kLitLenEnough;
    case TableKind::Distance:
      return kDistEnough;
  }
  return 0;
}

/// What symbol `sym` with a codeword of `cwlen` bits (at its table level)
/// decodes to.
uint32_t SymbolEntry(TableKind kind, uint32_t sym, uint32_t cwlen,
                     const deflate::VariantTables& vt) {
  switch (kind) {
    case TableKind::CodeLengths:
      return MakeEntry(sym, 0, cwlen, cwlen);
    case TableKind::LitLen: {
      if (sym < 256) return MakeEntry(sym, kLiteral, cwlen, cwlen);
      if (sym == deflate::kEndOfBlock)
        return MakeEntry(0, kExceptional | kEndOfBlock, cwlen, cwlen);
      // 286 and 287 only fill out the fixed code; decoding one is an error.
      if (sym >= 286) return InvalidEntry(cwlen);
      const deflate::SymbolRange r = vt.lengths[sym - deflate::kFirstLengthSymbol];
      return MakeEntry(r.base, 0, cwlen, cwlen + r.extra);
    }
    case TableKind::Distance: {
      if (sym >= vt.numDistSymbols) return InvalidEntry(cwlen);
      const deflate::SymbolRange r = vt.distances[sym];
      return MakeEntry(r.base, 0, cwlen, cwlen + r.extra);
    }
  }
  return InvalidEntry(cwlen);
}

}  // namespace

BuildResult BuildTable(TableKind kind, const uint8_t* lengths, uint32_t count,
                       const deflate::VariantTables& variant, uint32_t* table) {
  const uint32_t root = RootBitsOf(kind);
  const uint32_t capacity = CapacityOf(kind);

  uint32_t lenCount[kMaxCodeLength + 1] = {};
  for (uint32_t s = 0; s < count; ++s) {
    if (lengths[s] > kMaxCodeLength)
      return BuildResult::OverSubscribed;  // cannot come from the bitstream
    ++lenCount[lengths[s]];
  }
  uint32_t maxLen = kMaxCodeLength;
  while (maxLen > 0 && lenCount[maxLen] == 0) --maxLen;
  if (maxLen == 0) {
    for (uint32_t i = 0; i < (1u << root); ++i) table[i] = InvalidEntry(1);
    return BuildResult::Empty;
  }

  // Kraft check: the codewords of each length must fit the code space left.
  int32_t left = 1;
  for (uint32_t len = 1; len <= kMaxCodeLength; ++len) {
    left = (left << 1) - static_cast<int32_t>(lenCount[len]);
    if (left < 0) return BuildResult::OverSubscribed;
  }
  const bool incomplete = left > 0;
  // An incomplete code is accepted only when its longest codeword is one bit
  // (a single codeword); the unused half then decodes as an invalid symbol.
  if (incomplete && maxLen != 1) return BuildResult::Incomplete;
  if (incomplete) {
    for (uint32_t i = 0; i < (1u << root); ++i) table[i] = InvalidEntry(1);
  }

  // Symbols sorted by codeword length, then by symbol: canonical order.
  uint16_t sorted[deflate::kNumLitLenSymbols];
  uint32_t offset[kMaxCodeLength + 2] = {};
  for (uint32_t len = 1; len <= kMaxCodeLength; ++len)
    offset[len + 1] = offset[len] + lenCount[len];
  for (uint32_t s = 0; s < count; ++s)
    if (lengths[s] != 0) sorted[offset[lengths[s]]++] = static_cast<uint16_t>(s);
  const uint32_t numCodes = offset[kMaxCodeLength];  // after the loop: end of the last length

  uint32_t remaining[kMaxCodeLength + 1];
  for (uint32_t len = 0; len <= kMaxCodeLength; ++len) remaining[len] = lenCount[len];

  uint32_t code = 0;     // canonical codeword, most significant bit first
  uint32_t codeLen = 0;  // its length
  uint32_t nextSub = 1u << root;
  uint32_t subPrefix = ~0u;  // root bits of the open subtable
  uint32_t subStart = 0;
  uint32_t subBits = 0;
  for (uint32_t i = 0; i < numCodes; ++i) {
    const uint32_t sym = sorted[i];
    const uint32_t len = lengths[sym];
    if (codeLen != 0) {
      ++code;
      code <<= (len - codeLen);
    }
    codeLen = len;
    const uint32_t rev = Reverse(code, len);

    if (len <= root) {
      const uint32_t e = SymbolEntry(kind, sym, len, variant);
      for (uint32_t j = rev; j < (1u << root); j += 1u << len) table[j] = e;
    } else {
      const uint32_t prefix = rev & ((1u << root) - 1);
      if (prefix != subPrefix) {
        // Size the subtable so that the codewords under this prefix fill it:
        // grow it while the remaining codewords of each length leave space.
        uint32_t curr = len - root;
        int32_t space = 1 << curr;
        while (curr + root < maxLen) {
          space -= static_cast<int32_t>(remaining[curr + root]);
          if (space <= 0) break;
          ++curr;
          space <<= 1;
        }
        subBits = curr;
        subStart = nextSub;
        nextSub += 1u << subBits;
        if (nextSub > capacity) return BuildResult::OverSubscribed;  // unreachable: see the header
        subPrefix = prefix;
        table[prefix] = MakeEntry(subStart, kExceptional | kSubtable, root, subBits);
      }
      const uint32_t rel = len - root;
      const uint32_t e = SymbolEntry(kind, sym, rel, variant);
      for (uint32_t j = rev >> root; j < (1u << subBits); j += 1u << rel) table[subStart + j] = e;
    }
    --remaining[len];
  }
  return BuildResult::Ok;
}

namespace {

FixedTables BuildFixed(const deflate::VariantTables& vt) {
  FixedTables t{};
  uint8_t lens[deflate::kNumLitLenSymbols];
  uint32_t s = 0;
  for (; s < 144; ++s) lens[s] = 8;
  for (; s < 256; ++s) lens[s] = 9;
  for (; s < 280; ++s) lens[s] = 7;
  for (; s < 288; ++s) lens[s] = 8;
  BuildTable(TableKind::LitLen, lens, deflate::kNumLitLenSymbols, vt, t.litLen);
  // All 32 five-bit codewords are built so the code is complete; in Deflate
  // symbols 30 and 31 become invalid entries (see SymbolEntry).
  uint8_t dlens[deflate::kNumDistSymbols];
  for (auto& l : dlens) l = 5;
  BuildTable(TableKind::Distance, dlens, deflate::kNumDistSymbols, vt, t.dist);
  return t;
}

}  // namespace

const FixedTables& FixedTablesFor(InflateVariant variant) {
  static const FixedTables kDeflateTables = BuildFixed(deflate::kDeflateTables);
  static const FixedTables kDeflate64Tables = BuildFixed(deflate::kDeflate64Tables);
  return variant == InflateVariant::Deflate64 ? kDeflate64Tables : kDeflateTables;
}

}  // namespace arc::huffman
