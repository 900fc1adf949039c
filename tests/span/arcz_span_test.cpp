//===-- tests/span/arcz_span_test.cpp - arcz a onto a removable drive -----===//
//
// arcz runs on a terminal of its own (a pseudo-terminal) with its drive
// pointed at the simulated disks through ARCZ_SIMULATED_DRIVE; the test
// answers each question as a user at the keyboard would.
//
//===----------------------------------------------------------------------===//
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "span_fixture.h"

namespace arc {
namespace {

namespace fs = std::filesystem;

/// The end of every question arcz asks about disks.
constexpr const char* kQuestionEnds[] = {"(q to stop): ", "q = stop): ", "(y/n): "};

struct Session {
  int status = -1;
  std::string transcript;
  std::vector<std::string> questions;
};

/// Runs arcz with `args` in `cwd` on a new terminal, with `env` set, and
/// answers each question with `answer(question)`.
Session RunOnTerminal(const std::vector<std::string>& args, const std::string& cwd,
                      const std::vector<std::pair<std::string, std::string>>& env,
                      const std::function<std::string(const std::string&)>& answer) {
  Session s;
  const std::string arcz = std::string(ARC_BIN_DIR) + "/arcz";
  std::vector<std::string> argv{arcz};
  argv.insert(argv.end(), args.begin(), args.end());
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return s;
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    _exit(127);
  }
  size_t answered = 0;  // questions before this offset have their answer
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 60000) <= 0) break;  // a question nobody expected
    char buf[4096];
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;  // the terminal closes when arcz ends
    s.transcript.append(buf, static_cast<size_t>(n));
    for (;;) {
      size_t end = std::string::npos;
      for (const char* q : kQuestionEnds) {
        const size_t at = s.transcript.find(q, answered);
        if (at != std::string::npos && (end == std::string::npos || at + strlen(q) < end))
          end = at + strlen(q);
      }
      if (end == std::string::npos) break;
      const size_t begin = s.transcript.find_last_of("\r\n", end) + 1;
      s.questions.push_back(s.transcript.substr(begin, end - begin));
      const std::string reply = answer(s.questions.back()) + "\n";
      if (write(master, reply.data(), reply.size()) < 0) break;
      answered = end;
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  s.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return s;
}

class ArczOnDisks : public test::SpanFixture {
 protected:
  void SetUp() override {
    WriteSources(test::MixedSources());
    AddDisks(8, 100 * 1024);
    // The same disks as arcz will see them.
    std::ofstream list(dir / "drives/disks.txt");
    for (int32_t i = 0; i < drives.DiskCount(); ++i)
      list << drives.DiskAt(i).capacity << ' ' << drives.DiskAt(i).serial << " \n";
    std::ofstream(dir / "drives/inserted") << "1\n";
    env = {{"ARCZ_SIMULATED_DRIVE", dir / "drives"}, {"TMPDIR", dir / "tmp"}};
  }

  /// The labels arcz gave the disks.
  void TakeBackDisks() {
    std::ifstream list(dir / "drives/disks.txt");
    std::string line;
    for (int32_t i = 0; std::getline(list, line) && i < drives.DiskCount(); ++i) {
      std::istringstream fields(line);
      int64_t capacity;
      uint32_t serial;
      fields >> capacity >> serial;
      std::string label;
      std::getline(fields, label);
      drives.DiskAt(i).label = label.empty() ? label : label.substr(1);
    }
  }

  std::vector<std::pair<std::string, std::string>> env;
};

TEST_F(ArczOnDisks, AddAsksForEachDiskOnTheTerminal) {
  const Session s = RunOnTerminal({"a", Archive(), "-r", "src"}, dir.path(), env,
                                  [](const std::string& question) {
                                    // "Insert disk N of ...": put in simulated disk N.
                                    std::istringstream words(question);
                                    std::string insert, disk, n;
                                    words >> insert >> disk >> n;
                                    return n;
                                  });
  EXPECT_EQ(s.status, 0) << s.transcript;
  ASSERT_GE(s.questions.size(), 5u) << s.transcript;
  for (size_t i = 0; i < s.questions.size(); ++i) {
    EXPECT_EQ(s.questions[i], "Insert disk " + std::to_string(i + 2) + " of " + Archive() +
                                  " and press Enter (q to stop): ");
  }
  EXPECT_NE(s.transcript.find(std::to_string(sources.size()) + " files added"), std::string::npos)
      << s.transcript;

  TakeBackDisks();
  EXPECT_EQ(VolumeDisks().size(), s.questions.size() + 1);
  std::string errors;
  EXPECT_EQ(ExtractSet("out", errors), static_cast<int32_t>(sources.size()));
  EXPECT_EQ(errors, "");
  // Names are stored as given on the command line.
  EXPECT_EQ(test::TreeDiff(test::Tree(dir / "out/src"), test::Tree(dir / "src")), "");
}

TEST_F(ArczOnDisks, StoppingAtAPromptWritesNoArchive) {
  Session s = RunOnTerminal({"a", Archive(), "-r", "src"}, dir.path(), env,
                            [](const std::string& question) {
                              return question.find("disk 3") != std::string::npos ? "q" : "2";
                            });
  EXPECT_EQ(s.status, 1);
  EXPECT_NE(s.transcript.find("stopped at disk 3"), std::string::npos) << s.transcript;
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));

  // Without a terminal nobody can be asked: the run stops at the first question.
  // (An empty disk goes in: the part of the stopped run on disk 2 ends inside
  // an entry, and an update of it would be refused before any question.)
  std::ofstream(dir / "drives/inserted") << "3\n";
  const test::ToolResult r = test::Run("cd " + test::Quote(dir.path()) +
                                       " && ARCZ_SIMULATED_DRIVE=" + test::Quote(dir / "drives") +
                                       " " + test::Quote(std::string(ARC_BIN_DIR) + "/arcz") +
                                       " a " + test::Quote(Archive()) + " -r src </dev/null");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("no terminal to answer on"), std::string::npos) << r.output;
}

TEST(ArczPrompts, RunWithNothingToDoIsNoStopAtADisk) {
  // Nobody was asked for a disk: a refresh that finds nothing changed says
  // there was nothing to do.
  test::TempDir dir;
  test::WriteText(dir / "docs/a.txt", "unchanged");
  const std::string in_dir =
      "cd " + test::Quote(dir.path()) + " && " + test::Quote(std::string(ARC_BIN_DIR) + "/arcz");
  ASSERT_EQ(test::Run(in_dir + " a backup.zip -r docs </dev/null").status, 0);
  const test::ToolResult r = test::Run(in_dir + " a backup.zip -u -r docs </dev/null");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("Nothing to do"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("stopped"), std::string::npos) << r.output;
}

}  // namespace
}  // namespace arc
