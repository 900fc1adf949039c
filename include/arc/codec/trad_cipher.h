//===-- arc/codec/trad_cipher.h - Traditional ZIP stream cipher --*- C++ -*-===//
//
// The traditional ZIP cipher: three 32-bit key words stepped by every plain
// byte, and a key-stream byte drawn from the third word. An encrypted entry's
// data starts with a 12-byte encryption header; deciphering it with the right
// password leaves a known check byte in its last position and the keys ready
// for the data that follows.
//
// Each component owns its TradCipher: there is no library-wide key state.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include <arc/codec/crc.h>

namespace arc {

/// Length of the encryption header in front of an encrypted entry's data.
inline constexpr size_t kEncryptionHeaderLen = 12;
/// Number of random bytes that open the encryption header.
inline constexpr size_t kEncryptionRandomLen = 10;

/// The three key words.
struct TradKeys {
  uint32_t key0;
  uint32_t key1;
  uint32_t key2;
  friend bool operator==(const TradKeys&, const TradKeys&) = default;
};

/// Key words before any password byte has been fed.
inline constexpr TradKeys kTradInitialKeys{0x12345678u, 0x23456789u, 0x34567890u};

class TradCipher {
 public:
  TradCipher() = default;
  explicit TradCipher(TradKeys keys) : keys_(keys) {}

  TradKeys Keys() const { return keys_; }
  void SetKeys(TradKeys keys) { keys_ = keys; }

  /// Steps the key words with one plain byte.
  void UpdateKeys(uint8_t plain) {
    keys_.key0 = Crc32Byte(plain, keys_.key0);
    keys_.key1 = (keys_.key1 + (keys_.key0 & 0xFF)) * 134775813u + 1;
    keys_.key2 = Crc32Byte(static_cast<uint8_t>(keys_.key1 >> 24), keys_.key2);
  }

  /// The byte the next plain byte is XORed with.
  uint8_t KeyStreamByte() const {
    uint32_t t = (keys_.key2 & 0xFFFF) | 2;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }

  uint8_t DecipherByte(uint8_t cipher) {
    uint8_t plain = cipher ^ KeyStreamByte();
    UpdateKeys(plain);
    return plain;
  }

  uint8_t EncipherByte(uint8_t plain) {
    uint8_t cipher = plain ^ KeyStreamByte();
    UpdateKeys(plain);
    return cipher;
  }

  /// Deciphers `data` in place, continuing the key stream.
  void Decipher(std::span<uint8_t> data);
  /// Enciphers `data` in place, continuing the key stream.
  void Encipher(std::span<uint8_t> data);

  /// Starts the keys from their initial words and feeds the password's bytes.
  /// Only the first (length mod 256) bytes are fed: the length is kept in one
  /// byte, so a password of 256 bytes feeds none. The state after feeding is
  /// saved (SavedKeys). An empty password is not fed and yields false.
  bool FeedPassword(std::string_view password);

  /// The key state taken right after the last FeedPassword.
  TradKeys SavedKeys() const { return saved_; }

  /// True when `password` deciphers the stored encryption header to
  /// `checkByte` in its last position (the entry's PasswordCheckByte, see
  /// the ZIP record layout). The stored bytes are not changed. On success the
  /// keys stand ready to decipher the data that follows the header.
  bool VerifyPassword(std::string_view password,
                      std::span<const uint8_t, kEncryptionHeaderLen> storedHeader,
                      uint8_t checkByte);

  /// Builds the enciphered encryption header of a new entry: `random` bytes,
  /// then bits 16..23 and 24..31 of the entry's CRC-32, enciphered after the
  /// password has been fed. The keys stand ready for the entry's data.
  /// False (and nothing written) for an empty password.
  bool MakeEncryptionHeader(std::string_view password, uint32_t crc32,
                            std::span<const uint8_t, kEncryptionRandomLen> random,
                            std::span<uint8_t, kEncryptionHeaderLen> out);

  /// As above, with the random bytes drawn from the system's random device.
  bool MakeEncryptionHeader(std::string_view password, uint32_t crc32,
                            std::span<uint8_t, kEncryptionHeaderLen> out);

 private:
  TradKeys keys_ = kTradInitialKeys;
  TradKeys saved_ = kTradInitialKeys;
};

}  // namespace arc
