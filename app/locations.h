//===-- app/locations.h - Where the program keeps its files -----*- C++ -*-===//
//
// Run from its build tree, the program keeps everything beside the
// executable, as it always has: Data/, Temp/, TempBackup/, P_Restore.ini and
// DefAlias.dat. Installed, it cannot write there, so
//
//   data (Data/, Temp/, TempBackup/)  $XDG_DATA_HOME/P_Restore/
//                                     (default ~/.local/share/P_Restore/)
//   P_Restore.ini, DefAlias.dat       looked up in the executable's folder, then
//                                     $XDG_CONFIG_HOME/P_Restore/ (default
//                                     ~/.config/P_Restore/), then /etc/P_Restore/
//
// The rest of the program sees one folder, the data folder, which it calls
// exeDir; the settings are found from it (SettingsFile).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace app {

/// True when `exeFolder` is the bin/ folder of a CMake build tree (the
/// build folder beside it holds CMakeCache.txt).
bool RunsFromBuildTree(const std::filesystem::path& exeFolder);

/// $XDG_DATA_HOME/P_Restore/ (~/.local/share/P_Restore/ when the variable is
/// unset or not absolute), with a trailing '/'. Does not create it.
std::string InstalledDataFolder();

/// $XDG_CONFIG_HOME/P_Restore (~/.config/P_Restore likewise).
std::filesystem::path UserSettingsFolder();

/// The data folder of this run, with a trailing '/': the executable's folder
/// in a build tree, else InstalledDataFolder(), created (mode 0700) when
/// missing. Needs the application object. Throws std::filesystem_error when
/// the folder cannot be made.
std::string DataFolder();

/// The folders searched for the settings of a program whose data folder is
/// `exeDir`, first match wins: for the installed data folder, the
/// executable's folder, UserSettingsFolder() and /etc/P_Restore; for any
/// other (the build tree, a test's folder), `exeDir` alone.
std::vector<std::filesystem::path> SettingsFolders(const std::string& exeDir);

/// The settings file `name` (P_Restore.ini, DefAlias.dat): the first of
/// SettingsFolders(exeDir) that holds it; when none does, the path it would
/// have in the first folder.
std::filesystem::path SettingsFile(const std::string& exeDir, std::string_view name);

/// The lines --help adds about these folders.
std::string LocationsUsageText();

/// Where the program writes the settings file `name`: beside the data in a
/// build tree, in UserSettingsFolder() (created) when installed.
std::filesystem::path WritableSettingsFile(const std::string& exeDir, std::string_view name);

}  // namespace app
