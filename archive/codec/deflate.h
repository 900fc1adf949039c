//===-- codec/deflate.h - Raw Deflate compression through zlib ----*- C++ -*-===//
//
// Every entry written with method 8 is compressed by zlib's deflate engine with
// fixed parameters: a raw stream (no zlib header, no Adler-32 trailer), a 32 KiB
// window, memory level 8 and the default strategy; only the level varies, by
// TDeflateType. This file owns the calling protocol around the engine:
//
//   DeflateEngine e(type);           deflateInit2
//   e.Compress(piece, n, client);    Z_NO_FLUSH until the piece is consumed
//   ...                              (one call per piece of input)
//   e.Finish(client);                Z_FINISH until Z_STREAM_END
//                                    deflateEnd in the destructor, on every path
//
// The client sees every consumed input byte (for its CRC) and every full 64 KiB
// output buffer, then the used part of the last one. The cancel flag is tested
// before every engine call. An engine that could not be started, refuses a
// call or makes no progress marks the engine failed: no call is repeated, and
// every later step returns DeflateStatus::Failed at once.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <arc/codec/deflate_type.h>

namespace arc {

/// Negative: a raw stream; 15: a 32 KiB window.
constexpr int kDeflateWindowBits = -15;
/// Hash table of 2^15 entries, 16 Ki symbols per block buffer.
constexpr int kDeflateMemLevel = 8;
/// The one output buffer of an entry; output is handed on in blocks of this size.
constexpr uint32_t kDeflateBufferSize = 65536;

/// The engine level of a deflate type: 0, 1, zlib's default (-1, that is 6), 9.
int DeflateLevel(TDeflateType type);

/// zlib's allocation functions for every deflate state of the library. The
/// memory comes zero-filled, so that no byte of it is ever read uninitialised
/// whatever the engine does with its window; blocks a thread's states hand
/// back are kept for that thread's next state (many small entries would
/// otherwise return the heap to the system and fault it in again each time).
voidpf DeflateAlloc(voidpf opaque, uInt items, uInt size);
void DeflateFree(voidpf opaque, voidpf address);

/// How a compression step ended.
enum class DeflateStatus : uint8_t {
  Done,       ///< the piece was consumed, or the stream was completed
  Cancelled,  ///< the cancel flag was found set before (or right after) an engine call
  Failed,     ///< the engine was not started, refused a call or made no progress
};

/// The side of the protocol that owns the data: CRC, counters, cancel, output.
class DeflateClient {
 public:
  virtual ~DeflateClient() = default;
  /// Tested before every engine call.
  virtual bool Cancelled() const = 0;
  /// The last engine call consumed these input bytes (in stream order).
  virtual void Consumed(const uint8_t* data, uint32_t count) = 0;
  /// A full output buffer, or the used part of the last one. The bytes may be
  /// changed in place (enciphered). May throw; the engine is still released.
  virtual void Output(uint8_t* data, uint32_t count) = 0;
  /// Called after each engine call of the no-flush loop that was not cancelled.
  virtual void Stepped() {}
};

/// zlib's deflate engine for one entry, started with the fixed parameters.
class DeflateEngine {
 public:
  /// Starts the engine (deflateInit2). A failure is kept, not thrown: see
  /// InitResult(). `alloc` and `release` replace the zero-filling default
  /// allocator (tests use them to make the start fail).
  explicit DeflateEngine(TDeflateType type, int windowBits = kDeflateWindowBits,
                         alloc_func alloc = nullptr, free_func release = nullptr,
                         void* opaque = nullptr);
  ~DeflateEngine();
  DeflateEngine(const DeflateEngine&) = delete;
  DeflateEngine& operator=(const DeflateEngine&) = delete;

  /// Feeds one piece of input and runs the engine without flushing until all
  /// of it is consumed, handing on every full output buffer.
  DeflateStatus Compress(const uint8_t* data, uint32_t count, DeflateClient& client);

  /// Completes the stream: finishing calls until the engine reports the end,
  /// each full buffer handed on, then the used part of the last one. After a
  /// cancel no engine call is made and only the output gathered so far is
  /// handed on; after an engine error nothing more is handed on.
  DeflateStatus Finish(DeflateClient& client);

  /// Releases the engine now (deflateEnd); later steps fail. Idempotent.
  void End();

  int InitResult() const { return initResult_; }  ///< Z_OK, Z_MEM_ERROR, Z_STREAM_ERROR ...
  int LastResult() const { return lastResult_; }  ///< result of the last engine call
  bool Failed() const { return failed_; }
  bool Finished() const { return finished_; }      ///< Z_STREAM_END was reported
  uint64_t TotalIn() const { return totalIn_; }    ///< uncompressed bytes consumed
  uint64_t TotalOut() const { return totalOut_; }  ///< compressed bytes produced
  /// Bytes produced but not yet handed to the client.
  uint32_t Buffered() const { return kDeflateBufferSize - strm_.avail_out; }

 private:
  int Call(int flush);
  void HandOn(DeflateClient& client, uint32_t count);

  z_stream strm_{};
  std::unique_ptr<uint8_t[]> out_;
  bool active_ = false;  // deflateEnd still owed
  bool failed_ = false;
  bool finished_ = false;
  int initResult_ = Z_OK;
  int lastResult_ = Z_OK;
  uint64_t totalIn_ = 0;
  uint64_t totalOut_ = 0;
};

/// Compresses a whole buffer into a raw Deflate stream; empty on engine failure
/// (a valid stream is never empty: the shortest one is 0x03 0x00).
std::vector<uint8_t> DeflateBuffer(const void* data, size_t size, TDeflateType type);

}  // namespace arc
