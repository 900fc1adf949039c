//===-- arc/codec/aes_crypt.h - AES encryption of ZIP entries ---*- C++ -*-===//
//
// Entries encrypted with AES carry method 99 in their headers and an extra
// block 0x9901 (arc/codec/aes_extra.h) naming the key strength and the real
// method. Their data are laid out as
//
//   salt (8, 12 or 16 bytes) | verifier (2) | encrypted data | code (10)
//
// and the compressed size counts all four. From the password and the salt,
// PBKDF2 with HMAC-SHA1 and 1,000 iterations derives, in this order, the AES
// key, the key of the authentication code (both as long as the AES key) and
// the 2-byte password verifier. The data are encrypted in counter mode: the
// key stream is AES of successive 16-byte blocks holding a 64-bit counter,
// little-endian, that starts at 1, followed by eight zero bytes. The code is
// HMAC-SHA1 over the encrypted data, cut to its first 10 bytes. AES, SHA-1,
// HMAC and PBKDF2 are OpenSSL's (libcrypto); counters and XOR are ours.
//
// Reading (per entry, where the traditional 12-byte header is read today):
//
//   AesCipher aes;
//   read AesHeaderLen(strength) bytes;                 // salt | verifier
//   password search: aes.VerifyPassword(candidate, strength, header)
//     -- false is a wrong password, exactly as a failed check byte
//   aes.SetDataLength(compressedSize - AesOverhead(strength));
//   stream.Control.Encrypted = true;                   // decompress adapter
//   stream.Control.Cipher = [&](uint8_t* p, uint32_t n) { aes.Decrypt({p, n}); };
//   (stored entries: aes.Decrypt on each block read, as the block writer
//    deciphers today)
//   ... decode and write as usual ...
//   then: seek to dataStart + AesHeaderLen + aes.Processed(), pass the
//   aes.Remaining() bytes a decoder did not read through aes.Authenticate,
//   read the 10-byte code, and aes.CheckCode(code): false is damaged data
//   (the authentication error). The CRC is checked for AE-1 entries; AE-2
//   entries store 0 and are judged by the code alone.
//
// The adapter reads ahead of the entry's end; Decrypt and Authenticate take
// only the first Remaining() bytes of what they are given and leave the rest
// as it is, so the code covers exactly the entry's encrypted data.
//
// Writing (per entry, in place of the traditional header):
//
//   AesCipher aes;
//   aes.StartEncryption(password, AesStrength::Aes256, header);  // OS salt
//   write header (AesHeaderLen bytes) after the local header;
//   adapter.Control.Encrypted = true; adapter.Control.CrcOnTheWay = true;
//   adapter.Control.Cipher = [&](uint8_t* p, uint32_t n) { aes.Encrypt({p, n}); };
//   ... compress or store as usual ...
//   write aes.FinishCode() (10 bytes); if aes.Failed(), the entry failed.
//   Headers: method 99, flag bit 0, the 0x9901 block with the real method,
//   CRC per AesVendorVersionFor(size) (AE-2 stores 0), compressed size
//   including header and code.
//
// No cipher state is shared: every entry has its own AesCipher, and the
// destructor wipes every key, key stream and password copy it held.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace arc {

/// The strength byte of the 0x9901 block.
enum class AesStrength : uint8_t {
  Aes128 = 1,
  Aes192 = 2,
  Aes256 = 3,
};

inline constexpr bool IsAesStrength(uint8_t value) { return value >= 1 && value <= 3; }
/// 16, 24 or 32 bytes.
inline constexpr size_t AesKeyLen(AesStrength s) { return 8 + 8 * static_cast<size_t>(s); }
/// 8, 12 or 16 bytes: half the key.
inline constexpr size_t AesSaltLen(AesStrength s) { return AesKeyLen(s) / 2; }

inline constexpr size_t kAesVerifierLen = 2;
inline constexpr size_t kAesCodeLen = 10;
inline constexpr size_t kAesMaxSaltLen = 16;
inline constexpr uint32_t kAesIterations = 1000;

/// Salt and verifier: what stands in front of the encrypted data.
inline constexpr size_t AesHeaderLen(AesStrength s) { return AesSaltLen(s) + kAesVerifierLen; }
/// What the format adds to an entry's compressed size.
inline constexpr size_t AesOverhead(AesStrength s) { return AesHeaderLen(s) + kAesCodeLen; }

/// The vendor version of the 0x9901 block: 1 (AE-1) stores the CRC, 2 (AE-2)
/// stores 0 so that the CRC of a tiny entry cannot give its content away.
inline constexpr uint16_t kAesVendorAe1 = 1;
inline constexpr uint16_t kAesVendorAe2 = 2;
/// Entries shorter than this are written as AE-2.
inline constexpr uint64_t kAesSmallEntry = 20;
inline constexpr uint16_t AesVendorVersionFor(uint64_t uncompressedSize) {
  return uncompressedSize < kAesSmallEntry ? kAesVendorAe2 : kAesVendorAe1;
}

/// Fills `out` from the operating system's random source; false when it fails.
bool SystemRandom(std::span<uint8_t> out);

/// The keys of one entry and its running counter and code.
class AesCipher {
 public:
  AesCipher();
  ~AesCipher();
  AesCipher(const AesCipher&) = delete;
  AesCipher& operator=(const AesCipher&) = delete;

  /// Derives the keys from `password` and the stored salt and compares the
  /// verifier. True: the cipher stands ready to decrypt the entry's data.
  /// False for an empty password, a header of the wrong length, a different
  /// verifier or a failed library call.
  bool VerifyPassword(std::string_view password, AesStrength strength,
                      std::span<const uint8_t> header);

  /// Draws a salt from the operating system, derives the keys and writes
  /// salt | verifier into `header` (AesHeaderLen bytes). False, and the
  /// cipher unusable, for an empty password, a wrong header length or a
  /// failure of the random source or the library.
  bool StartEncryption(std::string_view password, AesStrength strength, std::span<uint8_t> header);

  /// As StartEncryption, with the salt given (AesSaltLen bytes).
  bool StartWithSalt(std::string_view password, AesStrength strength, std::span<const uint8_t> salt,
                     std::span<uint8_t> header);

  /// Reading: the entry's encrypted bytes, after which Decrypt and
  /// Authenticate take nothing more. Unbounded until set.
  void SetDataLength(uint64_t length);

  /// Encrypts in place, then adds the result to the code.
  void Encrypt(std::span<uint8_t> data);
  /// Adds the first min(size, Remaining()) bytes to the code, then decrypts
  /// them in place; the rest is left untouched. Returns how many it took.
  size_t Decrypt(std::span<uint8_t> data);
  /// Adds encrypted bytes to the code without decrypting them, with the same
  /// bound as Decrypt.
  size_t Authenticate(std::span<const uint8_t> data);

  /// Encrypted bytes taken so far.
  uint64_t Processed() const { return processed_; }
  /// Bytes still to take before the data length is reached.
  uint64_t Remaining() const { return length_ - processed_; }

  /// Ends the code over everything taken and returns its 10 bytes (the same
  /// bytes again on later calls).
  std::array<uint8_t, kAesCodeLen> FinishCode();
  /// True when the stored code equals FinishCode() (compared in constant
  /// time) and no library call failed.
  bool CheckCode(std::span<const uint8_t> stored);

  /// A library call failed after the start: the output is unusable. Encrypt
  /// then zeroes what it was given rather than let plain bytes through.
  bool Failed() const { return failed_; }

  /// Forgets the keys and wipes them; the cipher must be started again.
  void Clear();

 private:
  struct Engine;  // the library's contexts

  bool Start(std::string_view password, AesStrength strength, std::span<const uint8_t> salt,
             std::span<uint8_t, kAesVerifierLen> verifier);
  void ApplyKeyStream(uint8_t* data, size_t count);
  void AddToCode(const uint8_t* data, size_t count);
  size_t Bounded(size_t count) const;

  Engine* engine_ = nullptr;
  uint64_t counter_ = 0;  // last counter value turned into key stream
  uint64_t processed_ = 0;
  uint64_t length_ = UINT64_MAX;
  size_t streamPos_ = 0;  // next unused byte of the key-stream buffer
  size_t streamEnd_ = 0;  // bytes of key stream in the buffer
  bool started_ = false;
  bool finished_ = false;
  bool failed_ = false;
  std::array<uint8_t, kAesCodeLen> code_{};
};

}  // namespace arc
