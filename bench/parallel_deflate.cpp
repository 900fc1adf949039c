//===-- bench/parallel_deflate.cpp - The parallel Deflate engine alone ----===//
//
//   bench_parallel_deflate [--runs N] [--repeat K] [--level 1|6|9] [--threads LIST]
//                          [--pieces LIST] [FILE]
//
// Streams FILE (default /tmp/corpus/db_backup.bak; K times over with
// --repeat, to see memory stay flat on a large entry) through, in one run:
//   zlib      one core of zlib at the level, 64 KiB output buffer: the bound
//             for any single-stream writer
//   threads 1 ParallelDeflate with one thread (today's single stream)
//   threads T ParallelDeflate, each thread count of LIST (default 2) with
//             pieces of each size of LIST in KiB (default 128,256,512,1024)
// The input is read in the writer's 61,440-byte chunks and the output thrown
// away as it comes, so memory is the engine's own. Each configuration runs
// in a child process of its own (this program again), whose peak resident
// set size is taken from wait4. Printed per configuration, best of N runs:
// MB/s of input by wall time and by CPU time (MB = 10^6 bytes), the stream's
// size, its size and speed against zlib, and the peak RSS.
//
//===----------------------------------------------------------------------===//
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/parallel_deflate.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kChunk = 61440;

struct Figures {
  double seconds = 1e30;
  double cpu = 1e30;
  unsigned long long bytes = 0;
  unsigned long crc = 0;
  long rss_kb = 0;
};

double CpuNow() {
  struct rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

/// Calls `take` with every chunk of the file, `repeat` times over.
template <typename Take>
bool Stream(const std::string& file, int repeat, Take&& take) {
  std::vector<uint8_t> buf(kChunk);
  for (int r = 0; r < repeat; ++r) {
    const int fd = open(file.c_str(), O_RDONLY);
    if (fd < 0) return false;
    for (;;) {
      const ssize_t n = read(fd, buf.data(), buf.size());
      if (n <= 0) break;
      take(buf.data(), static_cast<uint32_t>(n));
    }
    close(fd);
  }
  return true;
}

/// "2,4" -> {2, 4}.
std::vector<unsigned> ParseList(const char* p) {
  std::vector<unsigned> out;
  while (*p != '\0') {
    char* end = nullptr;
    out.push_back(static_cast<unsigned>(std::strtoul(p, &end, 10)));
    if (end == p) break;
    p = *end == ',' ? end + 1 : end;
  }
  return out;
}

/// One configuration, in this process: prints "seconds cpu bytes crc".
int RunOne(const std::string& file, int repeat, int level, const std::string& what,
           unsigned threads, uint32_t piece) {
  const auto start = Clock::now();
  const double cpu_start = CpuNow();
  unsigned long long bytes = 0;
  unsigned long crc = 0;
  if (what == "zlib") {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(65536);
    auto pump = [&](int flush) {
      int r;
      do {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        r = deflate(&z, flush);
        bytes += out.size() - z.avail_out;
      } while (z.avail_out == 0 && r == Z_OK);
    };
    Stream(file, repeat, [&](const uint8_t* p, uint32_t n) {
      crc = crc32(crc, p, n);
      z.next_in = const_cast<Bytef*>(p);
      z.avail_in = n;
      pump(Z_NO_FLUSH);
    });
    pump(Z_FINISH);
    deflateEnd(&z);
  } else {
    struct Discard : arc::DeflateClient {
      unsigned long long bytes = 0;
      bool Cancelled() const override { return false; }
      void Consumed(const uint8_t*, uint32_t) override {}
      void Output(uint8_t*, uint32_t count) override { bytes += count; }
    } sink;
    const arc::TDeflateType type = level == 1   ? arc::dtDeflateF
                                   : level == 9 ? arc::dtDeflateX
                                                : arc::dtDeflateN;
    arc::ParallelDeflate engine(type, threads, piece);
    Stream(file, repeat, [&](const uint8_t* p, uint32_t n) { engine.Compress(p, n, sink); });
    if (engine.Finish(sink) != arc::DeflateStatus::Done) return 1;
    bytes = sink.bytes;
    crc = engine.Crc32();
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%.6f %.6f %llu %lu\n", seconds, CpuNow() - cpu_start, bytes, crc);
  return 0;
}

/// Runs this program on one configuration; its figures and peak RSS.
bool Spawn(const std::vector<std::string>& args, Figures& f) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  std::string text;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return false;
  double seconds = 0, cpu = 0;
  unsigned long long bytes = 0;
  unsigned long crc = 0;
  if (std::sscanf(text.c_str(), "%lf %lf %llu %lu", &seconds, &cpu, &bytes, &crc) != 4)
    return false;
  f.seconds = std::min(f.seconds, seconds);
  f.cpu = std::min(f.cpu, cpu);
  f.bytes = bytes;
  f.crc = crc;
  f.rss_kb = std::max(f.rss_kb, usage.ru_maxrss);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  int repeat = 1;
  int level = 6;
  std::vector<unsigned> thread_list = {2};
  std::vector<unsigned> piece_list = {128, 256, 512, 1024};
  std::string file = "/tmp/corpus/db_backup.bak";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--one" && i + 3 < argc) {
      // Internal: --one WHAT THREADS PIECE, after the other options.
      return RunOne(file, repeat, level, argv[i + 1], static_cast<unsigned>(std::atoi(argv[i + 2])),
                    static_cast<uint32_t>(std::atol(argv[i + 3])));
    } else if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--level" && i + 1 < argc) {
      level = std::atoi(argv[++i]);
    } else if (a == "--threads" && i + 1 < argc) {
      thread_list = ParseList(argv[++i]);
    } else if (a == "--pieces" && i + 1 < argc) {
      piece_list = ParseList(argv[++i]);
    } else {
      file = a;
    }
  }
  if (!fs::exists(file)) {
    std::fprintf(stderr, "%s is missing: run make_corpus.sh first\n", file.c_str());
    return 1;
  }
  const std::string self = fs::canonical("/proc/self/exe").string();

  struct Config {
    std::string label;
    std::string what;
    unsigned threads;
    uint32_t piece;
    Figures f;
  };
  std::vector<Config> configs = {{"zlib", "zlib", 1, 0, {}}, {"threads 1", "engine", 1, 0, {}}};
  for (unsigned t : thread_list) {
    for (const unsigned kib : piece_list) {
      configs.push_back({"threads " + std::to_string(t) + ", " + std::to_string(kib) + " KiB",
                         "engine",
                         t,
                         kib * 1024,
                         {}});
    }
  }
  for (int run = 0; run < runs; ++run) {
    for (Config& c : configs) {
      const std::vector<std::string> args = {self,
                                             "--repeat",
                                             std::to_string(repeat),
                                             "--level",
                                             std::to_string(level),
                                             file,
                                             "--one",
                                             c.what,
                                             std::to_string(c.threads),
                                             std::to_string(c.piece)};
      if (!Spawn(args, c.f)) std::fprintf(stderr, "%s failed\n", c.label.c_str());
    }
  }

  const double mb = static_cast<double>(fs::file_size(file)) * repeat / 1e6;
  std::printf("input %s x%d, %.1f MB, level %d, %u cores, best of %d runs\n", file.c_str(), repeat,
              mb, level, arc::CoreCount(), runs);
  std::printf("%-20s %9s %9s %13s %8s %8s %9s\n", "", "MB/s wall", "MB/s CPU", "bytes", "size/zlib",
              "speed/zlib", "peak RSS");
  const Figures& z = configs[0].f;
  for (const Config& c : configs) {
    const bool same_crc = c.f.crc == z.crc;
    std::printf("%-20s %9.1f %9.1f %13llu %8.4f %9.2f %7.1f MB%s\n", c.label.c_str(),
                mb / c.f.seconds, mb / c.f.cpu, c.f.bytes,
                static_cast<double>(c.f.bytes) / static_cast<double>(z.bytes),
                z.seconds / c.f.seconds, static_cast<double>(c.f.rss_kb) / 1024.0,
                same_crc ? "" : "  CRC DIFFERS");
  }
  return 0;
}
