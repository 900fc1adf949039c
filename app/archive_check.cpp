//===-- app/archive_check.cpp - Reading a backup archive back ---*- C++ -*-===//
#include "archive_check.h"

#include <arc/core/arc_types.h>
#include <arc/support/errors.h>
#include <arc/unzip/unzip.h>

namespace app {

TArchiveCheck CheckArchive(const std::string& archive,
                           const std::function<void(uint8_t, uint8_t)>& progress,
                           const std::function<void()>& pump, const std::string& password) {
  TArchiveCheck check;
  arc::TUnZip reader;
  reader.OnError = [&check](arc::TObject*, const std::string& name, const std::string& extended,
                            const std::string&, int32_t code) {
    if (check.Errors++ > 0) return;
    check.Cause = std::string(arc::ErrorText(code)) + ": " + name;
    if (!extended.empty()) check.Cause += " (" + extended + ")";
  };
  if (progress) {
    reader.OnProgress = [&progress](arc::TObject*, uint8_t byFile, uint8_t byArchive) {
      progress(byFile, byArchive);
    };
  }
  if (pump) reader.dialogs.processMessages = pump;
  reader.SetArchiveFile(archive);
  if (reader.ArchiveFile().empty() || !arc::IsZipType(reader.ArcType())) {
    ++check.Errors;
    if (check.Cause.empty()) check.Cause = "not a ZIP archive: " + archive;
    return check;
  }
  reader.FileSpec().clear();
  reader.FileSpec().push_back("*");
  reader.SetRecurseDirs(true);
  // The reader wipes its list when it goes.
  if (!password.empty()) reader.Passwords().push_back(password);
  check.Tested = reader.Test();
  if (check.Tested == 0 && check.Cause.empty()) check.Cause = "no entry in " + archive;
  return check;
}

}  // namespace app
