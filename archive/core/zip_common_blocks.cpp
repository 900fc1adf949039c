//===-- core/zip_common_blocks.cpp - Block reader and writers ------------===//
#include <cerrno>
#include <span>

#include <arc/codec/crc.h>
#include <arc/codec/trad_cipher.h>
#include <arc/core/zip_common.h>
#include "support/stream32.h"

namespace arc {

int32_t TZipCommon::ReadBlock(TStream32& in, uint8_t* buffer, int32_t count, bool decipher,
                              bool updateCrc) {
  if (count <= 0) return 0;
  const int32_t got = in.Read(buffer, count);
  if (got <= 0) return 0;  // -1 (no reading) is an error like any other
  if (decipher) DecipherBlock(buffer, got);
  if (updateCrc) Crc32Update(buffer, got, runningCrc_);
  return got;
}

int32_t TZipCommon::WriteBlock(TStream32& out, uint8_t* buffer, int32_t count, BlockCipher cipher) {
  if (count <= 0) return 0;
  if (cipher == BlockCipher::Decipher) DecipherBlock(buffer, count);
  Crc32Update(buffer, count, runningCrc_);
  if (cipher == BlockCipher::Encipher) {
    cipher_->Encipher(std::span<uint8_t>(buffer, static_cast<size_t>(count)));
  }
  return WriteRoutine(out, buffer, count);
}

void TZipCommon::DecipherBlock(uint8_t* buffer, int32_t count) {
  if (count <= 0) return;
  cipher_->Decipher(std::span<uint8_t>(buffer, static_cast<size_t>(count)));
}

int32_t TZipCommon::WriteRoutine(TStream32& out, const uint8_t* buffer, int32_t count) {
  if (count <= 0) return 0;
  errno = 0;
  const int32_t written = out.Write(buffer, count);
  const int errorNumber = errno;  // kept before anything else can touch it
  if (written == count) return written;
  ReportShortWrite(errorNumber);
  return written < 0 ? 0 : written;
}

void TZipCommon::MoveIntoPlace(TStream32& /*stream*/, const std::string& /*archive*/,
                               int64_t /*size*/, bool /*sameDrive*/,
                               const std::string& /*tempFileName*/) {}

}  // namespace arc
