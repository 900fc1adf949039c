//===-- codec/parallel_deflate.h - Raw Deflate on every core ------*- C++ -*-===//
//
// One raw Deflate stream made on several threads. The input is cut into
// pieces of equal size; each piece is deflated by a worker at the entry's
// level, primed with the last 32 KiB of the piece before it as a preset
// dictionary, and ended with a sync flush (the last one with finish), which
// leaves every piece on a byte boundary with no final block before the end.
// Laid end to end in order, the pieces are one valid stream:
//
//   piece 0   [blocks ...][empty stored block]        Z_SYNC_FLUSH
//   piece 1   [blocks ... matches may reach into piece 0's last 32 KiB]
//             [empty stored block]                    Z_SYNC_FLUSH
//   ...
//   piece n   [blocks ... final block]                Z_FINISH
//
// The CRC-32 is taken per piece on the workers and joined in order with
// crc32_combine.
//
// The object is driven like DeflateEngine, from the caller's thread only:
// Compress() takes input, Finish() completes the stream, and the client's
// callbacks (Cancelled, Consumed, Output, Stepped) are all called on that
// thread, output strictly in stream order. Memory is bounded whatever the
// input size: at most (threads + 2) pieces exist, the one being filled and
// those queued, being deflated or waiting to be handed on; Compress waits for
// the oldest piece when all are in use.
//
// Differences from DeflateEngine, by design:
//   - threads 1 is DeflateEngine itself: byte for byte today's stream.
//   - An input no longer than one piece is deflated in one go on the
//     caller's thread when the stream is finished, with no thread started;
//     its bytes equal the single stream's.
//   - The engine keeps the CRC itself (Crc32(), valid after Finish); the
//     client's Consumed() sees the input as it is taken, for counting only.
//   - After a cancel, or when an Output() throws, every worker is stopped
//     and joined before the call returns, nothing more is handed on, and the
//     stream is left incomplete (the entry is dropped by its owner).
//   - A piece the engine refused (out of memory) makes the step return
//     Failed; an exception thrown on a worker is rethrown on the caller's
//     thread when that piece's turn comes.
//
// Where it is used: TCompressStream (support/stream_adapters.h) holds one in
// place of its DeflateEngine when made with a thread count other than 1;
// the entry writer (zip/entry_data.cpp) asks for the writer's Threads
// setting for a file of at least two pieces and for 1 below, so that small
// files are compressed as a single stream. The entry's CRC comes from the
// source's own pass (SourceFileStream::PassCrc) on the caller's thread;
// traditional and AES encryption still encipher in Output(), on that thread,
// in order. Cancel, progress and write errors reach the writer as with one
// stream: Cancelled() is asked before every piece, Stepped() after every
// Compress(), and a throwing write leaves Compress/Finish by exception with
// no worker left running.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "codec/deflate.h"
#include "codec/ordered_work_queue.h"

namespace arc {

/// Piece size by measurement on the database backup (bench/parallel_deflate):
/// smaller pieces lose compression at every sync flush, larger ones keep
/// more memory in flight and start the workers later.
constexpr uint32_t kParallelPieceSize = 256 * 1024;
/// Pieces are no smaller than the window: the dictionary of the next one.
constexpr uint32_t kMinPieceSize = 32 * 1024;
constexpr uint32_t kMaxPieceSize = 64 * 1024 * 1024;
/// The preset dictionary of a piece: the whole window of raw Deflate.
constexpr uint32_t kDeflateDictionary = 32 * 1024;

class ParallelDeflate {
 public:
  /// threads 0: one per core; 1: the single stream. The piece size is
  /// clamped to [kMinPieceSize, kMaxPieceSize].
  explicit ParallelDeflate(TDeflateType type, unsigned threads = 0,
                           uint32_t pieceSize = kParallelPieceSize);
  ~ParallelDeflate();
  ParallelDeflate(const ParallelDeflate&) = delete;
  ParallelDeflate& operator=(const ParallelDeflate&) = delete;

  /// Takes the input (copied: the caller's buffer is not kept), hands on the
  /// pieces that are ready, and waits for the oldest one when all pieces are
  /// in use.
  DeflateStatus Compress(const uint8_t* data, uint32_t count, DeflateClient& client);

  /// Deflates the last piece, hands on every piece in order and stops the
  /// workers.
  DeflateStatus Finish(DeflateClient& client);

  /// Stops and joins the workers and releases all memory; later steps fail.
  void End();

  /// Thread count in use: 1 for the single stream, otherwise the workers
  /// asked for (started only when a second piece begins).
  unsigned Threads() const { return threads_; }
  uint32_t PieceSize() const { return pieceSize_; }
  bool Failed() const { return failed_; }
  bool Finished() const { return finished_; }
  uint64_t TotalIn() const;
  uint64_t TotalOut() const;
  /// CRC-32 of all input (the final value, not the register); complete once
  /// Finish returned Done.
  uint32_t Crc32() const { return crc_; }
  /// Pieces handed on so far (0 with the single stream).
  uint64_t Pieces() const { return piecesOut_; }

 private:
  struct Piece;
  class PieceCompressor;

  DeflateStatus Guarded(DeflateClient& client,
                        DeflateStatus (ParallelDeflate::*step)(DeflateClient&));
  DeflateStatus TakeInput(DeflateClient& client);
  DeflateStatus Complete(DeflateClient& client);
  void StartPiece();
  void Dispatch(bool last, DeflateClient& client);
  void HandOn(Piece* piece, DeflateClient& client);
  void HandOnReady(DeflateClient& client);
  void Abort() noexcept;

  const TDeflateType type_;
  unsigned threads_;
  uint32_t pieceSize_;
  // The single stream (threads 1).
  std::unique_ptr<DeflateEngine> single_;
  // The pieces: every one ever made, the free ones, the one being filled and
  // the last one sent (its tail primes the next).
  std::vector<std::unique_ptr<Piece>> pieces_;
  std::vector<Piece*> free_;
  Piece* filling_ = nullptr;
  Piece* previous_ = nullptr;
  // One deflate state per worker, each used by its own worker only.
  std::vector<std::unique_ptr<PieceCompressor>> compressors_;
  std::unique_ptr<OrderedWorkQueue<Piece*>> queue_;
  // Input of the current Compress call.
  const uint8_t* nextIn_ = nullptr;
  uint32_t availIn_ = 0;
  uint64_t totalIn_ = 0;
  uint64_t totalOut_ = 0;
  uint64_t piecesSent_ = 0;
  uint64_t piecesOut_ = 0;
  uint32_t crc_ = 0;
  bool failed_ = false;
  bool cancelled_ = false;
  bool finished_ = false;
};

}  // namespace arc
