//===-- arc/codec/aes_extra.h - The 0x9901 extra block of AES entries --*- C++ -*-===//
//
// An AES entry (method 99) names its key strength and its real compression
// method in an extra block, in its local header and its central entry alike:
//
//   offset  size  field
//   0       2     tag 0x9901
//   2       2     data size: 7
//   4       2     vendor version: 1 (AE-1, CRC stored) or 2 (AE-2, CRC 0)
//   6       2     vendor id: the two letters "AE"
//   8       1     strength: 1, 2, 3 for AES-128, -192, -256
//   9       2     the real compression method
//
// The reader finds the block with FindAesExtra on the extra field of the
// header it is reading and takes the real method from it; the writer appends
// BuildAesExtra's 11 bytes to both extra fields.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include <arc/codec/aes_crypt.h>

namespace arc {

inline constexpr uint16_t kMethodAes = 99;
inline constexpr uint16_t kAesExtraTag = 0x9901;
inline constexpr uint16_t kAesExtraDataLen = 7;
inline constexpr size_t kAesExtraLen = 4 + kAesExtraDataLen;  // with tag and size
/// "AE", as a little-endian 16-bit value.
inline constexpr uint16_t kAesVendorId = 0x4541;

struct AesExtra {
  uint16_t vendorVersion = kAesVendorAe1;
  AesStrength strength = AesStrength::Aes256;
  uint16_t method = 0;  ///< the real compression method
};

enum class AesExtraStatus : uint8_t {
  Absent,   ///< no 0x9901 block: not an AES entry the reader can take
  Found,    ///< a well-formed block, now in `out`
  Invalid,  ///< a 0x9901 block that is short, names another vendor, or an
            ///< unknown version or strength
};

/// Walks the blocks of an extra field for the first 0x9901 block. A block
/// whose size runs past the field ends the walk (its bytes are not read).
AesExtraStatus FindAesExtra(std::span<const uint8_t> extraField, AesExtra& out);

/// The whole block, tag and size included.
std::array<uint8_t, kAesExtraLen> BuildAesExtra(const AesExtra& extra);

}  // namespace arc
