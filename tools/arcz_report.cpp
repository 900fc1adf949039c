//===-- tools/arcz_report.cpp - Printing the library's error reports ------===//
#include "arcz_report.h"

#include <cstdio>

#include "arcz_terminal.h"
#include "core/error_codes.h"
#include "core/errors.h"
#include "unzip/arc_detect.h"
#include "unzip/unzip.h"

namespace arcz {

void Reporter::Report(const std::string& fileName, const std::string& extendedMsg,
                      const std::string& volumeId, int32_t code) {
  bar_.Clear();
  const std::string text(arc::ErrorText(code));
  std::string where = Printable(fileName);
  if (!extendedMsg.empty()) where += where.empty() ? extendedMsg : " [" + extendedMsg + "]";
  if (!volumeId.empty() && volumeId != "0") where += " (volume " + volumeId + ")";
  std::fprintf(stderr, "arcz: error %d (%s)%s%s\n", code, text.c_str(), where.empty() ? "" : ": ",
               where.c_str());
  ++count_;
}

void Reporter::Fail(const std::string& message) {
  bar_.Clear();
  std::fprintf(stderr, "arcz: %s\n", message.c_str());
  ++count_;
}

bool OpenForReading(arc::TUnZip& z, const std::string& archive, Reporter& reporter) {
  z.SetArchiveFile(archive);
  if (z.ArchiveFile().empty()) {
    reporter.Report(archive, "", "0", arc::ec::FileNotFound);
    return false;
  }
  if (!arc::IsZipType(z.ArcType())) {
    reporter.Fail(archive + ": not a ZIP archive");
    return false;
  }
  return true;
}

}  // namespace arcz
