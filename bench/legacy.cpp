//===-- bench/legacy.cpp - Throughput of the shrink, reduce and implode decoders -===//
//
// Usage: bench_legacy [ARCHIVE_DIR]   (default tests/data/public)
// Decodes every legacy entry of 10 KB or more, from memory into a sink that
// only computes the CRC-32, for at least half a second each, and prints the
// output rate.
//
//===----------------------------------------------------------------------===//
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <arc/codec/crc.h>
#include "unzip/legacy/legacy_io.h"

namespace {

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path dir = argc > 1 ? argv[1] : "tests/data/public";
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".zip" || e.path().extension() == ".ZIP") files.push_back(e.path());
  std::sort(files.begin(), files.end());

  std::printf("%-32s %-14s %6s %9s %9s %8s\n", "archive", "entry", "method", "packed", "size",
              "MB/s");
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> zip((std::istreambuf_iterator<char>(in)), {});
    size_t at = 0;
    while (at + 30 <= zip.size() && Le(zip, at, 4) == 0x04034B50) {
      uint16_t flags = static_cast<uint16_t>(Le(zip, at + 6, 2));
      uint16_t method = static_cast<uint16_t>(Le(zip, at + 8, 2));
      uint32_t crc = Le(zip, at + 14, 4);
      uint32_t packed = Le(zip, at + 18, 4);
      uint32_t size = Le(zip, at + 22, 4);
      size_t nameLen = Le(zip, at + 26, 2);
      size_t data = at + 30 + nameLen + Le(zip, at + 28, 2);
      if (data + packed > zip.size()) break;
      std::string name(zip.begin() + at + 30, zip.begin() + at + 30 + nameLen);
      at = data + packed;
      if (!arc::IsLegacyMethod(method) || size < 10000) continue;

      uint64_t produced = 0;
      int runs = 0;
      bool good = true;
      auto start = std::chrono::steady_clock::now();
      double seconds = 0;
      do {
        size_t offset = data;
        uint32_t reg = arc::kCrc32Init;
        arc::LegacyIo io;
        io.readBlock = [&](uint8_t* p, uint32_t n) -> uint32_t {
          size_t take = std::min<size_t>(n, data + packed - offset);
          std::memcpy(p, zip.data() + offset, take);
          offset += take;
          return static_cast<uint32_t>(take);
        };
        io.writeBlock = [&](const uint8_t* p, uint32_t n) {
          arc::Crc32Update(p, static_cast<int32_t>(n), reg);
          produced += n;
          return true;
        };
        io.compressedSize = packed;
        io.uncompressedSize = size;
        good = arc::DecodeLegacy(method, flags, io) == 0 && (reg ^ 0xFFFFFFFFu) == crc && good;
        ++runs;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      } while (seconds < 0.5);
      std::printf("%-32s %-14s %6u %9u %9u %8.1f%s\n", file.filename().c_str(), name.c_str(),
                  method, packed, size, static_cast<double>(produced) / seconds / 1e6,
                  good ? "" : "  CRC FAILED");
    }
  }
  return 0;
}
