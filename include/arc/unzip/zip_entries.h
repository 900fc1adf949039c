//===-- arc/unzip/zip_entries.h - What an archive's entries are --*- C++ -*-===//
//
// The public view of a ZIP archive's entries: what a program over the
// library may want to show or choose by (name, sizes, method, encryption,
// dates), without the records they are read from. The reader lists them from
// the central directory, or, in an archive without one, by walking its local
// headers.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <arc/codec/aes_extra.h>

namespace arc {

class TUnZip;

/// A moment in UTC, as the time blocks of an extra field record it.
struct UtcTime {
  int64_t seconds = 0;  ///< since 1 January 1970
  uint32_t nanoseconds = 0;
  friend bool operator==(const UtcTime&, const UtcTime&) = default;
};

/// One entry, as the directory (or its local header) describes it.
struct ZipEntryInfo {
  std::string name;  ///< converted stored name ('/' between folders)
  /// Version made by: its high byte names the host (3: Unix, whose mode
  /// stands in the high 16 bits of the external attributes). 0 for an entry
  /// found without a directory.
  uint16_t versionMadeBy = 0;
  uint16_t flags = 0;   ///< general-purpose flags
  uint16_t method = 0;  ///< compression method; 99 for AES (see `aes`)
  uint32_t crc32 = 0;
  uint32_t dosDateTime = 0;
  uint32_t externalAttributes = 0;
  uint64_t compressedSize = 0;  ///< counts what encryption adds
  uint64_t uncompressedSize = 0;
  /// Precise modification time of a time block in the extra field.
  std::optional<UtcTime> modified;
  /// The 0x9901 block of an AES entry (method 99): strength, real method.
  std::optional<AesExtra> aes;

  /// The entry's data are encrypted (traditionally, or with AES).
  bool Encrypted() const;
  /// Encrypted with the strong encryption that the library does not read.
  bool StrongEncryption() const;
};

/// Hears of an entry (by its name) or of the archive (by its file name)
/// that cannot be read as it should, with the error code.
using ZipEntryReport = std::function<void(const std::string& name, int32_t code)>;

/// The entries of the archive `reader` has open (its ArchiveFile), in
/// directory order, that `selects` (all when empty) picks by their name.
/// Damage is reported as extraction reports it: a directory cut short,
/// entries whose local header is missing, an archive without a directory.
/// Empty when the archive file cannot be opened (nothing is reported).
std::optional<std::vector<ZipEntryInfo>> ListZipEntries(
    const TUnZip& reader, const std::function<bool(const std::string& name)>& selects = {},
    const ZipEntryReport& report = {});

}  // namespace arc
