//===-- codec/secure_wipe.cpp - Wiping secrets from memory ----------------===//
#include "codec/secure_wipe.h"

#include <openssl/crypto.h>

namespace arc {

void SecureWipe(void* data, size_t size) {
  if (data != nullptr && size > 0) OPENSSL_cleanse(data, size);
}

void SecureWipe(std::string& secret) {
  // Up to the capacity: bytes of an earlier, longer value may still lie there.
  secret.resize(secret.capacity());
  SecureWipe(secret.data(), secret.size());
  secret.clear();
}

}  // namespace arc
