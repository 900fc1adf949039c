//===-- fuzz/stream_decoder_fuzz.h - Shared driver of the library decoder targets -*- C++ -*-===//
//
// Input layout: byte 0 picks the output buffer size (bits 0-5: 1..64 bytes,
// so output straddles calls), whether the compressed size is given (bit 6)
// and the input piece size (bit 7: 1 byte, else 31); byte 1 is the entry's
// general-purpose flags (LZMA reads bit 1); the rest is the entry's data.
//
// Whatever the bytes, a decoder must stay inside its buffers, take nothing
// past a given compressed size, end with a defined result that stays, keep
// its memory under the limit, and decode the same bytes to the same result
// (and, but for where an error is found, the same output) when they arrive
// all at once into one large buffer.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/stream_decoder.h"

namespace arc::fuzz {

inline void Check(bool ok) {
  if (!ok) __builtin_trap();
}

namespace detail {

namespace res = inflate_result;

constexpr size_t kMaxOutput = 256u << 10;  // longer outputs are cut here
constexpr uint64_t kMemoryLimit = 16u << 20;

struct Run {
  int result = res::kOk;
  std::vector<uint8_t> out;
  uint64_t totalIn = 0;
};

inline Run Decode(uint16_t method, const DecoderOptions& options, const uint8_t* data, size_t size,
                  size_t inStep, size_t outStep) {
  Run run;
  auto decoder = MakeStreamDecoder(method, options);
  Check(decoder != nullptr);
  CodecStream s;
  if (decoder->Init(s) != res::kOk) {
    run.result = res::kMemError;
    return run;
  }
  std::vector<uint8_t> buf(outStep);
  size_t given = 0;
  while (run.out.size() < kMaxOutput) {
    if (s.avail_in == 0 && given < size) {
      const size_t n = inStep < size - given ? inStep : size - given;
      s.next_in = data + given;
      s.avail_in = static_cast<uint32_t>(n);
      given += n;
    }
    s.next_out = buf.data();
    s.avail_out = static_cast<uint32_t>(buf.size());
    const uint32_t inBefore = s.avail_in;
    const uint8_t* nextBefore = s.next_in;
    run.result = decoder->Decode(s);
    Check(s.avail_out <= buf.size() && s.avail_in <= inBefore);
    Check(s.next_in == nextBefore + (inBefore - s.avail_in));
    run.out.insert(run.out.end(), buf.data(), buf.data() + (buf.size() - s.avail_out));
    if (options.compressedSize != kUnknownSize) Check(s.total_in <= options.compressedSize);
    if (run.result == res::kStreamEnd || run.result == res::kDataError ||
        run.result == res::kMemError)
      break;
    if (run.result == res::kBufError && s.avail_in == 0 && given == size) break;
    Check(run.result == res::kOk || run.result == res::kBufError);
  }
  // An ended stream stays ended and a failed one failed.
  if (run.result != res::kOk && run.result != res::kBufError) {
    s.next_out = buf.data();
    s.avail_out = static_cast<uint32_t>(buf.size());
    Check(decoder->Decode(s) == run.result);
  }
  run.totalIn = s.total_in;
  Check(s.total_out == run.out.size());
  decoder->End(s);
  return run;
}

}  // namespace detail

inline void RunStreamDecoder(uint16_t method, const uint8_t* data, size_t size) {
  if (size < 2) return;
  const uint8_t control = data[0];
  DecoderOptions options;
  options.flags = data[1];
  options.memoryLimit = detail::kMemoryLimit;
  data += 2;
  size -= 2;
  if (control & 0x40) options.compressedSize = size;
  const size_t outStep = 1 + (control & 63);
  const size_t inStep = (control & 0x80) ? 1 : 31;

  const detail::Run small = detail::Decode(method, options, data, size, inStep, outStep);
  const detail::Run whole =
      detail::Decode(method, options, data, size, size == 0 ? 1 : size, detail::kMaxOutput + 65536);
  const size_t n = small.out.size() < whole.out.size() ? small.out.size() : whole.out.size();
  Check(n == 0 || std::memcmp(small.out.data(), whole.out.data(), n) == 0);
  if (small.out.size() < detail::kMaxOutput && whole.out.size() < detail::kMaxOutput) {
    Check(small.result == whole.result);
    // How much a library hands out before it finds an error depends on its
    // buffering (a checksum is checked before or after the output goes), so
    // only a stream that ended, or ran dry, must give the same amount.
    if (small.result == inflate_result::kStreamEnd || small.result == inflate_result::kBufError)
      Check(small.out.size() == whole.out.size());
    if (small.result == inflate_result::kStreamEnd) Check(small.totalIn == whole.totalIn);
  }
}

}  // namespace arc::fuzz
