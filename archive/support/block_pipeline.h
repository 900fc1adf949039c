//===-- support/block_pipeline.h - Decode here, write on another thread -*- C++ -*-===//
//
// A ring of a few large blocks between two threads: the caller fills blocks
// (decodes into them) and commits them; one worker hands each committed block,
// in order, to a sink (checksum and write). Decoding the next block overlaps
// writing the last one; memory is the ring and nothing more:
//
//   BlockPipeline pipe(sink);               sink runs on the worker, in order
//   while (decoding) {
//     uint8_t* block = pipe.Acquire();      waits while every block is queued
//     ... decode up to BlockSize() bytes into it ...
//     pipe.Commit(produced);
//   }
//   pipe.Finish();                          every block written, worker joined
//
// Everything the component reports stays on the caller's thread: progress is
// counted as blocks are committed, cancel is asked between blocks by the
// caller, and a sink that fails throws. Its exception is rethrown on the
// caller's thread by the first Acquire after it, or by Finish; the sink is never
// called again after it threw, so no write follows a failed one. Abort()
// (also the destructor's) drops the blocks not yet written, waits for the one
// being written and joins the worker.
//
// How it plugs into the extractor: ZipExtractor::InflateData and CopyStored
// (unzip/unzip_decode.cpp) decode straight into Acquire()'s block in place of
// their 32 KiB buffer, and commit what came; the sink is the CRC update plus
// the plain write of WriteBlock, throwing a small error that carries the
// count written and errno, which the extractor catches around Commit/Finish
// and turns into its reports (25136, or the fatal 25160 for a full disk), on
// its own thread. The running CRC belongs to the sink until Finish returns.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "codec/ordered_work_queue.h"

namespace arc {

/// Block and ring size of the pipeline, by default.
constexpr uint32_t kPipelineBlockSize = 256 * 1024;
constexpr unsigned kPipelineBlocks = 4;

class BlockPipeline {
 public:
  /// Called on the worker for every committed block, in order.
  using Sink = std::function<void(const uint8_t* data, uint32_t count)>;

  /// `blocks` is at least 2: one being filled while another is written.
  explicit BlockPipeline(Sink sink, uint32_t blockSize = kPipelineBlockSize,
                         unsigned blocks = kPipelineBlocks);
  ~BlockPipeline();
  BlockPipeline(const BlockPipeline&) = delete;
  BlockPipeline& operator=(const BlockPipeline&) = delete;

  uint32_t BlockSize() const { return blockSize_; }

  /// A block of BlockSize() bytes to fill; the same one until it is
  /// committed. Waits while every other block is queued.
  uint8_t* Acquire();
  /// Queues the first `count` bytes of the acquired block (0 gives it back);
  /// never waits.
  void Commit(uint32_t count);
  /// Waits until every committed block is through the sink, joins the
  /// worker, and rethrows what the sink threw. Idempotent.
  void Finish();
  /// Drops what is not written yet and joins the worker. Idempotent.
  void Abort() noexcept;

 private:
  void TakeOldest();

  Sink sink_;
  const uint32_t blockSize_;
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  size_t made_ = 0;  // blocks allocated so far, on demand
  std::vector<uint8_t*> free_;
  uint8_t* filling_ = nullptr;
  OrderedWorkQueue<uint8_t*> queue_;
  std::atomic<bool> sinkFailed_{false};  // set and read on the worker
  bool done_ = false;
};

}  // namespace arc
