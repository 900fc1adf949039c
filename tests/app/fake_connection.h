// A connection that serves preset rows and writes what is done to it into a log.
#pragma once

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

}  // namespace app::testing
