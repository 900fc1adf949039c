// Runs tds_test_server.py for a test: a TDS server on a free local port that
// executes the program's statements on files in a folder.
#pragma once

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace app::testing {

class TdsServer {
 public:
  /// Starts the server on `dataDir` with the faults named (see the script).
  explicit TdsServer(const std::string& dataDir, const std::vector<std::string>& faults = {}) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<std::string> words = {"python3", TDS_TEST_SERVER, dataDir};
      for (const std::string& fault : faults) {
        words.push_back("--fault");
        words.push_back(fault);
      }
      std::vector<char*> argv;
      for (std::string& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      execvp("python3", argv.data());
      _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    port_ = line.empty() ? 0 : std::stoi(line);
  }

  ~TdsServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }

  TdsServer(const TdsServer&) = delete;
  TdsServer& operator=(const TdsServer&) = delete;

  /// 0 when the server did not start.
  int Port() const { return port_; }

  /// An ODBC connection string through FreeTDS to `database` on the server.
  std::string ConnectionString(const std::string& database) const {
    return "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(port_) +
           ";Database=" + database + ";UID=backup;PWD=secret;TDS_Version=7.4";
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace app::testing
