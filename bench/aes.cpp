//===-- bench/aes.cpp - AES entry encryption throughput -------------------===//
//
// Prints MB/s (10^6 bytes per second, best of several runs) of encrypting and
// decrypting one buffer with AES-256 as ZIP entries use it (counter mode and
// the authentication code together), in the pieces the library hands over:
// 32,768 bytes (the extractor's chunk) and 65,536 bytes (the adapters' work
// buffer). Also prints the time to derive one entry's keys, which every
// entry and every password attempt pays. The round trip must give the buffer
// back with a matching code; the program fails otherwise.
//
// Usage: bench_aes [megabytes (default 256)] [runs (default 5)]
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <span>
#include <vector>

#include <arc/codec/aes_crypt.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kPassword[] = "benchmark password";
constexpr arc::AesStrength kStrength = arc::AesStrength::Aes256;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<uint8_t> buf(megabytes << 20);
  std::mt19937 rng(1);
  for (auto& b : buf) b = static_cast<uint8_t>(rng());
  const std::vector<uint8_t> original = buf;
  std::vector<uint8_t> header(arc::AesHeaderLen(kStrength));

  std::printf("AES-256 entries, %zu MiB, best of %d\n", megabytes, runs);
  for (size_t piece : {size_t{32768}, size_t{65536}}) {
    double enc = 0;
    double dec = 0;
    for (int i = 0; i < runs; ++i) {
      arc::AesCipher writer;
      if (!writer.StartEncryption(kPassword, kStrength, header)) return 1;
      auto start = Clock::now();
      for (size_t at = 0; at < buf.size(); at += piece)
        writer.Encrypt(std::span(buf).subspan(at, std::min(piece, buf.size() - at)));
      const auto code = writer.FinishCode();
      enc = std::max(enc, static_cast<double>(buf.size()) / 1e6 / Seconds(start));

      arc::AesCipher reader;
      if (!reader.VerifyPassword(kPassword, kStrength, header)) return 1;
      reader.SetDataLength(buf.size());
      start = Clock::now();
      for (size_t at = 0; at < buf.size(); at += piece)
        reader.Decrypt(std::span(buf).subspan(at, std::min(piece, buf.size() - at)));
      const bool authentic = reader.CheckCode(code);
      dec = std::max(dec, static_cast<double>(buf.size()) / 1e6 / Seconds(start));
      if (!authentic || buf != original) {
        std::fprintf(stderr, "round trip failed\n");
        return 1;
      }
    }
    std::printf("  %5zu-byte pieces: encrypt %8.1f MB/s   decrypt %8.1f MB/s\n", piece, enc, dec);
  }

  constexpr int kDerivations = 50;
  const auto start = Clock::now();
  for (int i = 0; i < kDerivations; ++i) {
    arc::AesCipher c;
    if (!c.VerifyPassword(kPassword, kStrength, header)) return 1;
  }
  std::printf("  key derivation (1,000 iterations): %.2f ms per entry or password attempt\n",
              Seconds(start) * 1e3 / kDerivations);
  return 0;
}
