//===-- tools/arcz_signals.h - Signals while arcz writes an archive -*- C++ -*-===//
//
// An archive is updated in a temporary file that replaces it only once it is
// complete. Killed in the middle, arcz would leave that file behind (up to
// the archive's size, in the temporary folder or beside the archive). So
// while `a` or `d` runs, Ctrl-C (SIGINT) and SIGTERM only note the signal;
// the next block of work sees it and cancels the update, which removes the
// temporary files and leaves the archive as it was. arcz then ends as the
// signal would have ended it. A second signal ends arcz at once.
//
// SIGXFSZ (a file grown beyond the size limit of the process) is ignored by
// every command: the write fails with EFBIG instead and is reported.
//
//===----------------------------------------------------------------------===//
#pragma once

namespace arcz {

/// Ignores SIGXFSZ; for the whole of arcz.
void IgnoreFileSizeSignal();

/// Notes SIGINT and SIGTERM instead of dying of them; for `a` and `d`.
void CatchStopSignals();

/// The signal that asked arcz to stop; 0 when none came.
int StopSignal();

/// Ends arcz as the stop signal would have (nothing happens without one).
void EndByStopSignal();

}  // namespace arcz
