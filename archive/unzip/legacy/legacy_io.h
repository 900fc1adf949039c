//===-- unzip/legacy/legacy_io.h - Shrink, reduce and implode decoders -*- C++ -*-===//
//
// The decoders of the three oldest ZIP compression methods: method 1 (shrunk,
// LZW with partial clearing), methods 2 to 5 (reduced, follower sets and a
// back-reference expander) and method 6 (imploded, Shannon-Fano coded
// literals, lengths and distances). The library only reads these methods.
//
// Each decoder sees its entry through one LegacyIo record: a block source of
// compressed bytes, a block sink for decoded bytes, a progress callback, an
// error path and the cancel flag. The callbacks run once per 32 KiB block (or
// once per failure), never per byte.
//
// Plugging a decoder into the reader (per entry, after the password check;
// names are TZipCommon's):
//
//   LegacyIo io;
//   io.readBlock = [&](uint8_t* p, uint32_t n) {   // deciphers when encrypted
//     return static_cast<uint32_t>(ReadBlock(archive, p, static_cast<int32_t>(n),
//                                            encrypted, /*update_crc=*/false)); };
//   io.writeBlock = [&](uint8_t* p, uint32_t n) {  // running CRC, then the file
//     return WriteBlock(file, p, static_cast<int32_t>(n), BlockCipher::None)
//            == static_cast<int32_t>(n); };
//   io.onProgress = [&](uint32_t n, uint64_t written) {
//     Totals().Remaining -= n;
//     DoProgress(Totals().Total, entrySize, static_cast<int64_t>(written)); };
//   io.onError = [&](int32_t code, LegacySeverity s) {
//     if (s == LegacySeverity::Raise) RaiseError(ArchiveFile(), EntryName(), "0", code);
//     else ReportError(ArchiveFile(), EntryName(), "0", code); };
//   io.cancel = CancelFlag();
//   io.compressedSize = compressedSize - (encrypted ? 12 : 0);
//   io.uncompressedSize = entrySize;
//   SetRunningCrc(kCrc32Init);
//   int32_t status = DecodeLegacy(method, flags, io);
//   // status == ec::UnsupportedCompressionMethod: not a legacy method; the
//   // reader reports 25326 itself. Then the end step as for every entry.
//
// A short write is reported by the block writer itself (or raised, for a
// full disk); the decoder then raises WriteError, which ends the entry.
// The decoder flushes everything it produced before it returns or raises, so
// the reader has nothing left to flush. Exceptions thrown by the callbacks
// pass through the decoders, which hold their tables in RAII owners.
//
// Results (the value each entry point returns):
//   0                                the stream ran to its end; the CRC check
//                                    judges the data (a truncated stream also
//                                    ends this way)
//   ec::BadBlock (25116)             raised: damaged shrunk or reduced data
//   ec::AmbiguousShannonFano (25293) a Shannon-Fano tree is no prefix code:
//                                    reported, before any output, when codes
//                                    pass through a symbol or overflow the
//                                    tree; raised when two codes end on one
//                                    branch or the data takes a branch no
//                                    code uses
//   ec::StackOverflow (25299)        raised: a shrunk string too long to unwind
//   ec::WriteError (25136)           raised: the block sink failed
//   ec::UserCanceled (25443)         the cancel flag ended the input; nothing
//                                    is passed to onError (the flag's setter
//                                    already reported it)
//   ec::OutOfMemory (25253)          the entry's tables could not be allocated;
//                                    nothing is written and nothing passed to
//                                    onError
//   ec::UnsupportedCompressionMethod DecodeLegacy only: not a method 1..6;
//                                    nothing is passed to onError
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>

#include <arc/support/error_codes.h>

namespace arc {

/// Whether a failure goes on as a report or ends the entry as a raised error.
enum class LegacySeverity : uint8_t {
  Report,  ///< ReportError: non-fatal, the decoder itself stops the entry
  Raise,   ///< RaiseError: fatal for the entry (the handler may throw)
};

/// Everything a legacy decoder needs from the reader for one entry.
struct LegacyIo {
  /// Fills up to `size` bytes of compressed data into `buffer` and returns the
  /// count; 0 means end of data (or a read error). Required.
  std::function<uint32_t(uint8_t* buffer, uint32_t size)> readBlock;
  /// Takes `size` decoded bytes; returns false when they could not be written.
  /// It may change the bytes in place: the decoder never reads a block again
  /// once it was handed out. Required.
  std::function<bool(uint8_t* data, uint32_t size)> writeBlock;
  /// Called after each block handed to writeBlock: the block's size and the
  /// bytes of the entry written so far. Optional.
  std::function<void(uint32_t size, uint64_t written)> onProgress;
  /// The failure path: one call per failure, with its code. Optional.
  std::function<void(int32_t code, LegacySeverity severity)> onError;
  /// The component's cancel flag, tested before every compressed byte is
  /// taken; a set flag ends the input. May be null (never cancelled).
  const bool* cancel = nullptr;
  /// Compressed bytes of the entry to read (less any encryption header).
  uint64_t compressedSize = 0;
  /// Declared uncompressed size; reduce and implode stop when they reach it.
  uint64_t uncompressedSize = 0;
};

/// Method 1.
int32_t Unshrink(LegacyIo& io);

/// Methods 2 to 5; `factor` is the compression factor, method - 1 (1..4).
int32_t Unreduce(LegacyIo& io, int factor);

/// Method 6; general-purpose flag bit 1 selects the 8 KiB window, bit 2 the
/// third (literal) tree.
int32_t Explode(LegacyIo& io, uint16_t flags);

/// True for the methods DecodeLegacy handles (1 to 6).
constexpr bool IsLegacyMethod(uint16_t method) { return method >= 1 && method <= 6; }

/// Runs the decoder of `method` (1..6) with the entry's general-purpose
/// `flags`; any other method returns ec::UnsupportedCompressionMethod at once.
int32_t DecodeLegacy(uint16_t method, uint16_t flags, LegacyIo& io);

}  // namespace arc
