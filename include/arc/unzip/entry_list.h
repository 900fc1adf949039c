//===-- arc/unzip/entry_list.h - The entries an extraction works on --*- C++ -*-===//
//
// At the start of an extraction the reader lists the selected entries: from
// the central directory when one was found, otherwise by walking the local
// headers from the start of the archive data. Every count and offset comes
// from the file; an entry that cannot be read in full ends the walk with a
// report, and nothing is allocated from a declared count.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <arc/codec/aes_extra.h>
#include <arc/core/arc_root.h>
#include <arc/support/byte_source.h>
#include <arc/unzip/zip_records.h>

namespace arc {

/// One selected entry, as the directory (or its local header) describes it.
struct ZipEntryItem {
  std::string name;           ///< converted stored name ('/' between folders)
  int32_t volume = 1;         ///< volume of the local header, from 1
  int64_t localPos = 0;       ///< position of the local header in that volume
  uint32_t externalAttributes = 0;
  /// Version made by of the directory entry: its high byte names the host
  /// (3: Unix, whose mode stands in the high 16 bits of the attributes).
  uint16_t versionMadeBy = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc32 = 0;         ///< CRC-32 of the directory entry
  uint32_t dosDateTime = 0;   ///< date of the directory entry
  uint64_t compressedSize = 0;    ///< 48-bit, counts an encryption header
  uint64_t uncompressedSize = 0;  ///< 48-bit
  /// Precise modification time of a time block in the extra field.
  std::optional<UtcTime> modified;
  /// The 0x9901 block of an AES entry (method 99): strength, real method.
  std::optional<AesExtra> aes;
  bool fromCentral = true;    ///< false: found by the local-header walk
};

struct ZipEntryList {
  std::vector<ZipEntryItem> items;
  int64_t compressedTotal = 0;    ///< less what encryption adds to each entry
  int64_t uncompressedTotal = 0;
  int32_t newestDate = 0;         ///< newest DOS date-time, compared signed
};

/// What listing needs from the component.
struct EntryListHost {
  TArcType arcType = atNA;
  bool translateOem = true;
  /// Mask selection of a converted name.
  std::function<bool(const std::string& name)> selects;
  std::function<bool()> cancelled;
  /// Reports `code` for the entry or archive `fileName`.
  std::function<void(const std::string& fileName, int32_t code)> report;
};

/// External attributes given to entries found by the local-header walk:
/// a directory for a name ending in '/', a plain file otherwise.
uint32_t LocalScanAttributes(const std::string& name);

/// Lists the selected entries of the central directory at `open.DataOffset`.
/// Reports the damage opening saw, a directory cut off or shorter than the
/// end record says (25114), and entries whose local header is missing or
/// lies where another entry's data is.
ZipEntryList ListCentralDirectory(ByteSource& archive, const TArcOpenState& open,
                                  const EntryListHost& host);

/// Lists the selected entries by walking local headers from `open.DataOffset`.
/// Entries found this way are reported as such (25259: the directory is
/// missing), as is a walk that stops where a record should stand (25114).
ZipEntryList ListLocalHeaders(ByteSource& archive, const TArcOpenState& open,
                              const EntryListHost& host);

}  // namespace arc
