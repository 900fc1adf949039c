//===-- tests/legacy/decode_harness.cpp - Runs a legacy decoder over memory -===//
#include "legacy/decode_harness.h"

#include <algorithm>
#include <memory>

#include "codec/crc.h"

namespace arc::test {

LegacyIo MemoryIo(const std::vector<uint8_t>& data, uint64_t uncompressedSize, DecodeRun& run,
                  uint32_t chunk) {
  auto offset = std::make_shared<size_t>(0);
  LegacyIo io;
  io.readBlock = [&data, &run, offset, chunk](uint8_t* buffer, uint32_t size) -> uint32_t {
    run.requested += size;
    size_t n = std::min<size_t>({size, chunk, data.size() - *offset});
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(*offset), n, buffer);
    *offset += n;
    return static_cast<uint32_t>(n);
  };
  io.writeBlock = [&run](const uint8_t* p, uint32_t n) {
    run.output.insert(run.output.end(), p, p + n);
    return true;
  };
  io.onProgress = [&run](uint32_t n, uint64_t written) { run.progress.emplace_back(n, written); };
  io.onError = [&run](int32_t code, LegacySeverity s) { run.errors.emplace_back(code, s); };
  io.compressedSize = data.size();
  io.uncompressedSize = uncompressedSize;
  return io;
}

DecodeRun Decode(uint16_t method, uint16_t flags, const std::vector<uint8_t>& data,
                 uint64_t uncompressedSize, uint32_t chunk) {
  DecodeRun run;
  LegacyIo io = MemoryIo(data, uncompressedSize, run, chunk);
  run.result = DecodeLegacy(method, flags, io);
  return run;
}

uint32_t Crc32Of(const std::vector<uint8_t>& bytes) {
  uint32_t crc = kCrc32Init;
  Crc32Update(bytes.data(), static_cast<int32_t>(bytes.size()), crc);
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace arc::test
