//===-- app/backup_list.h - The backups of a company, read back -*- C++ -*-===//
//
// What --list-backups shows: the archives that --backup-dir wrote into a
// folder and the safety backups the restores left in TempBackup/, newest
// first, each with its time, its size and whether it reads back. An archive
// reads back when the reader decodes every entry with a matching CRC; a
// safety backup when the server's RESTORE VERIFYONLY accepts it.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace app {

class TDbConnection;

struct TListedBackup {
  std::string Path;
  std::time_t Time = 0;
  uintmax_t Size = 0;
  bool Safety = false;  ///< a safety backup rather than an archive
  bool ReadsBack = false;
  std::string Cause;  ///< why it does not read back
};

/// The backups of `database`: the archives <database>-<time>.zip in `folder`
/// (none when empty) and the safety backups in `exeDir`/TempBackup/ (an
/// older <database>.Bak among them), newest first, each read back (an
/// encrypted archive with `password`).
std::vector<TListedBackup> ListBackups(const std::string& exeDir, const std::string& database,
                                       const std::string& folder, TDbConnection& master,
                                       const std::string& password = {});

/// One line each: time, size in bytes, "reads back" or "DAMAGED", kind, path,
/// and the cause of damage on a line of its own below.
std::string FormatBackupList(const std::vector<TListedBackup>& backups);

}  // namespace app
