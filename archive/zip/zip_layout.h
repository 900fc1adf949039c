//===-- zip/zip_layout.h - Records as the writer puts them down --*- C++ -*-===//
//
// The byte images of the records the writer emits: a local header with its
// name and Zip64 block, a central record with its name and extra field, the
// end records. Sizes and offsets that do not fit their 32-bit field are
// written in the standard Zip64 form: 0xFFFFFFFF in the field and the value
// in a 0x0001 block, and for the directory a Zip64 end record and locator in
// front of the end record.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "unzip/zip_records.h"

namespace arc {

/// Version needed to extract, and version made by, of plain entries.
inline constexpr uint16_t kVersionDefault = 20;
/// Version of entries and records that use Zip64.
inline constexpr uint16_t kVersionZip64 = 45;
/// Version needed to extract an AES entry.
inline constexpr uint16_t kVersionAes = 51;

/// Host systems in the high byte of "version made by". It says how the
/// external attributes and an unflagged name are to be read.
inline constexpr uint16_t kHostDos = 0;
inline constexpr uint16_t kHostUnix = 3;
inline constexpr uint16_t kHostNtfs = 11;

/// "Version made by" of an entry from `host` with this version needed.
inline uint16_t VersionMadeBy(uint16_t host, uint16_t versionNeeded) {
  return static_cast<uint16_t>(host << 8 | (versionNeeded & 0xFF));
}

/// The host of an entry whose external attributes hold only the DOS
/// attribute byte: NTFS when its name is UTF-8, DOS otherwise. Under the DOS
/// host some peers convert names from the OEM code page even when bit 11
/// marks them UTF-8, which garbles every non-ASCII character.
inline uint16_t DosFamilyHost(uint16_t flags) {
  return (flags & kFlagUtf8Name) != 0 ? kHostNtfs : kHostDos;
}

/// Internal attributes of an entry whose data is text.
inline constexpr uint16_t kInternalText = 1;

/// External attributes of a file written on this system: its mode (type and
/// permission bits) in the high 16 bits, as peers on Unix expect under the
/// Unix host, and the DOS attribute byte in the low ones.
inline uint32_t UnixExternalAttributes(uint32_t mode, uint32_t dosAttributes) {
  return (mode & 0xFFFFu) << 16 | (dosAttributes & 0xFFu);
}

/// A file of this size or more gets a Zip64 block in its local header. Its
/// compressed size is known only after the data, and the header's length
/// cannot change then, so the block is reserved with a margin above what
/// deflating can add to a file just below 4 GiB.
inline constexpr uint64_t kZip64LocalThreshold = 0xFF000000u;

/// A local header's Zip64 block: tag, size, uncompressed and compressed size.
inline constexpr size_t kZip64LocalBlockLen = kExtraBlockHeaderLen + 16;

/// 30 bytes of local header, the name, (when `zip64`) the Zip64 block with
/// both sizes, then `otherExtra` (an AES entry's 0x9901 block); the header's
/// extra length must count both. With `encipher` the header and name are
/// enciphered under the built-in header key state (the signature must be the
/// enciphered form).
std::vector<uint8_t> LocalHeaderBytes(const LocalHeader& h, const std::string& name, bool zip64,
                                      uint64_t uncompressedSize, uint64_t compressedSize,
                                      bool encipher, std::span<const uint8_t> otherExtra = {});

/// What goes into one central record.
struct CentralRecordParts {
  CentralHeader header;  ///< plain values; sizes and offset filled from below
  std::string name;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;
  /// The local header carries both sizes in a Zip64 block; the central record
  /// then keeps them there as well.
  bool localZip64 = false;
  std::vector<uint8_t> otherExtra;  ///< blocks kept from an old record
  std::vector<uint8_t> comment;
  bool encipher = false;
};

/// The whole central record: 46 bytes, name, extra field, comment. Values of
/// 4 GiB and more go into a Zip64 block; the version needed is raised to 45
/// then. Kept blocks that would push the extra field beyond 65,535 bytes are
/// left out.
std::vector<uint8_t> CentralRecordBytes(const CentralRecordParts& parts);

/// The end of the central directory: a Zip64 end record and locator when the
/// entry count, the directory's size or its offset need them, then the end
/// record with the archive comment. `here` is the position the bytes go to.
/// On a disk set the directory starts on disk `dirDisk` and these records
/// are written on disk `endDisk`; both counts are the whole directory's.
std::vector<uint8_t> EndOfDirectoryBytes(uint64_t entries, uint64_t directorySize,
                                         uint64_t directoryOffset, uint64_t here,
                                         const std::vector<uint8_t>& comment, uint32_t dirDisk = 0,
                                         uint32_t endDisk = 0);

}  // namespace arc
