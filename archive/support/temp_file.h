//===-- support/temp_file.h - Temporary file names --------------*- C++ -*-===//
#pragma once

#include <string>

namespace arc {

/// The system's temporary directory with a trailing '/': $TMPDIR when set and
/// not empty, else /tmp.
std::string SystemTempDir();

/// Creates a new, empty file with a unique name beginning with "arc" and
/// returns its absolute path. It goes into `dir` when that is not empty and
/// exists, else into the system's temporary directory (created when missing).
/// With `forFile` (a file name) the name tells whose it is:
/// "arc-backup.zip-Xq3v9A". Returns an empty string when no file could be
/// created.
std::string TempFileName(const std::string& dir, const std::string& forFile = {});

}  // namespace arc
