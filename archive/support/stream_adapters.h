//===-- support/stream_adapters.h - Codec and checksum adapters ---*- C++ -*-===//
//
// The adapters sit between an archive stream and the codecs; they are the only
// way the components reach the Deflate and Inflate engines and the CRC
// routines. Each lives for one entry:
//
//   TCompressStream    written to; deflates into the archive stream
//   TDecompressStream  read from; inflates out of the archive stream
//   TStoreStream       written to; copies into the archive stream unchanged
//   TCalcStreamCRC     does all its work in its constructor: a CRC of a source
//
// Several adapters may use one archive stream in turn, with the component
// writing headers in between, so each one moves the stream back to the
// position where it last left it before using it again.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <arc/codec/crc.h>
#include "codec/deflate.h"
#include "codec/inflate.h"
#include "codec/parallel_deflate.h"
#include "codec/stream_decoder.h"
#include "support/stream32.h"

namespace arc {

/// The adapters' work buffer: engine output (compress) or input (decompress).
constexpr uint32_t kAdapterBufferSize = 65536;
/// Chunk of TStoreStream's copy.
constexpr int32_t kStoreChunk = 102400;
/// Piece in which a forward seek of the decompress adapter reads and discards.
constexpr int32_t kSkipChunk = 4096;

/// Handed over by the entry writer or the extractor and copied into the adapter.
struct TransferControl {
  /// Running CRC of the uncompressed data (kind 32 unless a CRC kind says 16).
  uint32_t crc = kCrc32Init;
  /// Traditional encryption: data is enciphered after compression and
  /// deciphered before decompression; no CRC is computed on the way (the
  /// writer computed it in a first pass).
  bool encrypted = false;
  /// The owner's count of bytes still to process, lowered as input is consumed.
  int64_t* remaining = nullptr;
  /// The owner's cancel flag.
  bool* Cancel = nullptr;
  /// Set by the decompress adapter when the engine reports the end of the stream.
  bool endOfData = false;
  /// Enciphers (writing adapters) or deciphers (the reader) a block in place
  /// with the entry's continuing key state; must be set when Encrypted.
  std::function<void(uint8_t* data, uint32_t count)> cipher;
  /// An encrypted entry whose CRC is not needed before its data (AES): the
  /// writing adapters keep the running CRC on the way, as for plain data.
  bool crcOnTheWay = false;
  /// The source checksums what it gives (the entry writer's files do): the
  /// writing adapters leave CRC alone rather than take it a second time.
  bool sourceKeepsCrc = false;

  /// True when the writing adapters update CRC with the bytes they take.
  bool KeepsCrc() const { return !sourceKeepsCrc && (!encrypted || crcOnTheWay); }
};

/// Base of the adapters: the underlying stream (not owned), the position the
/// adapter last left it at, the transfer control and the CRC kind.
class TCustomStream : public TStream32 {
 public:
  TStream32* Stream() const { return stream_; }
  /// The extractor points a decompress adapter at the next volume this way.
  void SetStream(TStream32* stream) { stream_ = stream; }
  int64_t StreamPos() const { return streamPos_; }
  void SetStreamPos(int64_t position) { streamPos_ = position; }
  /// 16 or 32; any other value: no checksum (store and checksum adapters).
  uint8_t CrcKind() const { return crcKind_; }

  TransferControl control;

 protected:
  TCustomStream(TStream32& stream, uint8_t crcKind);

  /// Moves the underlying stream back to where this adapter left it.
  void Reposition();
  void Remember() { streamPos_ = stream_->Position(); }
  /// Feeds bytes into `crc` by the adapter's CRC kind.
  void UpdateCrc(uint32_t& crc, const void* data, int32_t count) const;
  void LowerRemaining(int64_t count) {
    if (control.remaining != nullptr) *control.remaining -= count;
  }
  bool ControlCancelled() const {
    return Cancelled() || (control.Cancel != nullptr && *control.Cancel);
  }

  TStream32* stream_;
  int64_t streamPos_;
  uint8_t crcKind_;
};

/// Deflates everything written to it into the destination. The CRC register
/// (Control.CRC) covers the uncompressed bytes unless the entry is encrypted.
///
/// With `threads` other than 1 (0: one per core) the stream is deflated in
/// pieces on worker threads (codec/parallel_deflate.h); the caller's thread
/// still takes the CRC, enciphers, writes and reports progress, in order.
/// Threads 1, or a window other than the standard raw one, is the single
/// stream of today, byte for byte.
class TCompressStream : public TCustomStream {
 public:
  TCompressStream(TStream32& destination, TDeflateType deflateType,
                  int32_t windowBits = kDeflateWindowBits, unsigned threads = 1);
  ~TCompressStream() override;

  int32_t Read(void* buffer, int32_t count) override;
  /// Deflates the bytes; returns `count`. Output goes to the destination in
  /// blocks of 65,536 bytes as they fill.
  int32_t Write(const void* buffer, int32_t count) override;
  /// Seek(0, soCurrent) gives the uncompressed bytes consumed so far; any
  /// other seek gives -1. ERangeError for an offset beyond 32 bits.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

  /// Completes the Deflate stream (the gathered output is written, also after
  /// a cancel) and releases the engine, also when the write raises.
  void Destroy();

  /// The engine could not be started, refused a call or made no progress;
  /// its output is then not a valid stream.
  bool EngineFailed() const { return failed_; }
  uint64_t TotalIn() const;
  uint64_t TotalOut() const;
  /// Pieces deflated on workers so far (0 for the single stream).
  uint64_t ParallelPieces() const { return parallel_ ? parallel_->Pieces() : 0; }

 protected:
  void InitDeflate(TDeflateType deflateType, int32_t windowBits, unsigned threads);
  void DeflatePending();
  void FinishDeflate();

 private:
  class Client;

  /// One of the two engines: the single stream or the pieces on workers.
  std::unique_ptr<DeflateEngine> engine_;
  std::unique_ptr<ParallelDeflate> parallel_;
  const uint8_t* nextIn_ = nullptr;
  uint32_t availIn_ = 0;
  bool failed_ = false;
  bool destroyed_ = false;
};

/// Decodes the source for whoever reads it: by default with the inflater
/// (Deflate or Deflate64), or with any decoder of codec/stream_decoder.h.
class TDecompressStream : public TCustomStream {
 public:
  TDecompressStream(TStream32& source, int32_t windowBits = kDeflateWindowBits,
                    InflateVariant variant = InflateVariant::Deflate);
  /// With the given decoder (MakeStreamDecoder); a null one never starts
  /// (InitResult is StreamError).
  TDecompressStream(TStream32& source, std::unique_ptr<StreamDecoder> decoder);
  /// Moves the source back over the input it read but the engine did not use,
  /// so that it stands right after the compressed data, and releases the engine.
  ~TDecompressStream() override;

  /// Fills `buffer` with up to `count` bytes. Returns `count` (also when the
  /// stream ended early: the engine's output space tells how much came), or
  /// the engine's negative result. Input that runs out gives BufError (-5).
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  /// (0, soBeginning) restarts from position 0 of the source; a forward seek
  /// reads and discards; any other seek does nothing. Returns the output total.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

  /// The engine record: output space left after a Read, totals.
  InflateStream& Engine() { return engine_; }
  const InflateStream& Engine() const { return engine_; }
  /// Result of starting the engine (inflate_result::Ok when it started).
  int InitResult() const { return initResult_; }

 protected:
  /// Starts the decoder the adapter was made with.
  void InitInflate();
  void ResetInflate();
  void EndInflate();
  int InflateStep();

 private:
  CodecStream engine_;
  std::unique_ptr<uint8_t[]> buffer_;
  std::unique_ptr<StreamDecoder> decoder_;
  int initResult_ = inflate_result::kStreamError;
  bool engineStarted_ = false;
};

/// Copies a source into the destination unchanged, checksumming or
/// enciphering on the way.
class TStoreStream : public TCustomStream {
 public:
  /// When not encrypted the CRC register starts at 0 (kind 16) or 0xFFFFFFFF
  /// (kind 32); when encrypted it keeps the writer's CRC.
  TStoreStream(TStream32& destination, ProgressHandler progress, bool* cancel,
               const TransferControl& transferControl, uint8_t crcKind);

  /// Copies the whole source with the owner's handler and cancel flag set on
  /// it; returns the source size (the count asked for, also after a cancel).
  int64_t StoreFrom(TStream32& source);

  int32_t Read(void* buffer, int32_t count) override;
  /// Checksums (or enciphers a copy of) the bytes, lowers the remaining count,
  /// writes them to the destination and notifies the source's handler.
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 protected:
  int64_t StoreCopy(TStream32& source, int64_t count);

 private:
  ProgressHandler progress_;
  bool* ownerCancel_;
  TStream32* source_ = nullptr;
  std::vector<uint8_t> cipherBuffer_;
};

/// Runs a CRC over `count` bytes of a source (0: all of it, from position 0)
/// in its constructor, in CopyFrom's chunks, watching the cancel flag.
class TCalcStreamCRC final : public TCustomStream {
 public:
  TCalcStreamCRC(TStream32& source, ProgressHandler progress, bool* cancel,
                 const TransferControl& transferControl, uint8_t crcKind, int64_t count,
                 std::function<void()> pump = {});

  /// The register itself, not inverted.
  uint32_t CRC() const { return crc_; }

  int32_t Read(void* buffer, int32_t count) override;
  /// Updates the register; when the source has an active progress handler,
  /// lowers the remaining count and notifies it.
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 private:
  uint32_t crc_;
};

}  // namespace arc
