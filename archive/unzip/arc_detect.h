//===-- unzip/arc_detect.h - Archive type detection -------------*- C++ -*-===//
//
// Recognises what kind of archive a file holds and where the archive begins:
// a plain archive (classified by its first bytes, or by the uuencode and tar
// tests), one appended to an executable (probes at fixed offsets, offsets kept
// in the executable's string resources, the end of its DOS image, a signature
// scan), and for ZIP whether it is one volume of a split or spanned set. The
// root component owns the result (ArcOpenState); this class only computes it.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <arc/core/arc_root.h>
#include <arc/support/byte_source.h>
#include "unzip/end_record.h"

namespace arc {

/// What detection found: the type and, for ZIP, the layout.
struct Detection {
  TArcType type = atNA;
  ArcOpenState open;
};

/// What the disk-set decision needs to know about the drive of an archive.
struct DiskSetDrive {
  bool removable = false;
  std::string label;
};

/// Asks the drive service about the drive holding `archivePath`; empty when
/// the query failed.
using DiskSetQuery = std::function<std::optional<DiskSetDrive>(const std::string& archivePath)>;

/// The answer of the at-start and embedded classifiers for a leading value.
struct LeadClass {
  enum class Kind : uint8_t {
    None,     ///< nothing recognised
    Type,     ///< `type` (with `dataOffset` when not -1)
    DiskSet,  ///< a ZIP volume: the disk-set decision names the type
  };
  Kind kind = Kind::None;
  TArcType type = atNA;
  int64_t dataOffset = -1;
};

/// Classifies the first four bytes (little-endian) of an archive. `embedded`
/// selects the column for archives found inside an executable.
LeadClass ClassifyLead(uint32_t value, bool embedded);

/// atZipDS for a removable drive labelled "PKBACK# ..." (first word, any
/// case), atZipMV for any other drive, atNA when the query failed.
TArcType DecideDiskSet(const std::optional<DiskSetDrive>& drive);

/// True when a line starting at 0 or after a line feed within the first 5000
/// bytes opens a uuencoded file ("begin 6", "begin 7", or "M" after "begin").
bool LooksUuencoded(std::span<const uint8_t> head);

/// True when `header` (512 bytes or more) is a tar header with a valid
/// checksum; a volume header ('V' at 156) is passed over once.
bool LooksLikeTar(std::span<const uint8_t> head, int64_t fileSize);

class DriveService;

/// The detection the components run when ArchiveFile is assigned: `file`
/// holds the archive `fileName`, and `drives` answers for its drive in the
/// disk-set decision.
Detection DetectArchiveFile(ByteSource& file, const std::string& fileName, DriveService& drives);

class ArcDetector {
 public:
  /// `fileName` is the archive path (for the disk-set decision and the .jar
  /// test). `query` may be empty: every drive then counts as fixed.
  ArcDetector(ByteSource& file, std::string fileName, DiskSetQuery query);

  /// Runs the detection and returns everything it found. The archive date is
  /// left at its default; the caller knows the file.
  Detection Detect();

 private:
  bool DetectInExecutable();
  bool ProbeFixedOffsets();
  bool ProbeStringResources();
  bool ProbeDosImageEnd();
  bool DetectPlain();
  bool SignatureScan(int64_t start);
  bool TakeEmbedded(const LeadClass& c, int64_t at);
  /// A ZIP archive was found at `at` by something other than its end record.
  void SettleZipFoundAt(int64_t at);
  int64_t SearchEnd();
  TArcType DiskSet();
  bool HasAceMark() const;
  uint32_t HeadU32(size_t i) const;

  ByteSource& file_;
  std::string fileName_;
  DiskSetQuery query_;
  TArcType type_ = atNA;
  ArcOpenState state_;
  std::vector<uint8_t> head_;  // the first 32767 bytes
  bool searched_ = false;      // the end-record search ran for state_
  int64_t searchResult_ = 0;   // and gave this
};

}  // namespace arc
