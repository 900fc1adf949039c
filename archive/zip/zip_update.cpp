//===-- zip/zip_update.cpp - The update run -------------------------------===//
//
// One update, after Compress's checks:
//
//   existing archive writable? -> OnActivate -> temporary output
//   -> old directory into the header list (swDelete marks entries to drop)
//   -> scan and merge (not swDelete) -> entries in list order
//   -> central directory -> commit (flush, rename over the archive)
//   -> OnDeactivate -> erase moved sources -> OnElapsedTime
//
// A run that ends early, fails or is cancelled discards its output: only a
// completed archive ever replaces the old one. OnDeactivate and
// OnElapsedTime follow OnActivate on every path.
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>

#include <arc/support/error_codes.h>
#include <arc/support/erase.h>
#include "zip/file_scan.h"
#include <arc/support/paths.h>
#include "zip/update_run.h"
#include <arc/zip/zip.h>

namespace arc {
namespace {

bool PathExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

}  // namespace

int32_t TZipBase::RunUpdate(TUpdateRun& run) {
  run.IsNew = !PathExists(ArchiveFile());
  if (Switch() == swRead) {
    if (!run.IsNew) ReadEntries();
    return 0;
  }
  if (Switch() == swDelete && run.IsNew) {
    ReportError(ArchiveFile(), "", "0", ec::NothingToDelete);
    return 0;
  }
  if (!run.IsNew && !ArchiveWritable()) return 0;

  if (OnElapsedTime) Timer().Start();
  Fire(OnActivate, this);
  // Runs on every way out from here on: an early return, a failure, an
  // exception. A committed run has raised OnDeactivate already.
  bool deactivated = false;
  struct Finish {
    TZipBase& z;
    bool& deactivated;
    ~Finish() {
      try {
        if (!deactivated) Fire(z.OnDeactivate, &z);
        z.Timer().Stop();
        Fire(z.OnElapsedTime, &z, z.Timer().ElapsedTime());
      } catch (...) {
        // An event handler must not turn the end of a run into a crash.
      }
    }
  } finish{*this, deactivated};

  if (!CreateOutput(run, CompressionMethod())) return 0;

  if (!run.IsNew && !OpenOldArchive(run)) return 0;
  if (Switch() == swDelete) ExcludeSpec().clear();
  if (!run.IsNew) LoadOldDirectory(run);
  // The scanner starts by clearing the cancel flag it watches: a cancel
  // that came before must not be lost.
  if (Switch() != swDelete && !Cancel()) ScanAndMerge(run);

  if (Cancel() || (Switch() != swDelete && !run.SomethingToDo)) {
    if (!run.SomethingToDo) ReportError(ArchiveFile(), "", "0", ec::NothingToDo);
    run.Headers.Clear();
  }
  ProcessEntries(run);

  // A cancelled run keeps nothing: the entries before the cancel would make
  // an archive that lacks every entry after it.
  if (Cancel() || (processed_count_ <= 0 && deleted_count_ <= 0)) return 0;

  if (run.Removable && SpanningAvailable()) {
    // The spanning writer copies the finished archive onto disks; the
    // temporary output is never moved.
    const bool spanned = WriteSpanned(run);
    run.OldStream.reset();
    run.OldSource.reset();
    if (!spanned) return 0;
  } else {
    if (Switch() == swDelete && run.Headers.CountKept() == 0) {
      WriteEmptyArchive(run);
    } else {
      WriteCentralDirectory(run);
    }
    run.OldStream.reset();
    run.OldSource.reset();
    run.Output->Commit();
    ReportWrittenEntries(run);
  }
  deactivated = true;
  Fire(OnDeactivate, this);
  if (Switch() == swMove && PathExists(ArchiveFile())) EraseMovedFiles(run);
  return Switch() == swDelete ? deleted_count_ : processed_count_;
}

bool TZipBase::CreateOutput(TUpdateRun& run, TCompressionMethod method) {
  TArchiveOutputHooks hooks;
  hooks.MoveBegin = [this](const std::string& archive, const std::string& temp) {
    Fire(OnTmpFileMoveBegin, this, archive, temp);
  };
  hooks.MoveEnd = [this] { Fire(OnTmpFileMoveEnd, this); };
  hooks.MoveIntoPlace = [this](TStream32& stream, const std::string& archive, int64_t size,
                               bool sameDrive, const std::string& temp) {
    MoveIntoPlace(stream, archive, size, sameDrive, temp);
  };
  hooks.ReportError = [this](int32_t code, const std::string& file) {
    ReportError(file, "", "0", code);
  };
  hooks.ReadProgress = [this](TStream32&) {
    Dialogs.PumpMessages();
    const TProgressTotals& t = Totals();
    Fire(OnTmpFileProgress, this, Percent(t.FileSize, t.FileSize - t.Remaining),
         Percent(t.Total, t.Total - t.Remaining));
  };
  hooks.StoreTotals = [this](int64_t size) { Totals() = TProgressTotals{size, size, size}; };
  hooks.Remaining = &Totals().Remaining;
  run.Output = std::make_unique<TArchiveOutput>(method, ArchiveFile(), TempDir(), std::move(hooks),
                                                CancelFlag());
  if (!run.Output->Valid()) {
    ReportError(TempDir(), "", "0", ec::CreateError);
    return false;
  }
  run.Output->Stream().ProcessMessages = [this] { Dialogs.PumpMessages(); };
  return true;
}

void TZipBase::ScanAndMerge(TUpdateRun& run) {
  TArcFileScan scan;
  std::vector<std::string> lines;
  for (const std::string& line : FileSpec())
    if (!line.empty()) lines.push_back(ExpandPath(line));
  scan.SetFileSpec(lines);
  TArcFileAttrs attributes = Attributes();
  if (StoreEmptySubDirs()) attributes.Include(fsDirectory);
  scan.SetAttributes(attributes);
  scan.SetAttributesEx(AttributesEx());
  scan.SetRecurseDirs(RecurseDirs());
  scan.SetIncludeHiddenDirs(IncludeHiddenDirs());
  scan.SetCancelFlag(CancelFlag());
  scan.ProcessMessages = [this] { Dialogs.PumpMessages(); };
  if (OnFileScanStatus) {
    scan.OnScanFile = [this](TObject*, const std::string& name, int32_t count, int64_t size) {
      OnFileScanStatus(this, name, count, size);
    };
  }
  if (OnRecurseDir) {
    scan.OnRecurseDir = [this](TObject*, const std::string& dir) { OnRecurseDir(this, dir); };
  }
  scan.OnRootDirChange = [&run](TObject*, const std::string& dir) {
    run.BaseDir = AppendSlash(dir);
  };
  scan.SetEntryHandler(
      [this, &run](const std::string& path, const TSearchRec& rec) { MergeFound(run, path, rec); });
  // What a folder holds must not drop out of the archive without a word.
  scan.OnUnreadableDir = [this](const std::string& dir, int) {
    ReportError(dir, "", "0", ec::OpenError);
  };
  scan.Scan();
}

void TZipBase::ProcessEntries(TUpdateRun& run) {
  if (run.Headers.Empty()) return;
  // Nothing but unchanged entries: the result would be the old archive.
  bool work = false;
  for (const TCompHeader& e : run.Headers) work = work || e.Action != TEntryAction::Copy;
  if (!work) return;

  if (OnElapsedTime) Timer().Start();
  TProgressTotals& totals = Totals();
  totals = TProgressTotals{};
  for (const TCompHeader& e : run.Headers)
    if (e.Action == TEntryAction::Compress && !e.IsDirectory) totals.Total += e.FileSize;
  totals.Remaining = totals.Total;

  TStream32& out = run.Output->Stream();
  if (run.StubLength > 0) {
    // A self-extracting archive keeps its program in front of the entries.
    run.OldStream->SetPosition(0);
    out.OwnerProgress = nullptr;
    out.CopyFrom(*run.OldStream, run.StubLength);
  }

  for (int32_t i = 0; i < run.Headers.Count(); ++i) {
    if (Cancel()) break;
    TCompHeader& e = run.Headers[i];
    SetEntryName(e.Name);
    switch (e.Action) {
      case TEntryAction::Copy: CopyUnchanged(run, i); break;
      case TEntryAction::CopyRenamed: CopyRenamed(run, i); break;
      case TEntryAction::Drop:
        ++deleted_count_;
        Fire(OnDeleteFile, this, e.Name, deleted_count_, run.MarkedForDelete);
        break;
      case TEntryAction::Compress: {
        const int64_t start = run.Output->Size();
        bool written = false;
        if (e.IsDirectory) {
          written = StoreEmptySubDirs() && WriteDirectoryEntry(run, i);
        } else {
          written = CompressFile(run, i);
        }
        if (written) {
          ++processed_count_;
          if (Switch() == swMove && !e.IsDirectory && !VerifyBeforeDelete())
            run.MovedFiles.push_back(e.SourcePath);
          run.Headers.SetName(i, e.StoredName);
          break;
        }
        run.Output->CutBack(start);
        e.Action = TEntryAction::Drop;
        if (Cancel()) {
          for (int32_t j = i + 1; j < run.Headers.Count(); ++j)
            run.Headers[j].Action = TEntryAction::Drop;
          i = run.Headers.Count();
        }
        break;
      }
    }
  }
  SetEntryName("");
  Timer().Stop();
}

void TZipBase::EraseMovedFiles(TUpdateRun& run) {
  DispatchProgress(0, 0);
  const auto count = static_cast<int32_t>(run.MovedFiles.size());
  for (int32_t i = 0; i < count; ++i) {
    const std::string& path = run.MovedFiles[static_cast<size_t>(i)];
    if (EraseFile(path, DeleteOptions() == doAllowUndo)) {
      Fire(OnDeleteFile, this, path, i, count);
    } else {
      // The archive holds the file; it only could not be taken away.
      ReportError(path, "", "0", ec::ErrorDeletingFiles);
    }
  }
}

}  // namespace arc
