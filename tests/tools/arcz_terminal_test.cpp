//===-- tests/tools/arcz_terminal_test.cpp - arcz on a terminal -----------===//
//
// arcz runs with a pseudo-terminal of its own as its standard input and
// output, and its standard error on the terminal or on a pipe; the test
// answers its questions as a user at the keyboard would.
//
//===----------------------------------------------------------------------===//
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "hardening/hostile_zip.h"
#include "support/scratch_dir.h"

namespace arc {
namespace {

struct Session {
  int status = -1;
  std::string terminal;  ///< all that reached the terminal
  std::string piped;     ///< standard error, when it was a pipe
  std::vector<std::string> questions;
};

/// Runs arcz `args` in `cwd` on a new 120-column terminal and answers each
/// question (a text ending in ": ") with `answer(question)`.
Session RunOnTerminal(const std::vector<std::string>& args, const std::string& cwd,
                      bool stderrOnTerminal,
                      const std::function<std::string(const std::string&)>& answer) {
  Session s;
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return s;
  const winsize size{24, 120, 0, 0};
  ::ioctl(master, TIOCSWINSZ, &size);
  int pipeFds[2] = {-1, -1};
  if (!stderrOnTerminal && ::pipe(pipeFds) != 0) return s;
  const std::string slaveName = ::ptsname(master);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    const int slave = ::open(slaveName.c_str(), O_RDWR);  // becomes the controlling terminal
    if (slave < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::dup2(slave, 0);
    ::dup2(slave, 1);
    ::dup2(stderrOnTerminal ? slave : pipeFds[1], 2);
    std::vector<std::string> argv{ARC_BIN_DIR "/arcz"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
  if (pipeFds[1] >= 0) ::close(pipeFds[1]);
  size_t answeredTerminal = 0, answeredPipe = 0;
  for (bool open = true; open;) {
    pollfd fds[2] = {{master, POLLIN, 0}, {pipeFds[0], POLLIN, 0}};
    if (::poll(fds, pipeFds[0] >= 0 ? 2 : 1, 60000) <= 0) break;  // a question nobody expected
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
      char buf[4096];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        // The terminal ends with arcz; a pipe at its end of file.
        if (i == 0) open = false;
        else pipeFds[0] = -1;
        continue;
      }
      std::string& text = i == 0 ? s.terminal : s.piped;
      size_t& answered = i == 0 ? answeredTerminal : answeredPipe;
      text.append(buf, static_cast<size_t>(n));
      const size_t end = text.rfind(": ");
      if (end == std::string::npos || end + 2 != text.size() || end < answered) continue;
      const size_t begin = text.find_last_of("\r\n", end) + 1;
      s.questions.push_back(text.substr(begin, end + 2 - begin));
      const std::string reply = answer(s.questions.back()) + "\n";
      if (::write(master, reply.data(), reply.size()) < 0) open = false;
      answered = text.size();
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  if (pipeFds[0] >= 0) ::close(pipeFds[0]);
  s.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return s;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ArczOnATerminal, ProgressBarOnlyOnATerminalAndNeverOverAMessage) {
  test::ScratchDir dir;
  dir.Write("data.bin", std::string(8 << 20, 'd'));
  ASSERT_EQ(std::system(("cd '" + dir.path() + "' && " ARC_BIN_DIR
                         "/arcz a -q --store -p secret data.zip data.bin")
                            .c_str()),
            0);
  // The work waits for the password for more than a second, so that a bar
  // is due once decoding begins.
  const auto answer = [](const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    return std::string("secret");
  };
  const struct {
    std::vector<std::string> args;
    bool stderrOnTerminal;
    bool bar;
  } rows[] = {
      {{"t", "data.zip"}, true, true},
      {{"t", "data.zip"}, false, false},
      {{"t", "data.zip", "-q"}, true, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.args.size() == 3 ? "quiet" : r.stderrOnTerminal ? "terminal" : "pipe");
    const Session s = RunOnTerminal(r.args, dir.path(), r.stderrOnTerminal, answer);
    EXPECT_EQ(s.status, 0) << s.terminal << s.piped;
    ASSERT_EQ(s.questions.size(), 1u) << s.terminal << s.piped;
    EXPECT_EQ(s.questions[0], "password for data.bin: ");
    const std::string all = s.terminal + s.piped;
    EXPECT_EQ(all.find("\r[") != std::string::npos, r.bar) << all;
    if (r.bar) {
      EXPECT_NE(all.find(" / 8.0 MiB"), std::string::npos) << all;
      // The bar is gone before the summary is printed.
      EXPECT_NE(all.find("\r\x1b[K1 file tested, no errors"), std::string::npos) << all;
    }
  }
}

TEST(ArczOnATerminal, QuestionsBeforeReplacingAFile) {
  test::ScratchDir dir;
  std::vector<test::HostileEntry> entries;
  for (const char* name : {"a", "b", "c", "d"}) entries.push_back(test::HostileEntry::Stored(name, "new"));
  const std::vector<uint8_t> bytes = test::BuildHostile(entries);
  std::ofstream(dir / "set.zip", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  for (const char* name : {"a", "b", "c", "d"}) dir.Write(std::string("out/") + name, "old");
  // No to a, b under another name, c and all after it replaced.
  const std::vector<std::string> replies{"n", "r", "b2", "A"};
  size_t next = 0;
  const Session s = RunOnTerminal({"x", "set.zip", "-d", "out"}, dir.path(), true,
                                  [&](const std::string&) { return replies.at(next++); });
  EXPECT_EQ(s.status, 0) << s.terminal;
  ASSERT_EQ(s.questions.size(), 4u) << s.terminal;
  EXPECT_EQ(s.questions[0],
            "replace " + dir.path() + "out/a? [y]es, [n]o, [A]ll, [N]one, [r]ename: ");
  EXPECT_EQ(s.questions[2], "new name: ");
  const std::pair<const char*, const char*> files[] = {
      {"a", "old"}, {"b", "old"}, {"b2", "new"}, {"c", "new"}, {"d", "new"}};
  for (const auto& [name, contents] : files) {
    EXPECT_EQ(ReadFile(dir / (std::string("out/") + name)), contents) << name;
  }
  EXPECT_NE(s.terminal.find("3 files extracted, 1 kept as they were, no errors"), std::string::npos)
      << s.terminal;
}

}  // namespace
}  // namespace arc
