//===-- tests/legacy/decode_harness.h - Runs a legacy decoder over memory -*- C++ -*-===//
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "unzip/legacy/legacy_io.h"

namespace arc::test {

/// What one decoder run handed to the reader.
struct DecodeRun {
  int32_t result = 0;
  std::vector<uint8_t> output;
  std::vector<std::pair<int32_t, LegacySeverity>> errors;
  std::vector<std::pair<uint32_t, uint64_t>> progress;  // (block size, written)
  uint64_t requested = 0;                               // compressed bytes asked for
};

/// Decodes `data` with method/flags; the source hands out at most `chunk`
/// bytes per call (a small chunk puts block ends everywhere).
DecodeRun Decode(uint16_t method, uint16_t flags, const std::vector<uint8_t>& data,
                 uint64_t uncompressedSize,
                 uint32_t chunk = std::numeric_limits<uint32_t>::max());

/// A LegacyIo reading `data` and appending to `run`; tests adjust it further.
LegacyIo MemoryIo(const std::vector<uint8_t>& data, uint64_t uncompressedSize, DecodeRun& run,
                  uint32_t chunk = std::numeric_limits<uint32_t>::max());

/// The text as bytes, for comparing decoder output.
inline std::vector<uint8_t> Bytes(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

/// Standard CRC-32 of the bytes.
uint32_t Crc32Of(const std::vector<uint8_t>& bytes);

}  // namespace arc::test
