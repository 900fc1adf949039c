//===-- unzip/legacy/unshrink.cpp - Method 1: LZW with partial clearing ---===//
//
// Format notes:
// - Codes are 9 to 13 bits wide, least significant bit first, and start at 9.
//   0..255 are literal bytes. 256 is an escape: the code after it (same
//   width) is 1 to widen codes by one bit, or 2 for a partial clear.
// - 257..8191 name strings, each a prefix code plus one suffix byte. After
//   every code but the first, the string (previous code's string + first byte
//   of this code's string) gets the next code of the free list; once the list
//   is used up nothing is added until a partial clear frees codes.
// - A string code that is still empty stands for the previous code's string
//   plus that string's own first byte (the LZW case of a code sent before the
//   decoder could define it).
// - A partial clear frees every string code that no other code extends. The
//   free list then holds the freed codes in ascending order, so the smallest
//   freed code is the next one given out.
// - There is no end code: decoding stops when the input ends.
//
// Failures (see legacy_io.h for the results):
//   BadBlock       raised: the input ends inside the first code; an escape
//                  followed by a code other than 1 or 2; widening past 13
//                  bits; a string whose chain leads into an empty code
//   StackOverflow  raised: a string longer than the 8192-byte decode stack,
//                  which only a cyclic (damaged) chain of codes can produce
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

constexpr int32_t kCodes = 8192;       // codes 0..8191
constexpr int32_t kEscape = 256;       // followed by a control code
constexpr int32_t kFirstString = 257;  // first code the free list gives out
constexpr int32_t kEmpty = -1;         // prefix of a literal or an unused code
constexpr int kFirstWidth = 9;
constexpr int kLastWidth = 13;         // 2^13 = kCodes: a wider code could name nothing more
constexpr uint32_t kStackSize = 8192;  // longest string that can be unwound
constexpr int32_t kWiden = 1;          // control codes after an escape
constexpr int32_t kPartialClear = 2;

/// Every table of one entry, allocated once when it starts.
struct UnshrinkTables {
  int32_t prefix[kCodes];                    // code this one extends, or kEmpty
  uint8_t suffix[kCodes];                    // last byte of the code's string
  uint16_t children[kCodes];                 // codes whose prefix is this one
  uint16_t freeList[kCodes - kFirstString];  // the list slot of index k is k - 257
  uint8_t stack[kStackSize];                 // a string's bytes, last byte first
  uint8_t in[kBlockSize];
  uint8_t out[kBlockSize];
};

void ResetTables(UnshrinkTables& t) {
  for (int32_t code = 0; code < kCodes; ++code) {
    t.prefix[code] = kEmpty;
    t.suffix[code] = code < 256 ? static_cast<uint8_t>(code) : 0;
    t.children[code] = 0;
  }
  for (int32_t code = kFirstString; code < kCodes; ++code)
    t.freeList[code - kFirstString] = static_cast<uint16_t>(code);
}

/// Frees every string code without children; returns the new next-free index.
int32_t PartialClear(UnshrinkTables& t) {
  // Collect first, free afterwards: a prefix that loses its last child here
  // stays until the next clear.
  int32_t index = kCodes;
  for (int32_t code = kCodes - 1; code >= kFirstString; --code) {
    if (t.children[code] == 0) t.freeList[--index - kFirstString] = static_cast<uint16_t>(code);
  }
  for (int32_t slot = kCodes - 1; slot >= index; --slot) {
    int32_t code = t.freeList[slot - kFirstString];
    if (t.prefix[code] != kEmpty) --t.children[t.prefix[code]];
    t.prefix[code] = kEmpty;
    t.suffix[code] = 0;
    t.children[code] = 0;
  }
  return index;
}

}  // namespace

int32_t Unshrink(LegacyIo& io) {
  std::unique_ptr<UnshrinkTables> tables(new (std::nothrow) UnshrinkTables);
  if (!tables) return ec::OutOfMemory;
  UnshrinkTables& t = *tables;
  ResetTables(t);
  int32_t nextFree = kFirstString;

  BitInput in(io, t.in);
  ByteOutput out(io, t.out);
  // A read that ran out because of the cancel flag is no damage.
  auto damaged = [&] {
    return in.Cancelled() ? Finish(in, out) : Abort(io, out, ec::BadBlock, LegacySeverity::Raise);
  };

  int width = kFirstWidth;
  int32_t code = in.Bits(width);
  if (code < 0) {
    // No data at all decodes to nothing (an empty entry); a first code cut
    // short is damage.
    return in.TookAny() ? damaged() : Finish(in, out);
  }
  uint8_t first = static_cast<uint8_t>(code);  // first byte of the last string
  out.Put(first);
  int32_t old = code;  // the previous code

  for (;;) {
    code = in.Bits(width);
    if (code < 0) break;
    if (code == kEscape) {
      int32_t control = in.Bits(width);
      if (control == kWiden && width < kLastWidth) {
        ++width;
      } else if (control == kPartialClear) {
        nextFree = PartialClear(t);
      } else {
        return damaged();
      }
      continue;
    }

    // Unwind the string onto the stack, last byte first.
    uint32_t depth = 0;
    int32_t walk = code;
    if (code > kEscape && t.prefix[code] == kEmpty) {
      t.stack[depth++] = first;
      walk = old;
    }
    while (walk > kEscape) {
      if (depth == kStackSize) return Abort(io, out, ec::StackOverflow, LegacySeverity::Raise);
      t.stack[depth++] = t.suffix[walk];
      walk = t.prefix[walk];
    }
    if (walk == kEmpty) return damaged();
    first = t.suffix[walk];
    out.Put(first);
    while (depth > 0) out.Put(t.stack[--depth]);

    if (nextFree < kCodes) {
      int32_t added = t.freeList[nextFree++ - kFirstString];
      t.prefix[added] = old;
      t.suffix[added] = first;
      ++t.children[old];
    }
    old = code;
    if (out.Failed()) break;
  }
  return Finish(in, out);
}

}  // namespace arc
