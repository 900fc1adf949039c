//===-- codec/huffman_table.h - Decoding tables for Deflate codes -*- C++ -*-===//
//
// Private to the inflater.
//
// Why this layout: the decoder spends most of its time turning the next few
// bits of input into a symbol. A table indexed by the next kRootBits bits
// answers that in one load for every codeword of up to kRootBits bits, which
// covers nearly all symbols in practice; longer codewords (up to 15 bits) take
// a second load from a subtable that the root entry points to. Each entry
// already holds what the symbol means (the literal byte, or the base length or
// distance and how many extra bits follow), so a literal or a length is
// decoded with one lookup and no second table.
//
// An entry is 32 bits:
//
//   31            16 15 14 13 12 11    8 7         0
//  +----------------+--+--+--+--+-------+-----------+
//  |     value      |L |X |S |E | cwlen |   total   |
//  +----------------+--+--+--+--+-------+-----------+
//
//   L (kLiteral)      value is a literal byte
//   X (kExceptional)  not a literal, length or distance: one of S, E, or,
//                     with neither set, a codeword that is not in the code
//                     (an invalid symbol)
//   S (kSubtable)     value is the offset of a subtable; cwlen root bits are
//                     consumed, then `total` more bits index the subtable
//   E (kEndOfBlock)   symbol 256
//   value             literal byte, base length, base distance, code-length
//                     symbol, or subtable offset
//   cwlen             codeword bits at this level (in a subtable: bits beyond
//                     the root)
//   total             cwlen plus the symbol's extra bits: the bits consumed in
//                     one shift; for S entries the subtable's index width
//
// This format lets the fast loop test one bit for the common cases (L, then
// X), consume a codeword and its extra bits with one shift of `total`, and read
// the extra value as (bits & mask(total)) >> cwlen.
//
// Table sizes. A subtable of 2^k entries serves one root prefix whose subtree
// is complete (incomplete codes are accepted only when every codeword is one
// bit long, which never needs a subtable) and k levels deep, and such a subtree
// holds at least k + 1 codewords. With n symbols and subtables of at most
// 2^(15 - root) entries, the subtables therefore total at most the most that
// n symbols can buy at the best ratio 2^k / (k + 1), reached at the largest k:
//
//   literal/length  root 11, k <= 4:  2048 + 16 * (288 / 5) + 4  = 2964
//   distance        root  8, k <= 7:   256 + 128 * (32 / 8)      = 768
//   code lengths    root  7 = longest codeword, no subtables    = 128
//
// The builder also checks the bound as it allocates, so a mistake here could
// not make it write past the table.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

#include "codec/deflate_tables.h"

namespace arc::huffman {

constexpr uint32_t kLiteral = 1u << 15;
constexpr uint32_t kExceptional = 1u << 14;
constexpr uint32_t kSubtable = 1u << 13;
constexpr uint32_t kEndOfBlock = 1u << 12;

constexpr uint32_t kLitLenRootBits = 11;
constexpr uint32_t kDistRootBits = 8;
constexpr uint32_t kCodeLenRootBits = deflate::kMaxCodeLenCodeLength;

constexpr uint32_t kLitLenEnough = (1u << kLitLenRootBits) + 16 * (288 / 5) + 4;
constexpr uint32_t kDistEnough = (1u << kDistRootBits) + 128 * (32 / 8);
constexpr uint32_t kCodeLenEnough = 1u << kCodeLenRootBits;
static_assert(kLitLenEnough == 2964 && kDistEnough == 768 && kCodeLenEnough == 128);
static_assert(deflate::kMaxCodeLength - kLitLenRootBits == 4);
static_assert(deflate::kMaxCodeLength - kDistRootBits == 7);
// Subtable offsets must fit the 16-bit value field (base values are uint16_t).
static_assert(kLitLenEnough < (1u << 16));

/// Field accessors, one place for the bit layout drawn above.
constexpr uint32_t EntryValue(uint32_t e) { return e >> 16; }
constexpr uint32_t EntryCodeBits(uint32_t e) { return (e >> 8) & 0xF; }
constexpr uint32_t EntryTotalBits(uint32_t e) { return e & 0xFF; }

/// What a table describes; decides how a symbol becomes an entry.
enum class TableKind : uint8_t { CodeLengths, LitLen, Distance };

/// Outcome of checking a set of code lengths.
enum class BuildResult : uint8_t {
  Ok,              ///< complete, or incomplete with one-bit codewords only
  Empty,           ///< every length is zero; the table decodes nothing
  OverSubscribed,  ///< more codewords than the code space holds
  Incomplete,      ///< code space left over with codewords longer than one bit
};

/// Builds the decoding table for `count` code lengths (untrusted: any value
/// 0..15). `table` must hold the kind's kEnough entries. Slots that no
/// codeword reaches (incomplete or empty codes) decode as invalid symbols.
BuildResult BuildTable(TableKind kind, const uint8_t* lengths, uint32_t count,
                       const deflate::VariantTables& variant, uint32_t* table);

/// Decoding tables of the fixed code (block type 1) of one format. Built on
/// first use and shared by every stream of that format; the two formats have
/// separate tables because symbol 285 and distances 30/31 differ.
struct FixedTables {
  uint32_t litLen[kLitLenEnough];
  uint32_t dist[kDistEnough];
};
const FixedTables& FixedTablesFor(InflateVariant variant);

}  // namespace arc::huffman
