//===-- zip/zip_temp_dir.cpp - Where the new archive is built ------------===//
#include <string>

#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include <arc/support/paths.h>
#include "support/temp_file.h"
#include <arc/zip/zip.h>

namespace arc {

const std::string& TZipBase::TempDir() const {
  // A folder removed since it was set must not fail the next update.
  if (temp_dir_.empty() || !DirExists(temp_dir_)) temp_dir_ = SystemTempDir();
  return temp_dir_;
}

void TZipBase::SetTempDir(const std::string& value) {
  if (Loading()) {
    temp_dir_ = value;
    return;
  }
  std::string dir = value.empty() ? SystemTempDir() : AppendSlash(value);
  if (!DirExists(dir)) {
    const std::string question = std::string(ErrorText(ec::TempDirCreateQuestion)) + "\r\r" + dir;
    if (Dialogs.AskYesNo(question)) {
      ForceDirectories(dir);
    } else {
      dir.clear();
    }
  }
  if (dir.empty() || !DirExists(dir)) dir = SystemTempDir();
  temp_dir_ = dir;
}

}  // namespace arc
