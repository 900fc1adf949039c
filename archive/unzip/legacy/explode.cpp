//===-- unzip/legacy/explode.cpp - Method 6: Shannon-Fano coded sliding window -===//
//
// Format notes:
// - General-purpose flag bit 1 selects an 8 KiB window (else 4 KiB), bit 2
//   three Shannon-Fano trees (else two). With three trees literals are coded
//   and matches are at least 3 bytes long; with two, literals are plain 8-bit
//   values and matches at least 2 bytes. The low part of a distance has 7 bits
//   with the 8 KiB window and 6 bits with the 4 KiB one.
// - The trees come first: literal (256 symbols, three-tree data only), length
//   (64 symbols), distance (64 symbols). Each is a byte holding the count of
//   description bytes less one, then those bytes; a description byte gives
//   high nibble + 1 consecutive symbols, from symbol 0 up, a code length of
//   low nibble + 1 bits.
// - Codes follow from the lengths alone: sort the (length, symbol) pairs
//   ascending; walking from the last pair to the first, add the increment to
//   a 16-bit code, where the increment becomes 1 << (16 - length) whenever the
//   length changes; the pair's code is the top `length` bits of that code.
//   So the longest codes take the smallest values. Codes are sent most
//   significant bit first, one bit per tree level.
// - Then items, until the declared uncompressed size is reached:
//     1 literal                        one byte
//     0 low(6|7) distance length       length + minimum bytes copied from
//                                      ((distance << lowbits) + low) mod
//                                      window + 1 bytes back
//   A length symbol of 63 is followed by 8 bits that add to it. The window
//   starts out zero-filled.
//
// Trees are arrays of (left, right) nodes; a child holds -1 (none), a symbol
// (an index below the symbol count) or an inner node (an index above it).
// The root is the last node; inner nodes are taken downwards from it, so a
// prefix code needs at most symbols - 1 of them and the array holds exactly
// 2 * symbols nodes.
//
// Failures (see legacy_io.h for the results), all AmbiguousShannonFano:
//   reported   a description that names more symbols than the tree has; a
//              code that runs through a symbol; codes that need more inner
//              nodes than a prefix code can (both end the entry before any
//              output)
//   raised     two codes ending on one branch; the data walking into a
//              branch no code uses
//
//===----------------------------------------------------------------------===//
#include <memory>
#include <new>

#include "unzip/legacy/legacy_io.h"
#include "unzip/legacy/legacy_stream.h"

namespace arc {
namespace {

using legacy::Abort;
using legacy::BitInput;
using legacy::ByteOutput;
using legacy::Finish;
using legacy::kBlockSize;
using legacy::SlidingWindow;

constexpr int32_t kNone = -1;  // an empty child
constexpr int32_t kLiteralSymbols = 256;
constexpr int32_t kLengthSymbols = 64;
constexpr int32_t kDistanceSymbols = 64;
constexpr int kMaxCodeLength = 16;
constexpr int32_t kLongLength = 63;  // a length symbol followed by 8 more bits
constexpr uint32_t kBigWindow = 8192;
constexpr uint32_t kSmallWindow = 4096;
constexpr uint16_t kFlagBigWindow = 0x0002;
constexpr uint16_t kFlagLiteralTree = 0x0004;

/// Every table of one entry, allocated once when it starts.
struct ExplodeTables {
  int32_t literalNodes[2 * kLiteralSymbols][2];
  int32_t lengthNodes[2 * kLengthSymbols][2];
  int32_t distanceNodes[2 * kDistanceSymbols][2];
  uint8_t codeLength[kLiteralSymbols];  // of the tree being read
  uint16_t byLength[kLiteralSymbols];   // its symbols sorted by (length, symbol)
  uint8_t window[kBigWindow];
  uint8_t in[kBlockSize];
  uint8_t out[kBlockSize];
};

/// A view of one tree's nodes.
struct Tree {
  int32_t (*node)[2];
  int32_t symbols;
  int32_t Root() const { return 2 * symbols - 1; }
  bool IsSymbol(int32_t index) const { return index < symbols; }
};

/// How reading a tree ended.
enum class TreeRead : uint8_t {
  Ok,
  Truncated,  // the input ended inside the description
  Ambiguous,  // not a prefix code: reported
  Collision,  // two codes end on one branch: raised
};

TreeRead Insert(const Tree& tree, uint32_t code, int length, int32_t symbol, int32_t& nextInner) {
  int32_t node = tree.Root();
  for (int bit = length - 1; bit >= 1; --bit) {
    int32_t& child = tree.node[node][(code >> bit) & 1];
    if (child == kNone) {
      // A prefix code never runs out of inner nodes; codes that do would
      // otherwise overwrite symbol indices.
      if (tree.IsSymbol(nextInner)) return TreeRead::Ambiguous;
      child = nextInner--;
    } else if (tree.IsSymbol(child)) {
      return TreeRead::Ambiguous;
    }
    node = child;
  }
  int32_t& leaf = tree.node[node][code & 1];
  if (leaf != kNone) return TreeRead::Collision;
  leaf = symbol;
  return TreeRead::Ok;
}

TreeRead ReadTree(BitInput& in, const Tree& tree, ExplodeTables& t) {
  for (int32_t i = 0; i <= tree.Root(); ++i) tree.node[i][0] = tree.node[i][1] = kNone;

  int32_t descriptions = in.Bits(8);
  if (descriptions < 0) return TreeRead::Truncated;
  int32_t symbols = 0;
  for (int32_t i = 0; i <= descriptions; ++i) {
    int32_t run = in.Bits(8);
    if (run < 0) return TreeRead::Truncated;
    int32_t repeat = (run >> 4) + 1;
    if (repeat > tree.symbols - symbols) return TreeRead::Ambiguous;
    while (repeat-- > 0) t.codeLength[symbols++] = static_cast<uint8_t>((run & 15) + 1);
  }

  // Sort by (length, symbol): a counting sort by length keeps symbols in
  // order within each length.
  int32_t start[kMaxCodeLength + 2] = {};
  for (int32_t s = 0; s < symbols; ++s) ++start[t.codeLength[s] + 1];
  for (int length = 1; length <= kMaxCodeLength; ++length) start[length + 1] += start[length];
  for (int32_t s = 0; s < symbols; ++s)
    t.byLength[start[t.codeLength[s]]++] = static_cast<uint16_t>(s);

  uint32_t code = 0;  // the 16-bit code, kept wider: excess bits fall outside every length
  uint32_t increment = 0;
  int lastLength = 0;
  int32_t nextInner = tree.Root() - 1;
  for (int32_t i = symbols - 1; i >= 0; --i) {
    int32_t symbol = t.byLength[i];
    int length = t.codeLength[symbol];
    code += increment;
    if (length != lastLength) {
      lastLength = length;
      increment = 1u << (kMaxCodeLength - length);
    }
    TreeRead r = Insert(tree, code >> (kMaxCodeLength - length), length, symbol, nextInner);
    if (r != TreeRead::Ok) return r;
  }
  return TreeRead::Ok;
}

constexpr int32_t kEndOfInput = -1;
constexpr int32_t kNoBranch = -2;

/// The next symbol of `tree`, kEndOfInput, or kNoBranch for a path no code takes.
int32_t DecodeSymbol(BitInput& in, const Tree& tree) {
  int32_t node = tree.Root();
  do {
    int32_t bit = in.Bits(1);
    if (bit < 0) return kEndOfInput;
    node = tree.node[node][bit];
    if (node == kNone) return kNoBranch;
  } while (!tree.IsSymbol(node));
  return node;
}

}  // namespace

int32_t Explode(LegacyIo& io, uint16_t flags) {
  std::unique_ptr<ExplodeTables> tables(new (std::nothrow) ExplodeTables);
  if (!tables) return ec::OutOfMemory;
  ExplodeTables& t = *tables;

  const bool bigWindow = (flags & kFlagBigWindow) != 0;
  const bool literalTree = (flags & kFlagLiteralTree) != 0;
  const uint32_t windowSize = bigWindow ? kBigWindow : kSmallWindow;
  const int lowBits = bigWindow ? 7 : 6;
  const uint32_t minMatch = literalTree ? 3 : 2;

  BitInput in(io, t.in);
  ByteOutput out(io, t.out);
  SlidingWindow window(t.window, windowSize);
  const Tree literals{t.literalNodes, kLiteralSymbols};
  const Tree lengths{t.lengthNodes, kLengthSymbols};
  const Tree distances{t.distanceNodes, kDistanceSymbols};

  const Tree* order[3] = {&literals, &lengths, &distances};
  for (int i = literalTree ? 0 : 1; i < 3; ++i) {
    switch (ReadTree(in, *order[i], t)) {
      case TreeRead::Ok:
        break;
      case TreeRead::Truncated:
        return Finish(in, out);
      case TreeRead::Ambiguous:
        return Abort(io, out, ec::AmbiguousShannonFano, LegacySeverity::Report);
      case TreeRead::Collision:
        return Abort(io, out, ec::AmbiguousShannonFano, LegacySeverity::Raise);
    }
  }

  auto noBranch = [&] { return Abort(io, out, ec::AmbiguousShannonFano, LegacySeverity::Raise); };
  const uint64_t limit = io.uncompressedSize;
  while (out.Produced() < limit && !out.Failed()) {
    int32_t isLiteral = in.Bits(1);
    if (isLiteral < 0) break;
    if (isLiteral) {
      int32_t byte = literalTree ? DecodeSymbol(in, literals) : in.Bits(8);
      if (byte == kNoBranch) return noBranch();
      if (byte < 0) break;
      window.Put(out, static_cast<uint8_t>(byte));
      continue;
    }
    int32_t low = in.Bits(lowBits);
    if (low < 0) break;
    int32_t high = DecodeSymbol(in, distances);
    if (high == kNoBranch) return noBranch();
    if (high < 0) break;
    int32_t length = DecodeSymbol(in, lengths);
    if (length == kNoBranch) return noBranch();
    if (length < 0) break;
    if (length == kLongLength) {
      int32_t more = in.Bits(8);
      if (more < 0) break;
      length += more;
    }
    uint32_t distance =
        ((static_cast<uint32_t>(high) << lowBits) + static_cast<uint32_t>(low)) & (windowSize - 1);
    window.Copy(out, distance + 1, static_cast<uint32_t>(length) + minMatch, limit);
  }
  return Finish(in, out);
}

}  // namespace arc
