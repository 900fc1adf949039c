//===-- app/backup_list.cpp - The backups of a company, read back -*- C++ -*-===//
#include "backup_list.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/archive_check.h"
#include "app/backup_history.h"
#include "app/backup_restore.h"
#include "app/commands.h"
#include "app/db/database.h"

namespace app {

namespace fs = std::filesystem;

namespace {

std::string AppendSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

TListedBackup Listed(const TStampedFile& file, bool safety) {
  TListedBackup backup;
  backup.Path = file.Path;
  backup.Time = file.Time;
  backup.Size = file.Size;
  backup.Safety = safety;
  return backup;
}

}  // namespace

std::vector<TListedBackup> ListBackups(const std::string& exeDir, const std::string& database,
                                       const std::string& folder, TDbConnection& master,
                                       const std::string& password) {
  std::vector<TListedBackup> backups;
  if (!folder.empty()) {
    for (const TStampedFile& file : FindStamped(AppendSlash(folder), database, ".zip")) {
      TListedBackup backup = Listed(file, false);
      const TArchiveCheck check = CheckArchive(file.Path, {}, {}, password);
      backup.ReadsBack = check.Ok();
      backup.Cause = check.Cause;
      backups.push_back(std::move(backup));
    }
  }
  std::vector<TStampedFile> safety = FindStamped(TempBackupFolder(exeDir), database, ".Bak");
  // The one file every restore wrote into before safety backups were kept apart.
  const fs::path older = TempBackupFolder(exeDir) + database + ".Bak";
  std::error_code ec;
  if (fs::is_regular_file(older, ec)) {
    TStampedFile file;
    file.Path = older.string();
    file.Size = fs::file_size(older, ec);
    const auto written = fs::last_write_time(older, ec);
    file.Time = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            std::chrono::file_clock::to_sys(written)));
    safety.push_back(file);
  }
  for (const TStampedFile& file : safety) {
    TListedBackup backup = Listed(file, true);
    try {
      master.Execute(VerifyBackupCommand(file.Path));
      backup.ReadsBack = true;
    } catch (const EDatabaseError& e) {
      backup.Cause = CauseLine(e.what());
    }
    backups.push_back(std::move(backup));
  }
  std::stable_sort(backups.begin(), backups.end(),
                   [](const TListedBackup& a, const TListedBackup& b) { return a.Time > b.Time; });
  return backups;
}

std::string FormatBackupList(const std::vector<TListedBackup>& backups) {
  std::string text;
  for (const TListedBackup& backup : backups) {
    char size[32];
    std::snprintf(size, sizeof size, "%14ju", backup.Size);
    text += DisplayTime(backup.Time) + size + "  " +
            (backup.ReadsBack ? "reads back" : "DAMAGED   ") + "  " +
            (backup.Safety ? "safety " : "archive") + "  " + backup.Path + "\n";
    if (!backup.ReadsBack) text += "    " + backup.Cause + "\n";
  }
  return text;
}

}  // namespace app
