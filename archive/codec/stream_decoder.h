//===-- codec/stream_decoder.h - Streaming decoders by ZIP method -*- C++ -*-===//
//
// Every method whose data is one compressed stream is read through a
// StreamDecoder: the inflater (methods 8 and 9), and wrappers over Debian's
// libraries for bzip2 (12, libbz2), LZMA in its ZIP form (14, liblzma's raw
// decoder), Zstandard (93, libzstd) and XZ (95, liblzma's stream decoder).
// All of them speak the inflater's protocol over the same record: the caller
// points next_in/avail_in and next_out/avail_out at its buffers and calls
// Decode until it returns StreamEnd or an error; the results are zlib's
// (inflate_result), so the decompress adapter and its callers need not know
// which method they read.
//
// How the reader plugs a method in (one adapter per entry, after the password
// check; the shape of today's inflate loop does not change):
//
//   DecoderOptions opt;
//   opt.flags = info.flags;                       // LZMA: bit 1, end marker
//   opt.compressedSize = info.compressedSize;     // less any encryption overhead
//   opt.uncompressedSize = info.uncompressedSize;
//   TDecompressStream stream(*archive_, MakeStreamDecoder(info.method, opt));
//   if (stream.InitResult() != inflate_result::Ok) ...  // MemError: 25253
//   ... stream.Read(buf, chunk) as for Inflate ...
//
// HasStreamDecoder(method) answers the dispatch question before the output
// file is opened. A stream that needs more memory than opt.memoryLimit gives
// MemError before anything is allocated for it.
//
// Sizes from the archive are never trusted with memory: the libraries size
// their buffers from the stream's own headers, bounded by the limit. When the
// compressed size is known the library decoders take no input past it (what
// the adapter read beyond stays in avail_in and is handed back), a stream cut
// short inside it is a data error rather than a wait for more input, and a
// further bzip2 or XZ stream or Zstandard frame that follows the first inside
// it is decoded too (parallel compressors write such entries). Without it they
// end at the end of the first stream, as the inflater does, and running out
// of input gives BufError.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <limits>
#include <memory>

#include "codec/inflate.h"

namespace arc {

/// The engine record every decoder works on; the inflater's came first.
using CodecStream = InflateStream;

/// ZIP method numbers of the library decoders (Stored to Deflate64 are the
/// reader's own records).
inline constexpr uint16_t kMethodBzip2 = 12;
inline constexpr uint16_t kMethodLzma = 14;
inline constexpr uint16_t kMethodZstd = 93;
inline constexpr uint16_t kMethodXz = 95;

/// LZMA (method 14): general-purpose flag bit 1 says the data ends with an
/// end-of-stream marker; without it the uncompressed size ends the data.
inline constexpr uint16_t kFlagLzmaEndMarker = 0x0002;

/// A size the archive does not give.
inline constexpr uint64_t kUnknownSize = std::numeric_limits<uint64_t>::max();

/// Memory one library decoder may take. It holds every default of the tools
/// that write these methods (64 MiB dictionaries for LZMA and XZ at their
/// strongest presets, 128 MiB windows for Zstandard's strongest levels);
/// streams asking for more are refused, not decoded.
inline constexpr uint64_t kDecoderMemoryLimit = uint64_t{256} << 20;

/// What a decoder is told about its entry.
struct DecoderOptions {
  /// The entry's general-purpose flags.
  uint16_t flags = 0;
  /// Bytes of compressed data (without any encryption header or code).
  uint64_t compressedSize = kUnknownSize;
  /// Declared uncompressed size; used only where the format ends the data by
  /// it (LZMA without an end marker).
  uint64_t uncompressedSize = kUnknownSize;
  /// Upper bound of the memory the library may take for the stream.
  uint64_t memoryLimit = kDecoderMemoryLimit;
};

/// One entry's decoder. The record's counters, buffers and msg follow the
/// inflater's rules (codec/inflate.h); `state` belongs to the inflater alone.
/// After a data error every call returns the same error until Reset.
class StreamDecoder {
 public:
  virtual ~StreamDecoder() = default;

  /// Starts the engine on `strm`, totals zero. Ok, StreamError or MemError.
  virtual int Init(CodecStream& strm) = 0;
  /// Decodes as much as input and output space allow: Ok, StreamEnd,
  /// DataError, MemError, BufError (no progress possible) or StreamError.
  virtual int Decode(CodecStream& strm) = 0;
  /// Back to the start of a new stream with the same options; totals zero.
  virtual int Reset(CodecStream& strm) = 0;
  /// Releases the engine's memory; Init may follow.
  virtual void End(CodecStream& strm) = 0;
};

/// True for the methods MakeStreamDecoder builds a decoder for.
bool HasStreamDecoder(uint16_t method);

/// The decoder of `method`, not yet started; null for any other method.
std::unique_ptr<StreamDecoder> MakeStreamDecoder(uint16_t method,
                                                 const DecoderOptions& options = {});

/// The inflater as a StreamDecoder (windowBits as InflateInit takes them).
std::unique_ptr<StreamDecoder> MakeInflateDecoder(int windowBits, InflateVariant variant);

}  // namespace arc
