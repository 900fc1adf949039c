//===-- codec/trad_cipher.cpp - Traditional ZIP stream cipher ---*- C++ -*-===//
#include <arc/codec/trad_cipher.h>

#include <algorithm>
#include <random>

namespace arc {

void TradCipher::Decipher(std::span<uint8_t> data) {
  for (uint8_t& b : data) b = DecipherByte(b);
}

void TradCipher::Encipher(std::span<uint8_t> data) {
  for (uint8_t& b : data) b = EncipherByte(b);
}

bool TradCipher::FeedPassword(std::string_view password) {
  if (password.empty()) return false;
  keys_ = kTradInitialKeys;
  // The length travels as one byte, so only length mod 256 bytes are fed.
  // Archives written with a longer password depend on this.
  size_t fed = password.size() % 256;
  for (size_t i = 0; i < fed; ++i) UpdateKeys(static_cast<uint8_t>(password[i]));
  saved_ = keys_;
  return true;
}

bool TradCipher::VerifyPassword(std::string_view password,
                                std::span<const uint8_t, kEncryptionHeaderLen> storedHeader,
                                uint8_t checkByte) {
  if (!FeedPassword(password)) return false;
  // Work on a copy so that every attempt starts from the stored bytes.
  std::array<uint8_t, kEncryptionHeaderLen> header;
  std::copy(storedHeader.begin(), storedHeader.end(), header.begin());
  Decipher(header);
  return header[kEncryptionHeaderLen - 1] == checkByte;
}

bool TradCipher::MakeEncryptionHeader(std::string_view password, uint32_t crc32,
                                      std::span<const uint8_t, kEncryptionRandomLen> random,
                                      std::span<uint8_t, kEncryptionHeaderLen> out) {
  if (!FeedPassword(password)) return false;
  std::copy(random.begin(), random.end(), out.begin());
  out[10] = static_cast<uint8_t>(crc32 >> 16);
  out[11] = static_cast<uint8_t>(crc32 >> 24);
  Encipher(out);
  return true;
}

bool TradCipher::MakeEncryptionHeader(std::string_view password, uint32_t crc32,
                                      std::span<uint8_t, kEncryptionHeaderLen> out) {
  // The random bytes only have to differ between entries; the reader never
  // looks at them.
  std::random_device device;
  std::uniform_int_distribution<int> byte(0, 255);
  std::array<uint8_t, kEncryptionRandomLen> random;
  for (uint8_t& b : random) b = static_cast<uint8_t>(byte(device));
  return MakeEncryptionHeader(password, crc32, random, out);
}

}  // namespace arc
