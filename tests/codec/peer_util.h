//===-- tests/codec/peer_util.h - Data made by other tools -------*- C++ -*-===//
//
// The decoder and AES tests make their reference data at run time with the
// tools of scripts/packages.txt (bzip2, xz, zstd, 7z, bsdtar, python3), in a
// temporary folder of their own.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <random>
#include <string>

#include "inflate_test_util.h"

namespace arc::test {

/// Runs a shell command inside `dir` with its output discarded; its exit status.
inline int RunIn(const TempDir& dir, const std::string& command) {
  const std::string line = "cd '" + dir.path().string() + "' && ( " + command + " ) >/dev/null 2>&1";
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// True when `tool` is on the PATH.
inline bool Have(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

/// Text-like bytes, compressible but not trivially.
inline Bytes TextSample(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"ledger ", "invoice ", "account ", "balance ",
                                       "2024-03-01 ", "total ", "credit ", "debit\n"};
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size);
  while (out.size() < size) {
    for (const char* c = kWords[rng() % 8]; *c && out.size() < size; ++c) out.push_back(static_cast<uint8_t>(*c));
    if (rng() % 3 == 0 && out.size() < size) out.push_back(static_cast<uint8_t>(rng()));
  }
  return out;
}

}  // namespace arc::test
