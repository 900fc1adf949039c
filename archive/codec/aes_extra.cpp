//===-- codec/aes_extra.cpp - The 0x9901 extra block of AES entries -------===//
#include <arc/codec/aes_extra.h>

namespace arc {
namespace {

uint16_t Get16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

AesExtraStatus FindAesExtra(std::span<const uint8_t> extraField, AesExtra& out) {
  size_t at = 0;
  while (extraField.size() - at >= 4) {
    const uint16_t tag = Get16(extraField, at);
    const uint16_t size = Get16(extraField, at + 2);
    at += 4;
    if (size > extraField.size() - at) break;
    const std::span<const uint8_t> data = extraField.subspan(at, size);
    at += size;
    if (tag != kAesExtraTag) continue;
    // Writers put exactly 7 bytes; a longer block is read for its first 7.
    if (size < kAesExtraDataLen) return AesExtraStatus::Invalid;
    const uint16_t version = Get16(data, 0);
    if (version != kAesVendorAe1 && version != kAesVendorAe2) return AesExtraStatus::Invalid;
    if (Get16(data, 2) != kAesVendorId) return AesExtraStatus::Invalid;
    if (!IsAesStrength(data[4])) return AesExtraStatus::Invalid;
    out.vendorVersion = version;
    out.strength = static_cast<AesStrength>(data[4]);
    out.method = Get16(data, 5);
    return AesExtraStatus::Found;
  }
  return AesExtraStatus::Absent;
}

std::array<uint8_t, kAesExtraLen> BuildAesExtra(const AesExtra& extra) {
  std::array<uint8_t, kAesExtraLen> b{};
  Put16(&b[0], kAesExtraTag);
  Put16(&b[2], kAesExtraDataLen);
  Put16(&b[4], extra.vendorVersion);
  Put16(&b[6], kAesVendorId);
  b[8] = static_cast<uint8_t>(extra.strength);
  Put16(&b[9], extra.method);
  return b;
}

}  // namespace arc
