//===-- bench/compress.cpp - Adding a large file: arcz, zip, 7z, raw zlib -===//
//
//   bench_compress [--runs N] [FILE]        (default 3 runs, /tmp/corpus/db_backup.bak)
//
// Packs one file into a new archive, in one run:
//   zlib    raw Deflate at level 6 over the file held in memory, output
//           discarded: the bound for any writer that uses zlib at level 6
//   arcz    `arcz a` (level 6, the archive built in a temporary file)
//   zip     `zip -6`
//   7z      `7z a -tzip -mx=5`
// and prints for each the best of N runs in MB/s of input (MB = 10^6 bytes),
// by wall time and by the process's CPU time (steadier on a shared machine),
// the archive size and the peak resident set size of the process. arcz is
// taken from the folder of this program (build/bin).
//
//===----------------------------------------------------------------------===//
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Result {
  double seconds = 1e30;      ///< wall time
  double cpu_seconds = 1e30;  ///< user + system time of the process
  uintmax_t size = 0;
  long rss_kb = 0;
};

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

double CpuSeconds(const struct rusage& u) {
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ProcessCpuSeconds() {
  struct timespec t {};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

/// Raw Deflate at level 6 over `data`, output thrown away in 64 KiB pieces
/// as the writer hands it on.
double ZlibSeconds(const std::vector<unsigned char>& data, uintmax_t& compressed, double& cpu) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<unsigned char> out(65536);
  const auto start = Clock::now();
  const double cpu_start = ProcessCpuSeconds();
  z.next_in = const_cast<unsigned char*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  compressed = 0;
  int r;
  do {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    r = deflate(&z, Z_FINISH);
    compressed += out.size() - z.avail_out;
  } while (r == Z_OK || r == Z_BUF_ERROR);
  const auto end = Clock::now();
  cpu = ProcessCpuSeconds() - cpu_start;
  deflateEnd(&z);
  return Seconds(start, end);
}

/// Runs a program (no shell, output discarded); its wall time and peak RSS.
bool Spawn(const std::vector<std::string>& args, double& seconds, double& cpu, long& rss_kb) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr ||
        std::freopen("/dev/null", "w", stderr) == nullptr)
      _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) return false;
  seconds = Seconds(start, Clock::now());
  cpu = CpuSeconds(usage);
  rss_kb = usage.ru_maxrss;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  std::string input = "/tmp/corpus/db_backup.bak";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      input = a;
    }
  }
  if (!fs::exists(input)) {
    std::fprintf(stderr, "%s is missing: run make_corpus.sh first\n", input.c_str());
    return 1;
  }
  const std::string arcz = (fs::canonical("/proc/self/exe").parent_path() / "arcz").string();
  const fs::path work =
      fs::temp_directory_path() / ("arc-bench-compress-" + std::to_string(getpid()));
  fs::create_directories(work);
  const double mb = static_cast<double>(fs::file_size(input)) / 1e6;

  Result zlib, ours, zip, sevenzip;
  struct Tool {
    const char* name;
    Result* result;
    std::string archive;
    std::vector<std::string> command;
  };
  const std::string a = (work / "arcz.zip").string();
  const std::string z = (work / "zip.zip").string();
  const std::string s = (work / "7z.zip").string();
  const std::vector<Tool> tools = {
      {"arcz", &ours, a, {arcz, "a", a, input}},
      {"zip", &zip, z, {"zip", "-q", "-6", "-j", z, input}},
      {"7z", &sevenzip, s, {"7z", "a", "-tzip", "-mx=5", s, input}},
  };
  for (int run = 0; run < runs; ++run) {
    for (const Tool& t : tools) {
      fs::remove(t.archive);
      double seconds = 0;
      double cpu = 0;
      long rss = 0;
      // Spawned while this process is small: a child counts the parent's
      // pages until it runs its program.
      if (!Spawn(t.command, seconds, cpu, rss)) {
        std::fprintf(stderr, "%s failed\n", t.name);
        continue;
      }
      t.result->seconds = std::min(t.result->seconds, seconds);
      t.result->cpu_seconds = std::min(t.result->cpu_seconds, cpu);
      t.result->size = fs::file_size(t.archive);
      t.result->rss_kb = std::max(t.result->rss_kb, rss);
    }
    std::vector<unsigned char> data;
    {
      std::ifstream f(input, std::ios::binary);
      data.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    uintmax_t compressed = 0;
    double cpu = 0;
    zlib.seconds = std::min(zlib.seconds, ZlibSeconds(data, compressed, cpu));
    zlib.cpu_seconds = std::min(zlib.cpu_seconds, cpu);
    zlib.size = compressed;
  }

  std::printf("input %s, %.1f MB, best of %d runs\n", input.c_str(), mb, runs);
  std::printf("%-6s %9s %9s %14s %10s\n", "", "MB/s wall", "MB/s CPU", "bytes", "peak RSS");
  auto line = [&](const char* name, const Result& r, bool rss) {
    std::printf("%-6s %9.1f %9.1f %14ju", name, mb / r.seconds, mb / r.cpu_seconds, r.size);
    if (rss) std::printf(" %7.1f MB", static_cast<double>(r.rss_kb) / 1024.0);
    std::printf("\n");
  };
  line("zlib", zlib, false);
  line("arcz", ours, true);
  line("zip", zip, true);
  line("7z", sevenzip, true);
  std::printf("arcz / zlib bound: %.2f wall, %.2f CPU   arcz / zip speed: %.2f wall, %.2f CPU\n",
              zlib.seconds / ours.seconds, zlib.cpu_seconds / ours.cpu_seconds,
              zip.seconds / ours.seconds, zip.cpu_seconds / ours.cpu_seconds);
  std::printf("arcz size / zip size: %.4f\n",
              static_cast<double>(ours.size) / static_cast<double>(zip.size));
  fs::remove_all(work);
  return 0;
}
