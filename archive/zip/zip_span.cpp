//===-- zip/zip_span.cpp - Handing a finished archive to disk spanning ----===//
//
// On a removable drive the finished temporary archive is copied onto disks
// by TDiskSpanObj and never moved into place. A run that does not complete
// leaves nothing processed and an empty header list, so Compress returns 0;
// the disks written so far stay as they are.
//
//===----------------------------------------------------------------------===//
#include <arc/zip/zip.h>
#include "zip/disk_span.h"
#include "zip/zip_updater.h"

namespace arc {

bool ZipUpdater::WriteSpanned() {
  // Every entry is in the temporary archive by now, and the old archive may
  // be on the disk in the drive, about to be replaced.
  run_.oldStream.reset();
  run_.oldSource.reset();
  bool spanned = false;
  // Also when the run ends by an exception, after the last volume is closed.
  struct OnFailure {
    TZipBase& z;
    UpdateRun& run;
    const bool& spanned;
    ~OnFailure() {
      if (spanned) return;
      z.processedCount_ = 0;
      z.deletedCount_ = 0;
      run.headers.Clear();
    }
  } onFailure{z_, run_, spanned};
  TDiskSpanObj span(z_, run_);
  spanned = span.Run();
  return spanned;
}

}  // namespace arc
