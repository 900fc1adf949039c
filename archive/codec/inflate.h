//===-- codec/inflate.h - Streaming raw Deflate / Deflate64 decoder -*- C++ -*-===//
//
// A resumable decoder of raw Deflate streams (no zlib header, no Adler-32) with
// a variant switch for Deflate64. The calling protocol and the result codes are
// zlib's: the caller points next_in/avail_in and next_out/avail_out at its
// buffers and calls Inflate until it returns StreamEnd or an error; all decoding
// state lives in the stream between calls, so input and output may be handed
// over in pieces of any size.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

namespace arc {

/// Which format the decoder reads; fixed when the stream is initialised.
enum class InflateVariant : uint8_t {
  Deflate,    ///< ZIP method 8: 32 KiB window, RFC 1951 tables
  Deflate64,  ///< ZIP method 9: 64 KiB window, long lengths, distance codes 30/31
};

/// Result codes, with zlib's values.
namespace inflate_result {
constexpr int kOk = 0;            ///< progress was made
constexpr int kStreamEnd = 1;     ///< final block decoded and all output delivered
constexpr int kStreamError = -2;  ///< bad parameters or inconsistent stream state
constexpr int kDataError = -3;    ///< invalid data; sticky until InflateReset
constexpr int kMemError = -4;     ///< out of memory
constexpr int kBufError = -5;     ///< no progress possible (no input, or no output space)
}  // namespace inflate_result

struct InflateState;  // private to the decoder

/// The record shared by caller and decoder. The caller owns the buffers; the
/// decoder owns `state` (created by InflateInit, released by InflateEnd).
struct InflateStream {
  const uint8_t* next_in = nullptr;  ///< next input byte
  uint32_t avail_in = 0;             ///< bytes available at next_in
  uint64_t total_in = 0;             ///< input consumed since init or reset
  uint8_t* next_out = nullptr;       ///< where the next output byte goes
  uint32_t avail_out = 0;            ///< space left at next_out
  uint64_t total_out = 0;            ///< output produced since init or reset
  const char* msg = nullptr;         ///< diagnostic of the last data error, else null
  InflateState* state = nullptr;
};

/// Starts a decoder. windowBits must be -8..-15 (raw); Deflate64 raises it by
/// one (64 KiB). A stream that still holds a decoder has it released first.
/// Returns Ok, StreamError or MemError.
int InflateInit(InflateStream& strm, int windowBits, InflateVariant variant);

/// Decodes as much as input and output space allow. flush is accepted for
/// zlib compatibility and ignored (callers pass 0).
int Inflate(InflateStream& strm, int flush = 0);

/// Back to the first block header; totals to zero; the window's bytes are kept.
int InflateReset(InflateStream& strm);

/// Releases the decoder's memory; the stream may be initialised again.
int InflateEnd(InflateStream& strm);

}  // namespace arc
