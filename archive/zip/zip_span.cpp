//===-- zip/zip_span.cpp - Handing a finished archive to disk spanning ----===//
//
// Minimal bodies: no spanning writer yet, so an archive on a removable drive
// is written there as one file like any other. The spanning writer replaces
// this file.
//
//===----------------------------------------------------------------------===//
#include "zip/update_run.h"
#include "zip/zip.h"

namespace arc {

bool TZipBase::SpanningAvailable() const { return false; }

bool TZipBase::WriteSpanned(TUpdateRun& /*run*/) { return false; }

}  // namespace arc
