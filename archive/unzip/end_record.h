//===-- unzip/end_record.h - Finding the end record and central directory -*- C++ -*-===//
//
// A ZIP archive is read from its end: the end of central directory record
// (searched for backwards in the last 64 KiB + 22 bytes, room for the longest
// comment), an optional Zip64 locator and
// Zip64 end record before it, and from them the central directory. When no
// directory can be found the search falls back to the first local header, so
// that the archive can still be read entry by entry.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

#include <arc/core/arc_root.h>
#include <arc/support/byte_source.h>

namespace arc {

/// True when the header state has `flag`.
constexpr bool HasHeader(THeaderTypeState state, THeaderType flag) { return (state & flag) != 0; }

/// Bytes searched for the end record at the end of the file: the record,
/// the longest comment it can have, and the window's first byte, where no
/// record is looked for.
constexpr int32_t kEndSearchWindow = 1 + 22 + 65535;
/// Block size of the search for a first local header.
constexpr int32_t kLocalScanBlock = 32768;

/// Damage found on the way (ArcOpenState::Damage).
/// The end record's comment runs past the end of the file.
inline constexpr uint8_t kDamageComment = 0x01;
/// The Zip64 end record holds values no archive of this size can have.
inline constexpr uint8_t kDamageZip64 = 0x02;

/// Runs the end-record search over `file`. Fills the header state, what the
/// end records say, the comment position and the offset adjustment of
/// `state`, and
/// returns the central directory's position; or, without a usable central
/// directory, the position of the first local header (header state exactly
/// LocalHeader); or 0 when nothing was found and -1 when a local-header scan
/// ran out of blocks.
int64_t SearchEndRecord(ByteSource& file, ArcOpenState& state);

}  // namespace arc
