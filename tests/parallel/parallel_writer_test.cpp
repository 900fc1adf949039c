// The writer with large files deflated on workers: what other tools read,
// and that events, errors and cancel are those of the single stream.
#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <arc/support/error_codes.h>
#include "codec/deflate.h"
#include "codec/parallel_deflate.h"
#include "thread_count.h"
#include "zip/zip_test_util.h"

namespace arc {
namespace {

namespace fs = std::filesystem;

using test::ListCentral;
using test::ReadText;
using test::TempDir;
using test::WriteText;

/// Three pieces and a bit: text that deflates well, with stretches of noise
/// so that a piece's output is not tiny.
std::string LargeFile(uint32_t seed) {
  std::string s;
  while (s.size() < 3 * kParallelPieceSize + 5000) {
    s += test::Text(40000, seed++);
    s += test::RandomBytes(20000, seed++);
  }
  return s;
}

struct Outcome {
  int32_t result = 0;
  std::string events;  ///< OnBegin, OnEnd and OnError, in order
  std::string ticks;   ///< the same with every pump (",") and progress event
  int progress = 0;
  bool backwards = false;  ///< a progress event went back within an entry
};

/// Adds src/* to `archive` with `threads`; `hook` runs at every progress
/// event, `begin` at every OnBegin.
Outcome Add(const std::string& archive, const std::string& src, uint32_t threads,
            const std::string& password, TEncryptionMethod method,
            const std::function<void(TZip&, int)>& hook = {},
            const std::function<void(const std::string&, bool&)>& begin = {}) {
  TZip zip;
  Outcome r;
  zip.SetArchiveFile(archive);
  zip.SetFileSpec({src + "/*"});
  zip.SetRecurseDirs(true);
  zip.SetStoreFilesOfType({".zip"});
  zip.SetThreads(threads);
  zip.SetPassword(password);
  zip.SetEncryptionMethod(method);
  int last = 0;
  auto event = [&](const std::string& text) {
    r.events += text;
    r.ticks += text;
    last = 0;
  };
  zip.OnBegin = [&](TObject*, const std::string& name, int32_t, bool& go) {
    event("begin " + name + "; ");
    if (begin) begin(name, go);
  };
  zip.OnEnd = [&](TObject*, const std::string& name, bool ok) {
    event("end " + name + (ok ? " ok; " : " dropped; "));
  };
  zip.OnError = [&](TObject*, const std::string& f, const std::string&, const std::string&,
                    int32_t c) {
    event("error " + fs::path(f).filename().string() + " " + std::to_string(c) + "; ");
  };
  zip.dialogs.processMessages = [&] { r.ticks += ","; };
  zip.OnProgress = [&](TObject*, uint8_t file, uint8_t) {
    r.ticks += std::to_string(file) + " ";
    r.backwards = r.backwards || file < last;
    last = file;
    if (hook) hook(zip, ++r.progress);
  };
  r.result = zip.Compress();
  return r;
}

TEST(ParallelWriter, LargeFilesAreReadByEveryPeerWithEachCipher) {
  TempDir dir;
  const std::string big = LargeFile(1);
  WriteText(dir / "src/big.bin", big);
  WriteText(dir / "src/small.txt", test::Text(5000, 9));
  const std::vector<uint8_t> single = DeflateBuffer(big.data(), big.size(), dtDeflateN);
  struct Row {
    const char* password;
    TEncryptionMethod method;
  };
  for (const Row& row : {Row{"", emTraditional}, Row{"pw", emTraditional}, Row{"pw", emAes256}}) {
    for (uint32_t threads : {1u, 2u}) {
      SCOPED_TRACE(std::string(row.password) + " method " + std::to_string(row.method) +
                   ", threads " + std::to_string(threads));
      const std::string archive = dir / ("t" + std::to_string(threads) + ".zip");
      fs::remove(archive);
      ASSERT_EQ(Add(archive, dir / "src", threads, row.password, row.method).result, 2);
      EXPECT_EQ(test::PeerFailures(archive, row.password), "");
      if (row.password[0] != '\0') continue;
      // One thread is the single stream byte for byte; more join pieces,
      // with a few bytes of flush markers between them.
      for (const test::ListedEntry& e : ListCentral(archive)) {
        if (e.name != "big.bin") continue;
        const uint64_t size = e.extent.compressedSize;
        if (threads == 1) {
          EXPECT_EQ(size, single.size());
        } else {
          EXPECT_TRUE(size > single.size() && size < single.size() * 101 / 100) << size;
        }
      }
      if (test::Have("bsdtar")) {
        EXPECT_TRUE(test::Run("bsdtar -xOf " + test::Quote(archive) + " big.bin").output == big);
      }
      if (test::Have("unzip")) {
        const std::string out = dir / ("out" + std::to_string(threads));
        EXPECT_EQ(test::TreeDiff(test::UnzipTree(archive, out), test::Tree(dir / "src")), "");
      }
    }
  }
}

TEST(ParallelWriter, ManySmallFilesGiveTheArchiveAndEventsOfOneThread) {
  TempDir dir;
  for (int i = 0; i < 150; ++i) {
    // Sizes around the largest file read ahead, an empty one, and one stored
    // by its extension.
    const size_t size = i == 7   ? 0
                        : i == 8 ? 61441
                        : i == 9 ? 61440
                                 : 1000 + 397 * static_cast<size_t>(i);
    const std::string name =
        "src/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + (i == 11 ? ".zip" : ".txt");
    WriteText(dir / name, i % 5 == 0 ? test::RandomBytes(size, i) : test::Text(size, i));
    test::SetMtime(dir / name, 1700000000);
  }
  std::string seen[2];
  for (uint32_t threads : {1u, 2u}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    WriteText(dir / "src/d0/f3.txt", "before");
    test::SetMtime(dir / "src/d0/f3.txt", 1700000000);
    const std::string archive = dir / ("small" + std::to_string(threads) + ".zip");
    const int baseline = test::ThreadBaseline();
    // One file is left out at its OnBegin, and one changed at its own after
    // the workers read it.
    const Outcome r = Add(archive, dir / "src", threads, "", emTraditional, {},
                          [&](const std::string& name, bool& go) {
                            if (name == "d1/f4.txt") go = false;
                            if (name == "d0/f3.txt") {
                              WriteText(dir / "src/d0/f3.txt", "after, and longer");
                              test::SetMtime(dir / "src/d0/f3.txt", 1700000000);
                            }
                          });
    EXPECT_EQ(test::ThreadCount(), baseline);
    EXPECT_EQ(r.result, 149);
    seen[threads - 1] = r.ticks;
    EXPECT_EQ(test::PeerFailures(archive), "");
    if (test::Have("unzip")) {
      const auto tree = test::UnzipTree(archive, dir / ("out" + std::to_string(threads)));
      EXPECT_EQ(tree.at("d0/f3.txt"), "after, and longer");
    }
  }
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_TRUE(ReadText(dir / "small1.zip") == ReadText(dir / "small2.zip"));
}

/// One failure, made with one thread and with two: the events callers see
/// must not differ, the old archive stays as it was, and no worker outlives
/// the run. Progress goes forward in both, though not in the same steps: the
/// single stream reports as its output buffer fills, the pieces as they are
/// taken. A write failure comes from a file size limit in a child process.
TEST(ParallelWriter, FailuresAndCancelLookTheSameAsWithOneThread) {
  enum class Failure { WriteOnThirdPiece, SourceShrinks, CancelWhileDeflating };
  struct Row {
    const char* name;
    Failure failure;
    const char* password;
    TEncryptionMethod method;
    bool oldKept;
  };
  const Row rows[] = {
      {"write fails on the third piece", Failure::WriteOnThirdPiece, "", emTraditional, true},
      {"write fails, AES", Failure::WriteOnThirdPiece, "pw", emAes256, true},
      {"source shrinks while read", Failure::SourceShrinks, "", emTraditional, false},
      {"cancel", Failure::CancelWhileDeflating, "", emTraditional, true},
      {"cancel, traditional cipher", Failure::CancelWhileDeflating, "pw", emTraditional, true},
  };
  for (const Row& row : rows) {
    std::string seen[2];
    for (uint32_t threads : {1u, 2u}) {
      SCOPED_TRACE(std::string(row.name) + ", threads " + std::to_string(threads));
      TempDir dir;
      WriteText(dir / "src/a.txt", test::Text(3000, 2));
      const std::string archive = dir / "old.zip";
      ASSERT_EQ(Add(archive, dir / "src", 1, "", emTraditional).result, 1);
      const std::string before = ReadText(archive);
      const std::string big = LargeFile(3);
      WriteText(dir / "src/big.bin", big);
      const size_t deflated = DeflateBuffer(big.data(), big.size(), dtDeflateN).size();
      const std::string log = dir / "log";
      test::GiveToNobody(dir.path());

      const int status = test::RunAsNobody([&] {
        const int baseline = test::ThreadBaseline();
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        if (row.failure == Failure::WriteOnThirdPiece) {
          // Headers, a.txt and two of the four pieces fit; the third does not.
          ::signal(SIGXFSZ, SIG_IGN);
          rlimit small = saved;
          small.rlim_cur = deflated * 6 / 10;
          ::setrlimit(RLIMIT_FSIZE, &small);
        }
        const Outcome r =
            Add(archive, dir / "src", threads, row.password, row.method, [&](TZip& zip, int step) {
              if (step != 6) return;
              if (row.failure == Failure::SourceShrinks) fs::resize_file(dir / "src/big.bin", 1000);
              if (row.failure == Failure::CancelWhileDeflating) zip.SetCancel(true);
            });
        ::setrlimit(RLIMIT_FSIZE, &saved);
        const int after = test::ThreadCount();
        WriteText(log,
                  std::to_string(r.result) + (r.backwards ? " backwards" : "") + ": " + r.events);
        return after == baseline ? 0 : 1;
      });
      EXPECT_EQ(status, 0) << "a thread outlived the run";
      seen[threads - 1] = ReadText(log);
      if (row.oldKept) {
        EXPECT_TRUE(ReadText(archive) == before) << seen[threads - 1];
      } else {
        EXPECT_EQ(test::PeerFailures(archive), "");
      }
    }
    EXPECT_EQ(seen[0], seen[1]) << row.name;
    EXPECT_NE(seen[1].find("begin big.bin"), std::string::npos) << seen[1];
  }
}

}  // namespace
}  // namespace arc
