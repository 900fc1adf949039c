//===-- unzip/legacy/unreduce.cpp - Methods 2 to 5: follower sets and DLE expander -===//
//
// Format notes:
// - The data opens with 256 follower sets, for the byte values 255 down to 0:
//   a 6-bit count n, then n bytes of 8 bits. A set holds at most 32 bytes.
// - Then come bytes, each coded against the byte before it (0 at the start):
//   when that byte's set is empty, the byte itself in 8 bits; otherwise a 1
//   bit and the byte in 8 bits, or a 0 bit and an index into the set in
//   B(n) bits, B(n) being 1 for n <= 2, 2 for n <= 4, 3 for n <= 8, 4 for
//   n <= 16 and 5 for n <= 32.
// - Those bytes feed an expander with the escape byte DLE = 144 and the
//   compression factor f = method - 1:
//     x                a byte other than DLE stands for itself
//     DLE 0            a single 144
//     DLE V [L] D      a copy of length + 3 bytes from distance bytes back,
//                      with length = V & mask(f), plus L when that is mask(f)
//                      (only then is L present), and
//                      distance = (V >> (8 - f)) * 256 + D + 1
//   where mask(f) = 0x7F, 0x3F, 0x1F, 0x0F for f = 1..4. Copies read a
//   4 KiB window that starts out zero-filled.
// - There is no end code: decoding stops when the output reaches the declared
//   uncompressed size, or earlier when the input ends.
//
// Failures (see legacy_io.h for the results):
//   BadBlock  raised: a follower set count above 32
//
//===----------------------------------------------------------------------===//
#include <cstring>
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

constexpr int32_t kDle = 144;
constexpr uint32_t kWindowSize = 4096;
constexpr int32_t kMaxFollowers = 32;
constexpr uint32_t kMinCopy = 3;

/// Every table of one entry, allocated once when it starts.
struct UnreduceTables {
  uint8_t followers[256][kMaxFollowers];  // the follower set of each byte value
  uint8_t followerCount[256];
  uint8_t window[kWindowSize];
  uint8_t in[kBlockSize];
  uint8_t out[kBlockSize];
};

/// Bits of an index into a follower set of n (1..32) bytes.
constexpr int IndexBits(int32_t n) {
  return n <= 2 ? 1 : n <= 4 ? 2 : n <= 8 ? 3 : n <= 16 ? 4 : 5;
}

/// What the expander waits for.
enum class Expand : uint8_t {
  Byte,      // a plain byte or DLE
  AfterDle,  // 0 for a literal 144, else V
  Length,    // the length byte L
  Distance,  // the distance byte D, then the copy
};

}  // namespace

int32_t Unreduce(LegacyIo& io, int factor) {
  if (factor < 1 || factor > 4) return ec::UnsupportedCompressionMethod;
  std::unique_ptr<UnreduceTables> tables(new (std::nothrow) UnreduceTables);
  if (!tables) return ec::OutOfMemory;
  UnreduceTables& t = *tables;
  // Indexes past a set's count read these zeros.
  std::memset(t.followers, 0, sizeof t.followers);

  BitInput in(io, t.in);
  ByteOutput out(io, t.out);
  SlidingWindow window(t.window, kWindowSize);

  for (int32_t value = 255; value >= 0; --value) {
    int32_t count = in.Bits(6);
    if (count < 0) return Finish(in, out);
    if (count > kMaxFollowers) return Abort(io, out, ec::BadBlock, LegacySeverity::Raise);
    t.followerCount[value] = static_cast<uint8_t>(count);
    for (int32_t i = 0; i < count; ++i) {
      int32_t follower = in.Bits(8);
      if (follower < 0) return Finish(in, out);
      t.followers[value][i] = static_cast<uint8_t>(follower);
    }
  }

  const uint32_t lengthMask = 0xFFu >> factor;
  const int distanceShift = 8 - factor;
  const uint64_t limit = io.uncompressedSize;
  Expand state = Expand::Byte;
  uint32_t v = 0;       // the byte after DLE
  uint32_t length = 0;  // copy length less kMinCopy
  uint8_t last = 0;     // the byte before, selecting the follower set

  while (out.Produced() < limit && !out.Failed()) {
    int32_t byte;
    const int32_t count = t.followerCount[last];
    if (count == 0) {
      byte = in.Bits(8);
    } else {
      int32_t plain = in.Bits(1);
      if (plain < 0) break;
      if (plain) {
        byte = in.Bits(8);
      } else {
        int32_t index = in.Bits(IndexBits(count));
        byte = index < 0 ? -1 : t.followers[last][index];
      }
    }
    if (byte < 0) break;
    last = static_cast<uint8_t>(byte);

    switch (state) {
      case Expand::Byte:
        if (byte == kDle) {
          state = Expand::AfterDle;
        } else {
          window.Put(out, last);
        }
        break;
      case Expand::AfterDle:
        if (byte == 0) {
          window.Put(out, kDle);
          state = Expand::Byte;
        } else {
          v = static_cast<uint32_t>(byte);
          length = v & lengthMask;
          state = length == lengthMask ? Expand::Length : Expand::Distance;
        }
        break;
      case Expand::Length:
        length += static_cast<uint32_t>(byte);
        state = Expand::Distance;
        break;
      case Expand::Distance: {
        uint32_t distance = (v >> distanceShift) * 256 + static_cast<uint32_t>(byte) + 1;
        window.Copy(out, distance, length + kMinCopy, limit);
        state = Expand::Byte;
        break;
      }
    }
  }
  return Finish(in, out);
}

}  // namespace arc
