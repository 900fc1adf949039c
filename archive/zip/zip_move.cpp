//===-- zip/zip_move.cpp - Moving a finished archive into place -----------===//
//
// The old archive is never deleted or emptied first. On the same file system
// the flushed temporary file is renamed over it, which replaces it in one
// step. Elsewhere (another file system, or an archive built in memory) the
// new archive is copied into a fresh file in the archive's own directory,
// flushed, and that file is renamed over the archive. Either way a failure
// leaves the old archive as it was, and a crash leaves the old or the new one.
//
// The new file gets the old archive's permissions, or for a new archive the
// ones the process would give any file it creates.
//
//===----------------------------------------------------------------------===//
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>

#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include <arc/support/paths.h>
#include <arc/zip/zip.h>
#include "support/stream32.h"
#include "support/stream_errors.h"
#include "support/temp_file.h"

namespace arc {
namespace {

/// The file a rename must replace: a symbolic link to the archive stays a
/// link, and its target gets the new archive.
std::string RenameTarget(const std::string& archive) {
  struct stat st {};
  if (::lstat(archive.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return archive;
  char resolved[PATH_MAX];
  if (::realpath(archive.c_str(), resolved) == nullptr) return archive;
  return resolved;
}

/// The process's file-creation mask, read without changing it.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "Umask:") {
      std::string value;
      status >> value;
      return static_cast<mode_t>(std::strtoul(value.c_str(), nullptr, 8));
    }
    std::string rest;
    std::getline(status, rest);
  }
  return 022;
}

mode_t ModeFor(const std::string& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  return 0666 & ~CurrentUmask();
}

/// Makes a rename in the directory of `path` durable. A file system that
/// cannot sync directories has nothing more to offer; that is not an error.
void SyncDirectoryOf(const std::string& path) {
  const std::string dir = ExtractFilePath(path);
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

[[noreturn]] void ThrowSystem() { throw EStreamWrite(errno); }

/// The archive's name could not be given to the new archive.
[[noreturn]] void ThrowNotCreated() {
  throw EFOpenError(std::string(ErrorText(ec::OpenError)), errno);
}

}  // namespace

void TZipBase::MoveIntoPlace(TStream32& stream, const std::string& archive, int64_t size,
                             bool sameDrive, const std::string& tempFileName) {
  const std::string target = RenameTarget(archive);
  const mode_t mode = ModeFor(target);
  if (sameDrive && !tempFileName.empty()) {
    if (::chmod(tempFileName.c_str(), mode) != 0) ThrowSystem();
    if (::rename(tempFileName.c_str(), target.c_str()) != 0) ThrowNotCreated();
    SyncDirectoryOf(target);
    return;
  }

  std::string dir = ExtractFilePath(target);
  if (dir.empty()) dir = AppendSlash(ExpandPath("."));
  // The new archive cannot be created in its folder: an open error, and the
  // old archive stays.
  const std::string sibling = arc::TempFileName(dir, ExtractFileName(target));
  if (sibling.empty() || ExtractFilePath(sibling) != AppendSlash(ExpandPath(dir))) {
    const int error = errno != 0 ? errno : EACCES;
    if (!sibling.empty()) ::unlink(sibling.c_str());
    throw EFOpenError(std::string(ErrorText(ec::OpenError)), error);
  }
  try {
    TFileStream32 file(sibling, fmOpenReadWrite);
    if (!file.Valid()) ThrowSystem();
    file.processMessages = [this] { dialogs.PumpMessages(); };
    Totals() = ProgressTotals{size, size, size};
    if (size > 0) {
      stream.SetPosition(0);
      file.CopyFrom(stream, size);
    }
    if (::fchmod(file.Handle(), mode) != 0 || ::fsync(file.Handle()) != 0) ThrowSystem();
  } catch (...) {
    ::unlink(sibling.c_str());
    throw;
  }
  if (::rename(sibling.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(sibling.c_str());
    errno = error;
    ThrowNotCreated();
  }
  SyncDirectoryOf(target);
}

}  // namespace arc
