// A connection that serves preset rows and writes what is done to it into a log.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/db/database.h"

namespace app::testing {

class FakeConnection : public TDbConnection {
 public:
  FakeConnection(std::string name, std::vector<std::string>* log = nullptr)
      : name_(std::move(name)), log_(log) {}

  std::vector<TRow> rows;
  bool unreachable = false;
  std::string executeFailure;  // non-empty: Execute throws this text

  void Open() override {
    if (unreachable) throw EDatabaseError("server not found");
    if (connected_) return;
    connected_ = true;
    note("open " + name_);
  }
  void Close() noexcept override {
    if (!connected_) return;
    connected_ = false;
    note("close " + name_);
  }
  bool Connected() const override { return connected_; }
  void Execute(const std::string& command) override {
    Open();
    note("execute on " + name_ + ": " + command);
    if (!executeFailure.empty()) throw EDatabaseError(executeFailure);
  }
  std::vector<TRow> ReadTable(const std::string& table, const std::vector<std::string>&) override {
    Open();
    note("read " + table);
    return rows;
  }

 private:
  void note(const std::string& line) {
    if (log_) log_->push_back(line);
  }
  std::string name_;
  std::vector<std::string>* log_;
  bool connected_ = false;
};

// A server that behaves as SQL Server does with a backup file: it cannot
// write into a missing folder, and it adds a backup set to an existing file.
// Every set verifies; a restore changes nothing.
class AppendingServer : public FakeConnection {
 public:
  using FakeConnection::FakeConnection;
  /// Runs before each command.
  std::function<void(const std::string& command)> onCommand;

  /// The file a command names.
  static std::filesystem::path Device(const std::string& command) {
    const size_t open = command.find('\'');
    return command.substr(open + 1, command.rfind('\'') - open - 1);
  }

  void Execute(const std::string& command) override {
    FakeConnection::Execute(command);
    if (onCommand) onCommand(command);
    if (!command.starts_with("BACKUP")) return;
    const std::filesystem::path file = Device(command);
    if (!std::filesystem::is_directory(file.parent_path())) {
      throw EDatabaseError("Cannot open backup device");
    }
    std::ofstream(file, std::ios::app) << "backup set\n";
  }
};

}  // namespace app::testing
