//===-- unzip/password_search.h - Finding an entry's password ---*- C++ -*-===//
//
// The reader's search for a password that opens one encrypted entry: the
// current password, then the Passwords list in order, then up to
// PasswordAttempts questions through OnGetPassword. The component hands in
// what the search touches (PasswordSearchHost), so the search owns no state.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <arc/codec/trad_cipher.h>

namespace arc {

/// The parts of the reading component the search uses. Members carry the
/// component's names.
struct PasswordSearchHost {
  /// The component's Passwords list; a password the user typed that worked is
  /// moved to its front. May be null (no list).
  std::vector<std::string>* Passwords = nullptr;
  /// Bound on the number of questions asked per entry; 0 or less asks none.
  int32_t PasswordAttempts = 3;
  /// OnGetPassword with its Sender bound; empty when the event is not assigned.
  std::function<void(const std::string& FileName, std::string& Password, bool& TryAgain)>
      OnGetPassword;
  /// Reads the component's Cancel flag; empty means never cancelled.
  std::function<bool()> Cancel;
  /// The component's ReportError; empty drops reports.
  std::function<void(const std::string& FileName, const std::string& ExtendedMsg,
                     const std::string& VolumeID, int32_t ECode)>
      ReportError;
};

/// What is known of the entry whose password is sought.
struct EncryptedEntry {
  /// The 12-byte encryption header as stored in the archive (still enciphered).
  std::array<uint8_t, kEncryptionHeaderLen> header{};
  uint16_t flags = 0;        ///< general-purpose flags of the local header
  uint32_t crc32 = 0;        ///< expected CRC-32
  uint32_t dosDateTime = 0;  ///< DOS date-time of the local header
  std::string outputName;    ///< FileName of questions and reports
};

/// Looks for a password that verifies against `entry`. `currentPassword` is
/// the run's current password: tried first, and left holding the last
/// candidate (cleared after an answer that failed). Reports 26517 for every
/// answer that fails or when the user declines, and 25270 ("OnGetPassword")
/// when no candidate worked and the event is not assigned. On success the
/// cipher stands ready to decipher the entry's data after the header.
///
/// The caller pauses its stopwatch around the call.
bool SearchPassword(TradCipher& cipher, std::string& currentPassword, const EncryptedEntry& entry,
                    const PasswordSearchHost& host);

/// Judges one candidate against an entry's stored check (the traditional
/// check byte, an AES verifier); true leaves the entry's cipher ready.
using PasswordCheck = std::function<bool(std::string_view candidate)>;

/// The same search with any check: `outputName` is the FileName of the
/// questions and reports.
bool SearchPassword(const PasswordCheck& verify, std::string& currentPassword,
                    const std::string& outputName, const PasswordSearchHost& host);

}  // namespace arc
