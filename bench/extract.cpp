//===-- bench/extract.cpp - Extracting and testing a large archive --------===//
//
// Extracts and tests the ZIP archive (zip -6) of the database backup from the
// benchmark corpus with arcz and with the installed peers, one tool after the
// other, and prints for each the throughput (uncompressed MB per second,
// MB = 10^6 bytes) and the peak resident set size. Every run writes into a
// fresh folder under /tmp/arcz-bench, which is removed at the end.
//
//   bench_extract [ARCHIVE] [RUNS]
//
// Without ARCHIVE, /tmp/arcz-bench/db_backup.zip is made from
// /tmp/corpus/db_backup.bak (build the corpus with make_corpus.sh first).
// Each figure is the best of RUNS runs (default 3).
//
//===----------------------------------------------------------------------===//
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <arc/unzip/unzip.h>

namespace {

namespace fs = std::filesystem;

const std::string kWork = "/tmp/arcz-bench/";
const std::string kCorpusFile = "/tmp/corpus/db_backup.bak";

struct Measure {
  double seconds = 0;
  long peakKb = 0;
  int status = -1;
};

/// Runs `args` with standard output and error thrown away.
Measure Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  Measure m;
  int status = 0;
  rusage usage{};
  if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKb = usage.ru_maxrss;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return m;
}

bool Have(const std::string& tool) { return Run({"sh", "-c", "command -v " + tool}).status == 0; }

struct Tool {
  std::string label;
  std::string program;
  std::vector<std::string> args;  // {OUT} is the output folder, {ZIP} the archive
};

}  // namespace

int main(int argc, char** argv) {
  fs::create_directories(kWork);
  std::string archive = argc > 1 ? argv[1] : kWork + "db_backup.zip";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  if (argc <= 1 && !fs::exists(archive)) {
    if (!fs::exists(kCorpusFile)) {
      std::fprintf(stderr, "no %s: run bash /work/shared/bench/make_corpus.sh first\n",
                   kCorpusFile.c_str());
      return 1;
    }
    std::printf("making %s with zip -6 ...\n", archive.c_str());
    if (Run({"zip", "-6", "-j", "-q", archive, kCorpusFile}).status != 0) return 1;
  }
  // The uncompressed size, from the archive's own listing.
  uint64_t bytes = 0;
  {
    arc::TUnZip z;
    z.SetArchiveFile(archive);
    z.SetFileSpec({"*"});
    z.OnEnd = [](arc::TObject*, const std::string&, bool) {};
    const std::string probe = kWork + "size-probe/";
    z.OnBegin = [&](arc::TObject*, const std::string&, int32_t, bool& extract) { extract = false; };
    z.OnProgress = [](arc::TObject*, uint8_t, uint8_t) {};
    z.SetExtractDir(probe);
    z.Extract();
    bytes = static_cast<uint64_t>(z.Totals().total);
    fs::remove_all(probe);
  }
  const std::string self = fs::canonical("/proc/self/exe").parent_path().string();
  const std::string arcz = self + "/arcz";

  const std::vector<Tool> tools = {
      {"arcz x", arcz, {"x", "{ZIP}", "-d", "{OUT}"}},
      {"unzip", "unzip", {"-o", "-q", "{ZIP}", "-d", "{OUT}"}},
      {"7z x", "7z", {"x", "-y", "-o{OUT}", "{ZIP}"}},
      {"bsdtar -x", "bsdtar", {"-x", "-f", "{ZIP}", "-C", "{OUT}"}},
      {"arcz t", arcz, {"t", "{ZIP}"}},
      {"unzip -t", "unzip", {"-t", "-q", "{ZIP}"}},
      {"7z t", "7z", {"t", "{ZIP}"}},
  };
  std::printf("archive %s, %.1f MB uncompressed, best of %d runs\n", archive.c_str(),
              static_cast<double>(bytes) / 1e6, runs);
  std::printf("%-12s %10s %10s %12s\n", "tool", "seconds", "MB/s", "peak RSS MB");
  for (const Tool& t : tools) {
    if (t.program != arcz && !Have(t.program)) {
      std::printf("%-12s %10s\n", t.label.c_str(), "(missing)");
      continue;
    }
    Measure best;
    best.seconds = 1e30;
    for (int r = 0; r < runs; ++r) {
      const std::string out = kWork + "out/";
      fs::remove_all(out);
      fs::create_directories(out);
      std::vector<std::string> args = {t.program};
      for (std::string a : t.args) {
        for (const auto& [key, value] :
             {std::pair<std::string, std::string>{"{OUT}", out}, {"{ZIP}", archive}}) {
          const size_t at = a.find(key);
          if (at != std::string::npos) a.replace(at, key.size(), value);
        }
        args.push_back(a);
      }
      const Measure m = Run(args);
      if (m.status != 0) std::fprintf(stderr, "%s exited with %d\n", t.label.c_str(), m.status);
      if (m.seconds < best.seconds) best.seconds = m.seconds;
      best.peakKb = std::max(best.peakKb, m.peakKb);
    }
    std::printf("%-12s %10.2f %10.1f %12.1f\n", t.label.c_str(), best.seconds,
                static_cast<double>(bytes) / 1e6 / best.seconds, best.peakKb / 1024.0);
  }
  fs::remove_all(kWork + "out/");
  return 0;
}
