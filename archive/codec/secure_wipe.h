//===-- codec/secure_wipe.h - Wiping secrets from memory ---------*- C++ -*-===//
//
// Passwords and keys are overwritten before their memory is given back, in a
// way the compiler may not drop as a dead store (OpenSSL's cleanse).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <string>

namespace arc {

/// Overwrites `size` bytes at `data` with zeros.
void SecureWipe(void* data, size_t size);

/// Overwrites the string's bytes (its whole capacity), then empties it.
void SecureWipe(std::string& secret);

}  // namespace arc
