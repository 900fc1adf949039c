//===-- arc/codec/crc.h - CRC-32 and CRC-16 registers -----------*- C++ -*-===//
//
// The routines only update a register the caller owns; they neither set the
// initial value nor invert the result:
//
//   kind    selector  initial      final value
//   CRC-32  32        0xFFFFFFFF   register ^ 0xFFFFFFFF
//   CRC-16  16        0            the register itself
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

namespace arc {

extern const uint32_t kCrc32Table[256];
extern const uint16_t kCrc16Table[256];

constexpr uint32_t kCrc32Init = 0xFFFFFFFFu;
constexpr uint8_t kCrcKind16 = 16;
constexpr uint8_t kCrcKind32 = 32;

/// One byte into a CRC-32 register (also the key update of the traditional cipher).
inline uint32_t Crc32Byte(uint8_t byte, uint32_t crc) {
  return kCrc32Table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

/// Feeds `length` bytes into a CRC-32 register; length <= 0 changes nothing.
void Crc32Update(const void* data, int32_t length, uint32_t& crc);

/// Feeds `length` bytes into a CRC-16 register; length <= 0 changes nothing.
void Crc16Update(const void* data, int32_t length, uint32_t& crc);

}  // namespace arc
