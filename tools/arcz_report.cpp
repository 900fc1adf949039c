//===-- tools/arcz_report.cpp - Printing the library's error reports ------===//
#include "arcz_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <arc/core/arc_types.h>
#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include <arc/unzip/unzip.h>
#include "arcz_terminal.h"

namespace arcz {

void Reporter::Report(const std::string& fileName, const std::string& extendedMsg,
                      const std::string& volumeId, int32_t code) {
  bar_.Clear();
  const std::string text(arc::ErrorText(code));
  std::string where = Printable(fileName);
  if (!extendedMsg.empty()) where += where.empty() ? extendedMsg : " [" + extendedMsg + "]";
  if (!volumeId.empty() && volumeId != "0") where += " (volume " + volumeId + ")";
  // Entries read without a directory may be all there is, or not: a warning,
  // but one that still makes the status fail.
  const bool warning = code == arc::ec::HeaderNotFound;
  if (warning) where += "; no central directory, entries were read from their local headers";
  std::fprintf(stderr, "arcz: %s %d (%s)%s%s\n", warning ? "warning" : "error", code, text.c_str(),
               where.empty() ? "" : ": ", where.c_str());
  ++count_;
}

void Reporter::Fail(const std::string& message) {
  bar_.Clear();
  std::fprintf(stderr, "arcz: %s\n", message.c_str());
  ++count_;
}

bool OpenForReading(arc::TUnZip& z, const std::string& archive, Reporter& reporter) {
  // What keeps the file from being read is said plainly; it says nothing
  // about whether the file is an archive.
  struct stat st {};
  if (::stat(archive.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      reporter.Fail(Printable(archive) + ": is a folder");
      return false;
    }
    const int fd = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      reporter.Fail(Printable(archive) + ": " +
                    (errno == EACCES ? std::string("permission denied") : std::strerror(errno)));
      return false;
    }
    ::close(fd);
  }
  z.SetArchiveFile(archive);
  if (z.ArchiveFile().empty()) {
    reporter.Report(archive, "", "0", arc::ec::FileNotFound);
    return false;
  }
  if (!arc::IsZipType(z.ArcType())) {
    reporter.Fail(Printable(archive) + ": not a ZIP archive");
    return false;
  }
  return true;
}

}  // namespace arcz
