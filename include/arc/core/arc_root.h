//===-- arc/core/arc_root.h - Root class of the components ------*- C++ -*-===//
//
// TArcRoot carries what every component has whether it reads or writes: the
// archive file name, the archive type found in it and what opening the file
// learnt about its layout, the EncryptHeaders switch and the two drive-check
// events.
//
// Assigning ArchiveFile runs the open procedure (type detection, end-record
// search); assigning ArcType runs detection again. Both are virtual: the
// writer replaces them with setters of its own.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>

#include <arc/core/arc_events.h>
#include <arc/core/arc_types.h>
#include <arc/core/component.h>

namespace arc {
class ByteSource;
class DriveService;
}  // namespace arc

namespace arc {

/// What opening an archive learnt about it; all of it is replaced whenever
/// another file is assigned.
struct ArcOpenState {
  int64_t archiveSize = 0;
  /// Where the archive proper begins: for a ZIP archive with a central
  /// directory, the directory's offset. -1 while detection runs.
  int64_t dataOffset = 0;
  /// Added to every local-header offset taken from the central directory.
  int32_t offsetAdjustment = 0;
  /// First byte of the archive comment.
  int64_t commentPos = 0;
  THeaderTypeState headerState = 0;
  /// What the end record says, as the end-record search read it (0 when it
  /// found none): the number of the volume that holds it, the volume where
  /// the central directory starts, the entries of the whole directory (from
  /// the Zip64 end record when the end record defers to a sound one) and the
  /// length of the archive comment.
  uint16_t endVolume = 0;
  uint16_t directoryVolume = 0;
  uint64_t declaredEntries = 0;
  uint16_t commentLength = 0;
  /// 0 after opening a ZIP archive; set while volumes are read.
  int32_t volumeNumber = 0;
  /// DOS date-time of the archive file.
  uint32_t archiveDate = kUnknownArchiveDate;
  /// Damage the end-record search saw that does not stop reading
  /// (kDamage... of unzip/end_record.h); reported when entries are listed.
  uint8_t damage = 0;

  /// 1 January 1980, 00:01, for a file whose date cannot be read.
  static constexpr uint32_t kUnknownArchiveDate = 0x00210020;
};

class TArcRoot : public TComponent {
 public:
  explicit TArcRoot(TComponent* owner = nullptr);
  ~TArcRoot() override;

  /// A line naming the library, for display.
  std::string About() const;

  const std::string& ArchiveFile() const { return archiveFile_; }
  /// Runs the open procedure on the file: type, layout, volume number.
  virtual void SetArchiveFile(const std::string& value);

  TArcType ArcType() const { return arcType_; }
  /// Ignores `value` and detects the type of ArchiveFile again.
  virtual void SetArcType(TArcType value);

  /// Encipher local and central headers as well (writer).
  bool EncryptHeaders() const { return encryptHeaders_; }
  void SetEncryptHeaders(bool value) { encryptHeaders_ = value; }

  const ArcOpenState& OpenState() const { return open_; }

  /// The drive service that answers questions about the archive's drive
  /// (removable, label); the machine's drives unless a test or the
  /// application supplies another. Not owned.
  DriveService& Drives() const;
  void SetDriveService(DriveService* service) { drives_ = service; }

  /// Raised by the drive check while the drive holds no disk; Sender is the
  /// drive-check object, Abort is preset to true.
  TOnDiskError OnDiskInDrvErr;
  /// Raised by the drive check while the disk is write-protected.
  TOnDiskError OnDiskWriteProtectErr;

 protected:
  /// Runs type detection on ArchiveFile and replaces the opening state;
  /// false when the file cannot be opened (the type is then atNA).
  bool DetectType();

  /// Recognises the archive in `file` (ArchiveFile): returns its type and
  /// fills `open` with its layout. The root knows no archive format: the
  /// reader and the writer answer with the reader's detection
  /// (unzip/arc_detect.h). Here nothing is recognised.
  virtual TArcType DetectArchive(ByteSource& file, ArcOpenState& open);

  /// Plain stores, without the side effects of the setters.
  void StoreArchiveFile(const std::string& value) { archiveFile_ = value; }
  void StoreArcType(TArcType value) { arcType_ = value; }

  ArcOpenState open_;

 private:
  std::string archiveFile_;
  TArcType arcType_ = atNA;
  bool encryptHeaders_ = false;
  DriveService* drives_ = nullptr;
};

}  // namespace arc
