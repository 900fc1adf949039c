//===-- arc/unzip/unzip.h - The ZIP reader component ------------*- C++ -*-===//
//
// TUnZip is the component an application uses to read a ZIP archive: it
// holds where and how entries are extracted and the events of extraction,
// passwords and volumes. Assigning ArchiveFile opens the archive; Extract
// writes the selected entries.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <arc/core/arc_events.h>
#include <arc/core/arc_types.h>
#include <arc/core/un_base.h>

namespace arc {

class ZipExtractor;

class TUnZip : public TUnBase {
 public:
  explicit TUnZip(TComponent* Owner = nullptr);
  ~TUnZip() override;

  /// Writes every selected entry below ExtractDir; the number of files
  /// written. Never throws: failures are reported through OnError.
  int32_t Extract() override;

  /// Decodes the selected entries and checks their CRC-32 as Extract does,
  /// without creating any file or folder: the number of files decoded.
  /// The overwrite rules and OnRenameFile play no part.
  int32_t Test();

  /// The name of the entry handled last, as stored in the archive after
  /// conversion ('/' between folders). Kept after Extract returns.
  const std::string& StoredEntryName() const { return storedEntryName_; }

  /// The output file name of a stored name: below ExtractDir, never outside.
  std::string EntryNameFromStored(const std::string& stored) override;

  /// Volume `index` (0-based) of a split archive: the archive name with the
  /// extension .z01, .z02 ... for every volume before the last one, the
  /// archive itself for the last.
  std::string VolumeFileName(int32_t index) override;
  /// During Extract: asks for volume `index` of a split archive through
  /// OnNextVolume and opens it. False outside a run.
  bool RequestVolume(int32_t index) override;

  /// Create the directories of directory entries.
  bool CreateStoredDirs() const { return createStoredDirs_; }
  void SetCreateStoredDirs(bool value) { createStoredDirs_ = value; }

  /// Target directory, always ending in a separator; empty: the directory
  /// of ArchiveFile (empty when none).
  const std::string& ExtractDir() const { return extractDir_; }
  void SetExtractDir(const std::string& value);

  /// Apply the stored attributes to extracted files.
  bool RestoreFileAttr() const { return restoreFileAttr_; }
  void SetRestoreFileAttr(bool value) { restoreFileAttr_ = value; }

  /// Size of the buffer kept for an archive comment; held to 2000..32767.
  int32_t ZipCmntBufSize() const { return zipCmntBufSize_; }
  void SetZipCmntBufSize(int32_t value);

  TOnNextVolume OnNextVolume;
  TOnGetZipFirstDisk OnGetZipFirstDisk;
  TOnGetZipNextDisk OnGetZipNextDisk;
  TOnGetZipLastDisk OnGetZipLastDisk;
  TUnBase_OnFileExists OnFileExists;
  TOnCorruptZipHeader OnCorruptZipHeader;

 protected:
  TArcType DetectArchive(ByteSource& file, ArcOpenState& open) override;

 private:
  friend class ZipExtractor;

  /// The run in progress, if any.
  ZipExtractor* run_ = nullptr;
  std::string storedEntryName_;
  bool createStoredDirs_ = false;
  std::string extractDir_;
  bool restoreFileAttr_ = true;
  int32_t zipCmntBufSize_ = 0;
};

}  // namespace arc
