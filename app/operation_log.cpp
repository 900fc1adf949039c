//===-- app/operation_log.cpp - The log of backups and restores -*- C++ -*-===//
#include "operation_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace app {

namespace {

/// Local time as 2024-01-31T02:30:00: one word, sorted as text sorts.
std::string LogTime(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local));
}

std::string Value(const std::string& text) {
  std::string flat;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      flat += " | ";
    } else {
      flat += c;
    }
  }
  if (!flat.empty() && flat.find_first_of(" \t\"\\") == std::string::npos) return flat;
  std::string quoted = "\"";
  for (char c : flat) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string FormatLogLine(const TLogRecord& record) {
  const double seconds = std::chrono::duration<double>(record.End - record.Start).count();
  char secondsText[32];
  std::snprintf(secondsText, sizeof secondsText, "%.1f", seconds < 0 ? 0.0 : seconds);
  std::string line = "start=" + LogTime(record.Start) + " end=" + LogTime(record.End) +
                     " operation=" + Value(record.Operation) +
                     " database=" + Value(record.Database) + " archive=" + Value(record.Archive) +
                     " size=" + std::to_string(record.Size) + " seconds=" + secondsText +
                     " result=" + Value(record.Result);
  if (!record.SafetyBackup.empty()) line += " safety=" + Value(record.SafetyBackup);
  if (!record.Cause.empty()) line += " cause=" + Value(record.Cause);
  return line;
}

bool AppendLogLine(const std::string& file, const std::string& line) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::string whole = line + "\n";
  const ssize_t written = ::write(fd, whole.data(), whole.size());
  const bool closed = ::close(fd) == 0;
  return closed && written == static_cast<ssize_t>(whole.size());
}

}  // namespace app
