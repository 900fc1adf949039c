//===-- arc/zip/zip.h - The ZIP writer components ---------------*- C++ -*-===//
//
// TZipBase holds the settings of a ZIP writer: what is stored and how
// (method, level, names, password, attributes), where the new archive is
// built (TempDir) and the events of the update, of disk spanning and of the
// move into place. TZip adds the update switch and where the new archive is
// collected.
//
// The work is split by concern over several files:
//   zip_compress.cpp   Compress: checks, then the update run
//   zip_update.cpp     the update run: old directory, scan, entries, commit
//   zip_merge.cpp      merging a scanned file into the header list
//   zip_load.cpp       reading the old archive's directory
//   zip_entry.cpp      compressing one file into an entry
//   zip_copy.cpp       copying old entries, unchanged or renamed
//   zip_central.cpp    central directory and end record
//   zip_move.cpp       moving the finished archive into place
//   zip_comments.cpp   editing the comments of an archive
//   zip_span.cpp       handing a finished archive to the disk-spanning writer
//
// An archive is never changed in place: the new one is built in a temporary
// file (or memory), flushed to disk and renamed over the old one in one step;
// a failed or cancelled update leaves the old archive as it was.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <arc/core/arc_events.h>
#include <arc/core/arc_types.h>
#include <arc/core/comp_base.h>
#include <arc/unzip/zip_entries.h>

namespace arc {

struct TUpdateRun;
struct TCompHeader;
struct TSearchRec;
class TCompHeaderObj;
class TStream32;

class TZipBase : public TCompBase {
 public:
  explicit TZipBase(TComponent* Owner = nullptr);
  ~TZipBase() override;

  /// Builds or updates ArchiveFile by Switch; see zip_compress.cpp.
  int32_t Compress() override;

  /// Moves a finished temporary archive over `archive`: a rename when
  /// `sameDrive`, else a copy into a new file beside the archive that is then
  /// renamed over it (OnTmpFileProgress per block). Raises on failure; the
  /// old archive is then untouched.
  void MoveIntoPlace(TStream32& stream, const std::string& archive, int64_t size, bool sameDrive,
                     const std::string& tempFileName) override;

  // --- Comment editing ----------------------------------------------------
  //
  // Open loads the directory of ArchiveFile; Get/Set work on it; Save writes
  // a new archive with the same entry data and the changed comments.

  /// Loads the central directory; the number of entries, -1 when the archive
  /// cannot be opened (25235 reported).
  int32_t OpenForComments();
  /// The entry (its name in local form) and its comment; false for an index
  /// outside the list (entry and comment then empty).
  bool GetFileComment(int32_t index, ZipEntryInfo& entry, std::string& comment) const;
  /// Replaces the entry's comment; the list counts as changed when it differs.
  void SetFileComment(int32_t index, const std::string& comment);
  std::string GetArchiveComment() const;
  void SetArchiveComment(const std::string& comment);
  /// Writes the archive anew with the edited comments when something changed
  /// and nothing was cancelled; true when it was written. The loaded list is
  /// freed in every case.
  bool SaveComments();

  /// While loading, the name of a missing file is dropped. Otherwise a name
  /// without extension gets DefaultExt, the remembered position of the old
  /// central directory is forgotten and the cancel flag is cleared.
  void SetArchiveFile(const std::string& value) override;
  /// Always stores atZip and adds DefaultExt to an ArchiveFile without one.
  void SetArcType(TArcType value) override;
  TArcType DetectArchive(ByteSource& file, TArcOpenState& open) override;

  /// Attributes that keep a file out.
  TArcFileAttrs AttributesEx() const { return attributes_ex_; }
  void SetAttributesEx(TArcFileAttrs value) { attributes_ex_ = value; }
  /// Includes or removes one attribute of AttributesEx.
  void SetAttributeEx(TArcFileAttr Attr, bool Include);

  TCompressMethod CompressMethod() const { return compress_method_; }
  /// Accepts cmStore and cmDeflate; every other value is ignored.
  void SetCompressMethod(TCompressMethod value);

  /// Extension added to an ArchiveFile given without one.
  const std::string& DefaultExt() const { return default_ext_; }
  void SetDefaultExt(const std::string& value) { default_ext_ = value; }

  TDeflateType DeflateType() const { return deflate_type_; }
  void SetDeflateType(TDeflateType value) { deflate_type_ = value; }

  /// Scan hidden directories too.
  bool IncludeHiddenDirs() const { return include_hidden_dirs_; }
  void SetIncludeHiddenDirs(bool value) { include_hidden_dirs_ = value; }

  /// Bytes kept free on the first disk of a spanned archive.
  int32_t LeaveSpaceOnFirstDisk() const { return leave_space_on_first_disk_; }
  void SetLeaveSpaceOnFirstDisk(int32_t value) { leave_space_on_first_disk_ = value; }

  /// Non-empty: new entries are enciphered with it. The old value is wiped
  /// from memory when it is replaced, and when the component goes.
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value);

  /// The cipher of new entries when Password is set; emTraditional unless
  /// told otherwise, so that archives stay as every older reader reads them.
  TEncryptionMethod EncryptionMethod() const { return encryption_method_; }
  void SetEncryptionMethod(TEncryptionMethod value) { encryption_method_ = value; }

  TStoredDirNames StoredDirNames() const { return stored_dir_names_; }
  void SetStoredDirNames(TStoredDirNames value) { stored_dir_names_ = value; }

  /// Extensions (".ZIP") of files that are stored, not deflated; compared
  /// without regard to case.
  TStrings& StoreFilesOfType() { return store_files_of_type_; }
  const TStrings& StoreFilesOfType() const { return store_files_of_type_; }
  void SetStoreFilesOfType(const TStrings& value) { store_files_of_type_ = value; }

  /// Empty directories become entries.
  bool StoreEmptySubDirs() const { return store_empty_sub_dirs_; }
  void SetStoreEmptySubDirs(bool value) { store_empty_sub_dirs_ = value; }

  /// Where the new archive is built. A directory that is empty or no longer
  /// exists reads as the system's temporary directory.
  const std::string& TempDir() const;
  /// Outside loading: empty means the system's temporary directory; a
  /// missing directory is offered for creation (No leaves the system's one).
  void SetTempDir(const std::string& value);

  /// With swMove, Compress erases no source itself.
  bool VerifyBeforeDelete() const { return verify_before_delete_; }
  void SetVerifyBeforeDelete(bool value) { verify_before_delete_ = value; }

  TOnClearDisk OnClearDisk;
  TOnFileExists OnDiskSpanFileExists;
  TOnInsertDisk OnInsertDisk;
  TOnNonWriteableArchive OnNonWriteableArchive;
  TOnRead OnRead;
  TOnRenameDupeFile OnRenameDupeFile;
  TOnReplaceFile OnReplaceFile;
  TTempFileMoveBegin OnTmpFileMoveBegin;
  TNotifyEvent OnTmpFileMoveEnd;

 protected:
  // Published by TZip; the update driver reads them here.

  /// cmTempFile builds the new archive in a file in TempDir, cmInMemory in
  /// memory.
  TCompressionMethod CompressionMethod() const { return compression_method_; }
  void SetCompressionMethod(TCompressionMethod value) { compression_method_ = value; }

  TSwitch Switch() const { return switch_; }
  void SetSwitch(TSwitch value) { switch_ = value; }

  /// Progress of moving the finished archive into place.
  TOnProgress OnTmpFileProgress;

  /// Offset of the old archive's central directory; -1 when not known.
  int64_t old_central_pos_ = -1;

  // --- Update driver (zip_compress.cpp, zip_update.cpp, zip_merge.cpp) ----

  /// The drive of ArchiveFile must hold a disk that takes writes.
  bool CheckArchiveDrive();
  /// Creates the temporary output of a run; false (reported) when it cannot.
  bool CreateOutput(TUpdateRun& run, TCompressionMethod method);
  /// The update proper; the result of Compress.
  int32_t RunUpdate(TUpdateRun& run);
  /// swRead: reports each entry of the archive through OnRead.
  void ReadEntries();
  /// The archive exists: may it be replaced?
  bool ArchiveWritable();
  /// Scans FileSpec and merges each file found.
  void ScanAndMerge(TUpdateRun& run);
  /// Merges one file or directory found by the scan in `path`.
  void MergeFound(TUpdateRun& run, const std::string& path, const TSearchRec& rec);
  /// The entry of the old archive that a file found stands for, -1 when none.
  int32_t FindOldEntry(TUpdateRun& run, const std::string& stored, const std::string& full) const;
  /// Works through the header list; false when the run must not be committed.
  void ProcessEntries(TUpdateRun& run);
  /// Erases the sources of a swMove run.
  void EraseMovedFiles(TUpdateRun& run);
  /// The naming rules of this run.
  std::string StoredNameOf(const std::string& path, const std::string& base) const;

  // --- Old archive (zip_load.cpp) -----------------------------------------

  /// Opens and reads the old archive; false when it cannot be updated.
  bool OpenOldArchive(TUpdateRun& run);
  /// Loads the old directory into the header list.
  void LoadOldDirectory(TUpdateRun& run);

  // --- Entry writer (zip_entry.cpp, zip_copy.cpp, zip_central.cpp) --------

  /// Compresses the source of entry `index` into the output; false when the
  /// entry is not written (skipped, source missing, cancelled). OnBegin
  /// comes first and OnEnd last, also when writing the entry fails.
  virtual bool CompressFile(TUpdateRun& run, int32_t index);
  /// The entry proper, between OnBegin and OnEnd; `renamed` when OnRenameFile
  /// gave it a new name.
  bool WriteFileEntry(TUpdateRun& run, int32_t index, bool renamed);
  /// Writes a directory entry (no data).
  virtual bool WriteDirectoryEntry(TUpdateRun& run, int32_t index);
  /// Copies an old entry unchanged.
  virtual void CopyUnchanged(TUpdateRun& run, int32_t index);
  /// Copies an old entry under its new name.
  virtual void CopyRenamed(TUpdateRun& run, int32_t index);
  /// Writes the central directory and the end record; raises on failure.
  virtual void WriteCentralDirectory(TUpdateRun& run);
  /// Writes the end record of an archive without entries.
  virtual void WriteEmptyArchive(TUpdateRun& run);
  /// Raises OnRead for each entry of the written archive.
  void ReportWrittenEntries(TUpdateRun& run);
  /// Stored bytes and flag bit 11 of a local name: ASCII and bytes that are
  /// not UTF-8 as they are, unflagged; other UTF-8 in the OEM code page when
  /// `allowOem` and TranslateOemChar and it converts both ways (`inOem` then
  /// set), else as it is, flagged.
  std::string StoredBytesOf(const std::string& localName, uint16_t& flags, bool allowOem = true,
                            bool* inOem = nullptr) const;
  /// The DOS date-time written for a new entry.
  uint32_t EntryDate(const TUpdateRun& run, uint32_t fileDate) const;

  // --- Disk spanning seam (zip_span.cpp) ----------------------------------

  /// True when a spanning writer can take a finished archive for a removable
  /// drive.
  virtual bool SpanningAvailable() const;
  /// Writes the entries of the finished temporary archive and the directory
  /// onto disks; true on success. Called in place of WriteCentralDirectory.
  virtual bool WriteSpanned(TUpdateRun& run);

  // --- Comment editing state ----------------------------------------------

  std::unique_ptr<TUpdateRun> comment_run_;
  bool comments_changed_ = false;

 private:
  void AddDefaultExt();

  TArcFileAttrs attributes_ex_;
  TCompressMethod compress_method_ = cmDeflate;
  std::string default_ext_ = ".ZIP";
  TDeflateType deflate_type_ = dtDeflateN;
  bool include_hidden_dirs_ = false;
  int32_t leave_space_on_first_disk_ = 0;
  std::string password_;
  TEncryptionMethod encryption_method_ = emTraditional;
  TStoredDirNames stored_dir_names_ = sdRelative;
  TStrings store_files_of_type_;
  bool store_empty_sub_dirs_ = false;
  mutable std::string temp_dir_;
  bool verify_before_delete_ = false;
  TCompressionMethod compression_method_ = cmTempFile;
  TSwitch switch_ = swAdd;
};

/// The component an application uses to write a ZIP archive.
class TZip : public TZipBase {
 public:
  explicit TZip(TComponent* Owner = nullptr);
  ~TZip() override;

  using TZipBase::CompressionMethod;
  using TZipBase::OnTmpFileProgress;
  using TZipBase::SetCompressionMethod;
  using TZipBase::SetSwitch;
  using TZipBase::Switch;
};

}  // namespace arc
