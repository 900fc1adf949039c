//===-- tests/tools/arcz_terminal_test.cpp - arcz on a terminal -----------===//
//
// arcz runs on a pseudo-terminal of its own; the test types its answers
// after a pause, as a user at the keyboard would.
//
//===----------------------------------------------------------------------===//
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "common/test_temp_dir.h"
#include "hardening/hostile_zip.h"

namespace arc {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

/// Runs `arcz args` in `cwd` (through the shell, so `args` may redirect its
/// standard error away from the terminal), types `input` after 1.2 s and
/// returns what reached the terminal.
std::string OnTerminal(const std::string& cwd, const std::string& args, const std::string& input) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return "no terminal";
  const std::string slave = ::ptsname(master);
  const std::string command = "cd '" + cwd + "' && exec " ARC_BIN_DIR "/arcz " + args;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    const int fd = ::open(slave.c_str(), O_RDWR);  // the controlling terminal from now on
    for (int i = 0; i < 3; ++i) ::dup2(fd, i);
    ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
    ::_exit(127);
  }
  // The test holds the terminal's other end open too: when the last
  // descriptor of a terminal closes, what arcz wrote just before it exited
  // may never reach this side.
  const int keep = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  std::string seen = ::write(master, input.data(), input.size()) < 0 ? "no input" : "";
  int status = 0;
  bool exited = false;
  for (char buf[4096];;) {
    pollfd ready{master, POLLIN, 0};
    if (::poll(&ready, 1, exited ? 300 : 100) > 0 && (ready.revents & POLLIN) != 0) {
      const ssize_t n = ::read(master, buf, sizeof buf);
      if (n <= 0) break;
      seen.append(buf, static_cast<size_t>(n));
    } else if (exited) {
      break;  // gone, and nothing more came for a while
    } else {
      exited = ::waitpid(pid, &status, WNOHANG) == pid;
    }
  }
  if (!exited) ::waitpid(pid, &status, 0);
  if (keep >= 0) ::close(keep);
  ::close(master);
  return seen + "[status " + std::to_string(WEXITSTATUS(status)) + "]";
}

TEST(ArczOnATerminal, ProgressBarOnlyOnATerminalAndNeverOverAMessage) {
  test::TempDir dir;
  dir.Write("data.bin", std::string(8 << 20, 'd'));
  const std::string add =
      "cd '" + dir.slashed() + "' && " ARC_BIN_DIR "/arcz a -q --store -p pw d.zip data.bin";
  ASSERT_EQ(std::system(add.c_str()), 0);
  // The password comes after more than a second: a bar is due once decoding begins.
  const std::pair<std::string, bool> rows[] = {
      {"t d.zip", true}, {"t d.zip 2>stderr.txt", false}, {"t d.zip -q", false}};
  for (const auto& [args, bar] : rows) {
    std::string seen = OnTerminal(dir.slashed(), args, "pw\n");
    seen += ReadFile(dir / "stderr.txt");
    EXPECT_NE(seen.find("password for data.bin: "), std::string::npos) << args << seen;
    EXPECT_EQ(seen.find("\r[") != std::string::npos, bar) << args << seen;
    EXPECT_EQ(seen.find(" / 8.0 MiB") != std::string::npos, bar) << args << seen;
    // The bar is gone before the summary is printed.
    EXPECT_EQ(seen.find("\r\x1b[K1 file tested, no errors") != std::string::npos, bar) << seen;
    EXPECT_NE(seen.find("[status 0]"), std::string::npos) << args << seen;
  }
}

TEST(ArczOnATerminal, QuestionsBeforeReplacingAFile) {
  test::TempDir dir;
  std::vector<test::HostileEntry> entries;
  for (const char* name : {"a", "b", "c", "d"}) {
    entries.push_back(test::HostileEntry::Stored(name, "new"));
    dir.Write(std::string("out/") + name, "old");
  }
  const std::vector<uint8_t> bytes = test::BuildHostile(entries);
  std::ofstream(dir / "set.zip", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  // No to a, b under another name, c and all after it replaced.
  const std::string seen = OnTerminal(dir.slashed(), "x set.zip -d out", "n\nr\nb2\nA\n");
  EXPECT_NE(seen.find("replace " + dir.slashed() + "out/a? [y]es, [n]o, [A]ll, [N]one, [r]ename: "),
            std::string::npos)
      << seen;
  EXPECT_NE(seen.find("new name: "), std::string::npos) << seen;
  EXPECT_EQ(seen.find("out/d?"), std::string::npos) << seen;
  EXPECT_NE(seen.find("3 files extracted, 1 kept as they were, no errors"), std::string::npos)
      << seen;
  const std::pair<const char*, const char*> files[] = {
      {"a", "old"}, {"b", "old"}, {"b2", "new"}, {"c", "new"}, {"d", "new"}};
  for (const auto& [name, contents] : files) {
    EXPECT_EQ(ReadFile(dir / (std::string("out/") + name)), contents) << name;
  }
}

}  // namespace
}  // namespace arc
