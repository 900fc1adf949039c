//===-- zip/zip.h - The ZIP writer components -------------------*- C++ -*-===//
//
// TZipBase holds the settings of a ZIP writer: what is stored and how
// (method, level, names, password, attributes), where the new archive is
// built (TempDir) and the events of the update, of disk spanning and of the
// move into place. TZip adds the update switch and where the new archive is
// collected. The work itself is done by Compress and the entry writer.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>

#include "core/arc_events.h"
#include "core/arc_types.h"
#include "core/comp_base.h"

namespace arc {

class TZipBase : public TCompBase {
 public:
  explicit TZipBase(TComponent* Owner = nullptr);
  ~TZipBase() override;

  int32_t Compress() override;

  /// While loading, the name of a missing file is dropped. Otherwise a name
  /// without extension gets DefaultExt, the remembered position of the old
  /// central directory is forgotten and the cancel flag is cleared.
  void SetArchiveFile(const std::string& value) override;
  /// Always stores atZip and adds DefaultExt to an ArchiveFile without one.
  void SetArcType(TArcType value) override;

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

  /// Non-empty: new entries are enciphered with it.
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value) { password_ = value; }

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

 private:
  void AddDefaultExt();

  TArcFileAttrs attributes_ex_;
  TCompressMethod compress_method_ = cmDeflate;
  std::string default_ext_ = ".ZIP";
  TDeflateType deflate_type_ = dtDeflateN;
  bool include_hidden_dirs_ = false;
  int32_t leave_space_on_first_disk_ = 0;
  std::string password_;
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
  using TZipBase::SetCompressionMethod;
  using TZipBase::SetSwitch;
  using TZipBase::Switch;
  using TZipBase::OnTmpFileProgress;
};

}  // namespace arc
