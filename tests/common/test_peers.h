//===-- tests/common/test_peers.h - Running other tools from a test -*- C++ -*-===//
//
// Tests make reference data with the tools of scripts/packages.txt (zip,
// unzip, 7z, bsdtar, bzip2, xz, zstd, python3) when they are installed.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "common/test_temp_dir.h"

namespace arc::test {

/// True when the command `tool` is installed.
inline bool Have(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

/// Runs a shell command inside `dir`, its output discarded; the exit status.
inline int RunIn(const TempDir& dir, const std::string& command) {
  const std::string line = "cd '" + dir.path() + "' && ( " + command + " ) >/dev/null 2>&1";
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace arc::test
