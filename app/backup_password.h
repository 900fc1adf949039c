//===-- app/backup_password.h - The password of backups ---------*- C++ -*-===//
//
// P_Restore.ini may give backups a password:
//
//   [Backups]
//   BackupPasswordFile=/etc/P_Restore/backup.pw   ; a file only its owner may read
//   BackupPasswordFile=ask                         ; the window asks at each backup
//
// With a password, backups are AES-256 archives. A restore tries the password
// of the file first and asks (the reader's password question) when it does
// not open the archive. A run without a window cannot ask: there "ask" is an
// error, and a file is what scheduled backups use.
//
// A password lives in memory only for the operation that needs it and is
// wiped when it goes (TSecret).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <stdexcept>
#include <string>

namespace app {

/// The value of BackupPasswordFile that makes the window ask.
inline constexpr const char* kAskForPassword = "ask";

/// True for BackupPasswordFile=ask (in any letter case).
bool AsksForPassword(const std::string& setting);

/// A password file that cannot serve: missing, not a regular file, readable
/// by its group or by others, or empty. The text says which and what to do.
class EPasswordFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Its bytes are overwritten when it is emptied or goes.
class TSecret {
 public:
  TSecret() = default;
  explicit TSecret(std::string value) : value_(std::move(value)) {}
  ~TSecret() { Clear(); }
  TSecret(const TSecret&) = delete;
  TSecret& operator=(const TSecret&) = delete;

  const std::string& Value() const { return value_; }
  bool Empty() const { return value_.empty(); }
  /// Takes `value` over and wipes the caller's copy.
  void Take(std::string& value);
  void Clear();

 private:
  std::string value_;
};

/// Overwrites the bytes of `text` (its whole capacity), then empties it.
void WipeString(std::string& text);

/// The password in `path`: its first line, without the line end. Throws
/// EPasswordFileError for a file any but its owner may read (its group or
/// others), one that is not a regular file or cannot be read, or an empty
/// first line.
void ReadPasswordFile(const std::string& path, TSecret& password);

}  // namespace app
