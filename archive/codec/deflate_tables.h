//===-- codec/deflate_tables.h - Format facts of Deflate and Deflate64 -*- C++ -*-===//
//
// Private to the inflater. The symbol tables below are those of RFC 1951
// section 3.2.5; Deflate64 differs from them in exactly three places, and one
// VariantTables record per format carries the differences so that the decoder
// is written once and parameterised, never copied:
//
//   length symbol 285     Deflate: 258, no extra bits
//                         Deflate64: base 3 + 16 extra bits (3 .. 65,538)
//   distance symbols 30/31  Deflate: invalid
//                         Deflate64: 32,769 and 49,153, 14 extra bits each
//   dynamic block header  Deflate: HLIT > 29 or HDIST > 29 is a data error
//                         Deflate64: up to 288 / 32 codes accepted
//
//===----------------------------------------------------------------------===//
#pragma once

#include <array>
#include <cstdint>

#include "codec/inflate.h"

namespace arc::deflate {

constexpr uint32_t kNumLitLenSymbols = 288;  // 0-255 literals, 256 end, 257-287 lengths
constexpr uint32_t kNumDistSymbols = 32;     // 30 and 31 exist only in Deflate64
constexpr uint32_t kNumCodeLenSymbols = 19;  // alphabet of the code-length code
constexpr uint32_t kEndOfBlock = 256;
constexpr uint32_t kFirstLengthSymbol = 257;
constexpr uint32_t kMaxCodeLength = 15;        // longest literal/length or distance codeword
constexpr uint32_t kMaxCodeLenCodeLength = 7;  // longest codeword of the code-length code
constexpr uint32_t kMinMatch = 3;

/// Block types of the 2-bit BTYPE field.
constexpr uint32_t kBlockStored = 0;
constexpr uint32_t kBlockFixed = 1;
constexpr uint32_t kBlockDynamic = 2;

/// Order in which the code-length code lengths are sent (HCLEN + 4 of them).
constexpr std::array<uint8_t, kNumCodeLenSymbols> kCodeLenOrder = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

/// Base and extra-bit count of one length or distance symbol.
struct SymbolRange {
  uint16_t base;
  uint8_t extra;
};

/// Length symbols 257..287 as RFC 1951 gives them. 286 and 287 never occur in
/// valid data; their slots exist only so both fixed codes can be built from
/// one table and are marked invalid by the table builder.
constexpr std::array<SymbolRange, 31> kDeflateLengths = {
    {{3, 0},   {4, 0},   {5, 0},   {6, 0},   {7, 0},   {8, 0},  {9, 0},  {10, 0},
     {11, 1},  {13, 1},  {15, 1},  {17, 1},  {19, 2},  {23, 2}, {27, 2}, {31, 2},
     {35, 3},  {43, 3},  {51, 3},  {59, 3},  {67, 4},  {83, 4}, {99, 4}, {115, 4},
     {131, 5}, {163, 5}, {195, 5}, {227, 5}, {258, 0}, {0, 0},  {0, 0}}};

/// Deflate64 differs in symbol 285 only: 16 extra bits on a base of 3.
constexpr std::array<SymbolRange, 31> kDeflate64Lengths = [] {
  auto t = kDeflateLengths;
  t[285 - kFirstLengthSymbol] = {3, 16};
  return t;
}();

/// Distance symbols 0..31. Deflate accepts the first 30; Deflate64 all 32.
constexpr std::array<SymbolRange, kNumDistSymbols> kDistances = {
    {{1, 0},      {2, 0},      {3, 0},      {4, 0},     {5, 1},     {7, 1},     {9, 2},
     {13, 2},     {17, 3},     {25, 3},     {33, 4},    {49, 4},    {65, 5},    {97, 5},
     {129, 6},    {193, 6},    {257, 7},    {385, 7},   {513, 8},   {769, 8},   {1025, 9},
     {1537, 9},   {2049, 10},  {3073, 10},  {4097, 11}, {6145, 11}, {8193, 12}, {12289, 12},
     {16385, 13}, {24577, 13}, {32769, 14}, {49153, 14}}};

// Each range must end where the next begins, and the last ones must reach the
// format limits; a typo in the tables above breaks one of these.
constexpr bool RangesAreContiguous(const SymbolRange* t, uint32_t n) {
  for (uint32_t i = 0; i + 1 < n; ++i)
    if (t[i].base + (1u << t[i].extra) != t[i + 1].base) return false;
  return true;
}
static_assert(kDeflateLengths.size() == kNumLitLenSymbols - kFirstLengthSymbol);
static_assert(RangesAreContiguous(kDeflateLengths.data(), 28));  // symbols 257-284 cover 3..258
static_assert(kDeflateLengths[27].base + (1u << kDeflateLengths[27].extra) - 1 == 258);
static_assert(RangesAreContiguous(kDistances.data(), kNumDistSymbols));
static_assert(kDistances[29].base + (1u << kDistances[29].extra) - 1 == 32768);
static_assert(kDistances[31].base + (1u << kDistances[31].extra) - 1 == 65536);
static_assert(kDeflate64Lengths[28].base + (1u << kDeflate64Lengths[28].extra) - 1 == 65538);

/// Everything that differs between the two formats, chosen once at init.
struct VariantTables {
  InflateVariant variant;
  uint32_t maxMatch;             ///< longest match: 258 or 65,538
  uint32_t numDistSymbols;       ///< distance symbols that decode (30 or 32)
  uint32_t maxLitLenCodes;       ///< largest HLIT + 257 accepted in a dynamic header
  uint32_t maxDistCodes;         ///< largest HDIST + 1 accepted in a dynamic header
  const SymbolRange* lengths;    ///< indexed by symbol - 257, 31 entries
  const SymbolRange* distances;  ///< indexed by symbol, 32 entries
};

constexpr VariantTables kDeflateTables = {
    InflateVariant::Deflate, 258, 30, 286, 30, kDeflateLengths.data(), kDistances.data()};
constexpr VariantTables kDeflate64Tables = {
    InflateVariant::Deflate64, 65538, 32, 288, 32, kDeflate64Lengths.data(), kDistances.data()};

constexpr const VariantTables& TablesFor(InflateVariant v) {
  return v == InflateVariant::Deflate64 ? kDeflate64Tables : kDeflateTables;
}

}  // namespace arc::deflate
