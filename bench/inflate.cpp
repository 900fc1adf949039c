//===-- bench/inflate.cpp - Decoding speed: ours, zlib, libdeflate -*- C++ -*-===//
//
//   bench_inflate [--runs N] [CORPUS_DIR]        (default 5 runs, /tmp/corpus)
//
// Decodes, in one run: (a) db_backup.bak and (b) mixed_100MB.bin compressed by
// zlib at level 6 as raw streams, and (c) a Deflate64 stream of (a) made by
// 7-Zip. Ours and zlib's inflater are driven the way the extractor drives
// ours (64 KiB input pieces, 32 KiB output buffers); libdeflate, which cannot
// stream, decodes the whole buffer at once. Prints the best of N runs in MB/s
// of output (MB = 10^6 bytes) per second of the process's CPU time, which
// other users of a shared machine disturb less than wall time, and our ratio
// to zlib. Compressed inputs are cached in /tmp/arc-bench-cache.
//
//===----------------------------------------------------------------------===//
#include <time.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "codec/inflate.h"

#ifdef ARC_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr size_t kInChunk = 64 * 1024;
constexpr size_t kOutChunk = 32 * 1024;

Bytes ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, const Bytes& b) {
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes ZlibRaw(const Bytes& data, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out;
  Bytes buf(1 << 20);
  z.next_in = const_cast<Bytef*>(data.data());
  size_t left = data.size();
  int r;
  do {
    if (z.avail_in == 0 && left > 0) {
      const size_t n = std::min<size_t>(left, 1u << 30);
      z.avail_in = static_cast<uInt>(n);
      left -= n;
    }
    z.next_out = buf.data();
    z.avail_out = static_cast<uInt>(buf.size());
    r = deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
    out.insert(out.end(), buf.data(), z.next_out);
  } while (r != Z_STREAM_END);
  deflateEnd(&z);
  return out;
}

/// The packed data of the first entry of a ZIP file (no ZIP64 needed here).
Bytes FirstEntryData(const Bytes& zip, uint16_t& method) {
  auto u16 = [&](size_t at) { return static_cast<uint32_t>(zip[at] | zip[at + 1] << 8); };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  size_t eocd = zip.size() - 22;
  while (eocd > 0 && u32(eocd) != 0x06054b50) --eocd;
  const size_t cd = u32(eocd + 16);
  method = static_cast<uint16_t>(u16(cd + 10));
  const size_t packed = u32(cd + 20);
  const size_t local = u32(cd + 42);
  const size_t data = local + 30 + u16(local + 26) + u16(local + 28);
  return Bytes(zip.begin() + static_cast<std::ptrdiff_t>(data),
               zip.begin() + static_cast<std::ptrdiff_t>(data + packed));
}

/// Feeds `packed` in 64 KiB pieces and drains 32 KiB buffers; returns the
/// number of bytes produced and their CRC-32 when asked for it.
using StreamDecoder = std::function<size_t(const Bytes& packed, bool crc, uint32_t& crcOut)>;

size_t RunOurs(const Bytes& packed, arc::InflateVariant variant, bool crc, uint32_t& crcOut) {
  arc::InflateStream s;
  arc::InflateInit(s, -15, variant);
  static uint8_t out[kOutChunk];
  size_t at = 0, total = 0;
  uLong c = 0;
  int r = arc::inflate_result::kOk;
  while (r == arc::inflate_result::kOk) {
    if (s.avail_in == 0) {
      const size_t n = std::min(kInChunk, packed.size() - at);
      s.next_in = packed.data() + at;
      s.avail_in = static_cast<uint32_t>(n);
      at += n;
    }
    s.next_out = out;
    s.avail_out = kOutChunk;
    r = arc::Inflate(s);
    const size_t n = kOutChunk - s.avail_out;
    if (crc) c = crc32(c, out, static_cast<uInt>(n));
    total += n;
  }
  if (r != arc::inflate_result::kStreamEnd)
    std::fprintf(stderr, "ours: result %d (%s)\n", r, s.msg ? s.msg : "");
  arc::InflateEnd(s);
  crcOut = static_cast<uint32_t>(c);
  return total;
}

size_t RunZlib(const Bytes& packed, bool crc, uint32_t& crcOut) {
  z_stream z{};
  inflateInit2(&z, -15);
  static uint8_t out[kOutChunk];
  size_t at = 0, total = 0;
  uLong c = 0;
  int r = Z_OK;
  while (r == Z_OK) {
    if (z.avail_in == 0) {
      const size_t n = std::min(kInChunk, packed.size() - at);
      z.next_in = const_cast<Bytef*>(packed.data() + at);
      z.avail_in = static_cast<uInt>(n);
      at += n;
    }
    z.next_out = out;
    z.avail_out = kOutChunk;
    r = inflate(&z, Z_NO_FLUSH);
    const size_t n = kOutChunk - z.avail_out;
    if (crc) c = crc32(c, out, static_cast<uInt>(n));
    total += n;
  }
  if (r != Z_STREAM_END) std::fprintf(stderr, "zlib: result %d\n", r);
  inflateEnd(&z);
  crcOut = static_cast<uint32_t>(c);
  return total;
}

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

/// Best MB/s of `runs` timed runs, after one checked run.
double BestRate(const StreamDecoder& decode, const Bytes& packed, size_t expectSize,
                uint32_t expectCrc, int runs, const char* who) {
  uint32_t crc = 0;
  if (decode(packed, true, crc) != expectSize || crc != expectCrc) {
    std::fprintf(stderr, "%s: wrong output\n", who);
    return 0;
  }
  double best = 0;
  for (int i = 0; i < runs; ++i) {
    const double t0 = CpuSeconds();
    const size_t n = decode(packed, false, crc);
    const double s = CpuSeconds() - t0;
    best = std::max(best, static_cast<double>(n) / s / 1e6);
  }
  return best;
}

struct Case {
  std::string name;
  Bytes packed;
  arc::InflateVariant variant;
  size_t size;
  uint32_t crc;
};

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  fs::path corpus = "/tmp/corpus";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else
      corpus = argv[i];
  }
  const fs::path cache = "/tmp/arc-bench-cache";
  fs::create_directories(cache);

  std::vector<Case> cases;
  for (const char* file : {"db_backup.bak", "mixed_100MB.bin"}) {
    const Bytes original = ReadAll(corpus / file);
    if (original.empty()) {
      std::fprintf(stderr, "missing %s: run make_corpus.sh\n", (corpus / file).c_str());
      return 1;
    }
    const uint32_t crc =
        static_cast<uint32_t>(crc32(0, original.data(), static_cast<uInt>(original.size())));
    const fs::path packedPath = cache / (std::string(file) + ".z6.raw");
    Bytes packed = ReadAll(packedPath);
    if (packed.empty()) {
      packed = ZlibRaw(original, 6);
      WriteAll(packedPath, packed);
    }
    cases.push_back({std::string(file) + " zlib-6", std::move(packed), arc::InflateVariant::Deflate,
                     original.size(), crc});
    if (std::strcmp(file, "db_backup.bak") == 0) {
      const fs::path zip = cache / "db_backup.d64.zip";
      if (!fs::exists(zip)) {
        const std::string cmd = "cd '" + corpus.string() + "' && 7z a -tzip -mm=Deflate64 '" +
                                zip.string() + "' db_backup.bak >/dev/null";
        if (std::system(cmd.c_str()) != 0) {
          std::fprintf(stderr, "7z failed: %s\n", cmd.c_str());
          return 1;
        }
      }
      uint16_t method = 0;
      Bytes d64 = FirstEntryData(ReadAll(zip), method);
      if (method != 9) {
        std::fprintf(stderr, "%s: entry is not Deflate64\n", zip.c_str());
        return 1;
      }
      cases.push_back({"db_backup.bak 7z Deflate64", std::move(d64), arc::InflateVariant::Deflate64,
                       original.size(), crc});
    }
  }

  std::printf(
      "best of %d runs, MB of output per CPU second; ours and zlib stream 64 KiB in / 32 KiB out\n",
      runs);
  std::printf("%-28s %9s %9s %9s %11s %10s\n", "input", "out MB", "ours", "zlib", "libdeflate",
              "ours/zlib");
  for (const Case& c : cases) {
    const arc::InflateVariant v = c.variant;
    const double ours =
        BestRate([v](const Bytes& p, bool crc, uint32_t& out) { return RunOurs(p, v, crc, out); },
                 c.packed, c.size, c.crc, runs, "ours");
    double zl = 0, ld = 0;
    if (v == arc::InflateVariant::Deflate) {
      zl = BestRate(RunZlib, c.packed, c.size, c.crc, runs, "zlib");
#ifdef ARC_HAVE_LIBDEFLATE
      libdeflate_decompressor* d = libdeflate_alloc_decompressor();
      Bytes whole(c.size);
      ld = BestRate(
          [&](const Bytes& p, bool crc, uint32_t& out) -> size_t {
            size_t n = 0;
            if (libdeflate_deflate_decompress(d, p.data(), p.size(), whole.data(), whole.size(),
                                              &n) != LIBDEFLATE_SUCCESS)
              return 0;
            if (crc) out = static_cast<uint32_t>(crc32(0, whole.data(), static_cast<uInt>(n)));
            return n;
          },
          c.packed, c.size, c.crc, runs, "libdeflate");
      libdeflate_free_decompressor(d);
#endif
    }
    auto cell = [](double v) {
      return v > 0 ? std::to_string(static_cast<int>(v + 0.5)) : std::string("-");
    };
    char ratio[32] = "-";
    if (zl > 0) std::snprintf(ratio, sizeof ratio, "%.2f", ours / zl);
    std::printf("%-28s %9.1f %9s %9s %11s %10s\n", c.name.c_str(), c.size / 1e6, cell(ours).c_str(),
                cell(zl).c_str(), cell(ld).c_str(), ratio);
  }
  return 0;
}
