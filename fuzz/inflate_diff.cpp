//===-- fuzz/inflate_diff.cpp - zlib compresses, the inflater restores -*- C++ -*-===//
//
// The first two bytes choose zlib's level, strategy, memory level and window
// size; the rest is compressed as a raw stream and must come back byte for
// byte, with the stream's exact length consumed, whether it is decoded in one
// call or through small buffers.
//
//===----------------------------------------------------------------------===//
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/inflate.h"

namespace {

namespace res = arc::inflate_result;

constexpr int kStrategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};

void CheckDecode(const std::vector<uint8_t>& packed, const uint8_t* original, size_t size,
                 int windowBits, size_t inStep, size_t outStep) {
  arc::InflateStream s;
  if (arc::InflateInit(s, windowBits, arc::InflateVariant::Deflate) != res::kOk) abort();
  std::vector<uint8_t> out;
  std::vector<uint8_t> buf(outStep);
  size_t given = 0;
  int r = res::kOk;
  for (;;) {
    if (s.avail_in == 0 && given < packed.size()) {
      const size_t n = inStep < packed.size() - given ? inStep : packed.size() - given;
      s.next_in = packed.data() + given;
      s.avail_in = static_cast<uint32_t>(n);
      given += n;
    }
    s.next_out = buf.data();
    s.avail_out = static_cast<uint32_t>(buf.size());
    r = arc::Inflate(s);
    out.insert(out.end(), buf.data(), buf.data() + (buf.size() - s.avail_out));
    if (r == res::kStreamEnd) break;
    if (r != res::kOk && r != res::kBufError) abort();
    if (r == res::kBufError && s.avail_in == 0 && given == packed.size()) abort();  // starved
  }
  if (out.size() != size || (size != 0 && std::memcmp(out.data(), original, size) != 0)) abort();
  if (s.total_in != packed.size() || s.avail_in != 0 || given != packed.size()) abort();
  arc::InflateEnd(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int level = data[0] % 10;
  const int strategy = kStrategies[(data[0] / 10) % 5];
  const int memLevel = 1 + data[1] % 9;
  const int windowBits = -(9 + (data[1] / 9) % 7);  // 9..15
  data += 2;
  size -= 2;

  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, windowBits, memLevel, strategy) != Z_OK) abort();
  std::vector<uint8_t> packed(deflateBound(&z, static_cast<uLong>(size)) + 16);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = packed.data();
  z.avail_out = static_cast<uInt>(packed.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) abort();
  packed.resize(z.total_out);
  deflateEnd(&z);

  CheckDecode(packed, data, size, windowBits, packed.size() + 1, size + 1);
  CheckDecode(packed, data, size, windowBits, 7, 1 + size % 97);
  return 0;
}
