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

#include "common/test_peers.h"
#include "inflate_test_util.h"

namespace arc::test {

/// Text-like bytes, compressible but not trivially.
inline Bytes TextSample(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"ledger ",     "invoice ", "account ", "balance ",
                                       "2024-03-01 ", "total ",   "credit ",  "debit\n"};
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size);
  while (out.size() < size) {
    for (const char* c = kWords[rng() % 8]; *c && out.size() < size; ++c)
      out.push_back(static_cast<uint8_t>(*c));
    if (rng() % 3 == 0 && out.size() < size) out.push_back(static_cast<uint8_t>(rng()));
  }
  return out;
}

}  // namespace arc::test
