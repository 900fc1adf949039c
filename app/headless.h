//===-- app/headless.h - Backup and restore from the command line -*- C++ -*-===//
//
// For scheduled backups the program runs an operation without a window:
//
//   P_Restore --backup FILE.zip             back up the company into a new archive
//   P_Restore --backup-dir DIR [--keep N]   ... into DIR/<database>-<time>.zip,
//                                           keeping the N newest such (14)
//   P_Restore --restore FILE                restore from an archive or a backup file
//   P_Restore --list-backups [DIR]          the backups found and whether they read back
//   P_Restore --help
//
// The operations are the window's own; the command is the confirmation and
// names the file the dialog would ask for. Messages and progress go to
// standard output, the errors behind the fixed messages (the server's among
// them) to standard error. The exit status is 0 only on success, 3 when
// another operation on the company was running and nothing was done.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace app {

struct TCommandLine {
  enum class Mode { Window, Backup, BackupDir, Restore, List, Help, Invalid };
  Mode mode = Mode::Window;
  std::string file;   ///< the archive or backup file of Backup and Restore, the
                      ///< folder of BackupDir and List (empty: none)
  int32_t keep = 14;  ///< BackupDir: how many of its archives to keep
  std::string error;  ///< why the command line is Invalid
};

/// Reads the arguments after the program name.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

/// What --help prints.
std::string UsageText();

/// Exit statuses.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitBusy = 3;  ///< another operation held the company

/// Runs the operation of `command` for the program in `exeDir` (with a
/// trailing '/'); needs the application object. Returns the exit status.
int RunHeadless(const TCommandLine& command, const std::string& exeDir, std::ostream& out,
                std::ostream& err);

}  // namespace app
