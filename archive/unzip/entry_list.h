//===-- unzip/entry_list.h - The entries an extraction works on --*- C++ -*-===//
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

#include <arc/core/arc_root.h>
#include <arc/support/byte_source.h>
#include <arc/unzip/zip_entries.h>
#include "unzip/zip_records.h"

namespace arc {

/// One selected entry: what the directory (or its local header) says of
/// it, and where its local header stands.
struct ZipEntryItem : ZipEntryInfo {
  int32_t volume = 1;       ///< volume of the local header, from 1
  int64_t localPos = 0;     ///< position of the local header in that volume
  bool fromCentral = true;  ///< false: found by the local-header walk
};

struct ZipEntryList {
  std::vector<ZipEntryItem> items;
  int64_t compressedTotal = 0;  ///< less what encryption adds to each entry
  int64_t uncompressedTotal = 0;
  int32_t newestDate = 0;  ///< newest DOS date-time, compared signed
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

/// What a central entry says of itself: `name` (converted), its header, its
/// sizes with the extra field applied, and what its extra field adds (a
/// precise time, an AES block).
ZipEntryInfo DescribeCentralEntry(std::string name, const CentralHeader& header,
                                  uint64_t compressedSize, uint64_t uncompressedSize,
                                  std::span<const uint8_t> extra);

/// Lists the selected entries of the central directory at `open.DataOffset`.
/// Reports the damage opening saw, a directory cut off or shorter than the
/// end record says (25114), and entries whose local header is missing or
/// lies where another entry's data is.
ZipEntryList ListCentralDirectory(ByteSource& archive, const ArcOpenState& open,
                                  const EntryListHost& host);

/// Lists the selected entries by walking local headers from `open.DataOffset`.
/// Entries found this way are reported as such (25259: the directory is
/// missing), as is a walk that stops where a record should stand (25114).
ZipEntryList ListLocalHeaders(ByteSource& archive, const ArcOpenState& open,
                              const EntryListHost& host);

}  // namespace arc
