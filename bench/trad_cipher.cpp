//===-- bench/trad_cipher.cpp - Traditional cipher throughput ------------------===//
//
// Prints MB/s (10^6 bytes per second, best of several runs) of deciphering one
// buffer in the 32,768-byte pieces the reader hands over, and of enciphering
// it. The round trip must give the buffer back; the program fails otherwise.
//
// Usage: bench_trad_cipher [megabytes (default 64)] [runs (default 5)]
//
//===----------------------------------------------------------------------===//
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <span>
#include <vector>

#include <arc/codec/trad_cipher.h>

namespace {

constexpr size_t kPiece = 32768;

template <class Step>
double BestMBps(std::vector<uint8_t>& buf, int runs, Step step) {
  double best = 0;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    step(buf);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::max(best, static_cast<double>(buf.size()) / 1e6 / took.count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  std::vector<uint8_t> buf(megabytes << 20);
  std::mt19937 rng(1);
  for (auto& b : buf) b = static_cast<uint8_t>(rng());
  const std::vector<uint8_t> original = buf;

  auto encipher = [](std::vector<uint8_t>& b) {
    arc::TradCipher c;
    c.FeedPassword("benchmark password");
    c.Encipher(b);
  };
  auto decipher = [](std::vector<uint8_t>& b) {
    arc::TradCipher c;
    c.FeedPassword("benchmark password");
    for (size_t at = 0; at < b.size(); at += kPiece)
      c.Decipher(std::span(b).subspan(at, std::min(kPiece, b.size() - at)));
  };

  // Odd and even runs alternate the direction so the buffer ends where it began.
  double enc = 0;
  double dec = 0;
  for (int i = 0; i < runs; ++i) {
    enc = std::max(enc, BestMBps(buf, 1, encipher));
    dec = std::max(dec, BestMBps(buf, 1, decipher));
  }
  if (buf != original) {
    std::fprintf(stderr, "round trip changed the data\n");
    return 1;
  }
  std::printf("traditional cipher, %zu MiB, best of %d\n", megabytes, runs);
  std::printf("  decipher  %8.1f MB/s\n", dec);
  std::printf("  encipher  %8.1f MB/s\n", enc);
  return 0;
}
