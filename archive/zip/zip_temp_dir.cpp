//===-- zip/zip_temp_dir.cpp - Where the new archive is built ------------===//
#include <string>

#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include <arc/support/paths.h>
#include <arc/zip/zip.h>
#include "support/temp_file.h"

namespace arc {

const std::string& TZipBase::TempDir() const {
  // A folder removed since it was set must not fail the next update.
  if (tempDir_.empty() || !DirExists(tempDir_)) tempDir_ = SystemTempDir();
  return tempDir_;
}

void TZipBase::SetTempDir(const std::string& value) {
  if (Loading()) {
    tempDir_ = value;
    return;
  }
  std::string dir = value.empty() ? SystemTempDir() : AppendSlash(value);
  if (!DirExists(dir)) {
    const std::string question = std::string(ErrorText(ec::TempDirCreateQuestion)) + "\r\r" + dir;
    if (dialogs.AskYesNo(question)) {
      ForceDirectories(dir);
    } else {
      dir.clear();
    }
  }
  if (dir.empty() || !DirExists(dir)) dir = SystemTempDir();
  tempDir_ = dir;
}

}  // namespace arc
