//===-- tests/streams/stream_test_util.h - Helpers of the stream tests -*- C++ -*-===//
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/stream_memory.h"

namespace arc::test {

/// Text-like bytes: compressible, with variety.
inline std::vector<uint8_t> Sample(size_t size, uint32_t seed = 11) {
  static const char* const kWords[] = {"ledger ",     "invoice ", "account ", "balance ",
                                       "2024-03-01 ", "total ",   "credit ",  "debit\n"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  out.reserve(size);
  while (out.size() < size) {
    for (const char* c = kWords[rng() % 8]; *c && out.size() < size; ++c)
      out.push_back(static_cast<uint8_t>(*c));
    if (rng() % 3 == 0 && out.size() < size) out.push_back(static_cast<uint8_t>(rng()));
  }
  return out;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

/// A memory stream holding `bytes`, positioned at 0.
inline void Fill(TMemoryStream32& m, const std::vector<uint8_t>& bytes) {
  m.Clear();
  m.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  m.SetPosition(0);
}

inline std::vector<uint8_t> Contents(TMemoryStream32& m) {
  return {m.Memory(), m.Memory() + m.Size()};
}

/// A memory stream that remembers the size of every write.
struct RecordingStream : TMemoryStream32 {
  std::vector<int32_t> writes;
  int32_t Write(const void* buffer, int32_t count) override {
    writes.push_back(count);
    return TMemoryStream32::Write(buffer, count);
  }
};

}  // namespace arc::test
