//===-- zip/zip_updater.h - One run of TZipBase::Compress --------*- C++ -*-===//
//
// Private to the writer. A ZipUpdater lives for one Compress call (or one
// comment-editing session) and owns everything the run needs: the header
// list, the old archive, the new one being built and the counters of the
// merge (UpdateRun). TZipBase keeps the settings and the events; the
// updater reads them.
//
// The run:    checks (drive, DefaultDir, folder) -> archive writable?
//             -> OnActivate -> temporary output -> old directory (swDelete
//             marks entries) -> scan and merge -> entries in list order
//             (small files read and deflated ahead by workers,
//             entry_prefetch.h)
//             -> central directory (or the disks) -> commit -> OnDeactivate
//             -> erase moved sources -> OnElapsedTime
//
// One file:   OnBegin -> rename question -> store or deflate? -> prepared
//             local header -> data (entry_data.h) -> local header patched
//             -> central record filled -> OnEnd
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <arc/core/arc_types.h>
#include "zip/update_run.h"

namespace arc {

class TZipBase;
class SourceFileStream;
class EntryPrefetch;
struct EntryPlan;
struct SearchRec;

class ZipUpdater {
 public:
  explicit ZipUpdater(TZipBase& owner);
  ~ZipUpdater();
  ZipUpdater(const ZipUpdater&) = delete;
  ZipUpdater& operator=(const ZipUpdater&) = delete;

  /// The whole of Compress: the number of files processed (entries deleted
  /// with swDelete), 0 on failure. Never throws.
  int32_t Run();

  /// Comment editing: loads the old archive's directory as an update that
  /// deletes nothing would; false (reported) when it cannot be opened.
  bool OpenForComments();
  /// Writes the archive anew: the old bytes up to the directory, then a
  /// directory from the header list; true when it was moved into place.
  bool SaveComments();

  /// The run's state: the header list and the archive comment being edited.
  UpdateRun& State() { return run_; }

 private:
  // zip_compress.cpp: checks before the update.
  bool CheckArchiveDrive();
  /// The existing archive may be replaced.
  bool ArchiveWritable();

  // zip_update.cpp: the update proper.
  int32_t Update();
  /// Creates the temporary output; false (reported) when it cannot.
  bool CreateOutput(TCompressionMethod method);
  /// Works through the header list.
  void ProcessEntries();
  /// Workers that read and deflate the small files ahead of the writer,
  /// when more than one thread is allowed and the entries are plain.
  void StartPrefetch();
  /// Offers the small files from entry `from` on until the window is full.
  void FillPrefetch(int32_t from);
  /// An entry to compress, a file or a directory; false when it is dropped.
  bool CompressEntry(int32_t index);
  /// The central directory (or the disks) and the move into place; false
  /// when the spanned copy failed.
  bool Commit();
  /// Erases the sources of a swMove run.
  void EraseMovedFiles();

  // zip_merge.cpp: what the scan finds, merged into the header list.
  void ScanAndMerge();
  void MergeFound(const std::string& path, const SearchRec& rec);
  /// A file found that entry `found` of the old archive stands for:
  /// refreshed, replaced, or added beside it under a new name for the old.
  void MergeWithOld(int32_t found, CompHeader file, const SearchRec& rec);
  /// The entry of the old archive that a file found stands for, -1 when none.
  int32_t FindOldEntry(const std::string& stored, const std::string& full);
  /// The naming rules of this run.
  std::string StoredNameOf(const std::string& path, const std::string& base) const;
  /// The rename question, of OnRenameDupeFile and OnRenameFile alike: `ask`
  /// gives a candidate for `current`, or none to keep it. A candidate equal
  /// to `current` (ASCII case ignored) keeps it too; one the header list
  /// holds already is asked about again, a bounded number of times.
  std::optional<std::string> AskForName(
      const std::string& current, const std::function<std::optional<std::string>()>& ask) const;

  // zip_load.cpp: the old archive.
  /// Opens the old archive and loads its directory into the header list;
  /// false (reported) when it cannot be updated.
  bool OpenOldArchive();
  /// The old archive's entries into the header list (swDelete marks the
  /// ones to drop); false when not all of them could be found.
  bool LoadOldDirectory();
  /// swRead: reports each entry of the archive through OnRead.
  void ReadEntries();

  // zip_entry.cpp: new entries. OnBegin comes first and OnEnd last, also
  // when writing the entry fails.
  bool CompressFile(int32_t index);
  /// The entry proper, between OnBegin and OnEnd; `renamed` when OnRenameFile
  /// gave it a new name.
  bool WriteFileEntry(int32_t index, bool renamed);
  /// StoreFilesOfType or dtDeflateS asks to store the entry.
  bool StoreAsked(const std::string& stored) const;
  /// The name, flags and host of a new entry; false (reported) for a name
  /// too long for a header.
  bool PlanName(const CompHeader& e, bool renamed, EntryPlan& plan) const;
  /// Puts the final values into the entry's local header over the prepared
  /// one; false when the entry outgrew a header without Zip64 (raised, or
  /// cancelled meanwhile).
  bool PatchLocalHeader(EntryPlan& plan);
  /// The entry's central record and list values, once its data are written.
  void FillCentralRecord(CompHeader& e, const EntryPlan& plan, const SourceFileStream& source);
  bool WriteDirectoryEntry(int32_t index);
  /// The DOS date-time written for a new entry.
  uint32_t EntryDate(uint32_t fileDate) const;

  // zip_copy.cpp: entries of the old archive.
  /// Puts the entry into the pending block copy; its new offset is known
  /// at once, the bytes follow with FlushCopy.
  void CopyUnchanged(int32_t index);
  /// Writes the pending block copy, if any.
  void FlushCopy();
  void CopyRenamed(int32_t index);

  // zip_central.cpp: after the entries.
  /// The central directory and the end record; raises on failure.
  void WriteCentralDirectory();
  /// The end record of an archive without entries.
  void WriteEmptyArchive();
  /// OnRead for each entry of the written archive.
  void ReportWrittenEntries();

  // zip_span.cpp: a removable drive.
  /// Copies the finished temporary archive onto disks in place of the move;
  /// true on success.
  bool WriteSpanned();

  TZipBase& z_;
  UpdateRun run_;
  /// While the entries are written: small files read ahead, and the next
  /// entry to offer.
  std::unique_ptr<EntryPrefetch> prefetch_;
  int32_t prefetchNext_ = 0;
};

}  // namespace arc
