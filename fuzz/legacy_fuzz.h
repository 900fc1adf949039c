//===-- fuzz/legacy_fuzz.h - Shared driver of the legacy decoder fuzz targets -*- C++ -*-===//
//
// Input layout: byte 0 selects the decoder's parameter (flags or factor),
// byte 1 the source's block size and whether progress sets the cancel flag,
// bytes 2-3 the declared uncompressed size in 4-byte units (up to 256 KiB,
// to keep each run short); the rest is the compressed data.
//
// Besides surviving every input, a decoder must keep its contract: it never
// asks for more than the compressed size, never produces more than the
// declared size (reduce, implode), and reports each failure exactly once
// with the code it returns.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <arc/support/error_codes.h>
#include "unzip/legacy/legacy_io.h"

namespace arc::fuzz {

inline void Check(bool ok) {
  if (!ok) __builtin_trap();
}

inline void RunLegacy(uint16_t method, uint16_t flags, bool limitedBySize, const uint8_t* data,
                      size_t size) {
  if (size < 4) return;
  const uint32_t chunk = (data[1] & 0x7F) == 0 ? 0xFFFFFFFFu : (data[1] & 0x7F);
  const bool cancelOnProgress = (data[1] & 0x80) != 0;
  const uint64_t declared = (uint64_t{data[2]} | uint64_t{data[3]} << 8) * 4;
  const uint8_t* input = data + 4;
  const size_t inputSize = size - 4;

  size_t offset = 0;
  uint64_t written = 0;
  int reports = 0;
  int32_t lastCode = 0;
  bool cancel = false;

  LegacyIo io;
  io.readBlock = [&](uint8_t* buffer, uint32_t n) -> uint32_t {
    Check(n <= inputSize - offset);  // never past the entry's compressed bytes
    size_t take = n;
    if (take > chunk) take = chunk;
    if (take > inputSize - offset) take = inputSize - offset;
    std::memcpy(buffer, input + offset, take);
    offset += take;
    return static_cast<uint32_t>(take);
  };
  io.writeBlock = [&](const uint8_t*, uint32_t n) {
    written += n;
    return true;
  };
  io.onProgress = [&](uint32_t, uint64_t total) {
    Check(total == written);
    if (cancelOnProgress) cancel = true;
  };
  io.onError = [&](int32_t code, LegacySeverity) {
    ++reports;
    lastCode = code;
  };
  io.cancel = &cancel;
  io.compressedSize = inputSize;
  io.uncompressedSize = declared;

  int32_t result = DecodeLegacy(method, flags, io);

  if (limitedBySize) Check(written <= declared);
  switch (result) {
    case 0:
    case ec::UserCanceled:
      Check(reports == 0);
      break;
    case ec::BadBlock:
    case ec::AmbiguousShannonFano:
    case ec::StackOverflow:
      Check(reports == 1 && lastCode == result);
      break;
    default:
      Check(false);
  }
}

}  // namespace arc::fuzz
