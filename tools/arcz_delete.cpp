//===-- tools/arcz_delete.cpp - arcz d: delete entries from an archive ----===//
//
// Each MASK selects stored names: one with a folder ("docs/*.txt") names
// entries in that folder, one without ("*.tmp") entries in any folder.
//
//===----------------------------------------------------------------------===//
#include <cstdio>
#include <string>
#include <vector>

#include <arc/support/paths.h>
#include <arc/unzip/unzip.h>
#include "arcz_cli.h"
#include "arcz_report.h"
#include "arcz_terminal.h"
#include "arcz_writer.h"

namespace arcz {

int RunDelete(const Options& o) {
  arc::TZip zip;
  ProgressBar bar(o.quiet);
  Reporter reporter(bar);
  AttachConsole(zip, bar, reporter);
  zip.SetDefaultExt(".zip");
  zip.SetArchiveFile(arc::ExpandPath(o.archive));
  // An archive that cannot be read has nothing to delete from.
  if (arc::TUnZip reader; !OpenForReading(reader, zip.ArchiveFile(), reporter)) {
    return kExitUnreadable;
  }
  zip.SetFileSpec(o.names);
  zip.SetRecurseDirs(true);
  zip.SetSwitch(arc::swDelete);
  if (!ArchiveFolderWritable(zip, reporter)) return kExitErrors;
  const int32_t count = zip.Compress();
  bar.Clear();
  if (FinishWrite(zip, count) != kExitOk) return kExitErrors;
  if (reporter.Count() == 0 && !o.quiet) {
    std::printf("%s: %d entr%s deleted\n", zip.ArchiveFile().c_str(), count,
                count == 1 ? "y" : "ies");
  }
  return reporter.Count() == 0 ? kExitOk : kExitErrors;
}

}  // namespace arcz
