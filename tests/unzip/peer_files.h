//===-- tests/unzip/peer_files.h - Files for and from peer tools ---*- C++ -*-===//
//
// Tests that exchange archives with other ZIP tools make their files at run
// time in a temporary folder of their own (common/test_temp_dir.h).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "common/test_peers.h"
#include "common/test_temp_dir.h"

namespace arc::test {

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace arc::test
