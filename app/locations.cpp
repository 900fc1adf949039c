//===-- app/locations.cpp - Where the program keeps its files ---*- C++ -*-===//
#include "locations.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "app/startup.h"

namespace app {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgramFolder = "P_Restore";

fs::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/";
}

// An XDG base folder: the variable when it holds an absolute path (relative
// ones are invalid and ignored), else the default below the home folder.
fs::path XdgFolder(const char* variable, const char* homeDefault) {
  if (const char* value = std::getenv(variable); value && *value == '/') return value;
  return HomeFolder() / homeDefault;
}

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

bool SameFolder(const std::string& a, const std::string& b) {
  return fs::path(WithSeparator(a)).lexically_normal() ==
         fs::path(WithSeparator(b)).lexically_normal();
}

}  // namespace

bool RunsFromBuildTree(const fs::path& exeFolder) {
  std::error_code ec;
  const fs::path folder = fs::weakly_canonical(exeFolder, ec);
  return !ec && fs::is_regular_file(folder.parent_path() / "CMakeCache.txt", ec);
}

std::string InstalledDataFolder() {
  return WithSeparator((XdgFolder("XDG_DATA_HOME", ".local/share") / kProgramFolder).string());
}

fs::path UserSettingsFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config") / kProgramFolder; }

std::string DataFolder() {
  const std::string exeFolder = ExecutableDir();
  if (RunsFromBuildTree(exeFolder)) return exeFolder;
  const std::string data = InstalledDataFolder();
  // Accounting data: a folder made here is the user's alone.
  if (fs::create_directories(data)) {
    fs::permissions(data, fs::perms::owner_all, fs::perm_options::replace);
  }
  return data;
}

std::vector<fs::path> SettingsFolders(const std::string& exeDir) {
  if (!SameFolder(exeDir, InstalledDataFolder())) return {exeDir};
  return {ExecutableDir(), UserSettingsFolder(), fs::path("/etc") / kProgramFolder};
}

fs::path SettingsFile(const std::string& exeDir, std::string_view name) {
  const std::vector<fs::path> folders = SettingsFolders(exeDir);
  for (const fs::path& folder : folders) {
    std::error_code ec;
    if (fs::exists(folder / name, ec)) return folder / name;
  }
  return folders.front() / name;
}

std::string LocationsUsageText() {
  return "\n"
         "Run from its build tree, the program keeps Data/, Temp/, TempBackup/,\n"
         "P_Restore.ini and DefAlias.dat beside itself. Installed, the data folders are\n"
         "in $XDG_DATA_HOME/P_Restore (~/.local/share/P_Restore), and P_Restore.ini and\n"
         "DefAlias.dat are looked up beside the program, in $XDG_CONFIG_HOME/P_Restore\n"
         "(~/.config/P_Restore), then in /etc/P_Restore.\n";
}

fs::path WritableSettingsFile(const std::string& exeDir, std::string_view name) {
  if (!SameFolder(exeDir, InstalledDataFolder())) return fs::path(exeDir) / name;
  const fs::path folder = UserSettingsFolder();
  fs::create_directories(folder);
  return folder / name;
}

}  // namespace app
