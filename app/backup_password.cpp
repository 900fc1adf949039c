//===-- app/backup_password.cpp - The password of backups -------*- C++ -*-===//
#include "backup_password.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace app {

bool AsksForPassword(const std::string& setting) {
  if (setting.size() != 3) return false;
  for (size_t i = 0; i < 3; ++i) {
    const char c =
        setting[i] >= 'A' && setting[i] <= 'Z' ? static_cast<char>(setting[i] + 32) : setting[i];
    if (c != kAskForPassword[i]) return false;
  }
  return true;
}

void WipeString(std::string& text) {
  text.resize(text.capacity());
  ::explicit_bzero(text.data(), text.size());
  text.clear();
}

void TSecret::Take(std::string& value) {
  Clear();
  value_ = value;
  WipeString(value);
}

void TSecret::Clear() { WipeString(value_); }

void ReadPasswordFile(const std::string& path, TSecret& password) {
  password.Clear();
  const std::string where = "BackupPasswordFile " + path;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw EPasswordFileError(where + ": " + ::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw EPasswordFileError(where + ": not a regular file");
  }
  // Judged on the file that was opened, not on a name that may be changed.
  if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    ::close(fd);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    throw EPasswordFileError(where + " may be read or changed by others than its owner (mode " +
                             mode + "); allow its owner alone: chmod 600 " + path);
  }
  // The first line is all that is read: a password is short.
  std::string text(4096, '\0');
  size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  size_t end = 0;
  while (end < got && text[end] != '\n' && text[end] != '\r') ++end;
  std::string line(text.data(), end);
  WipeString(text);
  if (line.empty()) throw EPasswordFileError(where + ": holds no password on its first line");
  password.Take(line);
}

}  // namespace app
