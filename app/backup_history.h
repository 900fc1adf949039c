//===-- app/backup_history.h - Backups named by their time ------*- C++ -*-===//
//
// Nightly backup archives and the safety backups taken before each restore
// are kept one file each, named after the company and the local time they
// were made:
//
//   <database>-YYYYMMDD-HHMMSS<ext>       Zelvo10-20240131-023000.zip
//   <database>-YYYYMMDD-HHMMSS-N<ext>     a second one within that second
//
// Only files named exactly so are ever counted or removed: whatever else lies
// in the folder is not the program's to touch.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace app {

/// "YYYYMMDD-HHMMSS" of `time` in local time.
std::string TimeStamp(std::time_t time);

/// "YYYY-MM-DD HH:MM:SS" of `time` in local time.
std::string DisplayTime(std::time_t time);

/// folder + database + "-" + TimeStamp(time) + ext, or the first of the
/// "-2", "-3" ... forms that no file has. `folder` ends with a '/'.
std::string UnusedStampedName(const std::string& folder, const std::string& database,
                              std::time_t time, const std::string& ext);

struct TStampedFile {
  std::string Path;
  std::time_t Time = 0;  ///< from the name
  int32_t Sequence = 1;  ///< 1, or N of "-N"
  uintmax_t Size = 0;
};

/// The files of `folder` named by UnusedStampedName for `database` and `ext`
/// (regular files only), newest first.
std::vector<TStampedFile> FindStamped(const std::string& folder, const std::string& database,
                                      const std::string& ext);

/// Which of `found` (newest first) to remove: those beyond the `keep` newest
/// (0: no limit by count) and those older than `maxAgeDays` days at `now` (0:
/// no limit by age). The newest one is never among them.
std::vector<std::string> Expired(const std::vector<TStampedFile>& found, int32_t keep,
                                 int32_t maxAgeDays, std::time_t now);

}  // namespace app
