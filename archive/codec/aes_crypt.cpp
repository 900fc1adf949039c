//===-- codec/aes_crypt.cpp - AES entries through libcrypto ---------------===//
#include <arc/codec/aes_crypt.h>

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <sys/random.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#include "codec/secure_wipe.h"

namespace arc {
namespace {

constexpr size_t kBlockLen = 16;
/// Key stream made per library call: enough to keep the call overhead small
/// for the adapters' 32 and 64 KiB blocks, small enough to stay in cache.
constexpr size_t kBatchBlocks = 256;
constexpr size_t kBatchLen = kBatchBlocks * kBlockLen;
constexpr size_t kSha1Len = 20;
constexpr size_t kMaxDerivedLen = size_t{2} * 32 + kAesVerifierLen;

const EVP_CIPHER* BlockCipher(AesStrength strength) {
  switch (strength) {
    case AesStrength::Aes128:
      return EVP_aes_128_ecb();
    case AesStrength::Aes192:
      return EVP_aes_192_ecb();
    case AesStrength::Aes256:
      return EVP_aes_256_ecb();
  }
  return nullptr;
}

}  // namespace

bool SystemRandom(std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = getrandom(out.data() + done, out.size() - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

struct AesCipher::Engine {
  EVP_CIPHER_CTX* cipher = nullptr;
  EVP_MAC* mac = nullptr;
  EVP_MAC_CTX* code = nullptr;
  uint8_t counters[kBatchLen] = {};  // counter blocks: 8 bytes of counter, 8 zero bytes
  uint8_t stream[kBatchLen] = {};    // key stream made from them

  ~Engine() {
    EVP_CIPHER_CTX_free(cipher);  // both wipe their keys
    EVP_MAC_CTX_free(code);
    EVP_MAC_free(mac);
    SecureWipe(counters, sizeof counters);
    SecureWipe(stream, sizeof stream);
  }
};

AesCipher::AesCipher() = default;

AesCipher::~AesCipher() { Clear(); }

void AesCipher::Clear() {
  delete engine_;
  engine_ = nullptr;
  counter_ = 0;
  processed_ = 0;
  length_ = UINT64_MAX;
  streamPos_ = 0;
  streamEnd_ = 0;
  started_ = false;
  finished_ = false;
  failed_ = false;
  SecureWipe(code_.data(), code_.size());
}

bool AesCipher::Start(std::string_view password, AesStrength strength,
                      std::span<const uint8_t> salt, std::span<uint8_t, kAesVerifierLen> verifier) {
  Clear();
  if (!IsAesStrength(static_cast<uint8_t>(strength))) return false;
  if (password.empty() || password.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
    return false;
  if (salt.size() != AesSaltLen(strength)) return false;
  const size_t keyLen = AesKeyLen(strength);
  const size_t derivedLen = 2 * keyLen + kAesVerifierLen;
  uint8_t derived[kMaxDerivedLen];
  engine_ = new Engine;
  bool ok = PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt.data(),
                                   static_cast<int>(salt.size()), kAesIterations,
                                   static_cast<int>(derivedLen), derived) == 1;
  if (ok) {
    engine_->cipher = EVP_CIPHER_CTX_new();
    ok = engine_->cipher != nullptr &&
         EVP_EncryptInit_ex(engine_->cipher, BlockCipher(strength), nullptr, derived, nullptr) ==
             1 &&
         EVP_CIPHER_CTX_set_padding(engine_->cipher, 0) == 1;
  }
  if (ok) {
    engine_->mac = EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr);
    engine_->code = engine_->mac != nullptr ? EVP_MAC_CTX_new(engine_->mac) : nullptr;
    char digest[] = OSSL_DIGEST_NAME_SHA1;
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    ok = engine_->code != nullptr &&
         EVP_MAC_init(engine_->code, derived + keyLen, keyLen, params) == 1;
  }
  if (ok) std::memcpy(verifier.data(), derived + 2 * keyLen, kAesVerifierLen);
  SecureWipe(derived, sizeof derived);
  if (!ok) {
    Clear();
    return false;
  }
  started_ = true;
  return true;
}

bool AesCipher::VerifyPassword(std::string_view password, AesStrength strength,
                               std::span<const uint8_t> header) {
  if (!IsAesStrength(static_cast<uint8_t>(strength)) || header.size() != AesHeaderLen(strength))
    return false;
  const size_t saltLen = AesSaltLen(strength);
  std::array<uint8_t, kAesVerifierLen> verifier{};
  if (!Start(password, strength, header.first(saltLen), verifier)) return false;
  if (verifier[0] != header[saltLen] || verifier[1] != header[saltLen + 1]) {
    Clear();
    return false;
  }
  return true;
}

bool AesCipher::StartEncryption(std::string_view password, AesStrength strength,
                                std::span<uint8_t> header) {
  Clear();
  if (!IsAesStrength(static_cast<uint8_t>(strength))) return false;
  std::array<uint8_t, kAesMaxSaltLen> salt{};
  const std::span<uint8_t> used = std::span(salt).first(AesSaltLen(strength));
  if (!SystemRandom(used)) return false;
  return StartWithSalt(password, strength, used, header);
}

bool AesCipher::StartWithSalt(std::string_view password, AesStrength strength,
                              std::span<const uint8_t> salt, std::span<uint8_t> header) {
  if (!IsAesStrength(static_cast<uint8_t>(strength)) || header.size() != AesHeaderLen(strength))
    return false;
  std::array<uint8_t, kAesVerifierLen> verifier{};
  if (!Start(password, strength, salt, verifier)) return false;
  std::copy(salt.begin(), salt.end(), header.begin());
  std::copy(verifier.begin(), verifier.end(), header.begin() + static_cast<ptrdiff_t>(salt.size()));
  return true;
}

void AesCipher::SetDataLength(uint64_t length) { length_ = std::max(length, processed_); }

size_t AesCipher::Bounded(size_t count) const {
  return static_cast<size_t>(std::min<uint64_t>(count, Remaining()));
}

void AesCipher::ApplyKeyStream(uint8_t* data, size_t count) {
  while (count > 0) {
    if (streamPos_ == streamEnd_) {
      const size_t blocks = std::min(kBatchBlocks, (count + kBlockLen - 1) / kBlockLen);
      for (size_t i = 0; i < blocks; ++i) {
        uint64_t value = ++counter_;
        uint8_t* block = engine_->counters + i * kBlockLen;
        if constexpr (std::endian::native == std::endian::little) {
          std::memcpy(block, &value, 8);
        } else {
          for (int b = 0; b < 8; ++b, value >>= 8) block[b] = static_cast<uint8_t>(value);
        }
      }
      int made = 0;
      const int want = static_cast<int>(blocks * kBlockLen);
      if (EVP_EncryptUpdate(engine_->cipher, engine_->stream, &made, engine_->counters, want) !=
              1 ||
          made != want) {
        failed_ = true;
        std::memset(data, 0, count);  // never let plain bytes through as if enciphered
        return;
      }
      streamPos_ = 0;
      streamEnd_ = static_cast<size_t>(want);
    }
    const size_t n = std::min(count, streamEnd_ - streamPos_);
    const uint8_t* key = engine_->stream + streamPos_;
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
      uint64_t a[4];
      uint64_t k[4];
      std::memcpy(a, data + i, 32);
      std::memcpy(k, key + i, 32);
      for (int w = 0; w < 4; ++w) a[w] ^= k[w];
      std::memcpy(data + i, a, 32);
    }
    for (; i + 8 <= n; i += 8) {
      uint64_t a;
      uint64_t k;
      std::memcpy(&a, data + i, 8);
      std::memcpy(&k, key + i, 8);
      a ^= k;
      std::memcpy(data + i, &a, 8);
    }
    for (; i < n; ++i) data[i] ^= key[i];
    streamPos_ += n;
    data += n;
    count -= n;
  }
}

void AesCipher::AddToCode(const uint8_t* data, size_t count) {
  if (count > 0 && EVP_MAC_update(engine_->code, data, count) != 1) failed_ = true;
}

void AesCipher::Encrypt(std::span<uint8_t> data) {
  if (!started_ || finished_ || failed_) {
    failed_ = true;
    std::memset(data.data(), 0, data.size());
    return;
  }
  ApplyKeyStream(data.data(), data.size());
  AddToCode(data.data(), data.size());
  processed_ += data.size();
}

size_t AesCipher::Decrypt(std::span<uint8_t> data) {
  const size_t n = Bounded(data.size());
  if (!started_ || finished_ || failed_) {
    failed_ = true;
    return n;
  }
  AddToCode(data.data(), n);
  ApplyKeyStream(data.data(), n);
  processed_ += n;
  return n;
}

size_t AesCipher::Authenticate(std::span<const uint8_t> data) {
  const size_t n = Bounded(data.size());
  if (!started_ || finished_ || failed_) {
    failed_ = true;
    return n;
  }
  AddToCode(data.data(), n);
  processed_ += n;
  return n;
}

std::array<uint8_t, kAesCodeLen> AesCipher::FinishCode() {
  if (!finished_ && started_ && !failed_) {
    uint8_t full[kSha1Len];
    size_t made = 0;
    if (EVP_MAC_final(engine_->code, full, &made, sizeof full) == 1 && made == kSha1Len) {
      std::memcpy(code_.data(), full, kAesCodeLen);
    } else {
      failed_ = true;
    }
    SecureWipe(full, sizeof full);
  }
  finished_ = true;
  return code_;
}

bool AesCipher::CheckCode(std::span<const uint8_t> stored) {
  if (stored.size() != kAesCodeLen || !started_) return false;
  const std::array<uint8_t, kAesCodeLen> code = FinishCode();
  return !failed_ && CRYPTO_memcmp(code.data(), stored.data(), kAesCodeLen) == 0;
}

}  // namespace arc
