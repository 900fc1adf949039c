//===-- tests/legacy/legacy_test_util.h - Bit writer and decoder harness -*- C++ -*-===//
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include <arc/codec/crc.h>
#include "unzip/legacy/legacy_io.h"

namespace arc::test {

/// Builds streams bit by bit: fields least significant bit first, as the
/// decoders read them; Shannon-Fano codes most significant bit first.
class BitWriter {
 public:
  BitWriter& Put(uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i) PutBit((value >> i) & 1);
    return *this;
  }
  BitWriter& PutCode(uint32_t code, int bits) {
    for (int i = bits - 1; i >= 0; --i) PutBit((code >> i) & 1);
    return *this;
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  void PutBit(uint32_t bit) {
    if (used_ == 0) bytes_.push_back(0);
    bytes_.back() |= static_cast<uint8_t>(bit << used_);
    used_ = (used_ + 1) & 7;
  }
  std::vector<uint8_t> bytes_;
  int used_ = 0;
};

/// What one decoder run handed to the reader.
struct DecodeRun {
  int32_t result = 0;
  std::vector<uint8_t> output;
  std::vector<std::pair<int32_t, LegacySeverity>> errors;
  std::vector<std::pair<uint32_t, uint64_t>> progress;  // (block size, written)
  uint64_t requested = 0;                               // compressed bytes asked for
};

/// A LegacyIo over `data` that records into `run`. The source hands out at
/// most `chunk` bytes per call and has bytes after the entry that must never
/// be asked for; the sink scribbles over each block once it has copied it,
/// as a block writer that enciphers in place would.
inline LegacyIo MemoryIo(const std::vector<uint8_t>& data, uint64_t size, DecodeRun& run,
                         uint32_t chunk = 0xFFFFFFFF) {
  auto source = std::make_shared<std::vector<uint8_t>>(data);
  source->insert(source->end(), 64, 0xFF);
  auto offset = std::make_shared<size_t>(0);
  LegacyIo io;
  io.readBlock = [source, offset, chunk, &run](uint8_t* buffer, uint32_t n) -> uint32_t {
    run.requested += n;
    size_t take = std::min<size_t>({n, chunk, source->size() - *offset});
    std::copy_n(source->begin() + static_cast<std::ptrdiff_t>(*offset), take, buffer);
    *offset += take;
    return static_cast<uint32_t>(take);
  };
  io.writeBlock = [&run](uint8_t* p, uint32_t n) {
    run.output.insert(run.output.end(), p, p + n);
    std::fill(p, p + n, uint8_t{0xEE});
    return true;
  };
  io.onProgress = [&run](uint32_t n, uint64_t written) { run.progress.emplace_back(n, written); };
  io.onError = [&run](int32_t code, LegacySeverity s) { run.errors.emplace_back(code, s); };
  io.compressedSize = data.size();
  io.uncompressedSize = size;
  return io;
}

inline DecodeRun Decode(uint16_t method, uint16_t flags, const std::vector<uint8_t>& data,
                        uint64_t size, uint32_t chunk = 0xFFFFFFFF) {
  DecodeRun run;
  LegacyIo io = MemoryIo(data, size, run, chunk);
  run.result = DecodeLegacy(method, flags, io);
  return run;
}

inline std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

inline uint32_t Crc32Of(const std::vector<uint8_t>& bytes) {
  uint32_t crc = kCrc32Init;
  Crc32Update(bytes.data(), static_cast<int32_t>(bytes.size()), crc);
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace arc::test
