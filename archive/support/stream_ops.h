//===-- support/stream_ops.h - Deflating and checksumming a stream -*- C++ -*-===//
#pragma once

#include <cstdint>
#include <functional>

#include "support/stream_adapters.h"

namespace arc {

/// Deflates the whole source (from its beginning) into the destination at its
/// position, through a TCompressStream with the control copied in, in chunks
/// of 61,440 bytes; a set cancel flag stops it before the next chunk. Unless
/// the entry is encrypted, stores the CRC-32 of the source through `crc`.
/// Returns false when cancelled, or when the engine failed (its output is then
/// no valid stream); the caller tells the two apart by the cancel flag.
/// `threads` as for TCompressStream: 1 is the single stream.
bool DeflateStream(TStream32& source, TStream32& destination, const TransferControl& control,
                   int32_t windowBits, const ProgressHandler& progress, TDeflateType deflateType,
                   uint32_t& crc, const std::function<void()>& processMessages = {},
                   unsigned threads = 1);

/// The CRC-32 register (not inverted) over `count` bytes of the source (0: all
/// of it from its beginning); the source is left at position 0.
uint32_t StreamCrc32(TStream32& source, const TransferControl& control, bool* cancel,
                     const ProgressHandler& progress, int64_t count,
                     const std::function<void()>& processMessages = {});

}  // namespace arc
