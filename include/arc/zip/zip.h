//===-- arc/zip/zip.h - The ZIP writer components ---------------*- C++ -*-===//
//
// TZipBase holds the settings of a ZIP writer: what is stored and how
// (method, level, names, password, attributes), where the new archive is
// built (TempDir) and the events of the update, of disk spanning and of the
// move into place. TZip adds the update switch and where the new archive is
// collected. Each Compress call is one update run, made by an object of the
// library's own that reads these settings and raises these events.
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

class TStream32;
class ZipUpdater;

class TZipBase : public TCompBase {
 public:
  explicit TZipBase(TComponent* Owner = nullptr);
  ~TZipBase() override;

  /// Builds or updates ArchiveFile by Switch.
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
  /// without extension gets DefaultExt and the cancel flag is cleared.
  void SetArchiveFile(const std::string& value) override;
  /// Always stores atZip and adds DefaultExt to an ArchiveFile without one.
  void SetArcType(TArcType value) override;
  TArcType DetectArchive(ByteSource& file, ArcOpenState& open) override;

  /// Attributes that keep a file out.
  TArcFileAttrs AttributesEx() const { return attributesEx_; }
  void SetAttributesEx(TArcFileAttrs value) { attributesEx_ = value; }
  /// Includes or removes one attribute of AttributesEx.
  void SetAttributeEx(TArcFileAttr Attr, bool Include);

  TCompressMethod CompressMethod() const { return compressMethod_; }
  /// Accepts cmStore and cmDeflate; every other value is ignored.
  void SetCompressMethod(TCompressMethod value);

  /// Extension added to an ArchiveFile given without one.
  const std::string& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const std::string& value) { defaultExt_ = value; }

  TDeflateType DeflateType() const { return deflateType_; }
  void SetDeflateType(TDeflateType value) { deflateType_ = value; }

  /// Threads that deflate: 0, the default, one per core; 1 deflates every
  /// file in one stream on the caller's thread, byte for byte as a single
  /// stream does. With more, a large file (at least two pieces of 256 KiB)
  /// is cut into pieces deflated side by side and joined into one stream
  /// that every reader reads, and small unencrypted files are read and
  /// deflated ahead while the entries are written in order (their entries
  /// are those of one thread). Events, errors and cancel are as with one
  /// thread, and all of them come on the caller's thread.
  uint32_t Threads() const { return threads_; }
  void SetThreads(uint32_t value) { threads_ = value; }

  /// Scan hidden directories too.
  bool IncludeHiddenDirs() const { return includeHiddenDirs_; }
  void SetIncludeHiddenDirs(bool value) { includeHiddenDirs_ = value; }

  /// Bytes kept free on the first disk of a spanned archive.
  int32_t LeaveSpaceOnFirstDisk() const { return leaveSpaceOnFirstDisk_; }
  void SetLeaveSpaceOnFirstDisk(int32_t value) { leaveSpaceOnFirstDisk_ = value; }

  /// Non-empty: new entries are enciphered with it. The old value is wiped
  /// from memory when it is replaced, and when the component goes.
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value);

  /// The cipher of new entries when Password is set; emTraditional unless
  /// told otherwise, so that archives stay as every older reader reads them.
  TEncryptionMethod EncryptionMethod() const { return encryptionMethod_; }
  void SetEncryptionMethod(TEncryptionMethod value) { encryptionMethod_ = value; }

  TStoredDirNames StoredDirNames() const { return storedDirNames_; }
  void SetStoredDirNames(TStoredDirNames value) { storedDirNames_ = value; }

  /// Extensions (".ZIP") of files that are stored, not deflated; compared
  /// without regard to case.
  TStrings& StoreFilesOfType() { return storeFilesOfType_; }
  const TStrings& StoreFilesOfType() const { return storeFilesOfType_; }
  void SetStoreFilesOfType(const TStrings& value) { storeFilesOfType_ = value; }

  /// Empty directories become entries.
  bool StoreEmptySubDirs() const { return storeEmptySubDirs_; }
  void SetStoreEmptySubDirs(bool value) { storeEmptySubDirs_ = value; }

  /// Where the new archive is built. A directory that is empty or no longer
  /// exists reads as the system's temporary directory.
  const std::string& TempDir() const;
  /// Outside loading: empty means the system's temporary directory; a
  /// missing directory is offered for creation (No leaves the system's one).
  void SetTempDir(const std::string& value);

  /// With swMove, Compress erases no source itself.
  bool VerifyBeforeDelete() const { return verifyBeforeDelete_; }
  void SetVerifyBeforeDelete(bool value) { verifyBeforeDelete_ = value; }

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
  TCompressionMethod CompressionMethod() const { return compressionMethod_; }
  void SetCompressionMethod(TCompressionMethod value) { compressionMethod_ = value; }

  TSwitch Switch() const { return switch_; }
  void SetSwitch(TSwitch value) { switch_ = value; }

  /// Progress of moving the finished archive into place.
  TOnProgress OnTmpFileProgress;

 private:
  friend class ZipUpdater;

  void AddDefaultExt();

  /// The directory loaded by OpenForComments, until SaveComments.
  std::unique_ptr<ZipUpdater> comments_;

  TArcFileAttrs attributesEx_;
  TCompressMethod compressMethod_ = cmDeflate;
  std::string defaultExt_ = ".ZIP";
  TDeflateType deflateType_ = dtDeflateN;
  uint32_t threads_ = 0;
  bool includeHiddenDirs_ = false;
  int32_t leaveSpaceOnFirstDisk_ = 0;
  std::string password_;
  TEncryptionMethod encryptionMethod_ = emTraditional;
  TStoredDirNames storedDirNames_ = sdRelative;
  TStrings storeFilesOfType_;
  bool storeEmptySubDirs_ = false;
  mutable std::string tempDir_;
  bool verifyBeforeDelete_ = false;
  TCompressionMethod compressionMethod_ = cmTempFile;
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
