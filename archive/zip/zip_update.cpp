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

#include <arc/support/erase.h>
#include <arc/support/error_codes.h>
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
  run_.isNew = !PathExists(z_.ArchiveFile());
  if (z_.Switch() == swRead) {
    if (!run_.isNew) ReadEntries();
    return 0;
  }
  if (z_.Switch() == swDelete && run_.isNew) {
    z_.ReportError(z_.ArchiveFile(), "", "0", ec::NothingToDelete);
    return 0;
  }
  if (!run_.isNew && !ArchiveWritable()) return 0;

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

  // A delete selects by FileSpec alone, as the old directory is loaded.
  if (z_.Switch() == swDelete) z_.ExcludeSpec().clear();
  if (!run_.isNew && !OpenOldArchive()) return 0;
  // The scanner starts by clearing the cancel flag it watches: a cancel
  // that came before must not be lost.
  if (z_.Switch() != swDelete && !z_.Cancel()) ScanAndMerge();

  if (z_.Cancel() || (z_.Switch() != swDelete && !run_.somethingToDo)) {
    if (!run_.somethingToDo) z_.ReportError(z_.ArchiveFile(), "", "0", ec::NothingToDo);
    run_.headers.Clear();
  }
  ProcessEntries();

  // A cancelled run keeps nothing: the entries before the cancel would make
  // an archive that lacks every entry after it.
  if (z_.Cancel() || (z_.processedCount_ <= 0 && z_.deletedCount_ <= 0)) return 0;
  if (!Commit()) return 0;
  deactivated = true;
  Fire(z_.OnDeactivate, &z_);
  if (z_.Switch() == swMove && PathExists(z_.ArchiveFile())) EraseMovedFiles();
  return z_.Switch() == swDelete ? z_.deletedCount_ : z_.processedCount_;
}

bool ZipUpdater::Commit() {
  if (run_.removable) {
    // The spanning writer copies the finished archive onto disks; the
    // temporary output is never moved.
    const bool spanned = WriteSpanned();
    run_.oldStream.reset();
    run_.oldSource.reset();
    return spanned;
  }
  if (z_.Switch() == swDelete && run_.headers.CountKept() == 0) {
    WriteEmptyArchive();
  } else {
    WriteCentralDirectory();
  }
  run_.oldStream.reset();
  run_.oldSource.reset();
  run_.output->Commit();
  ReportWrittenEntries();
  return true;
}

bool ZipUpdater::CreateOutput(TCompressionMethod method) {
  TZipBase& z = z_;
  ArchiveOutputHooks hooks;
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
    z.dialogs.PumpMessages();
    const ProgressTotals& t = z.Totals();
    Fire(z.OnTmpFileProgress, &z, TZipBase::Percent(t.fileSize, t.fileSize - t.remaining),
         TZipBase::Percent(t.total, t.total - t.remaining));
  };
  hooks.storeTotals = [&z](int64_t size) { z.Totals() = ProgressTotals{size, size, size}; };
  hooks.remaining = &z.Totals().remaining;
  run_.output = std::make_unique<ArchiveOutput>(method, z.ArchiveFile(), z.TempDir(),
                                                std::move(hooks), z.CancelFlag());
  if (!run_.output->Valid()) {
    z.ReportError(z.TempDir(), "", "0", ec::CreateError);
    return false;
  }
  run_.output->Stream().processMessages = [&z] { z.dialogs.PumpMessages(); };
  return true;
}

void ZipUpdater::ProcessEntries() {
  if (run_.headers.Empty()) return;
  // Nothing but unchanged entries: the result would be the old archive.
  bool work = false;
  for (const CompHeader& e : run_.headers) work = work || e.action != EntryAction::Copy;
  if (!work) return;

  if (z_.OnElapsedTime) z_.Timer().Start();
  ProgressTotals& totals = z_.Totals();
  totals = ProgressTotals{};
  for (const CompHeader& e : run_.headers)
    if (e.action == EntryAction::Compress && !e.isDirectory) totals.total += e.fileSize;
  totals.remaining = totals.total;

  TStream32& out = run_.output->Stream();
  if (run_.stubLength > 0) {
    // A self-extracting archive keeps its program in front of the entries.
    run_.oldStream->SetPosition(0);
    out.ownerProgress = nullptr;
    out.CopyFrom(*run_.oldStream, run_.stubLength);
  }

  // The workers stop with the loop, also when a failed write ends it.
  StartPrefetch();
  struct StopPrefetch {
    std::unique_ptr<EntryPrefetch>& prefetch;
    ~StopPrefetch() { prefetch.reset(); }
  } stop{prefetch_};

  for (int32_t i = 0; i < run_.headers.Count(); ++i) {
    if (z_.Cancel()) break;
    FillPrefetch(i);
    CompHeader& e = run_.headers[i];
    if (e.action == EntryAction::CopyRenamed || e.action == EntryAction::Compress) FlushCopy();
    z_.SetEntryName(e.name);
    switch (e.action) {
      case EntryAction::Copy:
        CopyUnchanged(i);
        break;
      case EntryAction::CopyRenamed:
        CopyRenamed(i);
        break;
      case EntryAction::Drop:
        ++z_.deletedCount_;
        Fire(z_.OnDeleteFile, &z_, e.name, z_.deletedCount_, run_.markedForDelete);
        break;
      case EntryAction::Compress:
        if (CompressEntry(i)) break;
        if (z_.Cancel()) {
          for (int32_t j = i + 1; j < run_.headers.Count(); ++j)
            run_.headers[j].action = EntryAction::Drop;
          i = run_.headers.Count();
        }
        break;
    }
  }
  if (!z_.Cancel()) FlushCopy();
  z_.SetEntryName("");
  z_.Timer().Stop();
}

void ZipUpdater::StartPrefetch() {
  const unsigned threads = z_.Threads() == 0 ? CoreCount() : z_.Threads();
  if (threads <= 1 || !z_.Password().empty() || z_.CompressMethod() != cmDeflate ||
      z_.DeflateType() == dtDeflateS)
    return;
  prefetch_ = std::make_unique<EntryPrefetch>(z_.DeflateType(), threads);
  prefetchNext_ = 0;
}

void ZipUpdater::FillPrefetch(int32_t from) {
  if (!prefetch_) return;
  prefetchNext_ = std::max(prefetchNext_, from);
  const std::string temp = run_.output->TempFileName();
  for (; prefetchNext_ < run_.headers.Count(); ++prefetchNext_) {
    const CompHeader& e = run_.headers[prefetchNext_];
    if (e.action != EntryAction::Compress || e.isDirectory || e.fileSize <= 0 ||
        e.fileSize > EntryPrefetch::kMaxSize || e.SourcePath() == temp ||
        StoreAsked(e.StoredName()))
      continue;
    if (!prefetch_->Offer(prefetchNext_, e.SourcePath(), e.fileSize)) return;
  }
  prefetch_->Flush();
}

bool ZipUpdater::CompressEntry(int32_t index) {
  const int64_t start = run_.output->Size();
  CompHeader& e = run_.headers[index];
  e.UnshareNames();
  const bool written =
      e.isDirectory ? z_.StoreEmptySubDirs() && WriteDirectoryEntry(index) : CompressFile(index);
  if (!written) {
    run_.output->CutBack(start);
    run_.headers[index].action = EntryAction::Drop;
    return false;
  }
  ++z_.processedCount_;
  if (z_.Switch() == swMove && !e.isDirectory && !z_.VerifyBeforeDelete())
    run_.movedFiles.push_back(e.SourcePath());
  run_.headers.SetName(index, std::move(e.found->storedName));
  // Written: only the central record is still to come.
  e.found.reset();
  e.storedTail = 0;
  e.ShareNames();
  return true;
}

void ZipUpdater::EraseMovedFiles() {
  z_.DispatchProgress(0, 0);
  const auto count = static_cast<int32_t>(run_.movedFiles.size());
  for (int32_t i = 0; i < count; ++i) {
    const std::string& path = run_.movedFiles[static_cast<size_t>(i)];
    if (EraseFile(path, z_.DeleteOptions() == doAllowUndo)) {
      Fire(z_.OnDeleteFile, &z_, path, i, count);
    } else {
      // The archive holds the file; it only could not be taken away.
      z_.ReportError(path, "", "0", ec::ErrorDeletingFiles);
    }
  }
}

}  // namespace arc
