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

#include <algorithm>

#include <arc/support/error_codes.h>
#include <arc/support/erase.h>
#include <arc/support/paths.h>
#include <arc/zip/zip.h>
#include "zip/entry_prefetch.h"
#include "zip/zip_updater.h"

namespace arc {
namespace {

bool PathExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

}  // namespace

int32_t ZipUpdater::Update() {
  run_.IsNew = !PathExists(z_.ArchiveFile());
  if (z_.Switch() == swRead) {
    if (!run_.IsNew) ReadEntries();
    return 0;
  }
  if (z_.Switch() == swDelete && run_.IsNew) {
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::NothingToDelete);
    return 0;
  }
  if (!run_.IsNew && !ArchiveWritable()) return 0;

  if (z_.OnElapsedTime) z_.Timer().Start();
  Fire(z_.OnActivate, &z_);
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
  } finish{z_, deactivated};

  if (!CreateOutput(z_.CompressionMethod())) return 0;

  if (!run_.IsNew && !OpenOldArchive()) return 0;
  if (z_.Switch() == swDelete) z_.ExcludeSpec().clear();
  if (!run_.IsNew) LoadOldDirectory();
  // The scanner starts by clearing the cancel flag it watches: a cancel
  // that came before must not be lost.
  if (z_.Switch() != swDelete && !z_.Cancel()) ScanAndMerge();

  if (z_.Cancel() || (z_.Switch() != swDelete && !run_.SomethingToDo)) {
    if (!run_.SomethingToDo) z_.ReportError(z_.ArchiveFile(), "", "0", ec::NothingToDo);
    run_.Headers.Clear();
  }
  ProcessEntries();

  // A cancelled run keeps nothing: the entries before the cancel would make
  // an archive that lacks every entry after it.
  if (z_.Cancel() || (z_.processed_count_ <= 0 && z_.deleted_count_ <= 0)) return 0;
  if (!Commit()) return 0;
  deactivated = true;
  Fire(z_.OnDeactivate, &z_);
  if (z_.Switch() == swMove && PathExists(z_.ArchiveFile())) EraseMovedFiles();
  return z_.Switch() == swDelete ? z_.deleted_count_ : z_.processed_count_;
}

bool ZipUpdater::Commit() {
  if (run_.Removable) {
    // The spanning writer copies the finished archive onto disks; the
    // temporary output is never moved.
    const bool spanned = WriteSpanned();
    run_.OldStream.reset();
    run_.OldSource.reset();
    return spanned;
  }
  if (z_.Switch() == swDelete && run_.Headers.CountKept() == 0) {
    WriteEmptyArchive();
  } else {
    WriteCentralDirectory();
  }
  run_.OldStream.reset();
  run_.OldSource.reset();
  run_.Output->Commit();
  ReportWrittenEntries();
  return true;
}

bool ZipUpdater::CreateOutput(TCompressionMethod method) {
  TZipBase& z = z_;
  TArchiveOutputHooks hooks;
  hooks.MoveBegin = [&z](const std::string& archive, const std::string& temp) {
    Fire(z.OnTmpFileMoveBegin, &z, archive, temp);
  };
  hooks.MoveEnd = [&z] { Fire(z.OnTmpFileMoveEnd, &z); };
  hooks.MoveIntoPlace = [&z](TStream32& stream, const std::string& archive, int64_t size,
                             bool sameDrive, const std::string& temp) {
    z.MoveIntoPlace(stream, archive, size, sameDrive, temp);
  };
  hooks.ReportError = [&z](int32_t code, const std::string& file) {
    z.ReportError(file, "", "0", code);
  };
  hooks.ReadProgress = [&z](TStream32&) {
    z.Dialogs.PumpMessages();
    const TProgressTotals& t = z.Totals();
    Fire(z.OnTmpFileProgress, &z, TZipBase::Percent(t.FileSize, t.FileSize - t.Remaining),
         TZipBase::Percent(t.Total, t.Total - t.Remaining));
  };
  hooks.StoreTotals = [&z](int64_t size) { z.Totals() = TProgressTotals{size, size, size}; };
  hooks.Remaining = &z.Totals().Remaining;
  run_.Output = std::make_unique<TArchiveOutput>(method, z.ArchiveFile(), z.TempDir(),
                                                 std::move(hooks), z.CancelFlag());
  if (!run_.Output->Valid()) {
    z.ReportError(z.TempDir(), "", "0", ec::CreateError);
    return false;
  }
  run_.Output->Stream().ProcessMessages = [&z] { z.Dialogs.PumpMessages(); };
  return true;
}

void ZipUpdater::ProcessEntries() {
  if (run_.Headers.Empty()) return;
  // Nothing but unchanged entries: the result would be the old archive.
  bool work = false;
  for (const TCompHeader& e : run_.Headers) work = work || e.Action != TEntryAction::Copy;
  if (!work) return;

  if (z_.OnElapsedTime) z_.Timer().Start();
  TProgressTotals& totals = z_.Totals();
  totals = TProgressTotals{};
  for (const TCompHeader& e : run_.Headers)
    if (e.Action == TEntryAction::Compress && !e.IsDirectory) totals.Total += e.FileSize;
  totals.Remaining = totals.Total;

  TStream32& out = run_.Output->Stream();
  if (run_.StubLength > 0) {
    // A self-extracting archive keeps its program in front of the entries.
    run_.OldStream->SetPosition(0);
    out.OwnerProgress = nullptr;
    out.CopyFrom(*run_.OldStream, run_.StubLength);
  }

  // The workers stop with the loop, also when a failed write ends it.
  StartPrefetch();
  struct StopPrefetch {
    std::unique_ptr<EntryPrefetch>& prefetch;
    ~StopPrefetch() { prefetch.reset(); }
  } stop{prefetch_};

  for (int32_t i = 0; i < run_.Headers.Count(); ++i) {
    if (z_.Cancel()) break;
    FillPrefetch(i);
    TCompHeader& e = run_.Headers[i];
    z_.SetEntryName(e.Name);
    switch (e.Action) {
      case TEntryAction::Copy: CopyUnchanged(i); break;
      case TEntryAction::CopyRenamed: CopyRenamed(i); break;
      case TEntryAction::Drop:
        ++z_.deleted_count_;
        Fire(z_.OnDeleteFile, &z_, e.Name, z_.deleted_count_, run_.MarkedForDelete);
        break;
      case TEntryAction::Compress:
        if (CompressEntry(i)) break;
        if (z_.Cancel()) {
          for (int32_t j = i + 1; j < run_.Headers.Count(); ++j)
            run_.Headers[j].Action = TEntryAction::Drop;
          i = run_.Headers.Count();
        }
        break;
    }
  }
  z_.SetEntryName("");
  z_.Timer().Stop();
}

void ZipUpdater::StartPrefetch() {
  const unsigned threads = z_.Threads() == 0 ? CoreCount() : z_.Threads();
  if (threads <= 1 || !z_.Password().empty() || z_.CompressMethod() != cmDeflate ||
      z_.DeflateType() == dtDeflateS)
    return;
  prefetch_ = std::make_unique<EntryPrefetch>(z_.DeflateType(), threads);
  prefetch_next_ = 0;
}

void ZipUpdater::FillPrefetch(int32_t from) {
  if (!prefetch_) return;
  prefetch_next_ = std::max(prefetch_next_, from);
  const std::string temp = run_.Output->TempFileName();
  for (; prefetch_next_ < run_.Headers.Count(); ++prefetch_next_) {
    const TCompHeader& e = run_.Headers[prefetch_next_];
    if (e.Action != TEntryAction::Compress || e.IsDirectory || e.FileSize <= 0 ||
        e.FileSize > EntryPrefetch::kMaxSize || e.SourcePath == temp || StoreAsked(e.StoredName))
      continue;
    if (!prefetch_->Offer(prefetch_next_, e.SourcePath, e.FileSize)) return;
  }
  prefetch_->Flush();
}

bool ZipUpdater::CompressEntry(int32_t index) {
  const int64_t start = run_.Output->Size();
  TCompHeader& e = run_.Headers[index];
  const bool written = e.IsDirectory ? z_.StoreEmptySubDirs() && WriteDirectoryEntry(index)
                                     : CompressFile(index);
  if (!written) {
    run_.Output->CutBack(start);
    run_.Headers[index].Action = TEntryAction::Drop;
    return false;
  }
  ++z_.processed_count_;
  if (z_.Switch() == swMove && !e.IsDirectory && !z_.VerifyBeforeDelete())
    run_.MovedFiles.push_back(e.SourcePath);
  run_.Headers.SetName(index, e.StoredName);
  return true;
}

void ZipUpdater::EraseMovedFiles() {
  z_.DispatchProgress(0, 0);
  const auto count = static_cast<int32_t>(run_.MovedFiles.size());
  for (int32_t i = 0; i < count; ++i) {
    const std::string& path = run_.MovedFiles[static_cast<size_t>(i)];
    if (EraseFile(path, z_.DeleteOptions() == doAllowUndo)) {
      Fire(z_.OnDeleteFile, &z_, path, i, count);
    } else {
      // The archive holds the file; it only could not be taken away.
      z_.ReportError(path, "", "0", ec::ErrorDeletingFiles);
    }
  }
}

}  // namespace arc
