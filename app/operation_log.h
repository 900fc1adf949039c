//===-- app/operation_log.h - The log of backups and restores ---*- C++ -*-===//
//
// Every backup and restore that got as far as its file appends one line to
// the log (P_Restore.log in the data folder unless P_Restore.ini names
// another file), in English, as fields of name=value:
//
//   start=2024-01-31T02:30:00 end=2024-01-31T02:30:04 operation=backup
//   database=Zelvo10 archive=/srv/backups/Zelvo10-20240131-023000.zip
//   size=183402 seconds=4.2 result=succeeded
//
// (one line in the file). result is succeeded, failed or refused (another
// operation held the company); a failure adds cause=, a restore adds safety=
// (its safety backup). Values with blanks or quotes are written in double
// quotes, with \" and \\ inside; line breaks in a cause become " | ".
//
//===----------------------------------------------------------------------===//
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace app {

struct TLogRecord {
  std::string Operation;  ///< backup or restore
  std::string Database;
  std::string Archive;  ///< the archive or backup file
  std::chrono::system_clock::time_point Start;
  std::chrono::system_clock::time_point End;
  uintmax_t Size = 0;  ///< of Archive; 0 when unknown
  std::string Result;  ///< succeeded, failed or refused
  std::string Cause;
  std::string SafetyBackup;
};

/// The line for `record`, without its line break.
std::string FormatLogLine(const TLogRecord& record);

/// Appends `line` and a line break to `file` in one write (created mode
/// 0600); false when the file cannot be written.
bool AppendLogLine(const std::string& file, const std::string& line);

}  // namespace app
