//===-- unzip/password_search.cpp - Finding an entry's password -*- C++ -*-===//
#include "unzip/password_search.h"

#include <algorithm>

#include <arc/support/error_codes.h>
#include "codec/secure_wipe.h"
#include "unzip/zip_records.h"

namespace arc {

namespace {

// Puts `password` first in the list, dropping any other copy of it.
void MoveToFront(std::vector<std::string>& list, const std::string& password) {
  std::erase(list, password);
  list.insert(list.begin(), password);
}

}  // namespace

bool SearchPassword(TradCipher& cipher, std::string& currentPassword, const EncryptedEntry& entry,
                    const PasswordSearchHost& host) {
  return SearchPassword(
      [&](std::string_view candidate) {
        return cipher.VerifyPassword(
            candidate, entry.header,
            PasswordCheckByte(entry.flags, entry.crc32, entry.dosDateTime));
      },
      currentPassword, entry.outputName, host);
}

bool SearchPassword(const PasswordCheck& verify, std::string& currentPassword,
                    const std::string& outputName, const PasswordSearchHost& host) {
  auto report = [&](int32_t code, const std::string& extended) {
    if (host.ReportError) host.ReportError(outputName, extended, "0", code);
  };

  if (verify(currentPassword)) return true;

  if (host.Passwords) {
    for (const std::string& candidate : *host.Passwords) {
      currentPassword = candidate;
      if (verify(currentPassword)) return true;
    }
  }

  if (!host.OnGetPassword) {
    report(ec::RequiredEvent, "OnGetPassword");
    return false;
  }

  bool verified = false;
  bool tryAgain = true;
  for (int32_t attempt = 0; attempt < host.PasswordAttempts; ++attempt) {
    if (host.Cancel && host.Cancel()) break;
    host.OnGetPassword(outputName, currentPassword, tryAgain);
    if (!tryAgain) {
      report(ec::InvalidPassword, "");
      break;
    }
    verified = verify(currentPassword);
    if (verified) {
      if (host.Passwords) MoveToFront(*host.Passwords, currentPassword);
      break;
    }
    SecureWipe(currentPassword);
    report(ec::InvalidPassword, "");
  }
  return verified;
}

}  // namespace arc
