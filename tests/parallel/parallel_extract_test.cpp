//===-- tests/parallel/parallel_extract_test.cpp - The reader on several threads --===//
//
// The pipelined large entries and the small entries run on workers must give
// the files and the events of the one-thread reader: the same reports in the
// same order, all raised on the caller's thread; a failed write, a bad CRC
// and a cancel in the middle end the run with no thread left behind.
//
//===----------------------------------------------------------------------===//
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <arc/support/error_codes.h>
#include <arc/unzip/unzip.h>
#include "common/test_temp_dir.h"
#include "parallel/thread_count.h"
#include "unzip/zip_builder.h"

namespace arc {
namespace {

using test::TestEntry;
using test::ZipBuilder;

/// Text that deflates well but not to nothing.
std::string Text(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  static const char* kWords[] = {"ledger ", "invoice ", "total ", "42 ", "net ", "due\n", "paid "};
  std::string s;
  while (s.size() < size) s += kWords[rng() % 7];
  s.resize(size);
  return s;
}

/// Many small entries around two large ones (one deflated, one stored with a
/// wrong CRC), a wrong CRC among the small, a folder, and a name that comes
/// twice (its question ends the queued entries first).
std::vector<uint8_t> MixedArchive() {
  ZipBuilder b;
  b.Add({.name = "big/", .data = "", .externalAttributes = 0x10});
  for (int i = 0; i < 150; ++i) {
    b.Add({.name = "d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt",
           .data = Text(100 + 97 * static_cast<size_t>(i), static_cast<uint32_t>(i)),
           .method = static_cast<uint16_t>(i % 3 == 0 ? 0 : 8),
           .badCrc = i == 77});
    if (i == 60) b.Add({.name = "big/db.bak", .data = Text(1600 * 1024, 7), .method = 8});
    if (i == 90) b.Add({.name = "big/raw.bin", .data = Text(1100 * 1024, 9), .badCrc = true});
  }
  b.Add({.name = "d3/f3.txt", .data = "the same name again", .method = 8});
  return b.Build();
}

struct Outcome {
  std::vector<std::string> events;
  std::map<std::string, std::string> files;  // name -> mode, date, size and hash
  int32_t count = 0;
  bool otherThread = false;
};

/// Extracts (or tests) `archive` with `threads`, recording every event.
Outcome RunWith(const std::string& archive, const std::string& out, uint32_t threads, bool extract,
                bool withProgress = true) {
  Outcome r;
  std::filesystem::remove_all(out);
  std::filesystem::create_directories(out);
  TUnZip z;
  const auto caller = std::this_thread::get_id();
  auto note = [&r, caller](std::string s) {
    r.otherThread = r.otherThread || std::this_thread::get_id() != caller;
    r.events.push_back(std::move(s));
  };
  z.OnError = [&](TObject*, const std::string& f, const std::string& m, const std::string& v,
                  int32_t c) { note("error " + f + " " + m + " " + v + " " + std::to_string(c)); };
  z.OnEnd = [&](TObject*, const std::string& f, bool pass) {
    note("end " + f + " " + std::to_string(pass));
  };
  if (withProgress) {
    z.OnProgress = [&](TObject*, uint8_t file, uint8_t all) {
      note("progress " + std::to_string(file) + " " + std::to_string(all));
    };
  }
  z.OnFileExists = [&](TObject*, const std::string& f, std::string&, TOverwriteMode& mode) {
    note("exists " + f);
    mode = omOverwrite;
  };
  z.SetConfirmOverwrites(true);
  z.SetFileSpec({"*"});
  z.SetRecurseDirs(true);
  z.SetCreateStoredDirs(true);
  z.SetThreads(threads);
  z.SetArchiveFile(archive);
  z.SetExtractDir(out);
  r.count = extract ? z.Extract() : z.Test();
  for (const auto& e : std::filesystem::recursive_directory_iterator(out)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    // A folder's date is the time its last file was made.
    std::string what = std::to_string(st.st_mode);
    if (e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(in), {}};
      what += " " + std::to_string(st.st_mtime) + " " + std::to_string(bytes.size()) + " " +
              std::to_string(std::hash<std::string>{}(bytes));
    }
    r.files[std::filesystem::relative(e.path(), out).string()] = what;
  }
  return r;
}

class ParallelExtract : public ::testing::Test {
 protected:
  std::string Write(const std::vector<uint8_t>& bytes, const std::string& name) {
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  test::TempDir dir;
};

TEST_F(ParallelExtract, SameFilesAndEventsAsOneThreadOnEveryTestArchive) {
  std::vector<std::string> archives = {Write(MixedArchive(), "mixed.zip")};
  for (const auto& e :
       std::filesystem::directory_iterator(std::string(ARC_TEST_DATA) + "/public")) {
    if (e.path().extension() == ".zip" || e.path().extension() == ".ZIP")
      archives.push_back(e.path());
  }
  const std::string out = dir / "out";
  for (const std::string& archive : archives) {
    for (const bool extract : {true, false}) {
      SCOPED_TRACE(archive + (extract ? " extracted" : " tested"));
      const Outcome one = RunWith(archive, out, 1, extract);
      const Outcome many = RunWith(archive, out, 4, extract);
      EXPECT_EQ(one.count, many.count);
      EXPECT_EQ(one.events, many.events);
      EXPECT_EQ(one.files, many.files);
      EXPECT_FALSE(many.otherThread);
    }
  }
}

/// In a child whose files may not grow past `limit` bytes: the reports and
/// OnEnd results with one thread and with four, as one text each.
std::pair<std::string, std::string> EventsUnderFileSizeLimit(const std::string& archive,
                                                             const std::string& out, rlim_t limit) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit r{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &r);
    std::string text;
    for (const uint32_t threads : {1u, 4u}) {
      const int before = test::ThreadBaseline();
      const Outcome run = RunWith(archive, out, threads, true, false);
      for (const std::string& e : run.events) text += e + "\n";
      text += "threads left " + std::to_string(test::ThreadCount() - before) + "\n\f";
    }
    (void)!::write(fds[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  ::waitpid(child, nullptr, 0);
  const size_t cut = text.find('\f');
  if (cut == std::string::npos) return {text, ""};
  return {text.substr(0, cut), text.substr(cut + 1, text.size() - cut - 2)};
}

TEST_F(ParallelExtract, WriteFailuresMidPipelineAndOnWorkersAreReportedAsWithOneThread) {
  ZipBuilder b;
  b.Add({.name = "big.bak", .data = Text(3 * 1024 * 1024, 1), .method = 8});
  for (int i = 0; i < 40; ++i) {
    b.Add({.name = "s/f" + std::to_string(i), .data = Text(i % 2 ? 200000 : 3000, 2), .method = 8});
  }
  const std::string archive = Write(b.Build(), "limit.zip");
  const auto [one, many] = EventsUnderFileSizeLimit(archive, dir / "out", 150000);
  EXPECT_NE(one.find("error " + archive), std::string::npos) << one;  // the short writes
  EXPECT_NE(one.find("end " + (dir / "out/big.bak") + " 0"), std::string::npos) << one;
  EXPECT_NE(one.find("threads left 0"), std::string::npos) << one;
  EXPECT_EQ(one, many);
}

TEST_F(ParallelExtract, FileWhoseOnlyPieceFailsToBeWrittenDoesNotEndAsPassed) {
  ZipBuilder b;
  b.Add({.name = "one.txt", .data = Text(3000, 5), .method = 8});
  const std::string archive = Write(b.Build(), "one.zip");
  const auto [one, many] = EventsUnderFileSizeLimit(archive, dir / "out", 1000);
  EXPECT_NE(one.find("end " + (dir / "out/one.txt") + " 0"), std::string::npos) << one;
  EXPECT_EQ(one, many);
}

TEST_F(ParallelExtract, CancelMidPipelineAndAmongQueuedEntriesEndsTheRunWithNoThreadLeft) {
  ZipBuilder b;
  for (int i = 0; i < 200; ++i) {
    b.Add({.name = "f" + std::to_string(i), .data = Text(5000, 3), .method = 8});
    if (i == 100) b.Add({.name = "big.bak", .data = Text(2 * 1024 * 1024, 4), .method = 8});
  }
  const std::string archive = Write(b.Build(), "cancel.zip");
  for (const int cancelAt : {30, 105}) {  // among the small, in the large
    const int before = test::ThreadBaseline();
    TUnZip z;
    int progress = 0;
    z.OnProgress = [&](TObject*, uint8_t, uint8_t) {
      if (++progress == cancelAt) z.SetCancel(true);
    };
    std::vector<int32_t> codes;
    z.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&,
                    int32_t c) { codes.push_back(c); };
    z.SetFileSpec({"*"});
    z.SetThreads(4);
    z.SetArchiveFile(archive);
    z.SetExtractDir(dir / "out");
    const int32_t count = z.Extract();
    EXPECT_LT(count, 201) << cancelAt;
    EXPECT_NE(std::count(codes.begin(), codes.end(), ec::UserCanceled), 0) << cancelAt;
    EXPECT_EQ(test::ThreadCount(), before) << cancelAt;
  }
}

}  // namespace
}  // namespace arc
