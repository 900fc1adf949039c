//===-- bench/crc.cpp - CRC-32 throughput: ours, zlib, a plain table loop ----===//
//
// Prints MB/s (10^6 bytes per second, best of several runs) of three ways to
// compute the CRC-32 of one buffer, in the same run:
//   ours       Crc32Update, fed in the 61,440-byte pieces the stream copy uses,
//              and in 16 MiB pieces
//   zlib       crc32 over the whole buffer
//   table      the byte-at-a-time loop over the stored table
// All must give the same CRC; the program fails otherwise.
//
// Usage: bench_crc [megabytes (default 256)] [runs (default 5)]
//
//===----------------------------------------------------------------------===//
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include <arc/codec/crc.h>

namespace {

using arc::Crc32Byte;
using arc::Crc32Update;
using arc::kCrc32Init;

uint32_t Ours(const std::vector<uint8_t>& buf, size_t piece) {
  uint32_t r = kCrc32Init;
  for (size_t at = 0; at < buf.size(); at += piece) {
    const size_t n = buf.size() - at < piece ? buf.size() - at : piece;
    Crc32Update(buf.data() + at, static_cast<int32_t>(n), r);
  }
  return r ^ 0xFFFFFFFFu;
}

uint32_t Zlib(const std::vector<uint8_t>& buf) {
  uLong c = crc32(0L, Z_NULL, 0);
  size_t at = 0;
  while (at < buf.size()) {  // uInt lengths: whole buffer in 1 GiB steps at most
    const size_t n = buf.size() - at < (1u << 30) ? buf.size() - at : (1u << 30);
    c = crc32(c, buf.data() + at, static_cast<uInt>(n));
    at += n;
  }
  return static_cast<uint32_t>(c);
}

uint32_t Table(const std::vector<uint8_t>& buf) {
  uint32_t r = kCrc32Init;
  for (uint8_t b : buf) r = Crc32Byte(b, r);
  return r ^ 0xFFFFFFFFu;
}

struct Result {
  double mbps;
  uint32_t crc;
};

Result Measure(const std::vector<uint8_t>& buf, int runs, const std::function<uint32_t()>& f) {
  double best = 1e300;
  uint32_t crc = f();  // untimed warm-up: caches, clock speed
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    crc = f();
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (s < best) best = s;
  }
  return {static_cast<double>(buf.size()) / 1e6 / best, crc};
}

}  // namespace

int main(int argc, char** argv) {
  const long mb = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 256;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  if (mb <= 0 || runs <= 0) {
    std::fprintf(stderr, "usage: bench_crc [megabytes] [runs]\n");
    return 2;
  }
  std::vector<uint8_t> buf(static_cast<size_t>(mb) << 20);
  std::mt19937_64 rng(20240301);
  for (size_t i = 0; i + 8 <= buf.size(); i += 8) {
    const uint64_t v = rng();
    for (int k = 0; k < 8; ++k) buf[i + k] = static_cast<uint8_t>(v >> (8 * k));
  }

  std::printf("CRC-32 over %zu bytes (%ld MiB), best of %d runs\n", buf.size(), mb, runs);
  const Result ours_small = Measure(buf, runs, [&] { return Ours(buf, 61440); });
  const Result ours_large = Measure(buf, runs, [&] { return Ours(buf, 16u << 20); });
  const Result zlib = Measure(buf, runs, [&] { return Zlib(buf); });
  const Result table = Measure(buf, runs, [&] { return Table(buf); });
  std::printf("  %-34s %9.1f MB/s  crc %08X\n", "ours (61,440-byte pieces)", ours_small.mbps,
              ours_small.crc);
  std::printf("  %-34s %9.1f MB/s  crc %08X\n", "ours (16 MiB pieces)", ours_large.mbps,
              ours_large.crc);
  std::printf("  %-34s %9.1f MB/s  crc %08X\n", "zlib crc32 (whole buffer)", zlib.mbps, zlib.crc);
  std::printf("  %-34s %9.1f MB/s  crc %08X\n", "byte-at-a-time table loop", table.mbps, table.crc);
  std::printf(
      "  ours / zlib: %.2f (61,440-byte pieces), %.2f (16 MiB pieces); ours / table loop: %.2f\n",
      ours_small.mbps / zlib.mbps, ours_large.mbps / zlib.mbps, ours_small.mbps / table.mbps);
  const bool same =
      ours_small.crc == zlib.crc && ours_large.crc == zlib.crc && table.crc == zlib.crc;
  if (!same) std::printf("MISMATCH: the three CRCs differ\n");
  return same ? 0 : 1;
}
