//===-- tools/arcz_report.h - Printing the library's error reports -*- C++ -*-===//
#pragma once

#include <cstdint>
#include <string>

#include "arcz_terminal.h"

namespace arc {
class TUnZip;
}  // namespace arc

namespace arcz {

/// Prints each report as "arcz: error CODE (TEXT): FILE [ENTRY] [volume N]"
/// on standard error and counts them.
class Reporter {
 public:
  explicit Reporter(ProgressBar& bar) : bar_(bar) {}
  void Report(const std::string& fileName, const std::string& extendedMsg,
              const std::string& volumeId, int32_t code);
  /// A message of arcz's own, counted like a report.
  void Fail(const std::string& message);
  int Count() const { return count_; }

 private:
  ProgressBar& bar_;
  int count_ = 0;
};

/// Names `archive` as the reader's archive file. An archive that cannot be
/// read at all (missing, a folder, not permitted, no ZIP archive) is
/// reported, and false returned: the command ends with kExitUnreadable.
bool OpenForReading(arc::TUnZip& z, const std::string& archive, Reporter& reporter);

}  // namespace arcz
