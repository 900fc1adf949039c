//===-- fuzz/inflate.cpp - Arbitrary input through the inflater --*- C++ -*-===//
//
// The first byte picks the format, the output buffer size (1..64 bytes, so
// most matches straddle calls) and the input piece size; the rest is the
// stream. Whatever the bytes, the decoder must stay inside its buffers, end
// with a defined result, and decode the same bytes the same way when they
// arrive all at once into one large buffer.
//
//===----------------------------------------------------------------------===//
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/inflate.h"

namespace {

namespace res = arc::inflate_result;

struct Run {
  int result = res::kOk;
  std::vector<uint8_t> out;
  uint64_t totalIn = 0;
};

constexpr size_t kMaxOutput = 96u << 10;  // past one 64 KiB ring; longer streams are cut here

Run Decode(const uint8_t* data, size_t size, arc::InflateVariant variant, size_t inStep,
           size_t outStep) {
  Run run;
  arc::InflateStream s;
  if (arc::InflateInit(s, -15, variant) != res::kOk) abort();
  static std::vector<uint8_t> storage(kMaxOutput + 65536);  // reused: no per-run zeroing
  const size_t bufSize = outStep < storage.size() ? outStep : storage.size();
  uint8_t* const buf = storage.data();
  size_t given = 0;
  while (run.out.size() < kMaxOutput) {
    if (s.avail_in == 0 && given < size) {
      const size_t n = inStep < size - given ? inStep : size - given;
      s.next_in = data + given;
      s.avail_in = static_cast<uint32_t>(n);
      given += n;
    }
    s.next_out = buf;
    s.avail_out = static_cast<uint32_t>(bufSize);
    const uint32_t inBefore = s.avail_in;
    run.result = arc::Inflate(s);
    const size_t produced = bufSize - s.avail_out;
    if (s.avail_out > bufSize || s.avail_in > inBefore) abort();
    run.out.insert(run.out.end(), buf, buf + produced);
    if (run.result == res::kStreamEnd || run.result == res::kDataError) break;
    if (run.result == res::kBufError && s.avail_in == 0 && given == size) break;
    if (run.result != res::kOk && run.result != res::kBufError) abort();
  }
  // A bad stream stays bad; a finished one stays finished.
  if (run.result == res::kDataError || run.result == res::kStreamEnd) {
    const int again = arc::Inflate(s);
    if (again != run.result) abort();
  }
  run.totalIn = s.total_in;
  if (s.total_out != run.out.size()) abort();
  arc::InflateEnd(s);
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  ++data;
  --size;
  const auto variant =
      (control & 1) ? arc::InflateVariant::Deflate64 : arc::InflateVariant::Deflate;
  const size_t outStep = 1 + ((control >> 1) & 63);
  const size_t inStep = (control & 0x80) ? 1 : 31;

  const Run small = Decode(data, size, variant, inStep, outStep);
  const Run whole = Decode(data, size, variant, size == 0 ? 1 : size, kMaxOutput + 65536);
  // Output limits cut the two runs at different places; compare what both saw.
  const size_t n = small.out.size() < whole.out.size() ? small.out.size() : whole.out.size();
  if (n != 0 && std::memcmp(small.out.data(), whole.out.data(), n) != 0) abort();
  if (small.out.size() < kMaxOutput && whole.out.size() < kMaxOutput) {
    if (small.result != whole.result || small.out.size() != whole.out.size() ||
        small.totalIn != whole.totalIn)
      abort();
  }
  return 0;
}
