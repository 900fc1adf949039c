//===-- tools/arcz_writer.h - The add and delete commands of arcz -*- C++ -*-===//
//
//   arcz a ARCHIVE [-r] [-0..-9 | --store] [-p PASSWORD [--zipcrypto]] [-m] [-u] [-q] PATH...
//   arcz d ARCHIVE [-q] MASK...
//
// What both share; the commands themselves are in arcz_cli.h.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

#include <arc/zip/zip.h>
#include "arcz_report.h"
#include "arcz_terminal.h"

namespace arcz {

/// Errors of `zip` go to `reporter`, progress to `bar`; an archive that may
/// not be replaced is reported plainly; a stop signal cancels the update
/// (arcz_signals.h).
void AttachConsole(arc::TZip& zip, ProgressBar& bar, Reporter& reporter);

/// False (reported) when the archive's folder does not let it be replaced.
bool ArchiveFolderWritable(const arc::TZip& zip, Reporter& reporter);

/// After Compress: when a stop signal came, says what became of the archive
/// and ends arcz as the signal would have; kExitOk otherwise.
int FinishWrite(const arc::TZip& zip, int32_t count);

}  // namespace arcz
